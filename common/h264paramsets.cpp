#include "h264paramsets.h"

#include "h264bits.h"

#include <algorithm>

namespace qmr3 {

namespace {

struct Row {
    int width;
    int height;  // 0: any height
    std::uint8_t bytes[5];
};

const Row kFamilyA[] = {
    {320, 0, {0xA6, 0x81, 0x41, 0xF9, 0x07}},   {352, 240, {0xA6, 0x81, 0x61, 0xF9, 0x07}},
    {352, 288, {0xA6, 0x81, 0x60, 0x96, 0x40}}, {640, 240, {0xA6, 0x80, 0xA0, 0x7E, 0x40}},
    {640, 480, {0xA6, 0x80, 0xA0, 0x3D, 0x90}}, {704, 240, {0xA6, 0x80, 0xB0, 0x7E, 0x40}},
    {704, 288, {0xA6, 0x80, 0xB0, 0x25, 0x90}}, {704, 480, {0xA6, 0x80, 0xB0, 0x3D, 0x90}},
    {704, 576, {0xA6, 0x80, 0xB0, 0x12, 0x64}},
};

const Row kFamilyB[] = {
    {352, 240, {0xAB, 0x40, 0xB0, 0xFC, 0x80}}, {352, 288, {0xAB, 0x40, 0xB0, 0x4B, 0x20}},
    {640, 240, {0xAB, 0x40, 0x50, 0x1E, 0xC8}}, {640, 480, {0xAB, 0x40, 0x50, 0x1E, 0xC8}},
    {640, 0, {0xAB, 0x40, 0x50, 0x1E, 0xC8}},   {704, 240, {0xAB, 0x40, 0x58, 0x3F, 0x20}},
    {704, 288, {0xAB, 0x40, 0x58, 0x12, 0xC8}}, {704, 480, {0xAB, 0x40, 0x58, 0x1E, 0xC8}},
    {704, 576, {0xAB, 0x40, 0x58, 0x09, 0x32}},
};

}  // namespace

std::optional<ParamSets> parameterSetsFor(ParamSetFamily family, int width, int height) {
    const Row* begin = family == ParamSetFamily::A ? std::begin(kFamilyA) : std::begin(kFamilyB);
    const Row* end = family == ParamSetFamily::A ? std::end(kFamilyA) : std::end(kFamilyB);
    const Row* exact =
        std::find_if(begin, end, [&](const Row& r) { return r.width == width && r.height == height; });
    const Row* any =
        std::find_if(begin, end, [&](const Row& r) { return r.width == width && r.height == 0; });
    const Row* row = exact != end ? exact : any;
    if (row == end) return std::nullopt;
    ParamSets s{0x00, 0x00, 0x00, 0x01, 0x67, 0x42, 0x00, 0x1E};
    std::copy(row->bytes, row->bytes + 5, s.begin() + 8);
    const std::uint8_t pps[] = {0x00, 0x00, 0x00, 0x01, 0x68, 0xCE, 0x38, 0x80};
    std::copy(std::begin(pps), std::end(pps), s.begin() + 13);
    return s;
}

std::optional<SpsInfo> parseTableSps(const ParamSets& sets) {
    // Bytes 5..12: profile, constraints, level, then the five coded bytes.
    BitReader br(sets.data() + 8, 5);
    SpsInfo info;
    br.ue();  // seq_parameter_set_id
    info.log2MaxFrameNum = int(br.ue()) + 4;
    info.picOrderCntType = int(br.ue());
    if (info.picOrderCntType == 0) info.log2MaxPocLsb = int(br.ue()) + 4;
    else if (info.picOrderCntType != 2) return std::nullopt;
    br.ue();   // max_num_ref_frames
    br.bit();  // gaps_in_frame_num_value_allowed_flag
    info.width = int(br.ue() + 1) * 16;
    int mapUnits = int(br.ue() + 1);
    bool frameMbsOnly = br.bit();
    info.height = mapUnits * 16 * (frameMbsOnly ? 1 : 2);
    if (!br.ok()) return std::nullopt;
    return info;
}

}  // namespace qmr3
