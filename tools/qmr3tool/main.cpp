// qmr3tool: looks at recordings from the command line through the player's
// own catalogue, so what it prints is what the player sees.
#include "backup.h"
#include "events.h"
#include "export.h"
#include "indexrecovery.h"
#include "json.h"
#include "qmr3format.h"
#include "thumbnail.h"
#include "verify.h"
#include "videolibrary.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void usage(std::FILE* to) {
    std::fputs(
        "usage: qmr3tool scan PATH [--json]       list recordings (PATH: a folder, or files joined by "
        "\"|\")\n"
        "       qmr3tool info FILE [--json]       clips, frame positions and events of one recording\n"
        "       qmr3tool recover-index FOLDER     rewrite FOLDER/filelist.lst\n"
        "       qmr3tool verify FILE              check packets, end marker and GOP table\n"
        "       qmr3tool thumbnail FILE OUT.png [--size N]\n"
        "                                         the recording's first picture as a PNG of at most N "
        "pixels\n"
        "       qmr3tool export FILE --from TIME --to TIME [--format avi|mp4|qmr3] [--overwrite] OUT\n"
        "                                         a range as a clip (with .srt and .csv beside it) or as\n"
        "                                         a smaller recording; TIME: \"YYYY-MM-DD HH:MM:SS\" or\n"
        "                                         seconds from the start\n"
        "       qmr3tool events FOLDER-OR-FILES... [--kind A,M,E,T] [--from TIME] [--to TIME] [--json]\n"
        "                                         event spans with recording, start, end and offset\n"
        "       qmr3tool backup FOLDER-OR-FILES... --to DIR [--format qmr3|avi|wmv] [--merge]\n"
        "                [--on-conflict skip|replace|keep-both]\n"
        "                                         exact copies, AVI or WMV files, or one merged file\n",
        to);
}

std::string timeText(std::int64_t t) { return t ? qmr3::formatLocalTime(t) : std::string("-"); }
std::string timeJson(std::int64_t t) {
    return t ? jsonString(qmr3::formatLocalTime(t)) : std::string("null");
}

std::string eventLetters(std::uint8_t summary) {
    std::string s;
    if (summary & qmr3::kEventAlarm) s += 'A';
    if (summary & qmr3::kEventEmergency) s += 'E';
    if (summary & qmr3::kEventMotion) s += 'M';
    if (summary & qmr3::kEventTime) s += 'T';
    return s.empty() ? "-" : s;
}

// Errors of a scan go to stderr; true when there were any.
bool reportErrors(const CVideoLibrary& lib) {
    for (const auto& e : lib.errors()) std::fprintf(stderr, "qmr3tool: %s\n", e.c_str());
    return !lib.errors().empty();
}

void printScanJson(const CVideoLibrary& lib) {
    if (lib.fileCount() == 0) {
        std::puts("[]");
        return;
    }
    std::puts("[");
    for (int i = 0; i < lib.fileCount(); ++i) {
        const QMR3FILE& f = *lib.file(i);
        std::printf(
            "  {\"name\": %s, \"start\": %s, \"end\": %s, \"length\": %u, \"width\": %u, "
            "\"height\": %u, \"fps\": %u, \"damaged\": %s, \"index_offset\": %" PRIu32
            ", \"index_count\": %" PRIu32 ", \"events\": %u, \"size\": %" PRIu32 ", \"product_id\": %u}%s\n",
            jsonString(f.name).c_str(), timeJson(f.startTime).c_str(), timeJson(f.endTime).c_str(),
            unsigned(f.length), unsigned(f.width), unsigned(f.height), unsigned(f.frameRate),
            f.damaged ? "true" : "false", f.indexOffset, f.indexCount, unsigned(f.eventSummary), f.fileSize,
            unsigned(f.productId), i + 1 < lib.fileCount() ? "," : "");
    }
    std::puts("]");
}

void printScanTable(const CVideoLibrary& lib) {
    int nameWidth = 4;
    for (int i = 0; i < lib.fileCount(); ++i) nameWidth = std::max(nameWidth, int(lib.fileName(i).size()));
    std::printf("%-*s  %-19s  %-19s  %6s  %9s  %3s  %-7s  %10s  %8s  %-6s  %10s  %7s\n", nameWidth, "NAME",
                "START", "END", "LENGTH", "SIZE", "FPS", "DAMAGED", "INDEX-OFF", "INDEX-N", "EVENTS", "BYTES",
                "PRODUCT");
    for (int i = 0; i < lib.fileCount(); ++i) {
        const QMR3FILE& f = *lib.file(i);
        const std::string dims = std::to_string(f.width) + "x" + std::to_string(f.height);
        std::printf("%-*s  %-19s  %-19s  %6u  %9s  %3u  %-7s  %10" PRIu32 "  %8" PRIu32 "  %-6s  %10" PRIu32
                    "  %7u\n",
                    nameWidth, f.name.c_str(), timeText(f.startTime).c_str(), timeText(f.endTime).c_str(),
                    unsigned(f.length), dims.c_str(), unsigned(f.frameRate), f.damaged ? "yes" : "no",
                    f.indexOffset, f.indexCount, eventLetters(f.eventSummary).c_str(), f.fileSize,
                    unsigned(f.productId));
    }
    std::printf("%d recording(s)\n", lib.fileCount());
}

int cmdScan(const std::string& path, bool json) {
    CVideoLibrary lib;
    lib.scan(path);
    const bool failed = reportErrors(lib);
    if (json) printScanJson(lib);
    else printScanTable(lib);
    return failed ? kExitFailure : kExitOk;
}

int cmdInfo(const std::string& path, bool json) {
    CVideoLibrary lib;
    lib.scanFileList({path});
    if (reportErrors(lib) || lib.fileCount() == 0) return kExitFailure;
    const bool ok = lib.readVideoInfo(0) == 1;
    if (json) {
        std::printf("{\"ok\": %s,\n \"clips\": [", ok ? "true" : "false");
        for (int i = 0; i < lib.clipCount(); ++i)
            std::printf("%s[%s, %s]", i ? ", " : "", timeJson(lib.clip(i).startTime).c_str(),
                        timeJson(lib.clip(i).endTime).c_str());
        std::printf("],\n \"frame_positions\": [");
        for (int i = 0; i < lib.framePositionCount(); ++i)
            std::printf("%s[%s, %" PRIu32 "]", i ? ",\n  " : "\n  ",
                        timeJson(lib.framePosition(i).time).c_str(), lib.framePosition(i).offset);
        std::printf("],\n \"events\": [");
        for (int i = 0; i < lib.eventCount(); ++i) {
            const QMR3EVENT& e = lib.events()[std::size_t(i)];
            std::printf("%s{\"time\": %s, \"offset\": %" PRIu32 ", \"flags\": %" PRIu32 "}",
                        i ? ",\n  " : "\n  ", timeJson(e.time).c_str(), e.offset, e.flags);
        }
        std::printf("]}\n");
        return kExitOk;
    }
    std::printf("%s: %s%s\n", lib.filePath(0).c_str(), ok ? "clips found" : "no clip found",
                lib.damaged(0) ? " (damaged)" : "");
    std::printf("Clips (%d):\n", lib.clipCount());
    for (const auto& c : lib.clips())
        std::printf("  %-19s - %s\n", timeText(c.startTime).c_str(), timeText(c.endTime).c_str());
    std::printf("Frame positions (%d):\n", lib.framePositionCount());
    for (const auto& p : lib.framePositions())
        std::printf("  %-19s  %10" PRIu32 "\n", timeText(p.time).c_str(), p.offset);
    std::printf("Events (%d):\n", lib.eventCount());
    for (const auto& e : lib.events())
        std::printf("  %-19s  %10" PRIu32 "  flags 0x%02" PRIx32 "\n", timeText(e.time).c_str(), e.offset,
                    e.flags);
    return kExitOk;
}

int cmdRecoverIndex(const std::string& folder) {
    CVideoLibrary lib;
    lib.scanFolder(folder);
    const bool scanFailed = reportErrors(lib);
    if (lib.fileCount() == 0) {
        std::fprintf(stderr, "qmr3tool: no recording in %s\n", folder.c_str());
        return kExitFailure;
    }
    const IndexRecoveryResult res = recoverIndexFile(lib, lib.folder());
    for (const auto& s : res.skipped) std::fprintf(stderr, "qmr3tool: left out %s\n", s.c_str());
    if (!res.ok) {
        std::fprintf(stderr, "qmr3tool: %s\n", res.message.c_str());
        return kExitFailure;
    }
    std::printf("%s\n", res.message.c_str());
    return scanFailed || !res.skipped.empty() ? kExitFailure : kExitOk;
}

int cmdVerify(const std::string& path) {
    VerifyReport rep;
    std::string error;
    if (!verifyRecording(path, rep, error)) {
        std::fprintf(stderr, "qmr3tool: %s\n", error.c_str());
        return kExitFailure;
    }
    for (const auto& p : rep.problems) std::printf("%s\n", p.c_str());
    std::printf("%s: %" PRIu64 " bytes, %" PRIu64 " packets (%" PRIu64 " video, %" PRIu64 " audio), %" PRIu64
                " index entries, end marker %s, %zu problem(s): %s\n",
                path.c_str(), rep.fileSize, rep.packets, rep.videoPackets, rep.audioPackets, rep.indexEntries,
                rep.endMarker ? "present" : "missing", rep.problems.size(),
                rep.problems.empty() ? "sound" : "damaged");
    return rep.problems.empty() ? kExitOk : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "events") == 0) return runEvents(argc - 2, argv + 2);
    if (argc >= 2 && std::strcmp(argv[1], "backup") == 0) {
        const int status = cmdBackup(std::vector<std::string>(argv + 2, argv + argc));
        return std::fflush(stdout) != 0 ? kExitFailure : status;
    }
    if (argc >= 2 && std::strcmp(argv[1], "export") == 0) {
        const int status = cmdExport(std::vector<std::string>(argv + 2, argv + argc));
        return std::fflush(stdout) != 0 ? kExitFailure : status;
    }
    std::vector<std::string> args;
    bool json = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--json") == 0) json = true;
        else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            usage(stdout);
            return kExitOk;
        } else args.emplace_back(argv[i]);
    }
    if (!json && !args.empty() && args[0] == "thumbnail")
        return cmdThumbnail(std::vector<std::string>(args.begin() + 1, args.end()));
    if (args.size() != 2 || args[1].empty()) {
        usage(stderr);
        return kExitUsage;
    }
    const std::string& cmd = args[0];
    int status = kExitUsage;
    if (cmd == "scan") status = cmdScan(args[1], json);
    else if (cmd == "info") status = cmdInfo(args[1], json);
    else if (!json && cmd == "recover-index") status = cmdRecoverIndex(args[1]);
    else if (!json && cmd == "verify") status = cmdVerify(args[1]);
    else usage(stderr);
    // Output cut short (full disk, closed pipe) must not look like success.
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "qmr3tool: cannot write the output\n");
        return kExitFailure;
    }
    return status;
}
