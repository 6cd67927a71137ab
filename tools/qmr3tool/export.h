// qmr3tool export: a range of a recording into AVI, MP4 or a smaller recording.
#pragma once

#include <string>
#include <vector>

// args: everything after "export". Returns the exit status.
int cmdExport(const std::vector<std::string>& args);
