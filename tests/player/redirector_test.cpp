// The tool runner with real child processes, and the command lines it is given.
#include "redirector.h"
#include "toolcommands.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <atomic>
#include <mutex>
#include <thread>
#include <cstdio>
#include <cstdlib>

namespace {

// Keeps every chunk, besides the runner's own latest-chunk sink.
class CollectingRunner : public CRedirector {
public:
    std::string all() const {
        std::lock_guard<std::mutex> g(lock_);
        return all_;
    }

protected:
    void OnOutputText(const std::string& text) override {
        {
            std::lock_guard<std::mutex> g(lock_);
            all_ += text;
        }
        CRedirector::OnOutputText(text);
    }

private:
    mutable std::mutex lock_;
    std::string all_;
};

template <class Pred>
bool waitFor(Pred pred, int ms = 10000) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!pred()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

bool alive(pid_t pid) { return pid > 0 && ::kill(pid, 0) == 0; }

}  // namespace

TEST(Redirector, OutputOnlyArrivesThenChildEndedIsTheLastChunk) {
    CollectingRunner r;
    ASSERT_TRUE(r.Start("/bin/sh", {"-c", "printf 'hello from the child'"}));
    ASSERT_TRUE(waitFor([&] { return !r.isRunning(); }));
    EXPECT_NE(r.all().find("hello from the child"), std::string::npos);
    EXPECT_EQ(r.outputText(), CRedirector::kChildEnded);
    EXPECT_EQ(r.errorText(), "");
}

TEST(Redirector, ErrorOnlyArrivesThroughTheOutputSink) {
    CollectingRunner r;
    ASSERT_TRUE(r.Start("/bin/sh", {"-c", "printf 'only on stderr' >&2"}));
    ASSERT_TRUE(waitFor([&] { return !r.isRunning(); }));
    EXPECT_NE(r.all().find("only on stderr"), std::string::npos);
    EXPECT_EQ(r.errorText(), "");
}

TEST(Redirector, ExitWithoutOutputLeavesOnlyTheEndText) {
    CollectingRunner r;
    ASSERT_TRUE(r.Start("/bin/true", {}));
    ASSERT_TRUE(waitFor([&] { return !r.isRunning(); }));
    EXPECT_EQ(r.all(), CRedirector::kChildEnded);
    EXPECT_EQ(r.outputText(), CRedirector::kChildEnded);
}

TEST(Redirector, LatestChunkOnlyIsKept) {
    CollectingRunner r;
    // Two writes far enough apart to arrive as two chunks.
    ASSERT_TRUE(r.Start("/bin/sh", {"-c", "printf first; read x; printf second"}));
    ASSERT_TRUE(waitFor([&] { return r.outputText() == "first"; }));
    EXPECT_TRUE(r.isRunning());
    r.Stop();  // closes its input: "read" returns, the child goes on without pipes
}

TEST(Redirector, StopWhileRunningLeavesTheChildAndEndsTheReader) {
    CollectingRunner r;
    ASSERT_TRUE(r.Start("/bin/sleep", {"30"}));
    const pid_t pid = r.childPid();
    ASSERT_GT(pid, 0);
    const auto before = std::chrono::steady_clock::now();
    r.Stop();
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(5));
    EXPECT_TRUE(alive(pid));
    // The flag keeps its value: the reader never saw the pipe close.
    EXPECT_TRUE(r.isRunning());
    ::kill(pid, SIGKILL);
    EXPECT_TRUE(waitFor([&] { return !alive(pid); }));
}

// An owner may stop the runner from its own output callback.
class SelfStoppingRunner : public CRedirector {
public:
    std::atomic<int> chunks{0};

protected:
    void OnOutputText(const std::string& text) override {
        CRedirector::OnOutputText(text);
        if (chunks.fetch_add(1) == 0) Stop();
    }
};

TEST(Redirector, StopFromTheReaderItself) {
    SelfStoppingRunner r;
    ASSERT_TRUE(r.Start("/bin/sh", {"-c", "printf x; exec sleep 30"}));
    const pid_t pid = r.childPid();
    ASSERT_TRUE(waitFor([&] { return r.chunks.load() >= 1; }));
    EXPECT_EQ(r.outputText(), "x");
    EXPECT_TRUE(r.isRunning());
    // A second stop from the owner returns at once.
    r.Stop();
    ::kill(pid, SIGKILL);
}

// Holds the reader in its final callback, where the old run's flag was
// about to be cleared, while the owner starts the next run.
class SlowEndRunner : public CRedirector {
public:
    std::atomic<bool> inEndText{false};

protected:
    void OnOutputText(const std::string& text) override {
        if (text == kChildEnded && !inEndText.exchange(true))
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
        CRedirector::OnOutputText(text);
    }
};

// Stops from its callback while the owner is already inside Stop.
class CallbackStopRunner : public CRedirector {
public:
    std::atomic<bool> entered{false};
    std::atomic<bool> ownerStopping{false};
    std::atomic<bool> stoppedInside{false};

protected:
    void OnOutputText(const std::string& text) override {
        CRedirector::OnOutputText(text);
        if (entered.exchange(true)) return;
        waitFor([&] { return ownerStopping.load(); });
        // Give the owner time to take the runner's lock and begin waiting for this thread.
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        Stop();
        stoppedInside = true;
    }
};

TEST(Redirector, RunsThatFollowEachOtherKeepTheirOwnState) {
    // A quick child's reader, ending as the next run starts, leaves that run's flag alone.
    {
        SlowEndRunner r;
        ASSERT_TRUE(r.Start("/bin/true", {}));
        ASSERT_TRUE(waitFor([&] { return r.inEndText.load(); }));
        ASSERT_TRUE(r.Start("/bin/sleep", {"30"}));
        const pid_t pid = r.childPid();
        EXPECT_TRUE(r.isRunning());
        EXPECT_TRUE(alive(pid));
        ::kill(pid, SIGKILL);
        EXPECT_TRUE(waitFor([&] { return !r.isRunning(); }));
        EXPECT_EQ(r.outputText(), CRedirector::kChildEnded);
    }
    // Many children that end at once: each Start's run is seen through to its end.
    CollectingRunner r;
    for (int i = 0; i < 50; ++i) {
        ASSERT_TRUE(r.Start("/bin/true", {}));
        ASSERT_TRUE(waitFor([&] { return !r.isRunning(); })) << "run " << i;
        EXPECT_EQ(r.outputText(), CRedirector::kChildEnded);
    }
}

TEST(Redirector, StopFromTheCallbackWhileTheOwnerStopsDoesNotDeadlock) {
    auto* r = new CallbackStopRunner;
    ASSERT_TRUE(r->Start("/bin/sh", {"-c", "printf x; exec sleep 30"}));
    const pid_t pid = r->childPid();
    ASSERT_TRUE(waitFor([&] { return r->entered.load(); }));
    std::atomic<bool> ownerDone{false};
    std::thread owner([&] {
        r->ownerStopping = true;
        r->Stop();
        ownerDone = true;
    });
    if (!waitFor([&] { return ownerDone.load(); })) {
        ::kill(pid, SIGKILL);
        ADD_FAILURE() << "the owner's Stop and the callback's Stop wait for each other";
        std::fflush(nullptr);
        std::_Exit(1);
    }
    owner.join();
    EXPECT_TRUE(r->stoppedInside.load());
    delete r;  // waits for nothing: the reader is gone
    ::kill(pid, SIGKILL);
}

TEST(Redirector, MissingProgramIsReportedAndNotRunning) {
    CollectingRunner r;
    EXPECT_FALSE(r.Start("/nonexistent/ffmpeg", {"-version"}));
    EXPECT_FALSE(r.isRunning());
    EXPECT_EQ(r.errorText().rfind("Redirect console error: ", 0), 0u) << r.errorText();
    EXPECT_FALSE(r.Start("", {}));
    EXPECT_FALSE(r.isRunning());
}

TEST(Redirector, StartTwiceStopsTheFirstRun) {
    CollectingRunner r;
    ASSERT_TRUE(r.Start("/bin/sleep", {"30"}));
    const pid_t first = r.childPid();
    ASSERT_TRUE(r.Start("/bin/sh", {"-c", "printf again"}));
    ASSERT_TRUE(waitFor([&] { return !r.isRunning(); }));
    EXPECT_NE(r.all().find("again"), std::string::npos);
    ::kill(first, SIGKILL);
}

TEST(Redirector, FileNamesAreNeverSeenByAShell) {
    testing::internal::CaptureStderr();
    CollectingRunner r;
    const std::string evil = "a b; touch /tmp/korvid-injected-$$ `id` $(id).avi";
    ASSERT_TRUE(r.Start("/bin/echo", {evil}));
    ASSERT_TRUE(waitFor([&] { return !r.isRunning(); }));
    EXPECT_NE(r.all().find(evil), std::string::npos);
    testing::internal::GetCapturedStderr();
}

TEST(RunAndWait, ExitCodesTimeOutAndMissingProgram) {
    std::string why;
    EXPECT_EQ(runAndWait("/bin/true", {}, 10000, &why), 0);
    EXPECT_EQ(runAndWait("/bin/sh", {"-c", "exit 3"}, 10000, &why), 3);
    EXPECT_EQ(runAndWait("/nonexistent/tool", {}, 10000, &why), -1);
    EXPECT_NE(why.find("cannot start"), std::string::npos);
    EXPECT_EQ(runAndWait("/bin/sleep", {"30"}, 200, &why), -1);
    EXPECT_NE(why.find("in time"), std::string::npos);
    std::atomic<bool> cancel{true};
    const auto before = std::chrono::steady_clock::now();
    EXPECT_EQ(runAndWait("/bin/sleep", {"30"}, 60000, &why, &cancel), -1);
    EXPECT_NE(why.find("cancelled"), std::string::npos);
    EXPECT_LT(std::chrono::steady_clock::now() - before, std::chrono::seconds(10));
}

TEST(ToolCommands, ArgumentListsUseCurrentOptions) {
    const auto grab = toolcmd::grabFrame("/x/ffmpeg", "/t/in.avi", "110x72", "/t/out-%d.bmp", true);
    const std::vector<std::string> want = {"-nostdin", "-y", "-i",     "/t/in.avi", "-vf", "yadif",
                                           "-an",      "-s", "110x72", "-vframes",  "1",   "/t/out-%d.bmp"};
    EXPECT_EQ(grab.args, want);
    const auto plain = toolcmd::grabFrame("/x/ffmpeg", "/t/in.avi", "qcif", "/t/o-%d.bmp", false);
    EXPECT_EQ(std::count(plain.args.begin(), plain.args.end(), std::string("yadif")), 0);
    for (const auto& c :
         {toolcmd::backupWmv("f", "i.avi", "o.wmv"), toolcmd::exportWmv("f", "i.avi", "256k", "o.wmv")})
        for (const std::string& a : c.args) {
            EXPECT_NE(a, "-sameq");
            EXPECT_NE(a, "-deinterlace");
            EXPECT_NE(a, "-b");
        }
    const auto merge = toolcmd::mergeWmvStage1("m", {"a.avi", "b c.avi"}, "out.avi");
    EXPECT_EQ(std::count(merge.args.begin(), merge.args.end(), std::string("-lavcopts")), 2);
    EXPECT_EQ(merge.args.back(), "b c.avi");
    const auto mergeAvi = toolcmd::mergeAvi("m", {"a.avi", "b.avi"}, "t.avi");
    EXPECT_EQ(mergeAvi.args.front(), "-forceidx");
    EXPECT_EQ(toolcmd::displayLine({"/bin/ff", {"-i", "a b"}}), "/bin/ff -i 'a b'");
}
