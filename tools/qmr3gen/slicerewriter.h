// Turns an encoder's baseline stream into pictures that decode under the
// recorder's fixed parameter sets: only slice headers change (frame number
// and picture order fields sized as the table's SPS says, QP relative to its
// PPS, no deblocking fields); the macroblock data is copied bit for bit.
#pragma once

#include "h264paramsets.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qmr3 {

class SliceRewriter {
public:
    explicit SliceRewriter(const SpsInfo& target) : target_(target) {}

    // Splits an Annex B stream into pictures (slices only; parameter sets,
    // SEI and delimiters are dropped) with rewritten slice headers. False
    // with error() set when the stream uses anything the table's parameter
    // sets cannot express.
    bool rewrite(const std::vector<std::uint8_t>& stream, std::vector<std::vector<std::uint8_t>>& pictures);
    const std::string& error() const { return error_; }

    // What the encoder's own parameter sets say (the parts slice headers depend on).
    struct SourceSps {
        bool valid = false;
        int log2MaxFrameNum = 4;
        int pocType = 0;
        int log2MaxPocLsb = 4;
        bool deltaPicOrderAlwaysZero = false;
        int width = 0, height = 0;
    };
    struct SourcePps {
        bool valid = false;
        int picInitQp = 26;
        bool bottomFieldPicOrder = false;
        bool deblockingControl = false;
        bool redundantPicCnt = false;
    };

private:
    bool readSps(const std::uint8_t* rbsp, std::size_t n);
    bool readPps(const std::uint8_t* rbsp, std::size_t n);
    bool rewriteSlice(const std::uint8_t* nal, std::size_t n, std::vector<std::uint8_t>& out);
    bool fail(const std::string& why) {
        error_ = why;
        return false;
    }

    SpsInfo target_;
    SourceSps sps_;
    SourcePps pps_;
    std::string error_;
    std::uint32_t frameNum_ = 0;  // in the target's numbering
    std::uint32_t sinceIdr_ = 0;  // pictures since the last IDR
    bool previousWasReference_ = false;
};

}  // namespace qmr3
