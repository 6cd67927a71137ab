// The catalogue's reading of one file: the scan's header, first and last
// indexed packet, then the whole GOP table with clips, frame positions and
// events, as when the file is selected for playing.
#include "fuzzsupport.h"
#include "videolibrary.h"

#include <algorithm>

namespace korvidfuzz {

int catalogueTarget(const std::uint8_t* data, std::size_t size) {
    const std::string path = memoryFile(data, size);
    CVideoLibrary lib;
    int statusCalls = 0;
    lib.setStatusCallback([&](const std::string&) { ++statusCalls; });
    FUZZ_CHECK(lib.scanFileList({path}) == 1);
    FUZZ_CHECK(lib.fileSize(0) == size);
    const QMR3FILE* f = lib.file(0);
    FUZZ_CHECK(f != nullptr);
    if (f->damaged) FUZZ_CHECK(f->startTime == 0 && f->endTime == 0 && f->length == 0);

    const int ok = lib.readVideoInfo(0);
    FUZZ_CHECK(ok == (lib.clipCount() > 0 && lib.framePositionCount() > 0 ? 1 : 0));
    FUZZ_CHECK(std::uint64_t(lib.framePositionCount()) <= std::min<std::uint64_t>(f->indexCount, size / 4));
    FUZZ_CHECK(lib.eventCount() <= lib.framePositionCount());
    FUZZ_CHECK(lib.clipCount() <= lib.framePositionCount());
    for (const QMR3VIDEOCLIP& c : lib.clips()) FUZZ_CHECK(c.endTime != 0);
    for (int i = 0; i < lib.eventCount(); ++i) {
        std::int64_t t;
        std::uint32_t flags;
        lib.event(i, t, flags);
        FUZZ_CHECK(flags & qmr3::kFlagEventMask);
    }
    return 0;
}

}  // namespace korvidfuzz

KORVID_FUZZ_TARGET(catalogueTarget)
