// The cut-and-convert engine and the export job, end to end: clips are read
// back with ffmpeg and compared picture by picture with the range asked for.
#include "clipexport.h"
#include "exportcheck.h"
#include "generator.h"
#include "videolibrary.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

using namespace exportcheck;
namespace fs = std::filesystem;

namespace {

class Converter : public ::testing::Test {
protected:
    void SetUp() override { setenv("KORVID_TEMP_DIR", temp.path().c_str(), 1); }

    std::string make(const std::string& name, qmr3::GenOptions o) {
        const std::string p = dir.file(name);
        const auto r = qmr3::generateRecording(p, o);
        EXPECT_TRUE(r.ok) << r.error;
        return p;
    }
    vantrex::ClipRequest request(const std::string& src, const std::string& out, std::int64_t from,
                                 std::int64_t to, vantrex::ClipFormat f = vantrex::ClipFormat::Avi) {
        vantrex::ClipRequest r;
        r.source = src;
        r.target = out;
        r.fromOffset = from;
        r.toOffset = to;
        r.format = f;
        r.ffmpeg = vantrex::findFfmpeg();
        return r;
    }
    // prepare, convert, the tool step, publish; the error text when any fails.
    std::string exportClip(const vantrex::ClipRequest& req, vantrex::ConvertReport* report = nullptr) {
        vantrex::ClipExport job;
        std::atomic<bool> stop{false};
        std::atomic<int> progress{0};
        if (!job.prepare(req) || !job.convert(stop, progress)) return job.error();
        EXPECT_EQ(progress.load(), 100);
        const auto cmd = job.toolCommand();
        std::string out;
        const bool toolOk = cmd.program.empty() || vantrex::runTool(cmd, nullptr, &out, nullptr) == 0;
        if (!job.publish(toolOk, out)) return job.error();
        if (report) *report = job.report();
        return {};
    }
    bool tempEmpty() const {
        const fs::path t = fs::path(temp.path()) / "Temp_OrvanePlayer" / "Temporary";
        return !fs::exists(t) || fs::is_empty(t);
    }
    std::string text(const std::string& p) {
        std::ifstream f(p);
        return std::string(std::istreambuf_iterator<char>(f), {});
    }

    testrec::TempDir dir, out, temp;
};

qmr3::GenOptions twentySeconds() {
    qmr3::GenOptions o;
    o.seconds = 20;
    o.audio = qmr3::AudioKind::Pcm;
    o.events = {{{3, 3}, 0x01}};
    o.motion = {{4, 4}};
    o.gps = true;
    return o;
}

}  // namespace

TEST_F(Converter, AviHoldsExactlyTheRangeWithSoundSubtitlesAndTable) {
    const auto src = make("rec.qmr3", twentySeconds());
    vantrex::ConvertReport rep;
    ASSERT_EQ(exportClip(request(src, out.file("clip.avi"), 2, 5), &rep), "");
    // Seconds 2, 3 and 4 at 30 pictures per second, motion maps and trailers gone.
    EXPECT_EQ(framesOf(out.file("clip.avi"), 352, 240, temp.file("f.gray")), range(60, 150));
    const auto info = probe(out.file("clip.avi"));
    EXPECT_NE(info.find("codec_name=h264"), std::string::npos);
    EXPECT_NE(info.find("codec_name=pcm_u8"), std::string::npos);
    EXPECT_NEAR(double(soundSamples(out.file("clip.avi"), temp.file("a.raw"))), 3 * 8000, 1000);
    EXPECT_EQ(rep.pictures, 90);
    EXPECT_EQ(rep.repeats, 0);

    const std::string srt = text(out.file("clip.srt"));
    EXPECT_NE(srt.find("1\n00:00:00,000 --> 00:00:01,000\n2026-12-01 12:00:02\n\n"), std::string::npos)
        << srt;
    EXPECT_NE(srt.find("2\n00:00:01,000 --> 00:00:02,000\n2026-12-01 12:00:03\nAlarm\n\n"),
              std::string::npos);
    EXPECT_NE(srt.find("3\n00:00:02,000 --> 00:00:03,000\n2026-12-01 12:00:04\nMotion\n"), std::string::npos);
    const std::string csv = text(out.file("clip.csv"));
    EXPECT_EQ(std::count(csv.begin(), csv.end(), '\n'), 4);
    EXPECT_NE(csv.find("\n2026-12-01 12:00:03,0x01,"), std::string::npos) << csv;
    EXPECT_EQ(csv.find(",0,0,0,0,0,0,0,0\n"), std::string::npos);  // GPS words are there
    EXPECT_EQ(strayFiles(out.path(), {"clip.avi", "clip.srt", "clip.csv"}), std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Converter, HolesAreFilledWithTheLastPictureUnlessTheRecordingAsksForStraightCopy) {
    qmr3::GenOptions o;
    o.seconds = 6;
    o.fps = 10;
    o.gop = 10;
    o.rateIndex = 1;  // the header says 15 pictures per second
    o.audio = qmr3::AudioKind::Adpcm;
    const auto src = make("holes.qmr3", o);
    ASSERT_EQ(exportClip(request(src, out.file("h.avi"), 1, 4)), "");
    std::vector<long> expected;
    for (long s = 1; s < 4; ++s) {
        for (long i = 0; i < 10; ++i) expected.push_back(s * 10 + i);
        expected.insert(expected.end(), 5, s * 10 + 9);
    }
    // The last second's repeats follow its last picture in the file, which the test cannot see as pictures.
    const auto info = probe(out.file("h.avi"));
    EXPECT_NE(info.find("nb_frames=45"), std::string::npos) << info;
    expected.resize(expected.size() - 5);
    EXPECT_EQ(framesOf(out.file("h.avi"), 352, 240, temp.file("f.gray"), 15), expected);
    EXPECT_NE(info.find("codec_name=adpcm_ms"), std::string::npos);
    EXPECT_NEAR(double(soundSamples(out.file("h.avi"), temp.file("a.raw"))), 3 * 8000, 1000);

    // One packet per group of pictures: every picture of it is a picture of the clip.
    qmr3::GenOptions g;
    g.seconds = 6;
    g.fps = 25;
    g.gop = 25;
    g.width = 704;
    g.height = 576;
    g.gopMode = true;
    const auto gop = make("gop.qmr3", g);
    vantrex::ConvertReport gopReport;
    ASSERT_EQ(exportClip(request(gop, out.file("g.avi"), 1, 4), &gopReport), "");
    EXPECT_EQ(gopReport.repeats, 0);
    EXPECT_EQ(framesOf(out.file("g.avi"), 704, 576, temp.file("f.gray"), 25), range(25, 100));

    o.summary = 0x20;
    const auto straight = make("straight.qmr3", o);
    ASSERT_EQ(exportClip(request(straight, out.file("s.avi"), 1, 4)), "");
    EXPECT_EQ(framesOf(out.file("s.avi"), 352, 240, temp.file("f.gray"), 15), range(10, 40));
}

TEST_F(Converter, Mp4KeepsPicturesTimeAndSubtitlesAndStartsWithItsIndex) {
    const auto src = make("rec.qmr3", twentySeconds());
    ASSERT_EQ(exportClip(request(src, out.file("clip.mp4"), 2, 5, vantrex::ClipFormat::Mp4)), "");
    EXPECT_EQ(framesOf(out.file("clip.mp4"), 352, 240, temp.file("f.gray")), range(60, 150));
    const auto info = probe(out.file("clip.mp4"));
    EXPECT_NE(info.find("codec_name=aac"), std::string::npos);
    EXPECT_NE(info.find("codec_name=mov_text"), std::string::npos);
    const std::int64_t start = qmr3::localCalendarToSeconds(2026, 12, 1, 12, 0, 2);
    char utc[64];
    const std::time_t t = start;
    std::tm tm{};
    gmtime_r(&t, &tm);
    std::strftime(utc, sizeof utc, "creation_time=%Y-%m-%dT%H:%M:%S", &tm);
    EXPECT_NE(info.find(utc), std::string::npos) << info;
    EXPECT_GT(soundSamples(out.file("clip.mp4"), temp.file("a.raw")), 2u * 8000);
    const auto bytes = testrec::readBytes(out.file("clip.mp4"));
    const std::string head(bytes.begin(), bytes.end());
    EXPECT_LT(head.find("moov"), head.find("mdat"));  // fast start
    const std::string subs =
        run({"-nostdin", "-v", "error", "-i", out.file("clip.mp4"), "-map", "0:s:0", "-f", "srt", "-"});
    EXPECT_NE(subs.find("2026-12-01 12:00:03"), std::string::npos) << subs;
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Converter, SubFileIsARecordingOfTheRangeInTheCatalogue) {
    const auto src = make("rec.qmr3", twentySeconds());
    ASSERT_EQ(exportClip(request(src, out.file("part.qmr3"), 2, 5, vantrex::ClipFormat::Qmr3)), "");
    CVideoLibrary lib;
    ASSERT_EQ(lib.scanFileList({out.file("part.qmr3")}), 1);
    EXPECT_EQ(lib.startTime(0), qmr3::localCalendarToSeconds(2026, 12, 1, 12, 0, 2));
    EXPECT_EQ(lib.endTime(0), qmr3::localCalendarToSeconds(2026, 12, 1, 12, 0, 4));  // last group at 04.5
    EXPECT_EQ(lib.length(0), 3);
    EXPECT_EQ(lib.damaged(0), 0);
    EXPECT_EQ(lib.indexCount(0), 6u);
    ASSERT_EQ(lib.readVideoInfo(0), 1);
    // A sub-file exports like its source.
    ASSERT_EQ(exportClip(request(out.file("part.qmr3"), out.file("again.avi"), 1, 2)), "");
    EXPECT_EQ(framesOf(out.file("again.avi"), 352, 240, temp.file("f.gray")), range(90, 120));
}

TEST_F(Converter, RangesThatHoldNoPicturesAreRefusedClearly) {
    qmr3::GenOptions o = twentySeconds();
    o.gaps = {{10, 3600}};
    const auto src = make("gap.qmr3", o);
    auto refused = [&](std::int64_t from, std::int64_t to) {
        return exportClip(request(src, out.file("x.avi"), from, to));
    };
    EXPECT_NE(refused(5, 5).find("is not before its end"), std::string::npos);
    EXPECT_NE(refused(7, 3).find("is not before its end"), std::string::npos);
    EXPECT_NE(refused(5000, 5010).find("lies outside the recording"), std::string::npos);
    EXPECT_NE(refused(100, 200).find("no pictures were recorded"), std::string::npos);
    EXPECT_EQ(strayFiles(out.path(), {}), std::vector<std::string>{});
    // Across the jump: seconds 8 and 9 before it, then 3610 (recorded second 10).
    ASSERT_EQ(refused(8, 3611), "");
    EXPECT_EQ(framesOf(out.file("x.avi"), 352, 240, temp.file("f.gray")), range(240, 330));
    // An end beyond the recording is cut to its end.
    vantrex::ConvertReport rep;
    ASSERT_EQ(exportClip(request(src, out.file("end.avi"), 3618, 99999), &rep), "");
    EXPECT_EQ(rep.pictures, 60);
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Converter, DamageFailsCleanlyOrShortensTheClipWithAWarning) {
    qmr3::GenOptions o = twentySeconds();
    o.damage = {{qmr3::DamageKind::BadMagic, 200}};  // about 6 s in, sound packets counted
    const auto src = make("bad.qmr3", o);
    vantrex::ConvertReport rep;
    ASSERT_EQ(exportClip(request(src, out.file("short.avi"), 2, 10), &rep), "");
    EXPECT_NE(rep.warning.find("damaged"), std::string::npos);
    const auto frames = framesOf(out.file("short.avi"), 352, 240, temp.file("f.gray"));
    ASSERT_FALSE(frames.empty());
    EXPECT_EQ(frames.front(), 60);
    EXPECT_EQ(frames, range(60, 60 + long(frames.size())));
    EXPECT_LT(frames.size(), 240u);

    // A recording cut short has lost its index with its end.
    o.damage = {{qmr3::DamageKind::CutShort, 50}};
    const auto cut = make("cut.qmr3", o);
    const std::string why = exportClip(request(cut, out.file("none.avi"), 2, 4));
    EXPECT_NE(why.find("the recording is damaged"), std::string::npos) << why;
    EXPECT_FALSE(fs::exists(out.file("none.avi")));
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Converter, StopAndToolFailureLeaveNothing) {
    qmr3::GenOptions o = twentySeconds();
    o.seconds = 120;
    o.width = 704;
    o.height = 480;
    const auto src = make("long.qmr3", o);
    vantrex::ClipExport job;
    ASSERT_TRUE(job.prepare(request(src, out.file("stopped.avi"), 0, 120))) << job.error();
    std::atomic<bool> stop{false};
    std::atomic<int> progress{0};
    bool ok = true;
    std::thread worker([&] { ok = job.convert(stop, progress); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (progress.load() < 5 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_FALSE(ok);
    EXPECT_EQ(job.report().outcome, vantrex::Outcome::Stopped);
    EXPECT_EQ(strayFiles(out.path(), {}), std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());

    // An ffmpeg that fails: no MP4, no sidecars, a message that says why.
    const std::string fake = dir.file("ffmpeg");
    testrec::writeBytes(fake, {'#', '!', '/', 'b', 'i', 'n', '/', 's', 'h', '\n', 'e', 'c', 'h', 'o', ' ',
                               'b', 'r', 'o', 'k', 'e', 'n', ';', 'e', 'x', 'i',  't', ' ', '1', '\n'});
    fs::permissions(fake, fs::perms::owner_all);
    auto req = request(src, out.file("tool.mp4"), 2, 4, vantrex::ClipFormat::Mp4);
    req.ffmpeg = fake;
    EXPECT_NE(exportClip(req).find("ffmpeg could not write the clip: broken"), std::string::npos);
    req.ffmpeg.clear();
    EXPECT_NE(exportClip(req).find("ffmpeg was not found"), std::string::npos);
    EXPECT_EQ(strayFiles(out.path(), {}), std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());

    // An existing file is kept unless replacing was asked for.
    testrec::writeBytes(out.file("old.avi"), {1, 2, 3});
    EXPECT_NE(exportClip(request(src, out.file("old.avi"), 2, 4)).find("already exists"), std::string::npos);
    auto replace = request(src, out.file("old.avi"), 2, 4);
    replace.overwrite = true;
    EXPECT_EQ(exportClip(replace), "");
    EXPECT_GT(fs::file_size(out.file("old.avi")), 1000u);
}

TEST_F(Converter, TwoExportsAtOnceUseTheirOwnTemporaryFiles) {
    const auto src = make("rec.qmr3", twentySeconds());
    vantrex::ClipExport a, b;
    ASSERT_TRUE(a.prepare(request(src, out.file("a.mp4"), 2, 4, vantrex::ClipFormat::Mp4)));
    ASSERT_TRUE(b.prepare(request(src, out.file("b.mp4"), 6, 8, vantrex::ClipFormat::Mp4)));
    EXPECT_NE(a.workFolder(), b.workFolder());
    std::atomic<bool> stop{false};
    std::atomic<int> pa{0}, pb{0};
    ASSERT_TRUE(a.convert(stop, pa));
    ASSERT_TRUE(b.convert(stop, pb));
    for (auto* job : {&a, &b}) {
        std::string o;
        ASSERT_EQ(vantrex::runTool(job->toolCommand(), nullptr, &o, nullptr), 0) << o;
        ASSERT_TRUE(job->publish(true));
    }
    EXPECT_EQ(framesOf(out.file("a.mp4"), 352, 240, temp.file("f.gray")), range(60, 120));
    EXPECT_EQ(framesOf(out.file("b.mp4"), 352, 240, temp.file("f.gray")), range(180, 240));
}
