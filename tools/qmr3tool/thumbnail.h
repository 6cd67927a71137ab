// qmr3tool thumbnail: a picture of a recording for file managers.
#pragma once

#include <string>
#include <vector>

// args: FILE OUT.png [--size N]. Exit code 0 on success, 1 on failure, 2 on
// a wrong command line.
int cmdThumbnail(const std::vector<std::string>& args);
