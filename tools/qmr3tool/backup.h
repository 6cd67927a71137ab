// qmr3tool backup: recordings copied, converted or merged into a folder.
#pragma once

#include <string>
#include <vector>

// args: everything after "backup". Returns the exit status.
int cmdBackup(const std::vector<std::string>& args);
