// Event spans: the event frames of a recording's index merged into runs of
// one kind, and the recordings that follow on from one another in time.
#pragma once

#include "videolibrary.h"

#include <cstdint>
#include <vector>

struct EventSpan {
    std::uint8_t kind = 0;     // one of the summary bits: 0x01 A, 0x02 E, 0x04 M, 0x08 T
    std::int64_t start = 0;    // time of the first event frame, local seconds
    std::int64_t end = 0;      // time of the last event frame
    std::uint32_t offset = 0;  // file offset of the first event frame's packet
    int firstPosition = 0;     // its place in the frame positions
};

// The kinds (summary bits) an event frame with these packet flags stands
// for; 0 when the flags make no event frame.
std::uint8_t eventKindsOf(std::uint32_t flags);
// The letter of one kind bit: 'A', 'E', 'M' or 'T'.
char eventKindLetter(std::uint8_t kind);

// The spans of the selected file: event frames of one kind on neighbouring
// index entries merged, in order of their start (then kind A, E, M, T).
std::vector<EventSpan> eventSpans(const std::vector<QMR3EVENT>& events,
                                  const std::vector<QMR3FRAMEPOSITION>& positions);

// Recordings closer than this (end of one to start of the next) were cut by
// the recorder and play as one.
constexpr std::int64_t kFollowOnSeconds = 2;

// The file that follows on from file i in time (forward) or that file i
// follows on from (backward); -1 when there is none within
// kFollowOnSeconds. Damaged files count as recordings here; the caller
// decides whether they play.
int followingRecording(const CVideoLibrary& library, int i, bool forward);
