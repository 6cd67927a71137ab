// One key frame decoded in this process: parameter sets and picture through
// libavcodec, the same deinterlacing and scaling ffmpeg applies to a grab,
// and a BMP laid out as ffmpeg writes it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace grabdecode {

struct PictureSize {
    int width = 0;
    int height = 0;
};

// Whether libavcodec here can decode H.264.
bool available();

// KORVID_FRAME_GRAB=ffmpeg sends every grab through the outside tool.
bool toolForced();

// The picture size ffmpeg makes for a size text: "WxH" or a name such as
// "qcif"; nothing when ffmpeg would refuse the text.
std::optional<PictureSize> outputSize(const std::string& size);

// Decodes stream (Annex B: parameter sets, then one picture) of a picture
// of width x height, deinterlaces it when asked, scales it to out and
// returns the whole BMP file. Nothing (and why in error) when the bytes do
// not decode cleanly into one picture of that size.
std::optional<std::vector<std::uint8_t>> pictureAsBmp(const std::vector<std::uint8_t>& stream, int width,
                                                      int height, bool deinterlace, PictureSize out,
                                                      std::string* error);

// The deinterlacer ffmpeg's yadif applies to a lone picture (previous and
// next picture are the picture itself, top field kept), on one 8-bit plane.
void deinterlacePlane(std::uint8_t* plane, int stride, int width, int height);

}  // namespace grabdecode
