#include "indexrecovery.h"
#include "testrecordings.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <optional>
#include <sys/stat.h>

using namespace testrec;
namespace fs = std::filesystem;

namespace {

void setMtime(const std::string& path, std::time_t t) {
    const timespec times[2] = {{t, 0}, {t, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::string nameField(const std::vector<std::uint8_t>& bytes, std::size_t record) {
    const char* p = reinterpret_cast<const char*>(bytes.data() + record * kIndexRecordSize);
    return std::string(p, strnlen(p, 32));
}

std::uint32_t word(const std::vector<std::uint8_t>& bytes, std::size_t record, std::size_t at) {
    return qmr3::getU32(bytes.data() + record * kIndexRecordSize + at);
}

class IndexRecovery : public ::testing::Test {
protected:
    void SetUp() override {
        const char* tz = std::getenv("TZ");
        savedTz_ = tz ? std::optional<std::string>(tz) : std::nullopt;
    }
    void TearDown() override {
        if (savedTz_) setenv("TZ", savedTz_->c_str(), 1);
        else unsetenv("TZ");
        tzset();
    }
    void useTimeZone(const char* tz) {
        setenv("TZ", tz, 1);
        tzset();
    }
    void writeAt(const std::string& name, int minutesAfter, std::uint8_t events = 0) {
        writeRecording(dir.file(name), steadyFrames(plus(t0, minutesAfter * 60), 3),
                       {.eventSummary = events});
    }

    TempDir dir;
    CVideoLibrary lib;
    const qmr3::Qmr3TimeStamp t0 = at(2010, 1, 5, 8, 0, 0);

private:
    std::optional<std::string> savedTz_;
};

}  // namespace

TEST_F(IndexRecovery, ThreeFilesGiveThreeRecordsNewestFirst) {
    useTimeZone("UTC");
    writeAt("OLD.qmr3", 0, 0x01);
    writeAt("NEW.qmr3", 20, 0x0C);
    writeAt("MID.qmr3", 10);
    setMtime(dir.file("NEW.qmr3"), 1262678400);
    ASSERT_EQ(lib.scan(dir.path()), 3);

    const IndexRecoveryResult res = recoverIndexFile(lib, dir.path());
    ASSERT_TRUE(res.ok) << res.message;
    EXPECT_EQ(res.written, 3);
    EXPECT_EQ(res.message, "Index Recovery Completed (3 files)");
    const auto bytes = readBytes(dir.file("filelist.lst"));
    ASSERT_EQ(bytes.size(), 168u);
    EXPECT_EQ(nameField(bytes, 0), "DATA\\NEW.qmr3");
    EXPECT_EQ(nameField(bytes, 1), "DATA\\MID.qmr3");
    EXPECT_EQ(nameField(bytes, 2), "DATA\\OLD.qmr3");
    for (std::size_t i = 5 + 8; i < 32; ++i) EXPECT_EQ(bytes[i], 0) << i;
    EXPECT_EQ(word(bytes, 0, 32), 0x0Cu);
    EXPECT_EQ(word(bytes, 2, 32), 0x01u);
    EXPECT_EQ(word(bytes, 0, 36), 1262678400u);
    EXPECT_EQ(word(bytes, 0, 40), fs::file_size(dir.file("NEW.qmr3")));
    EXPECT_EQ(word(bytes, 0, 44) + word(bytes, 0, 48) + word(bytes, 0, 52), 0u);
}

TEST_F(IndexRecovery, LastWriteTimeIsLocalWallClock) {
    useTimeZone("Asia/Tokyo");
    writeAt("a.qmr3", 0);
    setMtime(dir.file("a.qmr3"), 0);
    ASSERT_EQ(lib.scan(dir.path()), 1);
    ASSERT_TRUE(recoverIndexFile(lib, dir.path()).ok);
    EXPECT_EQ(word(readBytes(dir.file("filelist.lst")), 0, 36), 32400u);
}

TEST_F(IndexRecovery, NeedsOpenedFilesAndWritesIntoFolderOfLastFile) {
    const IndexRecoveryResult none = recoverIndexFile(lib, dir.path());
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.message, "In order to restore index file,\nplease open the target folder first.");
    EXPECT_FALSE(fs::exists(dir.file("filelist.lst")));

    writeAt("a.qmr3", 0);
    writeAt("b.qmr3", 1);
    ASSERT_EQ(lib.scan(dir.file("a.qmr3") + "|" + dir.file("b.qmr3")), 2);
    writeBytes(dir.file("filelist.lst"), std::vector<std::uint8_t>(1000, 0xEE));
    const auto res = recoverIndexFile(lib, dir.file("b.qmr3"));
    ASSERT_TRUE(res.ok) << res.message;
    EXPECT_EQ(fs::file_size(dir.file("filelist.lst")), 112u);
}

TEST_F(IndexRecovery, LongNamesAreLeftOutAndReported) {
    const std::string longName = "ABCDEFGHIJKLMNOPQRSTUV.qmr3";  // 27 characters
    const std::string fits = "ABCDEFGHIJKLMNOPQRSTU.qmr3";       // 26 characters
    writeAt(longName, 0);
    writeAt(fits, 1);
    ASSERT_EQ(lib.scan(dir.path()), 2);
    const auto res = recoverIndexFile(lib, dir.path());
    ASSERT_TRUE(res.ok);
    EXPECT_EQ(res.written, 1);
    ASSERT_EQ(res.skipped.size(), 1u);
    EXPECT_EQ(res.skipped[0].rfind(longName, 0), 0u);
    const auto bytes = readBytes(dir.file("filelist.lst"));
    ASSERT_EQ(bytes.size(), 56u);
    EXPECT_EQ(nameField(bytes, 0), "DATA\\" + fits);
}

TEST_F(IndexRecovery, FailuresAreReportedAndLeaveNothingHalfWritten) {
    writeAt("a.qmr3", 0);
    writeAt("b.qmr3", 1);
    ASSERT_EQ(lib.scan(dir.path()), 2);
    EXPECT_FALSE(recoverIndexFile(lib, dir.file("gone/")).ok);

    // A folder in the way of the index file: the rename fails.
    fs::create_directory(dir.file("filelist.lst"));
    const auto res = recoverIndexFile(lib, dir.path());
    EXPECT_FALSE(res.ok);
    EXPECT_EQ(res.written, 0);
    EXPECT_NE(res.message.find("filelist.lst"), std::string::npos);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 3);
    fs::remove(dir.file("filelist.lst"));

    // Recordings removed after the scan are left out; with none left the old index stays.
    fs::remove(dir.file("a.qmr3"));
    const auto partial = recoverIndexFile(lib, dir.path());
    EXPECT_TRUE(partial.ok);
    EXPECT_EQ(partial.written, 1);
    EXPECT_EQ(partial.skipped.size(), 1u);
    fs::remove(dir.file("b.qmr3"));
    writeBytes(dir.file("filelist.lst"), {9, 9});
    EXPECT_FALSE(recoverIndexFile(lib, dir.path()).ok);
    EXPECT_EQ(readBytes(dir.file("filelist.lst")), (std::vector<std::uint8_t>{9, 9}));
}

TEST_F(IndexRecovery, AReadOnlyFolderOrIndexIsSaidAndLeftAlone) {
    writeAt("a.qmr3", 0);
    ASSERT_EQ(lib.scan(dir.path()), 1);
    // Also for a user the system would let write there (root).
    ASSERT_EQ(chmod(dir.path().c_str(), 0555), 0);
    const auto res = recoverIndexFile(lib, dir.path());
    chmod(dir.path().c_str(), 0755);
    EXPECT_FALSE(res.ok);
    EXPECT_EQ(res.written, 0);
    EXPECT_EQ(res.message, "Cannot write " + dir.file("filelist.lst") + ": the folder is read-only.");
    EXPECT_FALSE(fs::exists(dir.file("filelist.lst")));

    writeBytes(dir.file("filelist.lst"), {7});
    ASSERT_EQ(chmod(dir.file("filelist.lst").c_str(), 0444), 0);
    const auto old = recoverIndexFile(lib, dir.path());
    EXPECT_FALSE(old.ok);
    EXPECT_NE(old.message.find("the index file is read-only"), std::string::npos) << old.message;
    EXPECT_EQ(readBytes(dir.file("filelist.lst")), (std::vector<std::uint8_t>{7}));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 2);
}
