// Per-user temporary folders: Temp_OrvanePlayer/ with Thumbnail/ and
// Temporary/ under the user's cache folder. KORVID_TEMP_DIR replaces the
// cache folder (tests).
#pragma once

#include <string>

namespace qmr3 {

std::string tempRootDir();   // ends with "/"
std::string thumbnailDir();  // tempRootDir() + "Thumbnail/"
std::string temporaryDir();  // tempRootDir() + "Temporary/"

}  // namespace qmr3
