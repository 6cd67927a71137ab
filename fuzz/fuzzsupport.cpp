#include "fuzzsupport.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvidfuzz {

namespace {

bool writeAll(int fd, const std::uint8_t* data, std::size_t n) {
    std::size_t done = 0;
    while (done < n) {
        const ssize_t w = ::pwrite(fd, data + done, n - done, off_t(done));
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        done += std::size_t(w);
    }
    return true;
}

void removeTree(const std::string& path) {
    DIR* d = ::opendir(path.c_str());
    if (!d) return;
    while (dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name == "." || name == "..") continue;
        const std::string full = path + "/" + name;
        struct stat st {};
        if (::lstat(full.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
            ::chmod(full.c_str(), 0700);
            removeTree(full);
            ::rmdir(full.c_str());
        } else {
            ::unlink(full.c_str());
        }
    }
    ::closedir(d);
}

}  // namespace

std::string memoryFile(const std::uint8_t* data, std::size_t size) {
    static const int fd = ::memfd_create("korvid-fuzz", MFD_CLOEXEC);
    if (fd < 0) checkFailed("memfd_create", __FILE__, __LINE__);
    if (::ftruncate(fd, 0) != 0 || (size && !writeAll(fd, data, size)))
        checkFailed("writing the in-memory file", __FILE__, __LINE__);
    return "/proc/self/fd/" + std::to_string(fd);
}

std::string emptyScratchFolder() {
    // Kept on the heap so that the exit handler never meets a destroyed string.
    static const std::string* folder = [] {
        const char* base = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : std::getenv("TMPDIR");
        auto* path = new std::string(std::string(base ? base : "/tmp") + "/korvid-fuzz-XXXXXX");
        if (!::mkdtemp(path->data())) checkFailed("mkdtemp", __FILE__, __LINE__);
        std::atexit([] {
            removeTree(*folder);
            ::rmdir(folder->c_str());
        });
        return path;
    }();
    removeTree(*folder);
    return *folder;
}

}  // namespace korvidfuzz
