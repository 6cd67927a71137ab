#include "toolpath.h"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace qmr3 {

namespace {

bool isExecutableFile(const std::string& p) {
    struct stat st {};
    return stat(p.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(p.c_str(), X_OK) == 0;
}

}  // namespace

std::string findProgram(const std::string& name, const std::string& folder) {
    if (!folder.empty() && isExecutableFile(folder + "/" + name)) return folder + "/" + name;
    const char* path = std::getenv("PATH");
    const std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t at = 0;
    while (at <= dirs.size()) {
        const auto colon = dirs.find(':', at);
        const std::string dir = dirs.substr(at, colon == std::string::npos ? std::string::npos : colon - at);
        if (!dir.empty() && isExecutableFile(dir + "/" + name)) return dir + "/" + name;
        if (colon == std::string::npos) break;
        at = colon + 1;
    }
    return {};
}

}  // namespace qmr3
