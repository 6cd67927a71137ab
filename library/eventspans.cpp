#include "eventspans.h"

#include <algorithm>
#include <array>
#include <unordered_map>

namespace {

constexpr std::array<std::uint8_t, 4> kKinds = {qmr3::kEventAlarm, qmr3::kEventEmergency, qmr3::kEventMotion,
                                                qmr3::kEventTime};

}  // namespace

std::uint8_t eventKindsOf(std::uint32_t flags) {
    if ((flags & qmr3::kFlagEventMask) == 0) return 0;
    std::uint8_t kinds = 0;
    if (flags & qmr3::kFlagEventLow) kinds |= qmr3::kEventAlarm;
    if (flags & qmr3::kEventEmergency) kinds |= qmr3::kEventEmergency;
    // A motion map (upper bit) or the motion bit of the low nibble.
    if (flags & (qmr3::kFlagEventHigh | qmr3::kEventMotion)) kinds |= qmr3::kEventMotion;
    if (flags & qmr3::kEventTime) kinds |= qmr3::kEventTime;
    return kinds;
}

char eventKindLetter(std::uint8_t kind) {
    switch (kind) {
    case qmr3::kEventAlarm: return 'A';
    case qmr3::kEventEmergency: return 'E';
    case qmr3::kEventMotion: return 'M';
    case qmr3::kEventTime: return 'T';
    default: return '?';
    }
}

std::vector<EventSpan> eventSpans(const std::vector<QMR3EVENT>& events,
                                  const std::vector<QMR3FRAMEPOSITION>& positions) {
    // Every event frame has a valid time, so it also has a frame position;
    // neighbours are told by their places there.
    std::unordered_map<std::uint32_t, int> place;
    place.reserve(positions.size());
    for (std::size_t i = 0; i < positions.size(); ++i) place.emplace(positions[i].offset, int(i));

    std::vector<EventSpan> spans;
    for (std::uint8_t kind : kKinds) {
        int lastPlace = -2;
        for (const QMR3EVENT& e : events) {
            if (!(eventKindsOf(e.flags) & kind)) continue;
            const auto it = place.find(e.offset);
            const int at = it == place.end() ? -2 : it->second;
            if (at >= 0 && lastPlace >= 0 && at == lastPlace + 1 && !spans.empty() &&
                spans.back().kind == kind) {
                spans.back().end = e.time;
            } else {
                spans.push_back({kind, e.time, e.time, e.offset, std::max(at, 0)});
            }
            lastPlace = at;
        }
    }
    std::stable_sort(spans.begin(), spans.end(), [](const EventSpan& a, const EventSpan& b) {
        return a.firstPosition != b.firstPosition ? a.firstPosition < b.firstPosition : a.start < b.start;
    });
    return spans;
}

int followingRecording(const CVideoLibrary& library, int i, bool forward) {
    if (i < 0 || i >= library.fileCount()) return -1;
    const std::int64_t start = library.startTime(i);
    const std::int64_t end = std::max(library.endTime(i), start);
    // The nearest recording on that side in time order.
    int best = -1;
    for (int j = 0; j < library.fileCount(); ++j) {
        if (j == i || library.startTime(j) == 0) continue;
        const std::int64_t s = library.startTime(j);
        if (forward) {
            if (s <= start) continue;
            if (best < 0 || s < library.startTime(best)) best = j;
        } else {
            if (s >= start) continue;
            if (best < 0 || s > library.startTime(best)) best = j;
        }
    }
    if (best < 0) return -1;
    if (forward) return library.startTime(best) - end <= kFollowOnSeconds ? best : -1;
    const std::int64_t bestEnd = std::max(library.endTime(best), library.startTime(best));
    return start - bestEnd <= kFollowOnSeconds && bestEnd <= end ? best : -1;
}
