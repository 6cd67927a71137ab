// The first coded picture of a recording from a packet offset, with the
// parameter sets of its recorder, ready for a decoder (the frame grabs of the
// player and the thumbnails of qmr3tool).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace keypicture {

struct CodedPicture {
    std::vector<std::uint8_t> parameterSets;  // Annex B
    std::vector<std::uint8_t> picture;        // Annex B, motion map and frame index removed
    // Both together: what a decoder takes.
    std::vector<std::uint8_t> stream() const;
};

// The first video packet with a plausible time stamp at or after startOffset.
// Nothing, and why in error, when the file, its size or its pictures do not allow it.
std::optional<CodedPicture> firstPicture(const std::string& path, std::uint64_t startOffset,
                                         std::uint8_t productId, int width, int height, std::string* error);

// Whether the recorder's pictures of this product and width are interlaced.
bool deinterlaceFor(std::uint8_t productId, int width);

}  // namespace keypicture
