#include "events.h"

#include "eventspans.h"
#include "json.h"
#include "qmr3format.h"
#include "videolibrary.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

void usage() {
    std::fputs(
        "usage: qmr3tool events FOLDER-OR-FILES... [--kind A,M,E,T] [--from TIME] [--to TIME] [--json]\n"
        "       TIME: YYYY-MM-DD[ HH:MM[:SS]] (local time; also with T or / as separators)\n",
        stderr);
}

// "2026-12-01 09:00:05", "2026-12-01T09:00", "2026/12/01" (start of the day).
bool parseTime(const char* text, std::int64_t& out) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char sep1 = 0, sep2 = 0, sepT = 0;
    int used = 0;
    const int n = std::sscanf(text, "%4d%c%2d%c%2d%n", &y, &sep1, &mo, &sep2, &d, &used);
    if (n < 5 || (sep1 != '-' && sep1 != '/') || sep2 != sep1) return false;
    const char* rest = text + used;
    if (*rest) {
        int used2 = 0;
        const int m = std::sscanf(rest, "%c%2d:%2d%n", &sepT, &h, &mi, &used2);
        if (m < 3 || (sepT != ' ' && sepT != 'T')) return false;
        rest += used2;
        if (*rest) {
            int used3 = 0;
            if (std::sscanf(rest, ":%2d%n", &s, &used3) < 1 || rest[used3] != '\0') return false;
        }
    }
    if (mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || y < 1971 || y > 2999)
        return false;
    out = qmr3::localCalendarToSeconds(y, mo, d, h, mi, s);
    return true;
}

// "A,M" or "AM": the summary bits; 0 for anything else.
std::uint8_t parseKinds(const char* text) {
    std::uint8_t kinds = 0;
    for (const char* p = text; *p; ++p) {
        switch (*p) {
        case 'A':
        case 'a': kinds |= qmr3::kEventAlarm; break;
        case 'E':
        case 'e': kinds |= qmr3::kEventEmergency; break;
        case 'M':
        case 'm': kinds |= qmr3::kEventMotion; break;
        case 'T':
        case 't': kinds |= qmr3::kEventTime; break;
        case ',':
        case ' ': break;
        default: return 0;
        }
    }
    return kinds;
}

struct Row {
    std::string name;
    std::string path;
    EventSpan span;
    std::int64_t fileStart = 0;
};

}  // namespace

int runEvents(int argc, char** argv) {
    std::vector<std::string> paths;
    bool json = false;
    std::uint8_t kinds = 0x0F;
    std::int64_t from = INT64_MIN, to = INT64_MAX;
    for (int i = 0; i < argc; ++i) {
        const char* a = argv[i];
        const bool needsValue =
            !std::strcmp(a, "--kind") || !std::strcmp(a, "--from") || !std::strcmp(a, "--to");
        if (needsValue && i + 1 >= argc) {
            std::fprintf(stderr, "qmr3tool: %s needs a value\n", a);
            usage();
            return kExitUsage;
        }
        if (!std::strcmp(a, "--json")) {
            json = true;
        } else if (!std::strcmp(a, "--kind")) {
            kinds = parseKinds(argv[++i]);
            if (!kinds) {
                std::fprintf(stderr, "qmr3tool: unknown event kind in \"%s\" (use A, M, E, T)\n", argv[i]);
                return kExitUsage;
            }
        } else if (!std::strcmp(a, "--from") || !std::strcmp(a, "--to")) {
            std::int64_t& bound = a[2] == 'f' ? from : to;
            if (!parseTime(argv[++i], bound)) {
                std::fprintf(stderr, "qmr3tool: cannot read the time \"%s\"\n", argv[i]);
                usage();
                return kExitUsage;
            }
        } else if (a[0] == '-' && a[1] == '-') {
            std::fprintf(stderr, "qmr3tool: unknown option %s\n", a);
            usage();
            return kExitUsage;
        } else {
            paths.emplace_back(a);
        }
    }
    if (paths.empty()) {
        usage();
        return kExitUsage;
    }

    // Folders one by one, files all together.
    CVideoLibrary lib;
    std::vector<Row> rows;
    bool failed = false;
    auto collect = [&] {
        for (const auto& e : lib.errors()) std::fprintf(stderr, "qmr3tool: %s\n", e.c_str());
        failed = failed || !lib.errors().empty();
        for (int f = 0; f < lib.fileCount(); ++f) {
            if (lib.damaged(f)) {
                std::fprintf(stderr, "qmr3tool: %s is damaged; its events are not listed\n",
                             lib.filePath(f).c_str());
                failed = true;
                continue;
            }
            lib.readVideoInfo(f);
            for (const EventSpan& s : eventSpans(lib.events(), lib.framePositions())) {
                if (!(s.kind & kinds) || s.end < from || s.start > to) continue;
                rows.push_back({lib.fileName(f), lib.filePath(f), s, lib.startTime(f)});
            }
        }
    };
    std::vector<std::string> files;
    for (const std::string& p : paths) {
        const bool isFile = p.size() > 5 && p.compare(p.size() - 5, 5, ".qmr3") == 0;
        if (isFile) {
            files.push_back(p);
        } else {
            lib.scanFolder(p.back() == '/' ? p : p + '/');
            collect();
        }
    }
    if (!files.empty()) {
        lib.scanFileList(files);
        collect();
    }
    std::stable_sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return a.span.start != b.span.start ? a.span.start < b.span.start : a.span.kind < b.span.kind;
    });

    if (json) {
        std::puts(rows.empty() ? "[]" : "[");
        for (std::size_t i = 0; i < rows.size(); ++i) {
            const Row& r = rows[i];
            std::printf(
                "  {\"recording\": %s, \"path\": %s, \"kind\": \"%c\", \"start\": %s, \"end\": %s, "
                "\"offset\": %" PRId64 ", \"file_offset\": %" PRIu32 "}%s\n",
                jsonString(r.name).c_str(), jsonString(r.path).c_str(), eventKindLetter(r.span.kind),
                jsonString(qmr3::formatLocalTime(r.span.start)).c_str(),
                jsonString(qmr3::formatLocalTime(r.span.end)).c_str(), r.span.start - r.fileStart,
                r.span.offset, i + 1 < rows.size() ? "," : "");
        }
        if (!rows.empty()) std::puts("]");
    } else {
        int width = 9;
        for (const Row& r : rows) width = std::max(width, int(r.name.size()));
        std::printf("%-*s  %-4s  %-19s  %-19s  %7s\n", width, "RECORDING", "KIND", "START", "END", "OFFSET");
        for (const Row& r : rows) {
            const std::int64_t offset = r.span.start - r.fileStart;
            std::printf("%-*s  %-4c  %-19s  %-19s  %4" PRId64 ":%02" PRId64 "\n", width, r.name.c_str(),
                        eventKindLetter(r.span.kind), qmr3::formatLocalTime(r.span.start).c_str(),
                        qmr3::formatLocalTime(r.span.end).c_str(), offset / 60, offset % 60);
        }
        std::printf("%zu event span(s)\n", rows.size());
    }
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        std::fprintf(stderr, "qmr3tool: cannot write the output\n");
        return kExitFailure;
    }
    return failed ? kExitFailure : kExitOk;
}
