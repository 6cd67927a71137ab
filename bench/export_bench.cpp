// Exporting a 10-minute 704x480 range (30 pictures per second, 8-bit sound)
// to AVI and to MP4, against ffmpeg remuxing the same pictures from an
// elementary stream with -c copy. Prints the median of several runs and the
// ratios, then the peak memory of qmr3tool export for a 1- and a 10-minute
// range (flat memory: the two should be alike).
#include "clipexport.h"
#include "generator.h"
#include "h264paramsets.h"
#include "qmr3reader.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <unistd.h>
#include <filesystem>
#include <functional>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::vector<double> timeRuns(int runs, const std::function<bool()>& work) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        if (!work()) {
            std::fprintf(stderr, "export_bench: a run failed\n");
            std::exit(1);
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return ms;
}

void print(const char* what, const std::vector<double>& ms) {
    std::printf("  %-44s %8.1f ms  (median of %zu; best %.1f, worst %.1f)\n", what, median(ms), ms.size(),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

// The pictures of the recording as an H.264 elementary stream, as ffmpeg's reference input.
bool writeElementaryStream(const std::string& rec, const std::string& out) {
    qmr3::Qmr3Reader rd;
    qmr3::Qmr3FileHeader h;
    if (!rd.open(rec) || !rd.readFileHeader(h)) return false;
    const auto sets =
        qmr3::parameterSetsFor(qmr3::familyForProductId(h.productId), int(h.width), int(h.height));
    std::FILE* f = std::fopen(out.c_str(), "wb");
    if (!f || !sets) return false;
    std::fwrite(sets->data(), 1, sets->size(), f);
    qmr3::Qmr3Reader::Packet p;
    while (rd.readNext(p) == qmr3::Qmr3Reader::Status::Ok) {
        if (p.header.stream != qmr3::kStreamVideo) continue;
        const std::size_t map = p.header.hasMotionMap() ? qmr3::kMotionMapBytes : 0;
        const std::size_t trailer = h.trailerFlag ? 4 : 0;
        if (p.payloadLength > map + trailer)
            std::fwrite(p.payload + map, 1, p.payloadLength - map - trailer, f);
    }
    return std::fclose(f) == 0;
}

// Runs a program and returns its peak resident memory in KiB (-1 on failure).
long peakKiB(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    if (rc != 0) return -1;
    int status = 0;
    rusage ru{};
    if (wait4(pid, &status, 0, &ru) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return ru.ru_maxrss;
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int a = 1; a < argc; ++a)
        if (std::string(argv[a]) == "--runs" && a + 1 < argc) runs = std::max(1, std::atoi(argv[++a]));
    const std::string self = fs::canonical("/proc/self/exe").parent_path().string();
    const std::string ffmpeg = vantrex::findFfmpeg(self);
    if (ffmpeg.empty()) {
        std::fprintf(stderr, "export_bench: ffmpeg is needed\n");
        return 1;
    }
    const fs::path dir = fs::temp_directory_path() / ("korvid-export-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    setenv("KORVID_TEMP_DIR", dir.c_str(), 1);
    const std::string rec = (dir / "ten.qmr3").string(), es = (dir / "ten.h264").string();
    qmr3::GenOptions o;
    o.width = 704;
    o.height = 480;
    o.seconds = 600;
    o.audio = qmr3::AudioKind::Pcm;
    const auto made = qmr3::generateRecording(rec, o);
    if (!made.ok || !writeElementaryStream(rec, es)) {
        std::fprintf(stderr, "export_bench: cannot prepare the recording: %s\n", made.error.c_str());
        return 1;
    }
    std::printf("10-minute range of a 704x480 recording, 30 pictures/s, 8-bit sound: %u pictures, %.1f MB\n",
                made.pictures, double(made.bytes) / 1e6);

    auto exportAs = [&](vantrex::ClipFormat f, const std::string& out) {
        vantrex::ClipRequest req;
        req.source = rec;
        req.target = out;
        req.format = f;
        req.fromOffset = 0;
        req.toOffset = 600;
        req.overwrite = true;
        req.ffmpeg = ffmpeg;
        vantrex::ClipExport job;
        std::atomic<bool> stop{false};
        std::atomic<int> progress{0};
        if (!job.prepare(req) || !job.convert(stop, progress)) return false;
        const auto cmd = job.toolCommand();
        std::string output;
        const bool ok = cmd.program.empty() || vantrex::runTool(cmd, nullptr, &output, nullptr) == 0;
        return job.publish(ok, output);
    };
    // The same sound as raw 8-bit samples, for a reference that also makes AAC.
    const std::string raw = (dir / "ten.u8").string();
    {
        qmr3::Qmr3Reader rd;
        std::FILE* f = std::fopen(raw.c_str(), "wb");
        qmr3::Qmr3Reader::Packet p;
        if (!f || !rd.open(rec)) return 1;
        while (rd.readNext(p) == qmr3::Qmr3Reader::Status::Ok)
            if (p.header.stream == qmr3::kStreamAudio) std::fwrite(p.payload, 1, p.payloadLength, f);
        std::fclose(f);
    }
    auto remuxWithSound = [&](const std::string& out) {
        vantrex::ToolCommand c{
            ffmpeg,
            {"-nostdin", "-v",  "error",      "-y",   "-f",   "h264", "-framerate", "30",  "-i",   es,
             "-f",       "u8",  "-ar",        "8000", "-ac",  "1",    "-i",         raw,   "-c:v", "copy",
             "-c:a",     "aac", "-aac_coder", "fast", "-b:a", "48k",  "-f",         "mp4", out}};
        return vantrex::runTool(c, nullptr, nullptr, nullptr) == 0;
    };
    auto remux = [&](const char* format, const std::string& out) {
        vantrex::ToolCommand c{ffmpeg,
                               {"-nostdin", "-v", "error", "-y", "-f", "h264", "-framerate", "30", "-i", es,
                                "-c", "copy", "-f", format, out}};
        return vantrex::runTool(c, nullptr, nullptr, nullptr) == 0;
    };
    const auto avi =
        timeRuns(runs, [&] { return exportAs(vantrex::ClipFormat::Avi, (dir / "clip.avi").string()); });
    const auto refAvi = timeRuns(runs, [&] { return remux("avi", (dir / "ref.avi").string()); });
    const auto mp4 =
        timeRuns(runs, [&] { return exportAs(vantrex::ClipFormat::Mp4, (dir / "clip.mp4").string()); });
    const auto refMp4 = timeRuns(runs, [&] { return remux("mp4", (dir / "ref.mp4").string()); });
    const auto refMp4Sound = timeRuns(runs, [&] { return remuxWithSound((dir / "refsound.mp4").string()); });
    print("export to AVI (with sound, .srt, .csv)", avi);
    print("ffmpeg -c copy, elementary stream to AVI", refAvi);
    print("export to MP4 (sound to AAC, subtitles)", mp4);
    print("ffmpeg -c copy, elementary stream to MP4", refMp4);
    std::printf("  ratio AVI export / ffmpeg remux: %.2f\n", median(avi) / median(refAvi));
    print("ffmpeg -c:v copy + the same sound to AAC, MP4", refMp4Sound);
    std::printf("  ratio MP4 export / ffmpeg remux: %.2f\n", median(mp4) / median(refMp4));
    std::printf("  ratio MP4 export / ffmpeg remux with the sound to AAC: %.2f\n",
                median(mp4) / median(refMp4Sound));

    const std::string tool = self + "/qmr3tool";
    const long one = peakKiB(
        {tool, "export", rec, "--from", "0", "--to", "60", "--overwrite", (dir / "one.avi").string()});
    const long ten = peakKiB(
        {tool, "export", rec, "--from", "0", "--to", "600", "--overwrite", (dir / "ten.avi").string()});
    std::printf("  peak memory of qmr3tool export: 1 minute %ld KiB, 10 minutes %ld KiB\n", one, ten);
    // Rows of scripts/bench's table.
    auto row = [](const char* figure, double korvid, const char* anchorName, double anchor) {
        const double ratio = korvid / anchor;
        std::printf("RESULT|%s|%.0f ms|%s: %.0f ms|%.2f|<= 1.0|%s\n", figure, korvid, anchorName, anchor,
                    ratio, ratio <= 1.0 ? "yes" : "no");
    };
    row("Export 10 min of 704x480 to AVI", median(avi), "ffmpeg -c copy", median(refAvi));
    row("Export 10 min of 704x480 to MP4", median(mp4), "ffmpeg -c copy", median(refMp4));
    row("Export to MP4, anchor also makes the sound AAC", median(mp4), "ffmpeg -c:v copy -c:a aac",
        median(refMp4Sound));
    std::printf("RESULT|Peak memory of an export, 1 min vs 10 min|%ld KiB|%ld KiB|%.2f|flat|%s\n", ten, one,
                double(ten) / double(one), ten < one * 1.5 ? "yes" : "no");
    fs::remove_all(dir);
    return 0;
}
