// Runs qmr3tool as a process and checks what it prints and how it exits.
#include "generator.h"
#include "pictureframe.h"
#include "testrecordings.h"
#include "toolrun.h"

#include <QImage>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

using namespace testrec;
namespace fs = std::filesystem;

namespace {

class Qmr3Tool : public ::testing::Test {
protected:
    ToolRun run(std::vector<std::string> args) {
        args.insert(args.begin(), QMR3TOOL_PATH);
        return runTool(std::move(args), io);
    }
    static std::string local(const qmr3::Qmr3TimeStamp& t) {
        return "\"" + qmr3::formatLocalTime(seconds(t)) + "\"";
    }
    static bool has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }

    TempDir io;   // captured output
    TempDir dir;  // recordings
    const qmr3::Qmr3TimeStamp t0 = at(2011, 6, 1, 9, 0, 0);
};

}  // namespace

TEST_F(Qmr3Tool, ScanJsonHasEveryKeyInOrder) {
    writeRecording(dir.file("a.qmr3"), steadyFrames(t0, 3),
                   {.frameRateCode = 15,
                    .width = 352,
                    .height = 240,
                    .productId = 3,
                    .eventSummary = 6,
                    .lengthSeconds = 30});
    writeBytes(dir.file("b.qmr3"), std::vector<std::uint8_t>(50, 0));
    const auto size = fs::file_size(dir.file("a.qmr3"));
    const ToolRun r = run({"scan", dir.path(), "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out,
              "[\n  {\"name\": \"a.qmr3\", \"start\": " + local(t0) + ", \"end\": " + local(plus(t0, 2)) +
                  ", \"length\": 30, \"width\": 352, \"height\": 240, \"fps\": 15, \"damaged\": false, "
                  "\"index_offset\": " +
                  std::to_string(size - 13) +
                  ", \"index_count\": 3, \"events\": 6, "
                  "\"size\": " +
                  std::to_string(size) +
                  ", \"product_id\": 3},\n"
                  "  {\"name\": \"b.qmr3\", \"start\": null, \"end\": null, \"length\": 0, \"width\": 0, "
                  "\"height\": 0, \"fps\": 0, \"damaged\": true, \"index_offset\": 0, \"index_count\": 0, "
                  "\"events\": 1, \"size\": 50, \"product_id\": 0}\n]\n");
}

TEST_F(Qmr3Tool, ScanEscapesNamesAndReportsErrors) {
    writeRecording(dir.file("q\"b\\s\x01\xff.qmr3"), steadyFrames(t0, 2));
    const ToolRun json = run({"scan", dir.path(), "--json"});
    EXPECT_EQ(json.status, 0);
    EXPECT_TRUE(has(json.out, "\"name\": \"q\\\"b\\\\s\\u0001\xff.qmr3\"")) << json.out;

    const ToolRun table = run({"scan", dir.path()});
    EXPECT_EQ(table.status, 0);
    EXPECT_TRUE(has(table.out, qmr3::formatLocalTime(seconds(t0)))) << table.out;

    writeRecording(dir.file("a.qmr3"), steadyFrames(t0, 2));
    const ToolRun list = run({"scan", dir.file("a.qmr3") + "|" + dir.file("gone.qmr3"), "--json"});
    EXPECT_EQ(list.status, 1);
    EXPECT_TRUE(has(list.err, "gone.qmr3"));
    EXPECT_TRUE(has(list.out, "\"a.qmr3\""));

    const ToolRun missing = run({"scan", dir.file("nowhere"), "--json"});
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "[]\n");
    EXPECT_FALSE(missing.err.empty());
}

TEST_F(Qmr3Tool, InfoJsonListsClipsPositionsAndEvents) {
    auto frames = std::vector<Frame>{{t0}, {plus(t0, 1)}, {plus(t0, 5)}};
    frames[1].flags = 0x10;
    const auto off = writeRecording(dir.file("r.qmr3"), frames);
    const ToolRun r = run({"info", dir.file("r.qmr3"), "--json"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "{\"ok\": true,\n \"clips\": [[" + local(t0) + ", " + local(plus(t0, 5)) +
                         "]],\n"
                         " \"frame_positions\": [\n  [" +
                         local(t0) + ", " + std::to_string(off[0]) + "],\n  [" + local(plus(t0, 1)) + ", " +
                         std::to_string(off[1]) + "],\n  [" + local(plus(t0, 5)) + ", " +
                         std::to_string(off[2]) + "]],\n \"events\": [\n  {\"time\": " + local(plus(t0, 1)) +
                         ", \"offset\": " + std::to_string(off[1]) + ", \"flags\": 16}]}\n");

    const ToolRun gone = run({"info", dir.file("gone.qmr3"), "--json"});
    EXPECT_EQ(gone.status, 1);
    EXPECT_TRUE(gone.out.empty());
    EXPECT_TRUE(has(gone.err, "gone.qmr3"));
}

TEST_F(Qmr3Tool, RecoverIndex) {
    const ToolRun empty = run({"recover-index", dir.path()});
    EXPECT_EQ(empty.status, 1);
    EXPECT_FALSE(empty.err.empty());
    EXPECT_FALSE(fs::exists(dir.file("filelist.lst")));

    writeRecording(dir.file("a.qmr3"), steadyFrames(t0, 2));
    writeRecording(dir.file("b.qmr3"), steadyFrames(plus(t0, 9), 2));
    const ToolRun r = run({"recover-index", dir.path()});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "Index Recovery Completed (2 files)\n");
    EXPECT_EQ(fs::file_size(dir.file("filelist.lst")), 112u);
}

TEST_F(Qmr3Tool, BadArgumentsShowUsage) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {}, {"scan"}, {"frobnicate", "x"}, {"verify", "x", "y"}, {"verify", "x", "--json"}}) {
        const ToolRun r = run(args);
        EXPECT_EQ(r.status, 2);
        EXPECT_TRUE(has(r.err, "usage:"));
    }
}

TEST_F(Qmr3Tool, VerifySoundFile) {
    auto frames = steadyFrames(t0, 4);
    frames[1].stream = qmr3::kStreamAudio;
    frames[1].indexed = false;
    writeRecording(dir.file("ok.qmr3"), frames);
    const ToolRun r = run({"verify", dir.file("ok.qmr3")});
    EXPECT_EQ(r.status, 0) << r.out;
    EXPECT_TRUE(
        has(r.out, "4 packets (3 video, 1 audio), 3 index entries, end marker present, 0 problem(s): sound"))
        << r.out;
}

TEST_F(Qmr3Tool, VerifyReportsIndexProblems) {
    auto frames = steadyFrames(t0, 4);
    frames[2].stream = qmr3::kStreamAudio;
    const std::string path = dir.file("bad.qmr3");
    const auto off = writeRecording(path, frames, {.extraClaimedEntries = 2});
    const auto table = fs::file_size(path) - 1 - 16;
    patchU32(path, table + 0, 0x7FFFFFF0);
    patchU32(path, table + 4, off[1] + 3);
    const ToolRun r = run({"verify", path});
    EXPECT_EQ(r.status, 1);
    for (const std::string& line : std::vector<std::string>{
             "index table cut short (count claims 6, file holds 4)",
             "index entry 0 (offset 2147483632) outside the file",
             "index entry 1 (offset " + std::to_string(off[1] + 3) + ") not at a packet start",
             "index entry 2 (offset " + std::to_string(off[2]) + ") not a video packet"})
        EXPECT_TRUE(has(r.out, line + "\n")) << line << "\n" << r.out;
    EXPECT_FALSE(has(r.out, "index entry 3"));
}

TEST_F(Qmr3Tool, VerifyReportsPacketProblems) {
    auto frames = steadyFrames(t0, 3);
    frames[0].time.month = 13;
    const auto off = writeRecording(dir.file("m.qmr3"), frames, {.endMarker = false});
    const ToolRun noMarker = run({"verify", dir.file("m.qmr3")});
    EXPECT_EQ(noMarker.status, 1);
    EXPECT_TRUE(has(noMarker.out, "invalid first time stamp at 172\n")) << noMarker.out;
    EXPECT_TRUE(has(noMarker.out, "missing end marker\n"));

    writeRecording(dir.file("x.qmr3"), steadyFrames(t0, 3));
    patchU32(dir.file("x.qmr3"), off[1] + 8, 0);
    patchU32(dir.file("x.qmr3"), 164, 0xFFFFFF00);
    const ToolRun magic = run({"verify", dir.file("x.qmr3")});
    EXPECT_EQ(magic.status, 1);
    EXPECT_TRUE(has(magic.out, "bad magic at offset " + std::to_string(off[1]) + "\n")) << magic.out;
    EXPECT_TRUE(has(magic.out, "header index offset 4294967040 outside the file"));

    frames = steadyFrames(t0, 3);
    frames[2].payloadBytes = 1048577;
    writeRecording(dir.file("y.qmr3"), frames);
    const ToolRun big = run({"verify", dir.file("y.qmr3")});
    EXPECT_EQ(big.status, 1);
    EXPECT_TRUE(has(big.out, "payload over 1 MiB at " + std::to_string(off[2]))) << big.out;

    writeRecording(dir.file("z.qmr3"), steadyFrames(t0, 3));
    fs::resize_file(dir.file("z.qmr3"), off[2] + 50);
    const ToolRun cut = run({"verify", dir.file("z.qmr3")});
    EXPECT_EQ(cut.status, 1);
    EXPECT_TRUE(has(cut.out, "packet cut short at " + std::to_string(off[2]))) << cut.out;

    const ToolRun gone = run({"verify", dir.file("gone.qmr3")});
    EXPECT_EQ(gone.status, 1);
    EXPECT_FALSE(gone.err.empty());
}

TEST_F(Qmr3Tool, ThumbnailIsTheRecordingsFirstPictureAsAPng) {
    qmr3::GenOptions o;
    o.width = 352;
    o.height = 240;
    o.fps = 10;
    o.gop = 10;
    o.seconds = 3;
    o.productId = 0x41;  // not interlaced, so the frame number reads back exactly
    ASSERT_TRUE(qmr3::generateRecording(dir.file("t.qmr3"), o).ok);

    // Large enough to keep the picture as it is: frame 0, read from its pixels.
    ToolRun r = run({"thumbnail", dir.file("t.qmr3"), io.file("full.png"), "--size", "512"});
    ASSERT_EQ(r.status, 0) << r.err;
    QImage full(QString::fromStdString(io.file("full.png")));
    ASSERT_EQ(full.size(), QSize(352, 240));
    EXPECT_EQ(testrec::frameOf(full.convertToFormat(QImage::Format_RGB32)), 0);

    // Smaller: the longer side is the size asked for, the shape kept.
    r = run({"thumbnail", dir.file("t.qmr3"), io.file("small.png"), "--size", "128"});
    ASSERT_EQ(r.status, 0) << r.err;
    const QImage small(QString::fromStdString(io.file("small.png")));
    EXPECT_EQ(small.size(), QSize(128, 87));

    // Not a recording, no size, a bad size: nothing written, and said so.
    writeBytes(dir.file("junk.qmr3"), std::vector<std::uint8_t>(500, 7));
    r = run({"thumbnail", dir.file("junk.qmr3"), io.file("junk.png")});
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(r.err.empty());
    EXPECT_FALSE(fs::exists(io.file("junk.png")));
    EXPECT_EQ(run({"thumbnail", dir.file("t.qmr3"), io.file("x.png"), "--size", "big"}).status, 2);
    EXPECT_EQ(run({"thumbnail", dir.file("t.qmr3")}).status, 2);
    EXPECT_FALSE(fs::exists(io.file("x.png")));
}

TEST_F(Qmr3Tool, ExportWritesClipsAndSubFilesAndExplainsRefusals) {
    qmr3::GenOptions o;
    o.seconds = 12;
    o.audio = qmr3::AudioKind::Pcm;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("r.qmr3"), o).ok);
    const std::string rec = dir.file("r.qmr3");

    // Times as wall clock or as seconds from the start; a sub-file that verify accepts.
    const ToolRun cut = run({"export", rec, "--from", "2026-12-01 12:00:03", "--to", "7", "--format", "qmr3",
                             dir.file("part.qmr3")});
    EXPECT_EQ(cut.status, 0) << cut.err;
    EXPECT_TRUE(has(cut.out, "120 pictures")) << cut.out;
    const ToolRun verified = run({"verify", dir.file("part.qmr3")});
    EXPECT_EQ(verified.status, 0) << verified.out;
    EXPECT_TRUE(has(verified.out, "8 index entries"));
    const ToolRun scanned = run({"scan", dir.file("part.qmr3"), "--json"});
    EXPECT_TRUE(has(scanned.out,
                    "\"start\": \"2026-12-01 12:00:03\", \"end\": \"2026-12-01 12:00:06\", "
                    "\"length\": 4"))
        << scanned.out;

    const ToolRun avi = run({"export", rec, "--from", "1", "--to", "3", dir.file("clip.avi")});
    EXPECT_EQ(avi.status, 0) << avi.err;
    EXPECT_TRUE(has(avi.out,
                    "60 pictures (0 shown again to keep the rate), 2026-12-01 12:00:01 to "
                    "2026-12-01 12:00:02, with sound"));
    EXPECT_TRUE(fs::exists(dir.file("clip.srt")) && fs::exists(dir.file("clip.csv")));
    EXPECT_TRUE(avi.err.empty()) << avi.err;  // no progress line when not on a terminal

    // Refusals: each one a sentence, exit status 1 (2 for bad usage), nothing written.
    const ToolRun again = run({"export", rec, "--from", "1", "--to", "3", dir.file("clip.avi")});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(has(again.err, "already exists (use --overwrite to replace it)"));
    EXPECT_EQ(run({"export", rec, "--from", "3", "--to", "3", dir.file("e.avi")}).status, 1);
    EXPECT_TRUE(has(run({"export", rec, "--from", "2026-12-02 00:00:00", "--to", "2026-12-02 00:01:00",
                         dir.file("e.avi")})
                        .err,
                    "lies outside the recording (2026-12-01 12:00:00 to 2026-12-01 12:00:11)"));
    EXPECT_EQ(run({"export", rec, "--from", "2026-02-30 00:00:00", "--to", "3", dir.file("e.avi")}).status,
              2);
    EXPECT_EQ(run({"export", rec, "--from", "1", "--to", "3", "--format", "mkv", dir.file("e.mkv")}).status,
              2);
    EXPECT_EQ(run({"export", rec, "--from", "1", dir.file("e.avi")}).status, 2);
    EXPECT_TRUE(
        has(run({"export", rec, "--from", "1", "--to", "3", dir.file("none/e.avi")}).err, "does not exist"));
    EXPECT_FALSE(fs::exists(dir.file("e.avi")));
}

TEST_F(Qmr3Tool, ExportThatCannotWriteEverythingLeavesNothing) {
    qmr3::GenOptions o;
    o.seconds = 20;
    o.width = 704;
    o.height = 480;
    ASSERT_TRUE(qmr3::generateRecording(dir.file("r.qmr3"), o).ok);
    // A file-size limit makes every write past 1 MB fail, as a full disk does.
    const pid_t pid = fork();
    if (pid == 0) {
        rlimit lim{1000000, 1000000};
        setrlimit(RLIMIT_FSIZE, &lim);
        const int err = ::open(io.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        dup2(err, 2);
        execl(QMR3TOOL_PATH, QMR3TOOL_PATH, "export", dir.file("r.qmr3").c_str(), "--from", "0", "--to", "20",
              dir.file("big.avi").c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int ws = 0;
    ASSERT_EQ(waitpid(pid, &ws, 0), pid);
    ASSERT_TRUE(WIFEXITED(ws));  // no crash, no signal
    EXPECT_EQ(WEXITSTATUS(ws), 1);
    const auto err = readBytes(io.file("err"));
    EXPECT_TRUE(has(std::string(err.begin(), err.end()), "File too large"));
    std::vector<std::string> left;
    for (const auto& e : fs::directory_iterator(dir.path())) left.push_back(e.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"r.qmr3"});
}

TEST_F(Qmr3Tool, AHostileFolderIsListedToTheEndAndItsNamesExportSafely) {
    TempDir work;
    qmr3::GenOptions o;
    o.fps = 2;
    o.gop = 2;
    o.seconds = 4;
    o.audio = qmr3::AudioKind::Pcm;
    ASSERT_TRUE(qmr3::generateRecording(work.file("base.qmr3"), o).ok);
    const HostileFolder h = writeHostileFolder(dir.path(), work.file("base.qmr3"), 10000);

    // Everything with bytes in it is listed, the rest is named on standard error.
    const ToolRun scan = run({"scan", dir.path(), "--json"});
    EXPECT_EQ(scan.status, 1);
    std::size_t names = 0;
    for (std::size_t at = 0; (at = scan.out.find("{\"name\": ", at)) != std::string::npos; ++at) ++names;
    EXPECT_EQ(names, std::size_t(h.plain) + h.awkward.size() + 3);
    EXPECT_TRUE(has(scan.out, "\"name\": \"-dash.qmr3\"") && has(scan.out, "\"name\": \"new\\nline.qmr3\""));
    EXPECT_TRUE(has(scan.err, "loop-a.qmr3") && has(scan.err, "loop-b.qmr3")) << scan.err;
    EXPECT_FALSE(has(scan.out, "empty-1.qmr3") || has(scan.out, "\"itself.qmr3\""));

    // Awkward names in and out: the clip is written where asked, under its own bytes.
    for (const std::string& name :
         {std::string("bad\xff\xfe utf8.qmr3"), std::string("-i.qmr3"), std::string("--help.qmr3")}) {
        for (const char* format : {"avi", "mp4"}) {
            const std::string out = work.file("-" + name + "." + format);
            const ToolRun r =
                run({"export", dir.file(name), "--from", "0", "--to", "3", "--format", format, out});
            EXPECT_EQ(r.status, 0) << name << " " << format << ": " << r.err;
            EXPECT_GT(fs::exists(out) ? fs::file_size(out) : 0, 1000u) << name << " " << format;
        }
        const ToolRun v = run({"verify", dir.file(name)});
        EXPECT_EQ(v.status, 0) << name << ": " << v.out << v.err;
    }
}
