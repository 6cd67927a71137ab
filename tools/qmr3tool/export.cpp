#include "export.h"

#include "clipexport.h"

#include <atomic>
#include <chrono>
#include <cinttypes>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <unistd.h>

namespace {

std::atomic<bool> g_stop{false};

void onSignal(int) { g_stop = true; }

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;
constexpr int kExitShort = 3;  // written, but the recording ended early (damage)

int usageError(const std::string& why) {
    std::fprintf(stderr,
                 "qmr3tool: %s\n"
                 "usage: qmr3tool export FILE --from TIME --to TIME [--format avi|mp4|qmr3] [--overwrite] "
                 "[--no-sidecars] OUT\n"
                 "       TIME: \"YYYY-MM-DD HH:MM:SS\" or seconds from the start of the recording\n",
                 why.c_str());
    return kExitUsage;
}

// Seconds from the recording's first time stamp.
bool parseTime(const std::string& text, std::int64_t first, std::int64_t& offset) {
    std::int64_t abs = 0;
    if (vantrex::parseLocalTime(text, abs)) {
        offset = abs - first;
        return true;
    }
    if (text.empty()) return false;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (*end || v < 0) return false;
    offset = v;
    return true;
}

void showProgress(bool tty, const char* what, int percent) {
    if (tty) std::fprintf(stderr, "\r%s: %3d%%", what, percent);
}

}  // namespace

int cmdExport(const std::vector<std::string>& args) {
    std::string file, out, from, to, format = "avi";
    bool overwrite = false, sidecars = true;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) return false;
            into = args[++i];
            return true;
        };
        if (a == "--from") {
            if (!value(from)) return usageError("--from needs a time");
        } else if (a == "--to") {
            if (!value(to)) return usageError("--to needs a time");
        } else if (a == "--format") {
            if (!value(format)) return usageError("--format needs avi, mp4 or qmr3");
        } else if (a == "--overwrite") {
            overwrite = true;
        } else if (a == "--no-sidecars") {
            sidecars = false;
        } else if (a.size() > 1 && a[0] == '-') {
            return usageError("unknown option " + a);
        } else if (file.empty()) {
            file = a;
        } else if (out.empty()) {
            out = a;
        } else {
            return usageError("too many file names");
        }
    }
    if (file.empty() || out.empty()) return usageError("a recording and an output file are needed");
    if (from.empty() || to.empty()) return usageError("--from and --to are needed");
    vantrex::ClipRequest req;
    if (!vantrex::parseClipFormat(format, req.format) || req.format == vantrex::ClipFormat::Wmv)
        return usageError("unknown format " + format + " (avi, mp4 or qmr3)");

    vantrex::Cutter probe;
    std::string error;
    if (!probe.open(file, error)) {
        std::fprintf(stderr, "qmr3tool: %s\n", error.c_str());
        return kExitFailure;
    }
    if (!parseTime(from, probe.firstTime(), req.fromOffset))
        return usageError("--from: \"" + from + "\" is neither \"YYYY-MM-DD HH:MM:SS\" nor seconds");
    if (!parseTime(to, probe.firstTime(), req.toOffset))
        return usageError("--to: \"" + to + "\" is neither \"YYYY-MM-DD HH:MM:SS\" nor seconds");
    req.source = file;
    req.target = out;
    req.overwrite = overwrite;
    req.sidecars = sidecars;
    if (req.format == vantrex::ClipFormat::Mp4) {
        const char* self = "/proc/self/exe";
        char buf[4096];
        const ssize_t n = readlink(self, buf, sizeof buf - 1);
        std::string folder = n > 0 ? std::string(buf, std::size_t(n)) : std::string();
        folder = folder.substr(0, folder.rfind('/') == std::string::npos ? 0 : folder.rfind('/'));
        req.ffmpeg = vantrex::findFfmpeg(folder);
    }

    vantrex::ClipExport job;
    if (!job.prepare(req)) {
        std::string why = job.error();
        if (!overwrite && why.ends_with("already exists")) why += " (use --overwrite to replace it)";
        std::fprintf(stderr, "qmr3tool: %s\n", why.c_str());
        return kExitFailure;
    }
    std::signal(SIGINT, onSignal);
    std::signal(SIGTERM, onSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::signal(SIGXFSZ, SIG_IGN);  // a file-size limit is a write error like a full disk
    const bool tty = isatty(2) != 0;
    std::atomic<int> progress{0};
    std::atomic<bool> done{false};
    bool converted = false;
    std::thread worker([&] {
        converted = job.convert(g_stop, progress);
        done = true;
    });
    while (!done.load()) {
        showProgress(tty, "cutting", progress.load());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    worker.join();
    showProgress(tty, "cutting", converted ? 100 : progress.load());
    if (tty) std::fputc('\n', stderr);
    if (!converted) {
        std::fprintf(stderr, "qmr3tool: %s\n", job.error().c_str());
        return kExitFailure;
    }
    const vantrex::ToolCommand cmd = job.toolCommand();
    bool toolOk = true;
    std::string toolOutput;
    if (!cmd.program.empty()) {
        if (tty) std::fprintf(stderr, "converting with ffmpeg...\n");
        std::string why;
        toolOk = vantrex::runTool(cmd, &g_stop, &toolOutput, &why) == 0;
        if (!toolOk && !why.empty()) toolOutput += "\n" + why;
    }
    if (g_stop.load()) {
        job.discard();
        std::fprintf(stderr, "qmr3tool: the export was stopped; nothing was written\n");
        return kExitFailure;
    }
    if (!job.publish(toolOk, toolOutput)) {
        std::fprintf(stderr, "qmr3tool: %s\n", job.error().c_str());
        return kExitFailure;
    }
    const auto& rep = job.report();
    std::printf("%s: %" PRId64 " pictures (%" PRId64 " shown again to keep the rate), %s to %s, %s\n",
                out.c_str(), rep.pictures, rep.repeats, qmr3::formatLocalTime(rep.firstTime).c_str(),
                qmr3::formatLocalTime(rep.lastTime).c_str(),
                req.format == vantrex::ClipFormat::Qmr3 ? "recording"
                : rep.audio                             ? "with sound"
                                                        : "no sound");
    if (sidecars && req.format != vantrex::ClipFormat::Qmr3)
        std::printf("%s\n%s\n", job.srtTarget().c_str(), job.csvTarget().c_str());
    if (!rep.warning.empty()) {
        std::fprintf(stderr, "qmr3tool: warning: %s\n", rep.warning.c_str());
        return kExitShort;
    }
    return kExitOk;
}
