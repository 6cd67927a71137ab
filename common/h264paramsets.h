// The recorder's streams carry no parameter sets; players put these 21 bytes
// (SPS + PPS, Annex B) in front of the first picture. Two families exist.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

namespace qmr3 {

enum class ParamSetFamily { A, B };

constexpr std::size_t kParamSetsSize = 21;
using ParamSets = std::array<std::uint8_t, kParamSetsSize>;

// The family the source element picks from its create-call kind.
inline ParamSetFamily familyForKind(std::uint16_t kind) {
    return kind == 0x41 ? ParamSetFamily::A : ParamSetFamily::B;
}
// The family a recorder with this product id writes: bits 0-1 = 1 -> A.
inline ParamSetFamily familyForProductId(std::uint8_t productId) {
    return (productId & 3) == 1 ? ParamSetFamily::A : ParamSetFamily::B;
}

// Parameter sets for a picture size, or nothing when the family has no row for it.
std::optional<ParamSets> parameterSetsFor(ParamSetFamily family, int width, int height);

// What a sequence parameter set of the table describes.
struct SpsInfo {
    int width = 0;
    int height = 0;
    int log2MaxFrameNum = 0;
    int picOrderCntType = 0;
    int log2MaxPocLsb = 0;  // type 0 only
};
// Parses the SPS inside a 21-byte table entry.
std::optional<SpsInfo> parseTableSps(const ParamSets& sets);

}  // namespace qmr3
