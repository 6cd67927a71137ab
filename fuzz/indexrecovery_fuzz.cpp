// Index recovery from a catalogue of hostile recordings and names. The input
// describes a folder: a mode byte, then entries of [name length][name]
// [content length, 16 bits][content]. The folder is written, scanned as a
// folder or as a file list, and filelist.lst is written from the catalogue;
// the recordings must stay as they were and the index must be well formed.
#include "fuzzsupport.h"
#include "indexrecovery.h"
#include "videolibrary.h"

#include <algorithm>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <map>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace korvidfuzz {

namespace {

std::vector<std::uint8_t> readWhole(const std::string& path) {
    std::vector<std::uint8_t> out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return out;
    std::uint8_t buf[65536];
    ssize_t n;
    while ((n = ::read(fd, buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + n);
    ::close(fd);
    return out;
}

void writeWhole(const std::string& path, const std::uint8_t* data, std::size_t n) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    FUZZ_CHECK(fd >= 0);
    FUZZ_CHECK(n == 0 || ::write(fd, data, n) == ssize_t(n));
    ::close(fd);
}

}  // namespace

int indexRecoveryTarget(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    const std::string folder = emptyScratchFolder() + "/";
    const std::uint8_t mode = data[0];
    std::size_t at = 1;
    std::map<std::string, std::vector<std::uint8_t>> files;
    while (at < size && files.size() < 16) {
        const std::size_t nameLength =
            std::min<std::size_t>({std::size_t(data[at++]), size - at, std::size_t(250)});
        std::string name(reinterpret_cast<const char*>(data + at), nameLength);
        at += nameLength;
        for (char& c : name)
            if (c == '/' || c == '\0') c = '_';
        if (mode & 1) name += ".qmr3";
        std::size_t length = 0;
        if (at + 2 <= size) length = std::min<std::size_t>(qmr3::getU16(data + at), size - at - 2), at += 2;
        if (name.empty() || name == "." || name == ".." || name == "filelist.lst" || files.count(name)) {
            at += length;
            continue;
        }
        files[name].assign(data + at, data + at + length);
        writeWhole(folder + name, data + at, length);
        at += length;
    }

    CVideoLibrary lib;
    std::string current = folder;
    if (mode & 2) {
        std::vector<std::string> paths;
        for (const auto& [name, bytes] : files) paths.push_back(folder + name);
        lib.scanFileList(paths);
        if (!paths.empty()) current = paths.back();
    } else {
        lib.scanFolder(folder);
    }
    FUZZ_CHECK(std::size_t(lib.fileCount()) <= files.size());

    const IndexRecoveryResult res = recoverIndexFile(lib, current);
    FUZZ_CHECK(!res.message.empty());
    FUZZ_CHECK(res.written + int(res.skipped.size()) == lib.fileCount() || !res.ok);
    const std::vector<std::uint8_t> index = readWhole(folder + kIndexFileName);
    if (res.ok) {
        FUZZ_CHECK(index.size() == std::size_t(res.written) * kIndexRecordSize);
        for (std::size_t r = 0; r < index.size(); r += kIndexRecordSize) {
            const std::uint8_t* rec = index.data() + r;
            FUZZ_CHECK(std::memcmp(rec, "DATA\\", 5) == 0);
            const std::string name(reinterpret_cast<const char*>(rec + 5),
                                   strnlen(reinterpret_cast<const char*>(rec + 5), 27));
            FUZZ_CHECK(name.size() <= kIndexMaxNameLength);
            FUZZ_CHECK(files.count(name) == 1);
            FUZZ_CHECK(qmr3::getU32(rec + 40) == files[name].size());
            FUZZ_CHECK(qmr3::getU32(rec + 44) == 0 && qmr3::getU32(rec + 48) == 0 &&
                       qmr3::getU32(rec + 52) == 0);
        }
    } else {
        FUZZ_CHECK(index.empty());
    }

    // Nothing else appeared in the folder, and no recording changed.
    std::size_t entries = 0;
    if (DIR* d = ::opendir(folder.c_str())) {
        while (dirent* e = ::readdir(d)) {
            const std::string name = e->d_name;
            if (name == "." || name == "..") continue;
            ++entries;
            if (name == kIndexFileName) continue;
            FUZZ_CHECK(files.count(name) == 1);
            FUZZ_CHECK(readWhole(folder + name) == files[name]);
        }
        ::closedir(d);
    }
    FUZZ_CHECK(entries == files.size() + (res.ok ? 1 : 0));
    return 0;
}

}  // namespace korvidfuzz

KORVID_FUZZ_TARGET(indexRecoveryTarget)
