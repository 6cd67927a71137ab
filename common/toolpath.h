// Where an outside program (ffmpeg, mencoder) is found: beside our own
// program first, so a copy shipped with it wins, then on PATH.
#pragma once

#include <string>

namespace qmr3 {

// The full path of the executable name in folder (when given) or on PATH;
// "" when there is none.
std::string findProgram(const std::string& name, const std::string& folder = {});

}  // namespace qmr3
