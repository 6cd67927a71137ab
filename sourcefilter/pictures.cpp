#include "pictures.h"

namespace hexmoor {

std::size_t splitPictures(const std::uint8_t* data, std::size_t length, std::size_t* starts,
                          std::size_t maxStarts) {
    if (length == 0 || maxStarts == 0) return 0;
    std::size_t n = 0;
    starts[n++] = 0;
    bool sliceSeen = false;
    bool first = true;
    for (std::size_t i = 0; i + 3 < length; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 1) continue;
        const std::size_t codeAt = (i > 0 && data[i - 1] == 0) ? i - 1 : i;
        const std::uint8_t type = data[i + 3] & 0x1F;
        const bool slice = type == 1 || type == 5;
        bool begins = false;
        if (slice) {
            // first_mb_in_slice is ue(v): 0 is the single bit 1.
            begins = i + 4 < length && (data[i + 4] & 0x80) != 0 && sliceSeen;
            sliceSeen = true;
        } else if (type == 6 || type == 7 || type == 8 || type == 9) {
            begins = sliceSeen;
            if (begins) sliceSeen = false;
        }
        if (first) {
            // Bytes before the first start code stay with the first picture.
            first = false;
            i += 2;
            continue;
        }
        if (begins) {
            if (n == maxStarts) return n;
            starts[n++] = codeAt;
            if (!slice) sliceSeen = false;
        }
        i += 2;
    }
    return n;
}

}  // namespace hexmoor
