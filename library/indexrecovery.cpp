#include "indexrecovery.h"

#include "qmr3format.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

// Local wall-clock seconds of a UTC time, with the offset valid at that time.
std::uint32_t localWallClock(std::time_t utc) {
    std::tm tm{};
    std::int64_t local = utc;
    if (localtime_r(&utc, &tm)) local += tm.tm_gmtoff;
    return std::uint32_t(std::clamp<std::int64_t>(local, 0, UINT32_MAX));
}

bool writeAll(int fd, const std::uint8_t* data, std::size_t n) {
    while (n > 0) {
        const ssize_t w = ::write(fd, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        data += w;
        n -= std::size_t(w);
    }
    return true;
}

std::string failure(const std::string& path, int err) {
    return "Cannot write " + path + ": " + std::strerror(err);
}

// Why nothing may be written at path (a folder or a file), or 0. A mode
// without any write bit counts even for a user the system would let through:
// whoever made a recorder's folder read-only meant it.
int writeRefusal(const std::string& path) {
    struct statvfs fs {};
    if (::statvfs(path.c_str(), &fs) == 0 && (fs.f_flag & ST_RDONLY)) return EROFS;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    if ((st.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return EACCES;
    return ::access(path.c_str(), W_OK) == 0 ? 0 : errno;
}

std::string readOnlyFailure(const std::string& path, const std::string& what, int err) {
    if (err == EROFS || err == EACCES || err == EPERM)
        return "Cannot write " + path + ": the " + what + " is read-only.";
    return failure(path, err);
}

}  // namespace

IndexRecoveryResult recoverIndexFile(const CVideoLibrary& library, const std::string& currentPath) {
    IndexRecoveryResult res;
    if (library.fileCount() == 0) {
        res.message = "In order to restore index file,\nplease open the target folder first.";
        return res;
    }
    const auto slash = currentPath.rfind('/');
    const std::string folder = slash == std::string::npos ? std::string() : currentPath.substr(0, slash + 1);
    res.indexPath = folder + kIndexFileName;

    std::vector<std::uint8_t> data;
    for (int i = 0; i < library.fileCount(); ++i) {
        const std::string name = library.fileName(i);
        // A cut name would point at another file; leave it out instead.
        if (name.size() > kIndexMaxNameLength) {
            res.skipped.push_back(name + ": name longer than " + std::to_string(kIndexMaxNameLength) +
                                  " characters");
            continue;
        }
        struct stat st {};
        if (::stat(library.filePath(i).c_str(), &st) != 0) {
            res.skipped.push_back(name + ": " + std::strerror(errno));
            continue;
        }
        std::uint8_t rec[kIndexRecordSize] = {};
        std::memcpy(rec, "DATA\\", 5);
        std::memcpy(rec + 5, name.data(), name.size());
        qmr3::putU32(rec + 32, library.eventSummary(i));
        qmr3::putU32(rec + 36, localWallClock(st.st_mtime));
        qmr3::putU32(rec + 40, library.fileSize(i));
        data.insert(data.end(), rec, rec + kIndexRecordSize);
        ++res.written;
    }
    if (res.written == 0) {
        res.message = "No recording could be listed; " + res.indexPath + " was left unchanged.";
        return res;
    }

    struct stat old {};
    const bool haveOld = ::stat(res.indexPath.c_str(), &old) == 0;
    const std::string where = folder.empty() ? std::string(".") : folder;
    int refusal = writeRefusal(where);
    const char* what = "folder";
    if (!refusal && haveOld && S_ISREG(old.st_mode)) {
        refusal = writeRefusal(res.indexPath);
        what = "index file";
    }
    if (refusal) {
        res.message = readOnlyFailure(res.indexPath, what, refusal);
        res.written = 0;
        return res;
    }

    // Written beside the old file and renamed over it, so a failure leaves
    // either the old file or the complete new one.
    static std::atomic<unsigned> serial{0};
    std::string tmp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tmp =
            folder + "." + kIndexFileName + "." + std::to_string(::getpid()) + "." + std::to_string(serial++);
        fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        res.message = failure(res.indexPath, errno);
        res.written = 0;
        return res;
    }
    if (haveOld) (void)::fchmod(fd, old.st_mode & 07777);
    int err = 0;
    errno = 0;
    if (!writeAll(fd, data.data(), data.size()) || ::fsync(fd) != 0) err = errno ? errno : EIO;
    if (::close(fd) != 0 && !err) err = errno;
    if (!err && ::rename(tmp.c_str(), res.indexPath.c_str()) != 0) err = errno;
    if (err) {
        ::unlink(tmp.c_str());
        res.message = failure(res.indexPath, err);
        res.written = 0;
        return res;
    }
    res.ok = true;
    char buf[64];
    std::snprintf(buf, sizeof buf, "Index Recovery Completed (%d files)", res.written);
    res.message = buf;
    return res;
}
