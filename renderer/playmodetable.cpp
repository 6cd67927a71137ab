#include "playmodetable.h"

#include "sharedwords.h"

namespace pexaro {

void ApplyPlayModeChange(PlayModeState& s, int requested, int sharedSkipRate, int baseInterval) {
    using namespace korvid;
    const int m = requested & 0xff;
    const int rc = s.skipRateCopy;
    const int rev = s.reverse;
    const int mode = s.mode;
    const bool fastBefore = (mode == kFastForward || mode == kRewind) && rc > 2;
    const bool flushFromHold = (mode == kPause || mode == kFastForward || mode == kRewind) && rc > 2;
    s.previousReverse = rev;

    switch (m) {
    case kPlay:
        if (rev == 1 || fastBefore) {
            s.resync = true;
            s.request = true;
        }
        if (flushFromHold) {
            s.flush = true;
            s.request = true;
        }
        s.currentInterval = baseInterval;
        s.reverse = 0;
        s.mode = kPlay;
        break;
    case kPause: s.mode = kPause; break;
    case kStop:
        s.currentInterval = baseInterval;
        s.mode = kStop;
        s.request = true;
        break;
    case kFastForward:
        if (rc == 2 || rev == 1 || (mode == kFastForward && rc > 2)) s.resync = true;
        if (mode == kRewind && rc > 2) s.flush = true;
        s.reverse = 0;
        s.mode = kFastForward;
        s.request = true;
        break;
    case kRewind:
        if (rc == 2 || rev == 0 || (mode == kRewind && rc > 2)) s.resync = true;
        if (mode == kRewind && rc > 2) s.flush = true;
        s.reverse = 1;
        s.mode = kRewind;
        s.request = true;
        break;
    case kNextPicture:
    case kPreviousPicture: {
        const bool next = m == kNextPicture;
        if ((next ? rev == 1 : rev == 0) || fastBefore) s.resync = true;
        if (flushFromHold) s.flush = true;
        s.currentInterval = baseInterval;
        s.reverse = next ? 0 : 1;
        s.mode = static_cast<std::uint8_t>(m);
        s.stepPending = true;
        s.request = true;
        break;
    }
    default: break;
    }
    s.skipRateCopy = sharedSkipRate;
}

}  // namespace pexaro
