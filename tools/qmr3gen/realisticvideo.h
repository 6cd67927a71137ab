// Realistic recordings: any input the `ffmpeg` program reads (a file, or a
// lavfi source such as testsrc2, mandelbrot, life or cellauto) encoded with
// libx264 as a baseline stream, with the recording's wall-clock time burnt
// in and something visible where events and motion were asked for; then
// rewritten so that every picture decodes under the recorder's parameter sets.
#pragma once

#include "generator.h"
#include "h264paramsets.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qmr3 {

struct RealisticVideo {
    std::vector<std::vector<std::uint8_t>> pictures;  // Annex B, one per picture
    std::vector<std::int16_t> sound;                  // 8000 Hz mono, when the input's sound was asked for
};

// Encodes o.seconds * o.fps pictures of o.from at the size of `target`,
// with an IDR picture every o.gop pictures. False with `error` set when
// ffmpeg fails or its stream cannot be carried.
bool encodeRealistic(const GenOptions& o, const SpsInfo& target, RealisticVideo& out, std::string& error);

// The filter graph for o: scaled and paced input, event and motion marks,
// and the burnt-in clock (input [0:v], output [vout]).
std::string realisticFilterGraph(const GenOptions& o, int width, int height);

}  // namespace qmr3
