// The backup engine through its public interface: exact copies, conversions
// read back with ffmpeg, merges in time order, same-named targets, stops,
// failing tools and unwritable targets, with nothing half-written left.
#include "backupjob.h"
#include "exportcheck.h"
#include "generator.h"
#include "toolpath.h"
#include "videolibrary.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/resource.h>
#include <thread>
#include <unistd.h>

using namespace exportcheck;
namespace fs = std::filesystem;

namespace {

class Backup : public ::testing::Test {
protected:
    void SetUp() override { setenv("KORVID_TEMP_DIR", temp.path().c_str(), 1); }

    std::string make(const std::string& name, int seconds, int hour, int minute) {
        qmr3::GenOptions o;
        o.seconds = seconds;
        o.audio = qmr3::AudioKind::Pcm;
        o.hour = hour;
        o.minute = minute;
        const std::string p = src.file(name);
        const auto r = qmr3::generateRecording(p, o);
        EXPECT_TRUE(r.ok) << r.error;
        return p;
    }
    // The recordings as the catalogue describes them, in the order given.
    std::vector<vantrex::BackupItem> items(const std::vector<std::string>& names) {
        std::vector<vantrex::BackupItem> v;
        for (const auto& n : names) {
            CVideoLibrary lib;
            lib.scanFileList({src.file(n)});
            EXPECT_EQ(lib.fileCount(), 1) << n;
            if (lib.fileCount() != 1) continue;
            v.push_back({lib.filePath(0), lib.fileName(0), lib.fileSize(0), lib.startTime(0), lib.length(0),
                         lib.indexCount(0)});
        }
        return v;
    }
    vantrex::BackupOptions options(vantrex::BackupFormat f, bool merge = false) {
        vantrex::BackupOptions o;
        o.targetFolder = out.path();
        o.format = f;
        o.merge = merge;
        o.ffmpeg = qmr3::findProgram("ffmpeg");
        o.mencoder = qmr3::findProgram("mencoder");
        return o;
    }
    vantrex::BackupOutcome backup(vantrex::BackupJob& job) {
        std::atomic<bool> stop{false};
        return job.run(stop);
    }
    bool tempEmpty() const {
        const fs::path t = fs::path(temp.path()) / "Temp_OrvanePlayer" / "Temporary";
        return !fs::exists(t) || fs::is_empty(t);
    }
    std::string script(const std::string& name, const std::string& body) {
        const std::string p = src.file(name);
        const std::string text = "#!/bin/sh\n" + body + "\n";
        testrec::writeBytes(p, std::vector<std::uint8_t>(text.begin(), text.end()));
        fs::permissions(p, fs::perms::owner_all);
        return p;
    }
    long pictures(const std::string& file) {
        const std::string n = run({"ffprobe", "-v", "error", "-count_frames", "-select_streams", "v:0",
                                   "-show_entries", "stream=nb_read_frames", "-of", "csv=p=0", file});
        return std::atol(n.c_str());
    }
    std::string run(const std::vector<std::string>& args) { return exportcheck::run(args); }

    testrec::TempDir src, out, temp;
};

std::vector<long> concat(std::initializer_list<std::vector<long>> parts) {
    std::vector<long> v;
    for (const auto& p : parts) v.insert(v.end(), p.begin(), p.end());
    return v;
}

}  // namespace

TEST_F(Backup, CopiesAreExactAndSameNamedTargetsAreSkippedReplacedOrKeptAsAsked) {
    make("a.qmr3", 4, 12, 0);
    make("b.qmr3", 6, 12, 10);
    make("c.qmr3", 2, 12, 20);
    auto opt = options(vantrex::BackupFormat::Copy, true);  // merging means nothing for copies
    opt.targetFolder = out.file("card/2026/december");      // made level by level
    const std::string dest = opt.targetFolder + "/";
    vantrex::BackupJob job(items({"a.qmr3", "b.qmr3", "c.qmr3"}), opt);
    EXPECT_EQ(job.itemInWork(), -1);
    auto o = backup(job);
    EXPECT_EQ(o.status, vantrex::BackupStatus::Completed);
    EXPECT_EQ(o.backedUp, (std::vector<std::string>{dest + "a.qmr3", dest + "b.qmr3", dest + "c.qmr3"}));
    for (const char* n : {"a.qmr3", "b.qmr3", "c.qmr3"})
        EXPECT_EQ(testrec::readBytes(dest + n), testrec::readBytes(src.file(n))) << n;
    EXPECT_EQ(strayFiles(dest, {"a.qmr3", "b.qmr3", "c.qmr3"}), std::vector<std::string>{});
    EXPECT_EQ(job.recordingsDone(), 3);
    EXPECT_EQ(job.kbDone(), job.kbSelected());
    EXPECT_GT(job.kbSelected(), 500);
    EXPECT_EQ(job.itemProgress(2), 100);
    EXPECT_EQ(job.itemInWork(), -1);

    // a: a stale, longer copy; b: already the same bytes; c: a different file.
    auto stale = testrec::readBytes(src.file("a.qmr3"));
    stale.resize(stale.size() + 5000, 0xAB);
    testrec::writeBytes(dest + "a.qmr3", stale);
    testrec::writeBytes(dest + "c.qmr3", {1, 2, 3});
    std::vector<std::string> asked;
    opt.onConflict = [&](const std::string& target) {
        asked.push_back(target);
        return target.ends_with("a.qmr3") ? vantrex::ConflictChoice::Replace
                                          : vantrex::ConflictChoice::KeepBoth;
    };
    vantrex::BackupJob again(items({"a.qmr3", "b.qmr3", "c.qmr3"}), opt);
    o = backup(again);
    EXPECT_EQ(o.status, vantrex::BackupStatus::Completed);
    EXPECT_EQ(asked, (std::vector<std::string>{dest + "a.qmr3", dest + "c.qmr3"}));
    EXPECT_EQ(o.backedUp, (std::vector<std::string>{dest + "a.qmr3", dest + "c (2).qmr3"}));
    EXPECT_EQ(o.skippedIdentical, std::vector<std::string>{dest + "b.qmr3"});
    EXPECT_EQ(testrec::readBytes(dest + "a.qmr3"), testrec::readBytes(src.file("a.qmr3")));
    EXPECT_EQ(testrec::readBytes(dest + "c (2).qmr3"), testrec::readBytes(src.file("c.qmr3")));
    EXPECT_EQ(testrec::readBytes(dest + "c.qmr3"), (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(again.recordingsDone(), 3);

    // Without anyone to ask, a different file is left alone and reported.
    testrec::writeBytes(dest + "a.qmr3", {9});
    opt.onConflict = nullptr;
    vantrex::BackupJob third(items({"a.qmr3"}), opt);
    o = backup(third);
    EXPECT_EQ(o.skipped, std::vector<std::string>{dest + "a.qmr3"});
    EXPECT_TRUE(o.backedUp.empty());
    EXPECT_EQ(testrec::readBytes(dest + "a.qmr3"), std::vector<std::uint8_t>{9});
    EXPECT_EQ(strayFiles(dest, {"a.qmr3", "b.qmr3", "c.qmr3", "c (2).qmr3"}), std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Backup, AStoppedCopyLeavesNeitherThePartNorATemporaryFile) {
    make("small.qmr3", 2, 12, 0);
    // A big file, so the copy is surely under way when the stop comes.
    const std::string big = src.file("big.qmr3");
    testrec::writeBytes(big, {});
    ASSERT_EQ(truncate(big.c_str(), 3LL << 30), 0);
    auto list = items({"small.qmr3"});
    list.push_back({big, "big.qmr3", 3ULL << 30, list[0].startTime, 2, 4});
    vantrex::BackupJob job(list, options(vantrex::BackupFormat::Copy));
    std::atomic<bool> stop{false};
    vantrex::BackupOutcome o;
    std::thread worker([&] { o = job.run(stop); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (job.itemProgress(1) < 1 && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    EXPECT_EQ(job.itemInWork(), 1);
    stop = true;
    worker.join();
    EXPECT_EQ(o.status, vantrex::BackupStatus::Stopped);
    EXPECT_EQ(o.backedUp, std::vector<std::string>{out.file("small.qmr3")});
    EXPECT_EQ(testrec::readBytes(out.file("small.qmr3")), testrec::readBytes(src.file("small.qmr3")));
    EXPECT_EQ(strayFiles(out.path(), {"small.qmr3"}), std::vector<std::string>{});
    EXPECT_EQ(job.itemProgress(1), 0);
    EXPECT_EQ(job.recordingsDone(), 1);
}

TEST_F(Backup, AviAndWmvBackupsHoldEveryPictureUnderTheRecordingsTimeAndLength) {
    make("a.qmr3", 4, 12, 0);
    make("b.qmr3", 6, 12, 10);
    vantrex::BackupJob avi(items({"a.qmr3", "b.qmr3"}), options(vantrex::BackupFormat::Avi));
    auto o = backup(avi);
    ASSERT_EQ(o.status, vantrex::BackupStatus::Completed) << (o.failed.empty() ? "" : o.failed[0].reason);
    const std::string a = out.file("20261201120000_0004.avi"), b = out.file("20261201121000_0006.avi");
    EXPECT_EQ(o.backedUp, (std::vector<std::string>{a, b}));
    EXPECT_EQ(framesOf(a, 352, 240, temp.file("f.gray")), range(0, 120));
    EXPECT_EQ(framesOf(b, 352, 240, temp.file("f.gray")), range(0, 180));
    EXPECT_NE(probe(a).find("codec_name=pcm_u8"), std::string::npos);
    EXPECT_EQ(avi.itemProgress(1), 100);

    // The same conversion again finds the same bytes there.
    vantrex::BackupJob aviAgain(items({"a.qmr3"}), options(vantrex::BackupFormat::Avi));
    EXPECT_EQ(backup(aviAgain).skippedIdentical, std::vector<std::string>{a});

    vantrex::BackupJob wmv(items({"b.qmr3"}), options(vantrex::BackupFormat::Wmv));
    o = backup(wmv);
    ASSERT_EQ(o.status, vantrex::BackupStatus::Completed) << (o.failed.empty() ? "" : o.failed[0].reason);
    const std::string w = out.file("20261201121000_0006.wmv");
    EXPECT_EQ(o.backedUp, std::vector<std::string>{w});
    EXPECT_NE(probe(w).find("codec_name=wmv2"), std::string::npos);
    EXPECT_EQ(pictures(w), 180);
    EXPECT_EQ(strayFiles(out.path(),
                         {"20261201120000_0004.avi", "20261201121000_0006.avi", "20261201121000_0006.wmv"}),
              std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Backup, AMergedFileHoldsAllRecordingsInTimeOrderUnderItsTimeSpan) {
    make("a.qmr3", 4, 12, 0);
    make("b.qmr3", 6, 12, 10);
    make("c.qmr3", 2, 12, 20);
    // Chosen out of time order; the file follows the clock.
    const auto list = items({"b.qmr3", "c.qmr3", "a.qmr3"});
    vantrex::BackupJob avi(list, options(vantrex::BackupFormat::Avi, true));
    auto o = backup(avi);
    ASSERT_EQ(o.status, vantrex::BackupStatus::Completed) << (o.failed.empty() ? "" : o.failed[0].reason);
    const std::string name = "20261201_120000-20261201_122002.avi";
    EXPECT_EQ(o.mergedName, name);
    EXPECT_EQ(avi.outputName(), name);
    EXPECT_EQ(o.backedUp, std::vector<std::string>{out.file(name)});
    EXPECT_EQ(framesOf(out.file(name), 352, 240, temp.file("f.gray")),
              concat({range(0, 120), range(0, 180), range(0, 60)}));
    EXPECT_EQ(avi.mergeExpectedFrames(), 360);
    EXPECT_EQ(avi.mergeFramesDone(), 360);
    EXPECT_EQ(avi.recordingsDone(), 3);

    vantrex::BackupJob wmv(list, options(vantrex::BackupFormat::Wmv, true));
    o = backup(wmv);
    ASSERT_EQ(o.status, vantrex::BackupStatus::Completed) << (o.failed.empty() ? "" : o.failed[0].reason);
    const std::string wname = "20261201_120000-20261201_122002.wmv";
    EXPECT_EQ(o.mergedName, wname);
    EXPECT_EQ(pictures(out.file(wname)), 360);
    EXPECT_EQ(wmv.wmvExpectedFrames(), 396);
    EXPECT_EQ(wmv.wmvFramesDone(), 396);

    // Pictures of another size cannot join them: said before any work, nothing written.
    qmr3::GenOptions large;
    large.seconds = 2;
    large.width = 704;
    large.height = 480;
    ASSERT_TRUE(qmr3::generateRecording(src.file("d.qmr3"), large).ok);
    auto opt = options(vantrex::BackupFormat::Avi, true);
    opt.targetFolder = out.file("mixed");
    vantrex::BackupJob mixed(items({"a.qmr3", "d.qmr3"}), opt);
    o = backup(mixed);
    EXPECT_EQ(o.status, vantrex::BackupStatus::Failed);
    ASSERT_EQ(o.failed.size(), 1u);
    EXPECT_NE(o.failed[0].reason.find("a.qmr3 is 352x240"), std::string::npos) << o.failed[0].reason;
    EXPECT_NE(o.failed[0].reason.find("d.qmr3 is 704x480"), std::string::npos) << o.failed[0].reason;
    EXPECT_EQ(mixed.recordingsDone(), 0);
    EXPECT_EQ(strayFiles(out.path(), {name, wname, "mixed"}), std::vector<std::string>{});
    EXPECT_EQ(strayFiles(out.file("mixed"), {}), std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Backup, FailingToolsAreFailuresNamingTheRecordingAndLeaveNothing) {
    make("a.qmr3", 2, 12, 0);
    auto opt = options(vantrex::BackupFormat::Wmv);
    opt.ffmpeg = script("ffmpeg-broken", "echo broken codec; exit 1");
    vantrex::BackupJob broken(items({"a.qmr3"}), opt);
    auto o = backup(broken);
    EXPECT_EQ(o.status, vantrex::BackupStatus::Failed);
    ASSERT_EQ(o.failed.size(), 1u);
    EXPECT_EQ(o.failed[0].recording, "a.qmr3");
    EXPECT_NE(o.failed[0].reason.find("exit status 1"), std::string::npos) << o.failed[0].reason;
    EXPECT_NE(o.failed[0].reason.find("broken codec"), std::string::npos) << o.failed[0].reason;
    EXPECT_EQ(broken.recordingsDone(), 0);

    opt.ffmpeg = script("ffmpeg-silent", "exit 0");
    vantrex::BackupJob silent(items({"a.qmr3"}), opt);
    o = backup(silent);
    ASSERT_EQ(o.failed.size(), 1u);
    EXPECT_NE(o.failed[0].reason.find("wrote nothing"), std::string::npos) << o.failed[0].reason;

    opt.ffmpeg.clear();
    vantrex::BackupJob none(items({"a.qmr3"}), opt);
    o = backup(none);
    ASSERT_EQ(o.failed.size(), 1u);
    EXPECT_NE(o.failed[0].reason.find("ffmpeg was not found"), std::string::npos);

    auto merge = options(vantrex::BackupFormat::Avi, true);
    merge.mencoder = "/bin/false";
    vantrex::BackupJob merged(items({"a.qmr3"}), merge);
    o = backup(merged);
    EXPECT_EQ(o.status, vantrex::BackupStatus::Failed);
    ASSERT_EQ(o.failed.size(), 1u);
    EXPECT_EQ(o.failed[0].recording, "20261201_120000-20261201_120002.avi");
    EXPECT_EQ(o.mergedName, "");
    EXPECT_EQ(strayFiles(out.path(), {}), std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Backup, AStopEndsARunningToolThatIgnoresTerminationAndRemovesItsOutput) {
    make("a.qmr3", 2, 12, 0);
    auto opt = options(vantrex::BackupFormat::Wmv);
    const std::string pidFile = src.file("pid");
    // Writes a little, then ignores SIGTERM and hangs.
    opt.ffmpeg = script("ffmpeg-stuck", "trap '' TERM; echo $$ > " + pidFile +
                                            "; for last; do :; done; echo partial > \"$last\"; echo frame=1; "
                                            "exec sleep 600");
    vantrex::BackupJob job(items({"a.qmr3"}), opt);
    std::atomic<bool> stop{false};
    vantrex::BackupOutcome o;
    std::thread worker([&] { o = job.run(stop); });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!fs::exists(pidFile) && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
    stop = true;
    worker.join();
    EXPECT_EQ(o.status, vantrex::BackupStatus::Stopped);
    EXPECT_TRUE(o.failed.empty());
    const auto pidText = testrec::readBytes(pidFile);
    const pid_t pid = pid_t(std::atol(std::string(pidText.begin(), pidText.end()).c_str()));
    ASSERT_GT(pid, 0);
    EXPECT_NE(kill(pid, 0), 0);  // gone, and reaped
    EXPECT_EQ(strayFiles(out.path(), {}), std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());
}

TEST_F(Backup, UnwritableTargetsFullDisksAndVanishedRecordingsAreNamedAndSpareWhatWasDone) {
    make("a.qmr3", 2, 12, 0);
    make("b.qmr3", 8, 12, 10);
    const auto list = items({"a.qmr3", "b.qmr3"});

    // A file where a folder level should be.
    testrec::writeBytes(out.file("plain"), {1});
    auto opt = options(vantrex::BackupFormat::Copy);
    opt.targetFolder = out.file("plain/backup");
    vantrex::BackupJob blocked(list, opt);
    auto o = backup(blocked);
    EXPECT_EQ(o.status, vantrex::BackupStatus::Failed);
    ASSERT_EQ(o.failed.size(), 1u);
    EXPECT_NE(o.failed[0].reason.find(out.file("plain") + " is not a folder"), std::string::npos)
        << o.failed[0].reason;
    if (geteuid() != 0) {  // permissions do not hold back root
        fs::create_directory(out.file("locked"));
        fs::permissions(out.file("locked"), fs::perms::owner_read | fs::perms::owner_exec);
        opt.targetFolder = out.file("locked");
        vantrex::BackupJob locked(list, opt);
        o = backup(locked);
        ASSERT_EQ(o.failed.size(), 1u);
        EXPECT_NE(o.failed[0].reason.find("cannot write to the target folder"), std::string::npos);
        fs::permissions(out.file("locked"), fs::perms::owner_all);
    }

    // Room for the small recording only: the big one fails alone, the small copy stands.
    opt.targetFolder = out.file("full");
    vantrex::BackupJob full(list, opt);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = old;
    small.rlim_cur = rlim_t(fs::file_size(src.file("a.qmr3")) + 1000);
    setrlimit(RLIMIT_FSIZE, &small);
    o = backup(full);
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(o.status, vantrex::BackupStatus::Failed);
    EXPECT_EQ(o.backedUp, std::vector<std::string>{out.file("full/a.qmr3")});
    ASSERT_EQ(o.failed.size(), 1u);
    EXPECT_EQ(o.failed[0].recording, "b.qmr3");
    EXPECT_NE(o.failed[0].reason.find("cannot write in"), std::string::npos) << o.failed[0].reason;
    EXPECT_EQ(testrec::readBytes(out.file("full/a.qmr3")), testrec::readBytes(src.file("a.qmr3")));
    EXPECT_EQ(strayFiles(out.file("full"), {"a.qmr3"}), std::vector<std::string>{});

    // A recording gone since it was listed.
    fs::remove(src.file("a.qmr3"));
    opt.targetFolder = out.file("later");
    for (auto format : {vantrex::BackupFormat::Copy, vantrex::BackupFormat::Avi}) {
        opt.format = format;
        vantrex::BackupJob gone(list, opt);
        o = backup(gone);
        EXPECT_EQ(o.status, vantrex::BackupStatus::Failed);
        ASSERT_EQ(o.failed.size(), 1u);
        EXPECT_EQ(o.failed[0].recording, "a.qmr3");
        EXPECT_NE(o.failed[0].reason.find("No such file"), std::string::npos) << o.failed[0].reason;
        EXPECT_EQ(o.backedUp.size(), 1u);
    }
    EXPECT_EQ(strayFiles(out.file("later"), {"b.qmr3", "20261201121000_0008.avi"}),
              std::vector<std::string>{});
    EXPECT_TRUE(tempEmpty());
}
