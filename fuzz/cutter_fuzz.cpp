// The converter's cutter on a hostile recording: opened and checked, a range
// set by time and by group, then cut into an AVI with its subtitle and CSV
// and into a smaller recording. Whatever the bytes, a cut either succeeds or
// leaves no file behind, and the range stays inside the group table.
#include "cutengine.h"
#include "fuzzsupport.h"

#include <cstdio>
#include <sys/stat.h>

namespace korvidfuzz {

namespace {

bool exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

}  // namespace

int cutterTarget(const std::uint8_t* data, std::size_t size) {
    // The cutter takes only a .qmr3 name, so the bytes go to a scratch file.
    const std::string folder = emptyScratchFolder();
    const std::string path = folder + "/hostile.qmr3";
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        const bool written = size == 0 || std::fwrite(data, 1, size, f) == size;
        if (std::fclose(f) != 0 || !written) checkFailed("writing the scratch recording", __FILE__, __LINE__);
    } else {
        checkFailed("creating the scratch recording", __FILE__, __LINE__);
    }
    vantrex::Cutter cutter;
    std::string error;
    if (!cutter.open(path, error)) {
        FUZZ_CHECK(!error.empty() && !cutter.isOpen());
        return 0;
    }
    FUZZ_CHECK(cutter.gopCount() > 0);
    const std::int64_t span = cutter.lastTime() - cutter.firstTime();
    // The range comes from the last bytes, so that it varies with the input.
    const std::uint8_t a = size > 0 ? data[size - 1] : 0;
    const std::uint8_t b = size > 1 ? data[size - 2] : 0;
    const std::int64_t from = span > 0 ? a % (span + 2) : a % 3;
    if (!cutter.setRangeByTime(from, from + 1 + b % 8, error)) {
        FUZZ_CHECK(!error.empty());
        if (!cutter.setRangeByGop(0, std::size_t(b) + 1, error)) return 0;
    }
    FUZZ_CHECK(cutter.startGop() < cutter.endGop() && cutter.endGop() <= cutter.gopCount());

    const std::atomic<bool> stop{false};
    std::atomic<int> progress{0};
    const vantrex::ConvertTargets targets{folder + "/clip.avi", folder + "/clip.srt", folder + "/clip.csv"};
    const vantrex::ConvertReport avi = cutter.convert(targets, stop, progress);
    if (avi.outcome == vantrex::Outcome::Done) {
        FUZZ_CHECK(exists(targets.avi) && avi.pictures > 0 && progress.load() <= 100);
    } else {
        FUZZ_CHECK(!avi.message.empty());
        FUZZ_CHECK(!exists(targets.avi) && !exists(targets.srt) && !exists(targets.csv));
    }
    const std::string sub = folder + "/clip.qmr3";
    const vantrex::ConvertReport cut = cutter.cutSubFile(sub, stop, progress);
    if (cut.outcome == vantrex::Outcome::Done) {
        FUZZ_CHECK(exists(sub));
    } else {
        FUZZ_CHECK(!cut.message.empty() && !exists(sub));
    }
    return 0;
}

}  // namespace korvidfuzz

KORVID_FUZZ_TARGET(cutterTarget)
