// A preview page of 30 "qcif" pictures of a five-minute 704x480 recording
// (one every 10 s): made cold (empty cache) in process, looked up and loaded
// from the cache, and made cold with one ffmpeg run per picture. Prints the
// median of several runs and the ratio of ffmpeg to in process.
#include "framegrabber.h"
#include "generator.h"
#include "videolibrary.h"

#include <QDir>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

constexpr int kPictures = 30;
constexpr int kSpacing = 10;

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// Milliseconds of each run of page(); prepare() runs before each, untimed.
std::vector<double> timeRuns(int runs, const std::function<void()>& prepare,
                             const std::function<bool()>& page) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        prepare();
        const auto t0 = std::chrono::steady_clock::now();
        if (!page()) {
            std::fprintf(stderr, "a picture of the page could not be made\n");
            std::exit(1);
        }
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    return ms;
}

void print(const char* what, const std::vector<double>& ms) {
    std::printf("  %-34s %8.1f ms  (median of %zu; best %.1f, worst %.1f)\n", what, median(ms), ms.size(),
                *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()));
}

}  // namespace

int main(int argc, char** argv) {
    int runs = 5;
    for (int a = 1; a < argc; ++a)
        if (std::string(argv[a]) == "--runs" && a + 1 < argc) runs = std::max(1, std::atoi(argv[++a]));

    // Private cache and recording folders: the user's cache is never touched.
    QTemporaryDir scratch;
    if (!scratch.isValid()) return 1;
    qputenv("KORVID_TEMP_DIR", scratch.filePath(QStringLiteral("cache")).toLocal8Bit());
    const std::string folder = scratch.filePath(QStringLiteral("recordings")).toStdString() + "/";
    QDir().mkpath(QString::fromStdString(folder));

    qmr3::GenOptions o;
    o.width = 704;
    o.height = 480;
    o.fps = 30;
    o.gop = 30;
    o.seconds = kPictures * kSpacing;
    o.productId = 0x00;  // a deinterlaced product
    const qmr3::GenResult made = qmr3::generateRecording(folder + "20261201_120000.qmr3", o);
    if (!made.ok) {
        std::fprintf(stderr, "cannot write the recording: %s\n", made.error.c_str());
        return 1;
    }
    CVideoLibrary lib;
    lib.scanFolder(folder);
    if (lib.fileCount() != 1 || lib.readVideoInfo(0) != 1) {
        std::fprintf(stderr, "the recording does not scan\n");
        return 1;
    }

    FrameGrabber grabber;
    if (grabber.ffmpegPath().empty()) {
        std::fprintf(stderr, "ffmpeg is needed for the comparison\n");
        return 1;
    }
    auto makePage = [&] {
        for (int k = 0; k < kPictures; ++k)
            if (grabber.grab(lib, 0, "qcif", k * kSpacing).empty()) return false;
        return true;
    };
    auto loadPage = [&] {
        for (int k = 0; k < kPictures; ++k) {
            const QImage img(QString::fromStdString(FrameGrabber::cachePath(lib, 0, "qcif", k * kSpacing)));
            if (img.isNull()) return false;
        }
        return true;
    };
    auto emptyCache = [] { CVideoLibrary::clearThumbnails(); };

    const std::vector<double> cold = timeRuns(runs, emptyCache, makePage);
    const std::vector<double> cached = timeRuns(
        runs, [] {}, loadPage);
    qputenv("KORVID_FRAME_GRAB", "ffmpeg");
    const std::vector<double> tool = timeRuns(runs, emptyCache, makePage);
    qunsetenv("KORVID_FRAME_GRAB");

    std::printf(
        "preview page: %d \"qcif\" pictures of a 704x480 recording (%d s, one picture every %d s, "
        "%.0f MB, qmr3gen pattern pictures)\n",
        kPictures, o.seconds, kSpacing, double(made.bytes) / 1e6);
    print("in process, cold (empty cache)", cold);
    print("from the cache (look up + load)", cached);
    print("one ffmpeg per picture, cold", tool);
    std::printf("  ffmpeg / in process, cold: %.1f x\n", median(tool) / median(cold));
    std::printf("  goals: cold under 1000 ms %s, cached under 100 ms %s\n",
                median(cold) < 1000 ? "met" : "NOT met", median(cached) < 100 ? "met" : "NOT met");
    // Rows of scripts/bench's table.
    std::printf(
        "RESULT|Preview page cold, 30 qcif pictures of 704x480|%.0f ms|one ffmpeg per picture: %.0f ms|"
        "%.3f|< 1000 ms|%s\n",
        median(cold), median(tool), median(cold) / median(tool), median(cold) < 1000 ? "yes" : "no");
    std::printf("RESULT|Preview page from the cache|%.1f ms|cold page: %.0f ms|%.3f|< 100 ms|%s\n",
                median(cached), median(cold), median(cached) / median(cold),
                median(cached) < 100 ? "yes" : "no");
    return 0;
}
