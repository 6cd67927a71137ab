#include "tempdirs.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace qmr3 {

namespace {
std::string withSlash(std::string s) {
    if (s.empty() || s.back() != '/') s += '/';
    return s;
}
}  // namespace

std::string tempRootDir() {
    std::string base;
    if (const char* t = std::getenv("KORVID_TEMP_DIR"); t && *t) {
        base = t;
    } else if (const char* x = std::getenv("XDG_CACHE_HOME"); x && *x == '/') {
        base = x;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || !*home) {
            const passwd* pw = getpwuid(getuid());
            home = pw ? pw->pw_dir : "/tmp";
        }
        base = withSlash(home) + ".cache";
    }
    return withSlash(base) + "Temp_OrvanePlayer/";
}

std::string thumbnailDir() { return tempRootDir() + "Thumbnail/"; }
std::string temporaryDir() { return tempRootDir() + "Temporary/"; }

}  // namespace qmr3
