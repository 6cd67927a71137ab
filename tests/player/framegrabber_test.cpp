// Frame grabs: the temporary AVI's bytes, grabs decoded in process and by
// ffmpeg read back by frame number and compared, damaged recordings, a
// missing ffmpeg, and every tool command line run against the installed
// ffmpeg and mencoder.
#include "framedecoder.h"
#include "framegrabber.h"
#include "generator.h"
#include "h264paramsets.h"
#include "h264writer.h"
#include "playertest.h"
#include "qmr3reader.h"
#include "redirector.h"
#include "tempdirs.h"
#include "testrecordings.h"
#include "toolcommands.h"
#include "videolibrary.h"

#include <QImage>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
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

// Frame number of a picture scaled back to the recording's size.
std::optional<std::uint32_t> frameNumberAt(const QString& bmp, QSize recording) {
    QImage img(bmp);
    if (img.isNull()) return std::nullopt;
    img = img.scaled(recording, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
              .convertToFormat(QImage::Format_RGB888);
    return qmr3::readFrameNumber(img.constBits(), int(img.bytesPerLine()), img.width(), img.height(), 3);
}

// Largest and mean difference of two pictures' colour channels.
struct PixelDiff {
    int largest = 0;
    double mean = 0;
};
PixelDiff compare(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888), y = b.convertToFormat(QImage::Format_RGB888);
    PixelDiff d;
    long long sum = 0;
    for (int row = 0; row < x.height(); ++row)
        for (int k = 0; k < x.width() * 3; ++k) {
            const int v = std::abs(int(x.constScanLine(row)[k]) - int(y.constScanLine(row)[k]));
            d.largest = std::max(d.largest, v);
            sum += v;
        }
    d.mean = double(sum) / (double(x.width()) * x.height() * 3);
    return d;
}

int leftInTemporaryFolder() {
    int left = 0;
    for (const auto& e : fs::directory_iterator(qmr3::temporaryDir()))
        if (e.path().filename().string().rfind("grab-", 0) == 0) ++left;
    return left;
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
    EXPECT_EQ(leftInTemporaryFolder(), 0);

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
    playertest::ToolGrabs tool;
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

    // Pictures decoded in process need no ffmpeg, and nothing is said.
    CAsyncFrameGrabber none;
    none.grabber().setFfmpegPath("");
    QSignalSpy problem(&none, &CAsyncFrameGrabber::toolProblem);
    QSignalSpy results(&none, &CAsyncFrameGrabber::grabbed);
    none.request(FrameGrabber::makeJob(f.lib, i, "qcif", -1));
    ASSERT_TRUE(playertest::waitUntil([&] { return results.count() == 1; }, 30000));
    EXPECT_EQ(results.at(0).at(1).toString().toStdString(), f.lib.thumbnailPath(i, "qcif", -1));
    EXPECT_FALSE(none.toolMissing());

    // Grabs that need the tool fail, and its absence is said once.
    playertest::ToolGrabs tool;
    none.request(FrameGrabber::makeJob(f.lib, i, "720x480", -1));
    none.request(FrameGrabber::makeJob(f.lib, i, "450x300", -1));
    ASSERT_TRUE(playertest::waitUntil([&] { return results.count() == 3; }, 30000));
    EXPECT_EQ(problem.count(), 1);
    EXPECT_TRUE(none.toolMissing());
    EXPECT_TRUE(results.at(1).at(1).toString().isEmpty());
    EXPECT_TRUE(results.at(2).at(1).toString().isEmpty());
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
    playertest::ToolGrabs forced;
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

// A picture decoded in process is the picture ffmpeg makes of the same job:
// same file layout and size, same frame, colours within rounding.
TEST(FrameGrabber, InProcessPictureMatchesFfmpegs) {
    struct Case {
        int productId, width, height;
        std::vector<std::string> sizes;
    };
    const std::vector<Case> cases = {
        {0x49, 352, 240, {"352x240", "qcif"}},             // not deinterlaced
        {0x41, 352, 240, {"352x240", "110x72"}},           // deinterlaced
        {0x00, 704, 480, {"704x480", "qcif", "720x480"}},  // deinterlaced
        {0x49, 704, 480, {"qcif", "450x300"}},
    };
    for (const Case& c : cases) {
        Folder f(c.productId, c.width, c.height);
        const int i = f.indexOf("20261201_100000.qmr3");
        ASSERT_EQ(f.lib.readVideoInfo(i), 1);
        for (const std::string& size : c.sizes) {
            const std::string what = std::to_string(c.productId) + " " + std::to_string(c.width) + " " + size;
            FrameGrabber own;
            own.setFfmpegPath("");  // proves no tool is started
            const std::string path = own.grab(f.lib, i, size, 2);
            ASSERT_EQ(path, f.lib.thumbnailPath(i, size, 2)) << what << ": " << own.lastError();
            const std::vector<std::uint8_t> mine = testrec::readBytes(path);
            fs::remove(path);

            playertest::ToolGrabs tool;
            FrameGrabber viaTool;
            ASSERT_EQ(viaTool.grab(f.lib, i, size, 2), path) << what << ": " << viaTool.lastError();
            const std::vector<std::uint8_t> theirs = testrec::readBytes(path);

            // Same layout: the whole header, hence size and pixel format, and the file length.
            ASSERT_EQ(mine.size(), theirs.size()) << what;
            ASSERT_GE(mine.size(), 54u);
            EXPECT_TRUE(std::equal(mine.begin(), mine.begin() + 54, theirs.begin())) << what;
            EXPECT_EQ(u32(mine, 2), mine.size()) << what;

            const QImage a = QImage::fromData(mine.data(), int(mine.size()), "BMP");
            const QImage b = QImage::fromData(theirs.data(), int(theirs.size()), "BMP");
            ASSERT_FALSE(a.isNull()) << what;
            EXPECT_EQ(a.size(), b.size()) << what;
            const PixelDiff d = compare(a, b);
            EXPECT_LE(d.largest, 8) << what;
            EXPECT_LT(d.mean, 0.5) << what;

            // Picture 30 (two seconds at 15 per second) in both.
            const QSize rec(c.width, c.height);
            fs::remove(path);
            testrec::writeBytes(path, mine);
            const auto number = frameNumberAt(QString::fromStdString(path), rec);
            EXPECT_EQ(number, std::optional<std::uint32_t>(30)) << what;
            testrec::writeBytes(path, theirs);
            EXPECT_EQ(frameNumberAt(QString::fromStdString(path), rec), number) << what;
        }
    }
    EXPECT_EQ(leftInTemporaryFolder(), 0);
}

// Damaged or hostile pictures give an error, never a picture, a half file or
// a crash; damaged recordings of every kind qmr3gen makes give an error or a
// complete picture.
TEST(FrameGrabber, DamagedPicturesGiveAnErrorAndNoFile) {
    Folder f(0x00, 704, 480);
    const int i = f.indexOf("20261201_100000.qmr3");
    const std::string recording = f.lib.filePath(i);
    const std::string cache = f.lib.thumbnailPath(i, "qcif", -1);
    std::uint64_t payloadAt = 0;
    std::uint32_t payloadLength = 0;
    {
        qmr3::Qmr3Reader r;
        ASSERT_TRUE(r.open(recording));
        qmr3::Qmr3Reader::Packet p;
        while (r.readNext(p) == qmr3::Qmr3Reader::Status::Ok && p.header.stream != qmr3::kStreamVideo) {
        }
        ASSERT_EQ(p.header.stream, qmr3::kStreamVideo);
        payloadAt = p.offset + qmr3::kPacketLinkSize + qmr3::kPacketHeaderSize;
        payloadLength = p.payloadLength;
        ASSERT_GT(payloadLength, 100u);
    }
    const std::vector<std::uint8_t> original = testrec::readBytes(recording);
    FrameGrabber g;
    auto expectNoPicture = [&](const std::string& what) {
        EXPECT_EQ(g.grab(f.lib, i, "qcif", -1), "") << what;
        EXPECT_FALSE(g.lastError().empty()) << what;
        EXPECT_FALSE(fs::exists(cache)) << what;
        fs::remove(cache);
    };
    std::mt19937 random(20261207);
    for (int round = 0; round < 20; ++round) {
        std::vector<std::uint8_t> bytes = original;
        // Whole pictures of garbage keep nothing, the start code and the
        // intra slice's header byte, or the slice header too, so the decoder
        // reads into the macroblocks. Short garbage stays in the headers:
        // within raw macroblock samples any bytes are a valid picture.
        const bool whole = round < 12;
        const std::size_t keeps[] = {0, 5, 12};
        const std::size_t keep = whole ? keeps[round % 3] : keeps[round % 2];
        const std::size_t end = whole ? payloadLength - 4 : 12;
        for (std::size_t k = keep; k < end; ++k) bytes[payloadAt + k] = std::uint8_t(random());
        testrec::writeBytes(recording, bytes);
        expectNoPicture("garbage round " + std::to_string(round));
    }
    // Cut inside the first picture.
    std::vector<std::uint8_t> cut(original.begin(),
                                  original.begin() + std::ptrdiff_t(payloadAt + payloadLength / 2));
    testrec::writeBytes(recording, cut);
    expectNoPicture("cut inside the picture");
    EXPECT_NE(g.lastError().find("no picture"), std::string::npos) << g.lastError();

    using qmr3::DamageKind;
    const std::vector<qmr3::Damage> kinds = {
        {DamageKind::CutShort, 1},     {DamageKind::CutShort, 50},    {DamageKind::BadMagic, 0},
        {DamageKind::Oversized, 0},    {DamageKind::EmptyPicture, 0}, {DamageKind::MotionShort, 0},
        {DamageKind::BadFirstTime, 0}, {DamageKind::IndexCut, 0},     {DamageKind::IndexOutside, 0},
    };
    for (const qmr3::Damage& damage : kinds) {
        const std::string what =
            "damage kind " + std::to_string(int(damage.kind)) + "@" + std::to_string(damage.at);
        testrec::TempDir dir;
        qmr3::GenOptions o;
        o.width = 704;
        o.height = 480;
        o.fps = 15;
        o.gop = 15;
        o.seconds = 4;
        o.damage = {damage};
        ASSERT_TRUE(qmr3::generateRecording(dir.file("20261201_100000.qmr3"), o).ok) << what;
        CVideoLibrary lib;
        lib.scanFolder(dir.path());
        ASSERT_EQ(lib.fileCount(), 1) << what;
        lib.readVideoInfo(0);
        for (int offset : {-1, 2}) {
            const std::string made = lib.thumbnailPath(0, "qcif", offset);
            FrameGrabber grabber;
            const std::string result = grabber.grab(lib, 0, "qcif", offset);
            if (result == made) {
                EXPECT_EQ(QImage(QString::fromStdString(made)).size(), QSize(176, 144)) << what;
                fs::remove(made);
            } else {
                EXPECT_TRUE(result == "ERR" || (result.empty() && !grabber.lastError().empty()))
                    << what << ": " << result;
                EXPECT_FALSE(fs::exists(made)) << what;
            }
        }
    }
    EXPECT_EQ(leftInTemporaryFolder(), 0);
}

// The pattern pictures are mostly flat; noise and fine stripes show that the
// deinterlacer moves exactly the pixels ffmpeg's yadif moves on a lone picture.
TEST(FrameGrabber, DeinterlacerMatchesYadifOnDetailedPictures) {
    testrec::TempDir dir;
    std::mt19937 random(5);
    for (const QSize size : {QSize(64, 48), QSize(37, 21)}) {
        const int w = size.width(), h = size.height();
        std::vector<std::uint8_t> plane(std::size_t(w) * std::size_t(h));
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                plane[std::size_t(y * w + x)] = x < w / 2
                                                    ? std::uint8_t(random())
                                                    : std::uint8_t((y % 2 ? 40 : 200) + (x * 7 + y * 3) % 30);
        testrec::writeBytes(dir.file("in.raw"), plane);
        std::string why;
        const std::string dims = std::to_string(w) + "x" + std::to_string(h);
        ASSERT_EQ(runAndWait(toolcmd::findTool("ffmpeg"),
                             {"-nostdin", "-v", "error", "-y", "-f", "rawvideo", "-pix_fmt", "gray", "-s",
                              dims, "-i", dir.file("in.raw"), "-vf", "yadif", "-f", "rawvideo", "-pix_fmt",
                              "gray", dir.file("out.raw")},
                             30000, &why),
                  0)
            << why;
        grabdecode::deinterlacePlane(plane.data(), w, w, h);
        const std::vector<std::uint8_t> theirs = testrec::readBytes(dir.file("out.raw"));
        ASSERT_EQ(theirs.size(), plane.size());
        int moved = 0, differing = 0;
        for (std::size_t k = 0; k < plane.size(); ++k) differing += plane[k] != theirs[k];
        const std::vector<std::uint8_t> in = testrec::readBytes(dir.file("in.raw"));
        for (std::size_t k = 0; k < plane.size(); ++k) moved += plane[k] != in[k];
        EXPECT_EQ(differing, 0) << dims;
        EXPECT_GT(moved, w * h / 8) << dims;
    }
}
