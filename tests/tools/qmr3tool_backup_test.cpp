// qmr3tool backup as a process: a folder backed up, backed up again, merged,
// refused and interrupted, judged by its files, its summary and its status.
#include "generator.h"
#include "testrecordings.h"
#include "toolrun.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

using namespace testrec;
namespace fs = std::filesystem;

namespace {

class Qmr3ToolBackup : public ::testing::Test {
protected:
    void SetUp() override {
        setenv("KORVID_TEMP_DIR", temp.path().c_str(), 1);
        const struct {
            const char* name;
            int seconds, minute;
        } recs[] = {{"a.qmr3", 4, 0}, {"b.qmr3", 6, 10}, {"c.qmr3", 2, 20}};
        for (const auto& r : recs) {
            qmr3::GenOptions o;
            o.seconds = r.seconds;
            o.minute = r.minute;
            o.audio = qmr3::AudioKind::Pcm;
            ASSERT_TRUE(qmr3::generateRecording(card.file(r.name), o).ok);
        }
    }
    ToolRun run(std::vector<std::string> args) {
        args.insert(args.begin(), {QMR3TOOL_PATH, "backup"});
        return runTool(std::move(args), io);
    }
    static bool has(const std::string& text, const std::string& part) {
        return text.find(part) != std::string::npos;
    }
    bool tempEmpty() const {
        const fs::path t = fs::path(temp.path()) / "Temp_OrvanePlayer" / "Temporary";
        return !fs::exists(t) || fs::is_empty(t);
    }
    std::vector<std::string> filesIn(const std::string& folder) {
        std::vector<std::string> v;
        for (const auto& e : fs::directory_iterator(folder)) v.push_back(e.path().filename().string());
        std::sort(v.begin(), v.end());
        return v;
    }

    TempDir io, card, out, temp;
};

}  // namespace

TEST_F(Qmr3ToolBackup, BacksAFolderUpExactlyThenSkipsWhatIsThereAndMerges) {
    const std::string dest = out.file("usb/korvid");
    ToolRun r = run({card.path(), "--to", dest});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_TRUE(has(r.out, "backed up: 3\n")) << r.out;
    EXPECT_TRUE(has(r.out, "failed: 0\n"));
    EXPECT_EQ(filesIn(dest), (std::vector<std::string>{"a.qmr3", "b.qmr3", "c.qmr3"}));
    for (const char* n : {"a.qmr3", "b.qmr3", "c.qmr3"})
        EXPECT_EQ(readBytes(dest + "/" + n), readBytes(card.file(n))) << n;

    // Again: nothing to copy. One file differs now; the default leaves it and says so.
    writeBytes(dest + "/b.qmr3", {7, 7});
    r = run({card.path(), "--to", dest});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(has(r.out, "backed up: 0\n")) << r.out;
    EXPECT_TRUE(has(r.out, "skipped, identical copy already there: 2\n")) << r.out;
    EXPECT_TRUE(has(r.out, "(--on-conflict skip): 1\n  " + dest + "/b.qmr3\n")) << r.out;
    r = run({card.file("b.qmr3"), "--to", dest, "--on-conflict", "keep-both"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readBytes(dest + "/b (2).qmr3"), readBytes(card.file("b.qmr3")));
    EXPECT_EQ(readBytes(dest + "/b.qmr3"), (std::vector<std::uint8_t>{7, 7}));

    r = run(
        {card.file("b.qmr3"), card.file("a.qmr3"), "--to", out.file("merged"), "--format", "avi", "--merge"});
    ASSERT_EQ(r.status, 0) << r.err << r.out;
    EXPECT_EQ(filesIn(out.file("merged")), std::vector<std::string>{"20261201_120000-20261201_121006.avi"});
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Qmr3ToolBackup, RefusalsFailuresAndCtrlCAreReportedWithTheirStatus) {
    EXPECT_EQ(run({card.path(), "--to", out.path(), "--merge"}).status, 2);
    EXPECT_EQ(run({card.path(), "--to", out.path(), "--format", "mp3"}).status, 2);
    EXPECT_EQ(run({card.path()}).status, 2);
    EXPECT_EQ(run({card.path(), "--to", out.path(), "--on-conflict", "ask"}).status, 2);

    writeBytes(out.file("file"), {1});
    ToolRun r = run({card.path(), "--to", out.file("file/sub")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, out.file("file") + " is not a folder")) << r.err;
    r = run({card.file("missing.qmr3"), "--to", out.file("x")});
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r.err, "missing.qmr3")) << r.err;

    // An ffmpeg that hangs: Ctrl-C ends it and the backup, and nothing is left.
    TempDir bin;
    const std::string pidFile = bin.file("pid");
    const std::string text = "#!/bin/sh\necho $$ > " + pidFile + "\nexec sleep 600\n";
    writeBytes(bin.file("ffmpeg"), std::vector<std::uint8_t>(text.begin(), text.end()));
    fs::permissions(bin.file("ffmpeg"), fs::perms::owner_all);
    const std::string oldPath = getenv("PATH") ? getenv("PATH") : "";
    setenv("PATH", (bin.path() + ":" + oldPath).c_str(), 1);
    const pid_t pid =
        startTool({QMR3TOOL_PATH, "backup", card.path(), "--to", out.file("wmv"), "--format", "wmv"}, io);
    ASSERT_NE(pid, 0);
    setenv("PATH", oldPath.c_str(), 1);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(pidFile) && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    ASSERT_TRUE(fs::exists(pidFile));
    kill(pid, SIGINT);
    int ws = 0;
    ASSERT_EQ(waitpid(pid, &ws, 0), pid);
    ASSERT_TRUE(WIFEXITED(ws));
    EXPECT_EQ(WEXITSTATUS(ws), 1);
    const auto err = readBytes(io.file("err"));
    EXPECT_TRUE(has(std::string(err.begin(), err.end()), "the backup was stopped"));
    EXPECT_EQ(filesIn(out.file("wmv")), std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());
}
