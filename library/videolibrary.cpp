#include "videolibrary.h"

#include "qmr3reader.h"
#include "tempdirs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool endsWithNoCase(const std::string& s, const char* suffix) {
    const std::size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (std::size_t i = 0; i < n; ++i) {
        char c = s[s.size() - n + i];
        if (c >= 'A' && c <= 'Z') c = char(c - 'A' + 'a');
        if (c != suffix[i]) return false;
    }
    return true;
}

// Part of a path up to and including its last "/", or "" when there is none.
std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string percentText(const char* what, std::uint64_t done, std::uint64_t total) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s %d%%", what, total ? int(100 * done / total) : 0);
    return buf;
}

// Clip gap in seconds for a frame-rate code; 0 splits at every new second.
int clipGap(std::uint8_t frameRate) {
    switch (frameRate) {
    case 1:
    case 12:
    case 15: return 2;
    case 3:
    case 6: return 5;
    case 8:
    case 10: return 3;
    case 25:
    case 30: return 1;
    default: return 0;
    }
}

// Reads the packet header at offset; the library never checks the magic and
// relies on the time check instead.
bool readPacketHeader(const qmr3::Qmr3Reader& rd, std::uint64_t offset, qmr3::Qmr3PacketHeader& h) {
    qmr3::PacketLink link;
    const auto s = rd.readHeaderAt(offset, link, h);
    return s == qmr3::Qmr3Reader::Status::Ok || s == qmr3::Qmr3Reader::Status::BadMagic;
}

std::uint32_t clampSize(std::uint64_t size) {
    return std::uint32_t(std::min<std::uint64_t>(size, UINT32_MAX));
}

constexpr std::uint64_t kUnknownSize = UINT64_MAX;

}  // namespace

// The platform's conversion looks at the zone file on every call; within one
// local hour the seconds only add up, so each hour is converted once.
std::int64_t CVideoLibrary::LocalClock::seconds(const qmr3::Qmr3TimeStamp& t) {
    const std::uint32_t key =
        std::uint32_t(t.fullYear()) << 24 | std::uint32_t(t.month) << 16 | std::uint32_t(t.day) << 8 | t.hour;
    auto it = hours_.find(key);
    if (it == hours_.end())
        it = hours_.emplace(key, qmr3::localCalendarToSeconds(t.fullYear(), t.month, t.day, t.hour, 0, 0))
                 .first;
    return it->second + std::int64_t(t.minute) * 60 + t.second;
}

bool CVideoLibrary::isValidTime(const qmr3::Qmr3TimeStamp& t) {
    const int year = t.fullYear();
    return year >= 1971 && year <= 2999 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour <= 24 && t.minute <= 60 && t.second <= 60;
}

void CVideoLibrary::showStatus(const std::string& text) const {
    if (status_) status_(text);
}

void CVideoLibrary::beginScan() {
    files_.clear();
    clearFileData();
    selected_ = -1;
    markedCount_ = 0;
    errors_.clear();
    folder_.clear();
    showStatus("Read Video List...");
}

void CVideoLibrary::clearFileData() {
    clips_.clear();
    positions_.clear();
    events_.clear();
}

int CVideoLibrary::scan(const std::string& text) {
    const auto dot = text.rfind('.');
    if (dot == std::string::npos || text.compare(dot + 1, std::string::npos, "qmr3") != 0)
        return scanFolder(text);
    std::vector<std::string> paths;
    std::size_t from = 0;
    for (;;) {
        const auto bar = text.find('|', from);
        paths.push_back(text.substr(from, bar == std::string::npos ? std::string::npos : bar - from));
        if (bar == std::string::npos) break;
        from = bar + 1;
    }
    return scanFileList(paths);
}

int CVideoLibrary::scanFileList(const std::vector<std::string>& paths) {
    beginScan();
    // All files are taken from the folder of the last one.
    for (auto it = paths.rbegin(); it != paths.rend(); ++it)
        if (!it->empty()) {
            folder_ = folderOf(*it);
            break;
        }
    for (const auto& path : paths) {
        if (path.empty()) continue;
        const std::string dir = folderOf(path);
        const std::string name = nameOf(path);
        if (!dir.empty() && dir != folder_) {
            errors_.push_back(path + ": not in the folder of the last file (" + folder_ + ")");
            continue;
        }
        if (name.empty()) {
            errors_.push_back(path + ": not a file");
            continue;
        }
        const std::string full = folder_ + name;
        const int fd = ::open(full.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (fd < 0 || fstat(fd, &st) != 0) {
            errors_.push_back(full + ": " + std::strerror(errno));
            if (fd >= 0) ::close(fd);
            continue;
        }
        ::close(fd);
        if (!S_ISREG(st.st_mode)) {
            errors_.push_back(full + ": not a file");
            continue;
        }
        QMR3FILE r;
        r.name = name;
        r.fileSize = clampSize(std::uint64_t(st.st_size));
        files_.push_back(std::move(r));
    }
    return finishScan();
}

int CVideoLibrary::scanFolder(const std::string& folder) {
    beginScan();
    if (folder.empty()) {
        errors_.push_back("No folder given");
        showStatus("");
        return 0;
    }
    folder_ = folder.back() == '/' ? folder : folder + "/";
    DIR* dir = ::opendir(folder_.c_str());
    if (!dir) {
        errors_.push_back(folder_ + ": " + std::strerror(errno));
        showStatus("");
        return 0;
    }
    // The entry's own type spares a stat per file; only links and entries of
    // unknown type are looked up. Sizes come from the open made to read the header.
    std::vector<std::string> names;
    std::vector<std::uint64_t> statSizes;  // for looked-up entries; kUnknownSize otherwise
    errno = 0;
    while (const dirent* e = ::readdir(dir)) {
        const std::string name = e->d_name;
        if (!endsWithNoCase(name, ".qmr3")) continue;
        std::uint64_t size = kUnknownSize;
        if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
            struct stat st {};
            if (::stat((folder_ + name).c_str(), &st) != 0) {
                errors_.push_back(folder_ + name + ": " + std::strerror(errno));
                errno = 0;
                continue;
            }
            if (!S_ISREG(st.st_mode)) continue;
            size = std::uint64_t(st.st_size);
            // An empty recording is not listed, but left on disk.
            if (size == 0) continue;
        } else if (e->d_type != DT_REG) {
            continue;
        }
        names.push_back(name);
        statSizes.push_back(size);
        errno = 0;
    }
    if (errno != 0) errors_.push_back(folder_ + ": " + std::strerror(errno));
    ::closedir(dir);
    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return names[a] < names[b]; });
    files_.reserve(order.size());
    std::vector<bool> sizeFromOpen;
    sizeFromOpen.reserve(order.size());
    for (const std::size_t i : order) {
        QMR3FILE r;
        r.name = std::move(names[i]);
        if (statSizes[i] != kUnknownSize) r.fileSize = clampSize(statSizes[i]);
        sizeFromOpen.push_back(statSizes[i] == kUnknownSize);
        files_.push_back(std::move(r));
    }
    return finishScan(sizeFromOpen);
}

int CVideoLibrary::finishScan(const std::vector<bool>& sizeFromOpen) {
    const std::size_t count = files_.size();
    LocalClock clock;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < count; ++i) {
        QMR3FILE& r = files_[i];
        const bool sized = i >= sizeFromOpen.size() || !sizeFromOpen[i];
        bool opened = false;
        if (!readHeader(folder_ + r.name, r, clock, opened)) {
            r.damaged = 1;
            r.length = r.width = r.height = 0;
            r.frameRate = 0;
            r.startTime = r.endTime = 0;
            r.marked = 0;
            r.backupWork = 0;
            r.backupFlag = 0;
            r.eventSummary = 0x01;
        }
        if (!sized && !opened) {
            // Listed but not openable (no read permission, or gone): its size from a stat.
            struct stat st {};
            r.fileSize =
                ::stat((folder_ + r.name).c_str(), &st) == 0 ? clampSize(std::uint64_t(st.st_size)) : 0;
        }
        if (i % 10 == 0) showStatus(percentText("Read Video List", i, count));
        // An empty recording found in a folder is not listed, but left on disk.
        if (!sized && r.fileSize == 0) continue;
        if (kept != i) files_[kept] = std::move(r);
        ++kept;
    }
    files_.resize(kept);
    showStatus("");
    std::stable_sort(files_.begin(), files_.end(),
                     [](const QMR3FILE& a, const QMR3FILE& b) { return a.startTime > b.startTime; });
    return int(files_.size());
}

bool CVideoLibrary::readHeader(const std::string& path, QMR3FILE& r, LocalClock& clock, bool& opened) {
    qmr3::Qmr3Reader rd;
    opened = rd.open(path);
    if (!opened) return false;
    r.fileSize = clampSize(rd.fileSize());
    qmr3::Qmr3FileHeader h;
    if (!rd.readFileHeader(h)) return false;
    r.frameRate = std::uint8_t(h.frameRateCode & 0xFF);
    r.width = std::uint16_t(h.width & 0xFFFF);
    r.height = std::uint16_t(h.height & 0xFFFF);
    r.productId = h.productId;
    // The field holds seconds + 2; a smaller value means no length, not a huge one.
    r.length = std::uint16_t(h.length < 2 ? 0 : std::min<std::uint32_t>(h.length - 2, UINT16_MAX));
    r.indexOffset = h.indexOffset;
    r.indexCount = h.indexCount;

    qmr3::Qmr3PacketHeader first;
    if (!readPacketHeader(rd, qmr3::kFileHeaderSize, first) || !isValidTime(first.time)) return false;
    r.startTime = clock.seconds(first.time);

    // Last entry the file really holds; the count alone is never trusted.
    if (h.indexOffset >= rd.fileSize()) return false;
    const std::uint64_t readable = std::min<std::uint64_t>(h.indexCount, (rd.fileSize() - h.indexOffset) / 4);
    std::uint8_t entry[4];
    if (readable == 0 || !rd.readAt(h.indexOffset + 4 * (readable - 1), entry, 4)) return false;

    qmr3::Qmr3PacketHeader last;
    if (!readPacketHeader(rd, qmr3::getU32(entry), last) || !isValidTime(last.time)) return false;
    r.endTime = clock.seconds(last.time);
    r.eventSummary = rd.readEventSummary();
    return true;
}

int CVideoLibrary::readVideoInfo(int i) {
    if (!readEventData_) return 0;
    clearFileData();
    if (i < 0 || i >= fileCount()) {
        selected_ = -1;
        return 0;
    }
    selected_ = i;
    const QMR3FILE& r = files_[std::size_t(i)];
    const std::int64_t gap = clipGap(r.frameRate);

    qmr3::Qmr3Reader rd;
    if (!rd.open(filePath(i))) return 0;
    qmr3::Qmr3FileHeader h;
    h.indexOffset = r.indexOffset;
    h.indexCount = r.indexCount;
    const std::vector<std::uint32_t> index = rd.readGopIndex(h);
    const std::size_t count = index.size();

    std::int64_t previous = 0;
    bool haveValid = false;
    LocalClock clock;
    for (std::size_t k = 0; k < count; ++k) {
        qmr3::Qmr3PacketHeader ph;
        const bool valid = readPacketHeader(rd, index[k], ph) && isValidTime(ph.time);
        const std::int64_t t = valid ? clock.seconds(ph.time) : 0;
        if (valid && (ph.flags & qmr3::kFlagEventMask)) events_.push_back({t, index[k], ph.flagWord(), 0});
        if (k % 100 == 0) showStatus(percentText("Read Video Info", k, count));

        if (!valid) {
            if (!clips_.empty()) clips_.back().endTime = previous;
            continue;
        }
        if (!haveValid) {
            // Also when earlier entries were invalid: a clip starts at the first good time.
            clips_.push_back({t, 0});
            if (k == count - 1) clips_.back().endTime = t;
        } else if (k == count - 1) {
            clips_.back().endTime = t;
        } else if (t - previous > gap) {
            clips_.back().endTime = previous;
            clips_.push_back({t, 0});
        }
        haveValid = true;
        previous = t;
        positions_.push_back({t, index[k]});
    }
    // A clip left open ends at the last good time.
    if (!clips_.empty() && clips_.back().endTime == 0) clips_.back().endTime = previous;
    showStatus("");
    return !clips_.empty() && !positions_.empty() ? 1 : 0;
}

const QMR3FILE* CVideoLibrary::file(int i) const {
    return i >= 0 && i < fileCount() ? &files_[std::size_t(i)] : nullptr;
}

std::string CVideoLibrary::filePath(int i) const {
    const QMR3FILE* f = file(i);
    return f ? folder_ + f->name : std::string();
}

std::string CVideoLibrary::fileName(int i) const {
    const QMR3FILE* f = file(i);
    return f ? f->name : std::string();
}

#define FIELD_ACCESSOR(type, method, field)   \
    type CVideoLibrary::method(int i) const { \
        const QMR3FILE* f = file(i);          \
        return f ? f->field : type(0);        \
    }
FIELD_ACCESSOR(std::uint32_t, fileSize, fileSize)
FIELD_ACCESSOR(std::uint16_t, length, length)
FIELD_ACCESSOR(std::uint16_t, width, width)
FIELD_ACCESSOR(std::uint16_t, height, height)
FIELD_ACCESSOR(std::uint8_t, frameRate, frameRate)
FIELD_ACCESSOR(int, damaged, damaged)
FIELD_ACCESSOR(std::uint32_t, indexOffset, indexOffset)
FIELD_ACCESSOR(std::uint32_t, indexCount, indexCount)
FIELD_ACCESSOR(std::uint8_t, eventSummary, eventSummary)
FIELD_ACCESSOR(std::uint8_t, productId, productId)
FIELD_ACCESSOR(std::uint8_t, marked, marked)
FIELD_ACCESSOR(std::int64_t, startTime, startTime)
FIELD_ACCESSOR(std::int64_t, endTime, endTime)
#undef FIELD_ACCESSOR

void CVideoLibrary::setMarked(int i, bool flag) {
    if (i < 0 || i >= fileCount()) return;
    QMR3FILE& f = files_[std::size_t(i)];
    // Count changes only, so repeated calls cannot skew the total.
    if (bool(f.marked) == flag) return;
    f.marked = flag ? 1 : 0;
    markedCount_ += flag ? 1 : -1;
}

void CVideoLibrary::event(int i, std::int64_t& time, std::uint32_t& flags) const {
    if (i < 0 || i >= eventCount()) {
        time = 0;
        flags = 0;
        return;
    }
    time = events_[std::size_t(i)].time;
    flags = events_[std::size_t(i)].flags;
}

std::string CVideoLibrary::thumbnailPath(int i, const std::string& prefix, int n) const {
    const QMR3FILE* f = file(i);
    if (!f) return {};
    const auto dot = f->name.rfind('.');
    std::string s = qmr3::thumbnailDir() + prefix + "-" + f->name.substr(0, dot);
    if (n >= 0) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "-%04d", n);
        s += buf;
    }
    return s + ".bmp";
}

namespace {
template <typename Pred>
int removeThumbnails(Pred wanted) {
    int removed = 0;
    std::error_code ec;
    fs::directory_iterator dir(qmr3::thumbnailDir(), ec);
    if (ec) return 0;
    for (; dir != fs::directory_iterator(); dir.increment(ec)) {
        const std::string name = dir->path().filename().string();
        std::error_code sec;
        if (!endsWithNoCase(name, ".bmp") || !wanted(name) || !dir->is_regular_file(sec)) continue;
        if (fs::remove(dir->path(), sec)) ++removed;
    }
    return removed;
}
}  // namespace

int CVideoLibrary::clearThumbnails() {
    return removeThumbnails([](const std::string&) { return true; });
}

int CVideoLibrary::clearSizedThumbnails() {
    return removeThumbnails(
        [](const std::string& name) { return name.rfind("qcif", 0) == 0 || name.rfind("720x", 0) == 0; });
}
