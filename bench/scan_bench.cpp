// Catalogue scan of a folder of 2,000 recordings against the floor: a plain
// C loop that opens each file and reads its header and GOP index.
#include "benchutil.h"
#include "generator.h"
#include "testrecordings.h"
#include "videolibrary.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <unistd.h>

namespace {

constexpr int kFiles = 2000;

std::uint32_t u32(const unsigned char* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}

// The floor: list the folder, and for each file open it, read the 512-byte
// header and the index it points at.
int floorScan(const std::string& folder) {
    DIR* d = opendir(folder.c_str());
    if (!d) return -1;
    int seen = 0;
    unsigned char header[512];
    static unsigned char index[1 << 20];
    while (dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.size() < 5 || name.compare(name.size() - 5, 5, ".qmr3") != 0) continue;
        const int fd = open((folder + "/" + name).c_str(), O_RDONLY);
        if (fd < 0) continue;
        if (pread(fd, header, sizeof header, 0) == ssize_t(sizeof header)) {
            const std::uint32_t offset = u32(header + 164), count = u32(header + 168);
            const std::size_t bytes = std::min<std::size_t>(std::size_t(count) * 4, sizeof index);
            if (pread(fd, index, bytes, offset) >= 0) ++seen;
        }
        close(fd);
    }
    closedir(d);
    return seen;
}

}  // namespace

int main() {
    testrec::TempDir dir;
    // One realistic recording, linked under 2,000 names (hard links: the same
    // bytes for every name, so the folder costs no disk; the cache is warm for both).
    qmr3::GenOptions o;
    o.from = "testsrc2";
    o.fps = 15;
    o.gop = 15;
    o.seconds = 20;
    o.kbps = 400;
    o.audio = qmr3::AudioKind::Pcm;
    const std::string one = dir.file("one.qmr3");
    const auto made = qmr3::generateRecording(one, o);
    if (!made.ok) {
        std::fprintf(stderr, "scan_bench: %s\n", made.error.c_str());
        return 1;
    }
    const std::string folder = dir.file("folder");
    std::filesystem::create_directories(folder);
    for (int i = 0; i < kFiles; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/20261201_%06d.qmr3", i);
        std::error_code ec;
        std::filesystem::create_hard_link(one, folder + name, ec);
        if (ec) std::filesystem::copy_file(one, folder + name);
    }
    std::vector<double> korvid, floor;
    int listed = 0;
    for (int run = 0; run < 5; ++run) {
        auto t = std::chrono::steady_clock::now();
        CVideoLibrary lib;
        lib.scanFolder(folder + "/");
        korvid.push_back(kFiles / bench::secondsSince(t));
        listed = lib.fileCount();
        t = std::chrono::steady_clock::now();
        const int seen = floorScan(folder);
        floor.push_back(kFiles / bench::secondsSince(t));
        if (seen != kFiles) {
            std::fprintf(stderr, "scan_bench: the floor read %d files\n", seen);
            return 1;
        }
    }
    const double k = bench::median(korvid), f = bench::median(floor);
    std::printf(
        "scan: %d recordings (20 s, 352x240, ~1 MB each, hard links of one file; %d listed), warm file "
        "cache; median of 5: korvid "
        "%.0f/s, floor %.0f/s\n",
        kFiles, listed, k, f);
    bench::result("Catalogue scan, recordings/s (2,000 files)", bench::fmt(k, "/s", 0),
                  bench::fmt(f, "/s", 0), bench::fmt(k / f, "", 2), ">= 0.5", k / f >= 0.5);
    return 0;
}
