// A tiny H.264 writer that emits only what the recorder's fixed parameter
// sets allow (baseline, CAVLC, no VUI), so that recordings made for tests and
// the demo decode with the table's SPS/PPS put in front.
//
// Intra pictures: IDR, slice type 7 (byte 5 of the picture is 0x88), made of
// I_PCM macroblocks where the picture carries content and cheap I_16x16 DC
// macroblocks elsewhere. Predicted pictures: slice type 5, P_L0_16x16
// macroblocks with one motion vector and no residual, so the picture scrolls.
// The bottom macroblock row carries the picture's frame number: macroblock k
// is white when bit k is set. Intra pictures write it as I_PCM; predicted
// pictures copy each of its macroblocks from a white or black patch that
// every picture keeps just above the bottom row, which keeps files small.
#pragma once

#include "h264paramsets.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace qmr3 {

class H264PictureWriter {
public:
    // Fails (valid() false) when the family has no parameter sets for the size,
    // or when they describe another size than asked for.
    H264PictureWriter(ParamSetFamily family, int width, int height);
    bool valid() const { return valid_; }
    const std::string& error() const { return error_; }
    const ParamSets& parameterSets() const { return sets_; }
    int width() const { return width_; }
    int height() const { return height_; }

    // One coded picture as Annex B (starting 00 00 00 01). An intra picture
    // starts a new group; `look` varies the intra picture's content.
    std::vector<std::uint8_t> picture(std::uint32_t frameNumber, bool intra, unsigned look = 0);

private:
    std::vector<std::uint8_t> intraPicture(std::uint32_t frameNumber, unsigned look);
    std::vector<std::uint8_t> predictedPicture(std::uint32_t frameNumber);
    bool isPatch(int mbx, int mby) const;

    ParamSets sets_{};
    SpsInfo sps_;
    bool valid_ = false;
    std::string error_;
    int width_ = 0, height_ = 0, mbw_ = 0, mbh_ = 0;
    std::uint32_t pictureInGroup_ = 0;
    std::uint32_t idrId_ = 0;
    std::uint32_t groups_ = 0;
};

// Reads the frame number back from a decoded picture's luma (or any 8-bit
// plane of full size): macroblock k of the bottom row bright -> bit k set.
// Returns nothing when a macroblock is neither clearly bright nor dark.
std::optional<std::uint32_t> readFrameNumber(const std::uint8_t* plane, int stride, int width, int height,
                                             int bytesPerPixel = 1);

}  // namespace qmr3
