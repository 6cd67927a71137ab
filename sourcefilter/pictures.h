// Picture-level helpers for the reader: where the pictures of a group-mode
// payload begin, and the facts each picture carries besides its bytes.
#pragma once

#include <cstddef>
#include <cstdint>

namespace hexmoor {

// Offsets at which the pictures of an H.264 Annex B run begin. A picture
// begins at the first start code, at a slice with first_mb_in_slice 0, and
// at a parameter set, SEI or delimiter that follows slice data. Returns the
// number found (at most maxStarts; the last one then runs to the end).
std::size_t splitPictures(const std::uint8_t* data, std::size_t length, std::size_t* starts,
                          std::size_t maxStarts);

}  // namespace hexmoor
