// Frame grabs: the temporary AVI's bytes, real ffmpeg grabs read back by
// frame number, damaged recordings, a missing ffmpeg, and every tool command
// line run against the installed ffmpeg and mencoder.
#include "framegrabber.h"
#include "generator.h"
#include "h264paramsets.h"
#include "h264writer.h"
#include "playertest.h"
#include "redirector.h"
#include "tempdirs.h"
#include "testrecordings.h"
#include "toolcommands.h"
#include "videolibrary.h"

#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

namespace fs = std::filesystem;

namespace {

std::uint32_t u32(const std::vector<std::uint8_t>& b, std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (std::uint32_t(b[at + 3]) << 24);
}
std::uint16_t u16(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::uint16_t(b[at] | (b[at + 1] << 8));
}
std::string tag(const std::vector<std::uint8_t>& b, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(&b[at]), 4);
}

// The frame number in the bottom macroblock row of a BMP.
std::optional<std::uint32_t> frameNumberOf(const QString& bmp) {
    QImage img(bmp);
    if (img.isNull()) return std::nullopt;
    img = img.convertToFormat(QImage::Format_RGB888);
    return qmr3::readFrameNumber(img.constBits(), int(img.bytesPerLine()), img.width(), img.height(), 3);
}

struct Folder {
    testrec::TempDir dir;
    CVideoLibrary lib;
    explicit Folder(int productId = 0x41, int width = 352, int height = 240) {
        qmr3::GenOptions o;
        o.width = width;
        o.height = height;
        o.fps = 15;
        o.gop = 15;
        o.seconds = 4;
        o.productId = productId;
        o.hour = 10;
        EXPECT_TRUE(qmr3::generateRecording(dir.file("20261201_100000.qmr3"), o).ok);
        testrec::writeBytes(dir.file("20261201_090000.qmr3"), std::vector<std::uint8_t>(100, 0));
        lib.scanFolder(dir.path());
        CVideoLibrary::clearThumbnails();
    }
    int indexOf(const std::string& name) const {
        for (int i = 0; i < lib.fileCount(); ++i)
            if (lib.fileName(i) == name) return i;
        return -1;
    }
};

}  // namespace

TEST(GrabAvi, HeaderBytesAndChunks) {
    testrec::TempDir dir;
    const std::string path = dir.file("t.avi");
    CGrabAviWriter w;
    ASSERT_TRUE(w.open(path, 352, 240, 30, 0, 0, 10));
    // Provisional header first.
    std::vector<std::uint8_t> prov = testrec::readBytes(path);
    ASSERT_EQ(prov.size(), CGrabAviWriter::kHeaderSize);
    EXPECT_EQ(u32(prov, 4), 0u);
    EXPECT_EQ(u32(prov, 36), 352u * 240 * 30 * 3);
    EXPECT_EQ(u32(prov, 318), 4u);

    const auto sets = qmr3::parameterSetsFor(qmr3::ParamSetFamily::A, 352, 240);
    ASSERT_TRUE(sets);
    const std::vector<std::uint8_t> pic = {0, 0, 0, 1, 0x65, 0x88, 1, 2};
    w.writeVideoChunk(sets->data(), 21);
    w.writeVideoChunk(pic.data(), std::uint32_t(pic.size()));
    ASSERT_TRUE(w.close());
    const std::vector<std::uint8_t> b = testrec::readBytes(path);
    ASSERT_EQ(b.size(), 326u + 8 + 21 + 8 + 8);
    EXPECT_EQ(tag(b, 0), "RIFF");
    EXPECT_EQ(u32(b, 4), b.size() - 8);
    EXPECT_EQ(tag(b, 8), "AVI ");
    EXPECT_EQ(tag(b, 12), "LIST");
    EXPECT_EQ(u32(b, 16), 294u);
    EXPECT_EQ(tag(b, 20), "hdrl");
    EXPECT_EQ(tag(b, 24), "avih");
    EXPECT_EQ(u32(b, 28), 56u);
    EXPECT_EQ(u32(b, 32), 33333u);
    EXPECT_EQ(u32(b, 36), 352u * 240 * 30 * 3 / 2);
    EXPECT_EQ(u32(b, 40), 0u);
    EXPECT_EQ(u32(b, 44), 0u);
    EXPECT_EQ(u32(b, 48), 2u);
    EXPECT_EQ(u32(b, 52), 0u);
    EXPECT_EQ(u32(b, 56), 2u);
    EXPECT_EQ(u32(b, 60), 352u * 240 * 3);
    EXPECT_EQ(u32(b, 64), 352u);
    EXPECT_EQ(u32(b, 68), 240u);
    for (std::size_t i = 72; i < 88; ++i) EXPECT_EQ(b[i], 0) << i;
    EXPECT_EQ(tag(b, 88), "LIST");
    EXPECT_EQ(u32(b, 92), 116u);
    EXPECT_EQ(tag(b, 96), "strl");
    EXPECT_EQ(tag(b, 100), "strh");
    EXPECT_EQ(u32(b, 104), 56u);
    EXPECT_EQ(tag(b, 108), "vids");
    EXPECT_EQ(tag(b, 112), "H264");
    EXPECT_EQ(u32(b, 128), 33333u);
    EXPECT_EQ(u32(b, 132), 1000000u);
    EXPECT_EQ(u32(b, 140), 2u);
    EXPECT_EQ(u32(b, 144), 352u * 240 * 3);
    EXPECT_EQ(u32(b, 148), 10000u);
    EXPECT_EQ(u32(b, 152), 352u * 240 * 3);
    EXPECT_EQ(u16(b, 156), 0);
    EXPECT_EQ(u16(b, 158), 0);
    EXPECT_EQ(u16(b, 160), 352);
    EXPECT_EQ(u16(b, 162), 240);
    EXPECT_EQ(tag(b, 164), "strf");
    EXPECT_EQ(u32(b, 168), 40u);
    EXPECT_EQ(u32(b, 172), 40u);
    EXPECT_EQ(u32(b, 176), 352u);
    EXPECT_EQ(u32(b, 180), 240u);
    EXPECT_EQ(u16(b, 184), 1);
    EXPECT_EQ(u16(b, 186), 24);
    EXPECT_EQ(tag(b, 188), "H264");
    EXPECT_EQ(u32(b, 192), 352u * 240 * 3);
    EXPECT_EQ(tag(b, 212), "LIST");
    EXPECT_EQ(u32(b, 216), 94u);
    EXPECT_EQ(tag(b, 220), "strl");
    EXPECT_EQ(tag(b, 224), "strh");
    EXPECT_EQ(tag(b, 232), "auds");
    EXPECT_EQ(u32(b, 252), 0u);  // block align of no channels
    EXPECT_EQ(u32(b, 264), 0u);
    EXPECT_EQ(u32(b, 272), 10000u);
    EXPECT_EQ(tag(b, 288), "strf");
    EXPECT_EQ(u32(b, 292), 18u);
    EXPECT_EQ(u16(b, 296), 1);
    EXPECT_EQ(u16(b, 298), 0);
    EXPECT_EQ(u32(b, 300), 10u);
    EXPECT_EQ(tag(b, 314), "LIST");
    EXPECT_EQ(u32(b, 318), (21u + 8) + (8u + 8) + 4);
    EXPECT_EQ(tag(b, 322), "movi");
    EXPECT_EQ(tag(b, 326), "00dc");
    EXPECT_EQ(u32(b, 330), 21u);
    EXPECT_TRUE(std::equal(sets->begin(), sets->end(), b.begin() + 334));
    EXPECT_EQ(tag(b, 355), "00dc");
    EXPECT_EQ(u32(b, 359), 8u);
}

TEST(FrameGrabber, DeinterlaceRule) {
    EXPECT_FALSE(FrameGrabber::deinterlaceFor(0x41, 640));
    EXPECT_FALSE(FrameGrabber::deinterlaceFor(0x41, 320));
    EXPECT_TRUE(FrameGrabber::deinterlaceFor(0x41, 704));
    EXPECT_FALSE(FrameGrabber::deinterlaceFor(0x49, 704));
    EXPECT_TRUE(FrameGrabber::deinterlaceFor(0x00, 640));
}

TEST(FrameGrabber, RealGrabHasTheAskedSizeAndTheRightPicture) {
    Folder f;
    const int i = f.indexOf("20261201_100000.qmr3");
    ASSERT_GE(i, 0);
    FrameGrabber g;
    ASSERT_FALSE(g.ffmpegPath().empty()) << "ffmpeg is needed for this test";
    const std::string full = g.grab(f.lib, i, "352x240", -1);
    ASSERT_FALSE(full.empty()) << g.lastError();
    EXPECT_EQ(full, f.lib.thumbnailPath(i, "352x240", -1));
    QImage img(QString::fromStdString(full));
    EXPECT_EQ(img.size(), QSize(352, 240));
    EXPECT_EQ(frameNumberOf(QString::fromStdString(full)), std::optional<std::uint32_t>(0));

    // A frame position two seconds in: picture 30 at 15 per second.
    ASSERT_EQ(f.lib.readVideoInfo(i), 1);
    const std::string later = g.grab(f.lib, i, "352x240", 2);
    ASSERT_FALSE(later.empty()) << g.lastError();
    EXPECT_NE(later.find("-0002.bmp"), std::string::npos);
    EXPECT_EQ(frameNumberOf(QString::fromStdString(later)), std::optional<std::uint32_t>(30));

    const std::string small = g.grab(f.lib, i, "110x72", -1);
    ASSERT_FALSE(small.empty()) << g.lastError();
    EXPECT_EQ(QImage(QString::fromStdString(small)).size(), QSize(110, 72));

    // Nothing is left behind in the temporary folder.
    int left = 0;
    for (const auto& e : fs::directory_iterator(qmr3::temporaryDir()))
        if (e.path().filename().string().rfind("grab-", 0) == 0) ++left;
    EXPECT_EQ(left, 0);

    // A cached picture needs no tool at all.
    g.setFfmpegPath("");
    EXPECT_EQ(g.grab(f.lib, i, "110x72", -1), small);
}

TEST(FrameGrabber, FamilyBRecordingDecodes) {
    Folder f(0x00, 704, 480);
    const int i = f.indexOf("20261201_100000.qmr3");
    FrameGrabber g;
    const std::string path = g.grab(f.lib, i, "704x480", -1);
    ASSERT_FALSE(path.empty()) << g.lastError();
    EXPECT_EQ(frameNumberOf(QString::fromStdString(path)), std::optional<std::uint32_t>(0));
}

TEST(FrameGrabber, DamagedRecordingGivesErrWithoutTool) {
    Folder f;
    const int bad = f.indexOf("20261201_090000.qmr3");
    ASSERT_GE(bad, 0);
    ASSERT_TRUE(f.lib.damaged(bad));
    FrameGrabber g;
    g.setFfmpegPath("/nonexistent/ffmpeg");
    EXPECT_EQ(g.grab(f.lib, bad, "110x72", -1), "ERR");
}

TEST(FrameGrabber, MissingFfmpegGivesAClearErrorAndNoPicture) {
    Folder f;
    const int i = f.indexOf("20261201_100000.qmr3");
    FrameGrabber g;
    g.setFfmpegPath("");
    EXPECT_EQ(g.grab(f.lib, i, "110x72", -1), "");
    EXPECT_NE(g.lastError().find("ffmpeg"), std::string::npos);
    g.setFfmpegPath("/nonexistent/ffmpeg");
    EXPECT_EQ(g.grab(f.lib, i, "110x72", -1), "");
    EXPECT_NE(g.lastError().find("cannot start"), std::string::npos);
    EXPECT_FALSE(fs::exists(f.lib.thumbnailPath(i, "110x72", -1)));
}

TEST(AsyncFrameGrabber, ResultsArriveAsSignalsAndAMissingToolIsSaidOnce) {
    Folder f;
    const int i = f.indexOf("20261201_100000.qmr3");
    CAsyncFrameGrabber async;
    QSignalSpy done(&async, &CAsyncFrameGrabber::grabbed);
    async.request(FrameGrabber::makeJob(f.lib, i, "110x72", -1));
    ASSERT_TRUE(playertest::waitUntil([&] { return done.count() == 1; }, 30000));
    EXPECT_EQ(done.at(0).at(1).toString().toStdString(), f.lib.thumbnailPath(i, "110x72", -1));

    CAsyncFrameGrabber none;
    none.grabber().setFfmpegPath("");
    QSignalSpy problem(&none, &CAsyncFrameGrabber::toolProblem);
    QSignalSpy failed(&none, &CAsyncFrameGrabber::grabbed);
    none.request(FrameGrabber::makeJob(f.lib, i, "qcif", -1));
    none.request(FrameGrabber::makeJob(f.lib, i, "720x480", -1));
    ASSERT_TRUE(playertest::waitUntil([&] { return failed.count() == 2; }, 30000));
    EXPECT_EQ(problem.count(), 1);
    EXPECT_TRUE(failed.at(0).at(1).toString().isEmpty());
}

// A stand-in for ffmpeg that writes a known picture per call, and holds its
// first call until released, so a grab can be kept in flight.
struct GatedTool {
    testrec::TempDir dir;
    std::string path = dir.file("ffmpeg");
    GatedTool() {
        for (int n = 1; n <= 3; ++n) {
            QImage img(110, 72, QImage::Format_RGB32);
            img.fill(QColor::fromRgb(n * 60, 0, 0));
            EXPECT_TRUE(img.save(QString::fromStdString(dir.file("pic" + std::to_string(n) + ".bmp"))));
        }
        const std::string script =
            "#!/bin/sh\n"
            "d='" +
            dir.path() +
            "'\n"
            "n=$(ls \"$d\" | grep -c '^call') ; n=$((n + 1)); touch \"$d/call$n\"\n"
            "if [ $n -eq 1 ]; then while [ ! -e \"$d/release\" ]; do sleep 0.01; done; fi\n"
            "for a; do out=$a; done\n"
            "cp \"$d/pic$n.bmp\" \"$(printf \"$out\" 1)\"\n";
        testrec::writeBytes(path, std::vector<std::uint8_t>(script.begin(), script.end()));
        fs::permissions(path, fs::perms::owner_all);
    }
    bool called(int n) const { return fs::exists(dir.file("call" + std::to_string(n))); }
    void release() const { testrec::writeBytes(dir.file("release"), {1}); }
    static int redOf(const std::string& bmp) {
        return QImage(QString::fromStdString(bmp)).pixelColor(5, 5).red();
    }
};

// Recorder folders reuse file names: a picture of one folder's recording must
// never stand for the same-named recording of the next folder opened.
TEST(AsyncFrameGrabber, SameNamedRecordingsOfTwoFoldersKeepTheirOwnPictures) {
    Folder a, b;
    const int ia = a.indexOf("20261201_100000.qmr3"), ib = b.indexOf("20261201_100000.qmr3");
    const GrabJob jobA = FrameGrabber::makeJob(a.lib, ia, "110x72", -1);
    const GrabJob jobB = FrameGrabber::makeJob(b.lib, ib, "110x72", -1);
    ASSERT_EQ(jobA.cachePath, jobB.cachePath);
    ASSERT_NE(jobA.recording, jobB.recording);

    // The first folder's grab is still running when the second folder asks.
    GatedTool tool;
    CAsyncFrameGrabber async;
    async.grabber().setFfmpegPath(tool.path);
    QSignalSpy done(&async, &CAsyncFrameGrabber::grabbed);
    async.request(jobA);
    ASSERT_TRUE(playertest::waitUntil([&] { return tool.called(1); }, 30000));
    EXPECT_EQ(async.cachedPicture(jobB), "");
    async.request(jobB);
    tool.release();
    ASSERT_TRUE(playertest::waitUntil([&] { return done.count() >= 1 && async.pendingCount() == 0; }, 30000));
    QCoreApplication::processEvents();
    ASSERT_EQ(done.count(), 1);  // the first folder's picture is never delivered
    EXPECT_EQ(done.at(0).at(1).toString().toStdString(), jobB.cachePath);
    EXPECT_EQ(GatedTool::redOf(jobB.cachePath), 120);  // the second call's picture
    EXPECT_EQ(async.cachedPicture(jobB), jobB.cachePath);

    // A picture finished for one folder is not taken from the cache for the other.
    EXPECT_EQ(async.cachedPicture(jobA), "");
    EXPECT_FALSE(fs::exists(jobA.cachePath));
    async.request(jobA);
    ASSERT_TRUE(playertest::waitUntil([&] { return done.count() == 2; }, 30000));
    EXPECT_EQ(GatedTool::redOf(jobA.cachePath), 180);
    EXPECT_EQ(async.cachedPicture(jobA), jobA.cachePath);
    // Asking again for what is cached or in flight makes no second grab.
    async.request(jobA);
    ASSERT_TRUE(playertest::waitUntil([&] { return done.count() == 3; }, 30000));
    EXPECT_FALSE(tool.called(4));
}

// Every command line of the table, run for real on a temporary AVI made by
// the grabber's writer.
TEST(ToolCommands, EveryLineWorksWithTheInstalledTools) {
    Folder f;
    const int i = f.indexOf("20261201_100000.qmr3");
    testrec::TempDir out;
    // A whole recording as AVI: parameter sets, then every picture.
    const std::string avi = out.file("temp.avi");
    {
        const auto sets = qmr3::parameterSetsFor(qmr3::ParamSetFamily::A, 352, 240);
        qmr3::H264PictureWriter pw(qmr3::ParamSetFamily::A, 352, 240);
        CGrabAviWriter w;
        ASSERT_TRUE(w.open(avi, 352, 240, 15, 0, 0, 10));
        w.writeVideoChunk(sets->data(), 21);
        for (std::uint32_t n = 0; n < 30; ++n) {
            const auto pic = pw.picture(n, n % 15 == 0);
            w.writeVideoChunk(pic.data(), std::uint32_t(pic.size()));
        }
        ASSERT_TRUE(w.close());
    }
    (void)i;
    const std::string ffmpeg = toolcmd::findTool("ffmpeg");
    const std::string mencoder = toolcmd::findTool("mencoder");
    ASSERT_FALSE(ffmpeg.empty());
    ASSERT_FALSE(mencoder.empty());
    auto run = [](const toolcmd::Command& c, const std::string& made) {
        CRedirector r;
        EXPECT_TRUE(r.Start(c.program, c.args)) << toolcmd::displayLine(c);
        EXPECT_TRUE(playertest::waitUntil([&] { return !r.isRunning(); }, 120000)) << toolcmd::displayLine(c);
        std::error_code ec;
        EXPECT_TRUE(fs::exists(made, ec) && fs::file_size(made, ec) > 0) << toolcmd::displayLine(c);
    };
    // Names with blanks and shell characters pass untouched.
    const std::string odd = out.file("clip $(x) 'q'");
    run(toolcmd::exportAvi(ffmpeg, avi, odd + ".avi"), odd + ".avi");
    run(toolcmd::exportWmv(ffmpeg, avi, "512k", out.file("e.wmv")), out.file("e.wmv"));
    run(toolcmd::backupAvi(ffmpeg, avi, out.file("b.avi")), out.file("b.avi"));
    run(toolcmd::backupWmv(ffmpeg, avi, out.file("b.wmv")), out.file("b.wmv"));
    // Merge inputs are whole AVI files as a muxer writes them.
    run(toolcmd::backupAvi(ffmpeg, avi, out.file("b 2.avi")), out.file("b 2.avi"));
    run(toolcmd::mergeAvi(mencoder, {out.file("b.avi"), out.file("b 2.avi")}, out.file("m.avi")),
        out.file("m.avi"));
    run(toolcmd::mergeWmvStage1(mencoder, {out.file("b.avi"), out.file("b 2.avi")},
                                out.file("out-merged.avi")),
        out.file("out-merged.avi"));
    run(toolcmd::backupWmv(ffmpeg, out.file("out-merged.avi"), out.file("m.wmv")), out.file("m.wmv"));
    run(toolcmd::grabFrame(ffmpeg, avi, "qcif", out.file("g-%d.bmp"), true), out.file("g-1.bmp"));
    EXPECT_EQ(QImage(QString::fromStdString(out.file("g-1.bmp"))).size(), QSize(176, 144));
}

// Grabs at the same time never share a temporary file.
TEST(FrameGrabber, ConcurrentGrabsKeepTheirOwnFiles) {
    Folder f;
    const int i = f.indexOf("20261201_100000.qmr3");
    const std::vector<std::pair<std::string, QSize>> sizes = {
        {"110x72", {110, 72}}, {"qcif", {176, 144}}, {"352x240", {352, 240}}, {"450x300", {450, 300}}};
    std::vector<GrabJob> jobs;
    for (const auto& s : sizes) jobs.push_back(FrameGrabber::makeJob(f.lib, i, s.first, -1));
    const std::string ffmpeg = FrameGrabber().ffmpegPath();
    std::vector<std::string> results(jobs.size()), errors(jobs.size());
    std::vector<std::thread> threads;
    for (std::size_t k = 0; k < jobs.size(); ++k)
        threads.emplace_back([&, k] { results[k] = FrameGrabber::run(jobs[k], ffmpeg, &errors[k]); });
    for (auto& t : threads) t.join();
    for (std::size_t k = 0; k < jobs.size(); ++k) {
        ASSERT_EQ(results[k], jobs[k].cachePath) << errors[k];
        const QImage img(QString::fromStdString(results[k]));
        EXPECT_EQ(img.size(), sizes[k].second) << sizes[k].first;
    }
}
