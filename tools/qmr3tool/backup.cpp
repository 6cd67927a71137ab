#include "backup.h"

#include "backupjob.h"
#include "toolpath.h"
#include "videolibrary.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) { g_stop = true; }

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

int usageError(const std::string& why) {
    std::fprintf(stderr,
                 "qmr3tool: %s\n"
                 "usage: qmr3tool backup FOLDER-OR-FILES... --to DIR [--format qmr3|avi|wmv] [--merge]\n"
                 "                [--on-conflict skip|replace|keep-both]\n",
                 why.c_str());
    return kExitUsage;
}

std::string programFolder() {
    char buf[4096];
    const ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    const std::string self = n > 0 ? std::string(buf, std::size_t(n)) : std::string();
    const auto slash = self.rfind('/');
    return slash == std::string::npos ? std::string() : self.substr(0, slash);
}

// The recordings of a folder, or one recording, as the catalogue reads them.
bool addItems(const std::string& path, std::vector<vantrex::BackupItem>& items) {
    CVideoLibrary lib;
    struct stat st {};
    const bool folder = stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    if (folder) lib.scanFolder(path);
    else lib.scanFileList({path});
    for (const auto& e : lib.errors()) std::fprintf(stderr, "qmr3tool: %s\n", e.c_str());
    if (!lib.errors().empty()) return false;
    if (folder && lib.fileCount() == 0) {
        std::fprintf(stderr, "qmr3tool: no recording in %s\n", path.c_str());
        return false;
    }
    for (int i = 0; i < lib.fileCount(); ++i) {
        vantrex::BackupItem it;
        it.path = lib.filePath(i);
        it.fileName = lib.fileName(i);
        struct stat fs {};
        it.sizeBytes = stat(it.path.c_str(), &fs) == 0 ? std::uint64_t(fs.st_size) : lib.fileSize(i);
        it.startTime = lib.startTime(i);
        it.lengthSeconds = lib.length(i);
        it.indexCount = lib.indexCount(i);
        items.push_back(it);
    }
    return true;
}

void showProgress(const vantrex::BackupJob& job, bool merging) {
    const int done = job.recordingsDone();
    const int total = job.recordingsSelected();
    // Whole recordings done plus the share of the one in work.
    const int current = job.itemInWork();
    const int partial = current >= 0 && done < total ? job.itemProgress(std::size_t(current)) : 0;
    const int percent = total > 0 ? std::min(100, (done * 100 + partial) / total) : 0;
    std::fprintf(stderr, "\r%d/%d recordings  %3d%%", done, total, percent);
    if (merging && job.mergeExpectedFrames() > 0 && done == total) {
        const std::int64_t m =
            std::min<std::int64_t>(100, job.mergeFramesDone() * 100 / job.mergeExpectedFrames());
        std::fprintf(stderr, "  merging %3d%% (%lld MB)", int(m), static_cast<long long>(job.mergedSizeMb()));
        if (job.wmvExpectedFrames() > 0) {
            const std::int64_t w =
                std::min<std::int64_t>(100, job.wmvFramesDone() * 100 / job.wmvExpectedFrames());
            std::fprintf(stderr, "  WMV %3d%% (%lld MB)", int(w), static_cast<long long>(job.wmvSizeMb()));
        }
    }
    std::fprintf(stderr, "   ");
    std::fflush(stderr);
}

void printList(const char* title, const std::vector<std::string>& paths) {
    std::printf("%s: %zu\n", title, paths.size());
    for (const auto& p : paths) std::printf("  %s\n", p.c_str());
}

}  // namespace

int cmdBackup(const std::vector<std::string>& args) {
    std::vector<std::string> sources;
    std::string to, format = "qmr3", conflict = "skip";
    bool merge = false;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "--to") {
            if (!value(to)) return usageError("--to needs a folder");
        } else if (a == "--format") {
            if (!value(format)) return usageError("--format needs qmr3, avi or wmv");
        } else if (a == "--merge") {
            merge = true;
        } else if (a == "--on-conflict") {
            if (!value(conflict)) return usageError("--on-conflict needs skip, replace or keep-both");
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option " + a);
        } else {
            sources.push_back(a);
        }
    }
    if (sources.empty()) return usageError("a folder or recordings to back up are needed");
    if (to.empty()) return usageError("--to DIR is needed");
    vantrex::BackupOptions opt;
    opt.targetFolder = to;
    if (!vantrex::parseBackupFormat(format, opt.format))
        return usageError("unknown format " + format + " (qmr3, avi or wmv)");
    if (merge && opt.format == vantrex::BackupFormat::Copy)
        return usageError("--merge needs --format avi or wmv");
    opt.merge = merge;
    vantrex::ConflictChoice choice;
    if (conflict == "skip") choice = vantrex::ConflictChoice::Skip;
    else if (conflict == "replace") choice = vantrex::ConflictChoice::Replace;
    else if (conflict == "keep-both") choice = vantrex::ConflictChoice::KeepBoth;
    else return usageError("unknown --on-conflict " + conflict + " (skip, replace or keep-both)");
    opt.onConflict = [choice](const std::string&) { return choice; };
    const std::string folder = programFolder();
    opt.ffmpeg = qmr3::findProgram("ffmpeg", folder);
    opt.mencoder = qmr3::findProgram("mencoder", folder);

    std::vector<vantrex::BackupItem> items;
    for (const auto& s : sources)
        if (!addItems(s, items)) return kExitFailure;

    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit is a write error like a full disk
    vantrex::BackupJob job(std::move(items), opt);
    const bool tty = isatty(2) != 0;
    std::atomic<bool> done{false};
    vantrex::BackupOutcome out;
    std::thread worker([&] {
        out = job.run(g_stop);
        done = true;
    });
    while (!done.load()) {
        if (tty) showProgress(job, merge);
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    worker.join();
    if (tty) {
        showProgress(job, merge);
        std::fputc('\n', stderr);
    }

    printList("backed up", out.backedUp);
    printList("skipped, identical copy already there", out.skippedIdentical);
    printList(("skipped, a different file of that name is there (--on-conflict " + conflict + ")").c_str(),
              out.skipped);
    std::printf("failed: %zu\n", out.failed.size());
    for (const auto& f : out.failed)
        std::printf("  %s%s%s\n", f.recording.c_str(), f.recording.empty() ? "" : ": ", f.reason.c_str());
    for (const auto& w : out.warnings)
        std::fprintf(stderr, "qmr3tool: warning: %s: %s\n", w.recording.c_str(), w.reason.c_str());
    for (const auto& f : out.failed)
        std::fprintf(stderr, "qmr3tool: %s%s%s\n", f.recording.c_str(), f.recording.empty() ? "" : ": ",
                     f.reason.c_str());
    if (out.status == vantrex::BackupStatus::Stopped) {
        std::printf("stopped: what was not finished was removed\n");
        std::fprintf(stderr, "qmr3tool: the backup was stopped\n");
        return kExitFailure;
    }
    return out.status == vantrex::BackupStatus::Completed ? kExitOk : kExitFailure;
}
