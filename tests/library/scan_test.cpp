#include "testrecordings.h"
#include "videolibrary.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace testrec;
namespace fs = std::filesystem;

namespace {

qmr3::Qmr3TimeStamp stamp(int century, int year, int month, int day, int hour = 0, int minute = 0,
                          int second = 0) {
    const std::uint8_t b[8] = {
        std::uint8_t(century), std::uint8_t(year),   std::uint8_t(month),  std::uint8_t(day),
        std::uint8_t(hour),    std::uint8_t(minute), std::uint8_t(second), 0};
    return qmr3::Qmr3TimeStamp::parse(b);
}

class LibraryScan : public ::testing::Test {
protected:
    TempDir dir;
    CVideoLibrary lib;
    const qmr3::Qmr3TimeStamp t0 = at(2008, 1, 10, 12, 0, 0);
};

}  // namespace

TEST(LibraryTimeStamp, ValidityRule) {
    EXPECT_EQ(qmr3::toLocalSeconds(stamp(0, 108, 3, 4, 5, 6, 7)),
              qmr3::toLocalSeconds(stamp(1, 8, 3, 4, 5, 6, 7)));
    EXPECT_EQ(qmr3::formatLocalTime(qmr3::toLocalSeconds(stamp(0, 108, 3, 4, 5, 6, 7))),
              "2008-03-04 05:06:07");
    for (const auto& t :
         {stamp(0, 108, 3, 4), stamp(1, 8, 3, 4), stamp(0, 71, 1, 1), stamp(1, 8, 12, 31, 24, 60, 60)})
        EXPECT_TRUE(CVideoLibrary::isValidTime(t))
            << t.fullYear() << "-" << int(t.month) << "-" << int(t.day);
    for (const auto& t :
         {stamp(0, 70, 1, 1), stamp(1, 8, 0, 1), stamp(1, 8, 13, 1), stamp(1, 8, 1, 0), stamp(1, 8, 1, 32),
          stamp(1, 8, 1, 1, 25), stamp(1, 8, 1, 1, 0, 61), stamp(1, 8, 1, 1, 0, 0, 61)})
        EXPECT_FALSE(CVideoLibrary::isValidTime(t))
            << t.fullYear() << "-" << int(t.month) << "-" << int(t.day);
}

TEST_F(LibraryScan, FolderReadsHeadersNewestFirst) {
    const Options o{.frameRateCode = 0x0119,
                    .width = 0x10280,
                    .height = 0x101E0,
                    .productId = 0x42,
                    .eventSummary = 0x05,
                    .lengthSeconds = 120};
    writeRecording(dir.file("b.qmr3"), steadyFrames(plus(t0, 3600), 4), o);
    writeRecording(dir.file("a.qmr3"), steadyFrames(t0, 3));
    writeRecording(dir.file("C.QMR3"), steadyFrames(plus(t0, 60), 5));
    writeBytes(dir.file("notes.txt"), {1, 2, 3});
    writeBytes(dir.file("empty.qmr3"), {});
    std::string folder = dir.path();
    folder.pop_back();

    ASSERT_EQ(lib.scan(folder), 3);
    EXPECT_TRUE(lib.errors().empty());
    EXPECT_EQ(lib.folder(), dir.path());
    EXPECT_EQ(lib.fileName(0) + lib.fileName(1) + lib.fileName(2), "b.qmr3C.QMR3a.qmr3");
    EXPECT_EQ(lib.filePath(0), dir.file("b.qmr3"));
    EXPECT_EQ(lib.startTime(0), seconds(plus(t0, 3600)));
    EXPECT_EQ(lib.endTime(0), seconds(plus(t0, 3603)));
    EXPECT_EQ(lib.length(0), 120);
    EXPECT_EQ(lib.width(0), 0x280);
    EXPECT_EQ(lib.height(0), 0x1E0);
    EXPECT_EQ(lib.frameRate(0), 25);
    EXPECT_EQ(lib.productId(0), 0x42);
    EXPECT_EQ(lib.eventSummary(0), 0x05);
    EXPECT_EQ(lib.indexCount(0), 4u);
    EXPECT_EQ(lib.damaged(0), 0);
    EXPECT_EQ(lib.fileSize(0), fs::file_size(dir.file("b.qmr3")));
    EXPECT_EQ(lib.indexOffset(0), lib.fileSize(0) - 1 - 4 * 4);
    // The empty recording is left alone on disk.
    EXPECT_TRUE(fs::exists(dir.file("empty.qmr3")));
}

TEST_F(LibraryScan, FileListTakesNamedFilesAndReportsThoseItCannotOpen) {
    writeRecording(dir.file("one.qmr3"), steadyFrames(t0, 2));
    writeRecording(dir.file("two.qmr3"), steadyFrames(plus(t0, 10), 2));
    writeRecording(dir.file("other.qmr3"), steadyFrames(t0, 2));
    ASSERT_EQ(lib.scan(dir.file("one.qmr3") + "|/elsewhere/other.qmr3|" + dir.file("gone.qmr3") + "|" +
                       dir.file("two.qmr3")),
              2);
    EXPECT_EQ(lib.fileName(0) + lib.fileName(1), "two.qmr3one.qmr3");
    ASSERT_EQ(lib.errors().size(), 2u);
    EXPECT_NE(lib.errors()[0].find("/elsewhere/other.qmr3"), std::string::npos);
    EXPECT_NE(lib.errors()[1].find("gone.qmr3"), std::string::npos);
}

TEST_F(LibraryScan, UpperCaseExtensionInFileListIsTakenAsFolder) {
    writeRecording(dir.file("X.QMR3"), steadyFrames(t0, 2));
    EXPECT_EQ(lib.scan(dir.file("X.QMR3")), 0);
    EXPECT_EQ(lib.folder(), dir.file("X.QMR3/"));
    EXPECT_EQ(lib.errors().size(), 1u);
    EXPECT_EQ(lib.scan(dir.path()), 1);
    EXPECT_TRUE(lib.errors().empty());
}

TEST_F(LibraryScan, DamagedFilesStayListed) {
    writeBytes(dir.file("short.qmr3"), std::vector<std::uint8_t>(100, 0));
    auto bad = steadyFrames(t0, 3);
    bad[0].time = stamp(0, 70, 1, 1);
    writeRecording(dir.file("year70.qmr3"), bad, {.eventSummary = 0x08});
    // The last index entry, just before the summary byte, points far outside the file.
    writeRecording(dir.file("outside.qmr3"), steadyFrames(t0, 3));
    patchU32(dir.file("outside.qmr3"), fs::file_size(dir.file("outside.qmr3")) - 5, 0x7FFFFFF0);
    auto noIndex = steadyFrames(t0, 2);
    for (auto& f : noIndex) f.indexed = false;
    writeRecording(dir.file("noindex.qmr3"), noIndex);
    writeRecording(dir.file("far.qmr3"), steadyFrames(t0, 3));
    patchU32(dir.file("far.qmr3"), 164, 0xFFFFFFF0);

    ASSERT_EQ(lib.scan(dir.path()), 5);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(lib.fileName(i));
        EXPECT_EQ(lib.damaged(i), 1);
        EXPECT_EQ(lib.startTime(i) + lib.endTime(i), 0);
        EXPECT_EQ(lib.length(i) + lib.width(i) + lib.frameRate(i), 0);
        EXPECT_EQ(lib.eventSummary(i), 0x01);
        // Index entries with good times still give clips.
        const bool someGood = lib.fileName(i) == "year70.qmr3" || lib.fileName(i) == "outside.qmr3";
        EXPECT_EQ(lib.readVideoInfo(i), someGood ? 1 : 0);
    }
}

TEST_F(LibraryScan, IndexTableCutShortOrHostileCountIsBoundedByTheFile) {
    writeRecording(dir.file("cut.qmr3"), steadyFrames(t0, 5), {.extraClaimedEntries = 3});
    writeRecording(dir.file("huge.qmr3"), steadyFrames(plus(t0, 60), 3));
    patchU32(dir.file("huge.qmr3"), 168, 0xFFFFFFFF);
    ASSERT_EQ(lib.scan(dir.path()), 2);
    EXPECT_EQ(lib.fileName(1), "cut.qmr3");
    EXPECT_EQ(lib.indexCount(1), 8u);
    EXPECT_EQ(lib.endTime(1), seconds(plus(t0, 4)));
    EXPECT_EQ(lib.endTime(0), seconds(plus(t0, 62)));
    EXPECT_EQ(lib.damaged(0) + lib.damaged(1), 0);
    EXPECT_EQ(lib.readVideoInfo(0), 1);
    EXPECT_EQ(lib.framePositionCount(), 3);
}

TEST_F(LibraryScan, LengthIsHeaderFieldMinusTwoWithoutWrapping) {
    writeRecording(dir.file("l.qmr3"), steadyFrames(t0, 2));
    for (auto [raw, length] : {std::pair{0u, 0}, {1u, 0}, {2u, 0}, {3u, 1}, {0x20000u, 0xFFFF}}) {
        patchU32(dir.file("l.qmr3"), 160, raw);
        lib.scan(dir.path());
        EXPECT_EQ(lib.length(0), length) << raw;
    }
}

TEST_F(LibraryScan, ProgressTextsAndClear) {
    std::vector<std::string> texts;
    lib.setStatusCallback([&](const std::string& s) { texts.push_back(s); });
    for (int i = 0; i < 11; ++i)
        writeRecording(dir.file("f" + std::to_string(i) + ".qmr3"), steadyFrames(plus(t0, i), 1));
    lib.scan(dir.path());
    EXPECT_EQ(texts, (std::vector<std::string>{"Read Video List...", "Read Video List 0%",
                                               "Read Video List 90%", ""}));
    texts.clear();
    lib.readVideoInfo(0);
    EXPECT_EQ(texts, (std::vector<std::string>{"Read Video Info 0%", ""}));
}

TEST_F(LibraryScan, OutOfRangeIndicesGiveZerosAndMarksAreCounted) {
    writeRecording(dir.file("a.qmr3"), steadyFrames(t0, 2));
    writeRecording(dir.file("b.qmr3"), steadyFrames(t0, 2));
    lib.scan(dir.path());
    for (int i : {-1, 2, 100}) {
        EXPECT_EQ(lib.fileName(i) + lib.filePath(i) + lib.thumbnailPath(i, "qcif", 1), "");
        EXPECT_EQ(lib.fileSize(i) + lib.startTime(i) + lib.damaged(i) + lib.readVideoInfo(i), 0);
    }
    std::int64_t t = 5;
    std::uint32_t f = 5;
    lib.event(0, t, f);
    EXPECT_EQ(t + f, 0);

    lib.setMarked(0, true);
    lib.setMarked(0, true);
    lib.setMarked(1, true);
    lib.setMarked(1, false);
    lib.setMarked(1, false);
    lib.setMarked(7, true);
    EXPECT_EQ(lib.markedCount(), 1);
    EXPECT_EQ(lib.marked(0), 1);
    lib.scan(dir.path());
    EXPECT_EQ(lib.markedCount() + lib.marked(0), 0);
}

TEST_F(LibraryScan, ThumbnailNamesAndClearing) {
    ASSERT_EQ(setenv("KORVID_TEMP_DIR", dir.path().c_str(), 1), 0);
    writeRecording(dir.file("rec.one.qmr3"), steadyFrames(t0, 2));
    lib.scan(dir.path());
    const std::string thumbs = dir.path() + "Temp_OrvanePlayer/Thumbnail/";
    EXPECT_EQ(lib.thumbnailPath(0, "qcif", 7), thumbs + "qcif-rec.one-0007.bmp");
    EXPECT_EQ(lib.thumbnailPath(0, "P", -1), thumbs + "P-rec.one.bmp");

    fs::create_directories(thumbs);
    for (const char* n : {"qcif-a.bmp", "720x480-b.BMP", "big-c.bmp", "note.txt"})
        writeBytes(thumbs + n, {1});
    EXPECT_EQ(CVideoLibrary::clearSizedThumbnails(), 2);
    EXPECT_TRUE(fs::exists(thumbs + "big-c.bmp"));
    EXPECT_EQ(CVideoLibrary::clearThumbnails(), 1);
    EXPECT_FALSE(fs::exists(thumbs + "big-c.bmp"));
    EXPECT_TRUE(fs::exists(thumbs + "note.txt"));
    unsetenv("KORVID_TEMP_DIR");
}
