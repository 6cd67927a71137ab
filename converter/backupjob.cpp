#include "backupjob.h"

#include "clipexport.h"
#include "cutengine.h"
#include "tempdirs.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace vantrex {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kChunk = 1 << 20;
constexpr int kFramesPerGop = 15;  // what the recorders write; the progress estimate rests on it

std::string timeText(std::int64_t seconds, const char* format) {
    const std::time_t t = std::time_t(seconds);
    std::tm tm{};
    if (!localtime_r(&t, &tm)) return "00000000000000";
    char buf[64];
    std::strftime(buf, sizeof buf, format, &tm);
    return buf;
}

const char* extensionOf(BackupFormat f) { return f == BackupFormat::Wmv ? ".wmv" : ".avi"; }

std::string baseName(const std::string& path) {
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string errnoText(int e) { return std::strerror(e); }

// The last non-empty line of a tool's output, for messages.
std::string lastLine(const std::string& text) {
    std::string t = text;
    for (char& c : t)
        if (c == '\r') c = '\n';
    for (;;) {
        while (!t.empty() && t.back() == '\n') t.pop_back();
        // mencoder's last word says nothing about why.
        if (!t.ends_with("Exiting...")) break;
        t.resize(t.size() - 10);
    }
    const auto nl = t.rfind('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

// The number after the last "key" in text, e.g. "frame=" or "Pos:"; -1 when
// there is none.
long long numberAfterLast(const std::string& text, const std::string& key) {
    const auto at = text.rfind(key);
    if (at == std::string::npos) return -1;
    std::size_t p = at + key.size();
    while (p < text.size() && text[p] == ' ') ++p;
    if (p >= text.size() || text[p] < '0' || text[p] > '9') return -1;
    long long v = 0;
    while (p < text.size() && text[p] >= '0' && text[p] <= '9') v = v * 10 + (text[p++] - '0');
    return p < text.size() ? v : -1;  // a number cut at the end of a chunk is not trusted yet
}

// mencoder's "Pos:   4.0s    121f ( 8%) ...": the picture count.
long long mencoderFrames(const std::string& text) {
    const auto at = text.rfind("Pos:");
    if (at == std::string::npos) return -1;
    const auto s = text.find('s', at + 4);
    if (s == std::string::npos) return -1;
    const auto f = text.find('f', s + 1);
    if (f == std::string::npos) return -1;
    const std::string n = text.substr(s + 1, f - s - 1);
    char* end = nullptr;
    const long long v = std::strtoll(n.c_str(), &end, 10);
    return end && *end == '\0' ? v : -1;
}

std::int64_t sizeMb(const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 ? std::int64_t(st.st_size) / (1024 * 1024) : 0;
}

// A 64-bit checksum of a byte stream, fed in pieces.
class Checksum {
public:
    void add(const unsigned char* p, std::size_t n) {
        for (std::size_t i = 0; i < n; ++i) {
            h_ ^= p[i];
            h_ *= 0x100000001b3ULL;
        }
        len_ += n;
    }
    bool operator==(const Checksum& o) const { return h_ == o.h_ && len_ == o.len_; }

private:
    std::uint64_t h_ = 0xcbf29ce484222325ULL;
    std::uint64_t len_ = 0;
};

// Reads a whole file into the checksum; false with errno kept on a read error.
bool checksumOf(const std::string& path, Checksum& sum) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    std::vector<unsigned char> buf(kChunk);
    for (;;) {
        const ssize_t r = read(fd, buf.data(), buf.size());
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) {
            const int e = errno;
            close(fd);
            errno = e;
            return false;
        }
        if (r == 0) break;
        sum.add(buf.data(), std::size_t(r));
    }
    close(fd);
    return true;
}

bool sameBytes(const std::string& a, const std::string& b) {
    struct stat sa {
    }, sb{};
    if (stat(a.c_str(), &sa) != 0 || stat(b.c_str(), &sb) != 0 || sa.st_size != sb.st_size) return false;
    std::FILE* fa = std::fopen(a.c_str(), "rb");
    std::FILE* fb = std::fopen(b.c_str(), "rb");
    bool same = fa && fb;
    std::vector<char> ba(kChunk), bb(kChunk);
    while (same) {
        const std::size_t na = std::fread(ba.data(), 1, ba.size(), fa);
        const std::size_t nb = std::fread(bb.data(), 1, bb.size(), fb);
        if (na != nb || std::memcmp(ba.data(), bb.data(), na) != 0 || std::ferror(fa) || std::ferror(fb))
            same = false;
        else if (na == 0) break;
    }
    if (fa) std::fclose(fa);
    if (fb) std::fclose(fb);
    return same;
}

void syncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// "name (2).ext", "name (3).ext", ...: the first that does not exist.
std::string numberedName(const std::string& path) {
    const std::string name = baseName(path);
    const std::string folder = path.substr(0, path.size() - name.size());
    const auto dot = name.rfind('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
    const std::string ext = stem.size() == name.size() ? std::string() : name.substr(dot);
    for (int n = 2;; ++n) {
        const std::string candidate = folder + stem + " (" + std::to_string(n) + ")" + ext;
        struct stat st {};
        if (lstat(candidate.c_str(), &st) != 0) return candidate;
    }
}

}  // namespace

bool parseBackupFormat(const std::string& text, BackupFormat& out) {
    if (text == "qmr3") out = BackupFormat::Copy;
    else if (text == "avi") out = BackupFormat::Avi;
    else if (text == "wmv") out = BackupFormat::Wmv;
    else return false;
    return true;
}

std::string BackupJob::convertedName(const BackupItem& item, BackupFormat format) {
    char len[16];
    std::snprintf(len, sizeof len, "_%04d", item.lengthSeconds);
    return timeText(item.startTime, "%Y%m%d%H%M%S") + len + extensionOf(format);
}

std::string BackupJob::mergedName(const std::vector<BackupItem>& items, BackupFormat format) {
    if (items.empty()) return {};
    std::int64_t first = items.front().startTime;
    std::int64_t last = items.front().startTime + items.front().lengthSeconds;
    for (const auto& it : items) {
        first = std::min(first, it.startTime);
        last = std::max(last, it.startTime + std::int64_t(it.lengthSeconds));
    }
    return timeText(first, "%Y%m%d_%H%M%S") + "-" + timeText(last, "%Y%m%d_%H%M%S") + extensionOf(format);
}

// One run: the outcome being collected and the files it owns until they are
// in place.
struct BackupJob::Run {
    BackupJob& job;
    const std::atomic<bool>& stop;
    BackupOutcome out;
    std::string folder;   // target folder with a trailing "/"
    std::string workDir;  // private temporary folder, "" when none is needed

    Run(BackupJob& j, const std::atomic<bool>& s) : job(j), stop(s) {}

    const BackupOptions& opt() const { return job.options_; }

    void fail(const std::string& recording, const std::string& reason) {
        out.failed.push_back({recording, reason});
    }

    // Makes every missing level of the target folder; false with the failure noted.
    bool prepareFolder() {
        std::string f = opt().targetFolder;
        while (f.size() > 1 && f.back() == '/') f.pop_back();
        if (f.empty()) {
            fail("", "no target folder was given");
            return false;
        }
        std::string prefix;
        std::size_t at = 0;
        while (at != std::string::npos) {
            const auto next = f.find('/', at + 1);
            prefix = f.substr(0, next);
            at = next;
            if (prefix.empty() || prefix == "/") continue;
            struct stat st {};
            if (stat(prefix.c_str(), &st) == 0) {
                if (!S_ISDIR(st.st_mode)) {
                    fail("", "cannot make the target folder " + f + ": " + prefix + " is not a folder");
                    return false;
                }
                continue;
            }
            if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) {
                fail("", "cannot make the target folder " + prefix + ": " + errnoText(errno));
                return false;
            }
        }
        if (access(f.c_str(), W_OK | X_OK) != 0) {
            fail("", "cannot write to the target folder " + f + ": " + errnoText(errno));
            return false;
        }
        folder = f == "/" ? f : f + "/";
        return true;
    }

    bool prepareTools() {
        const BackupFormat fmt = opt().format;
        if (fmt == BackupFormat::Copy) return true;
        if (fmt == BackupFormat::Wmv && opt().ffmpeg.empty()) {
            fail("", "ffmpeg was not found; it is needed to write WMV (install the ffmpeg package)");
            return false;
        }
        if (opt().merge && opt().mencoder.empty()) {
            fail("",
                 "mencoder was not found; it is needed to merge recordings (install the mencoder package)");
            return false;
        }
        const std::string root = qmr3::temporaryDir();
        std::error_code ec;
        fs::create_directories(root, ec);
        std::string pattern = root + "backup-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        if (!mkdtemp(buf.data())) {
            fail("", "cannot make a temporary folder in " + root + ": " + errnoText(errno));
            return false;
        }
        workDir = std::string(buf.data()) + "/";
        return true;
    }

    // An empty file under a hidden temporary name beside target.
    std::string partBeside(const std::string& target, std::string& error) {
        std::string pattern = folder + "." + baseName(target) + ".XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        const int fd = mkostemp(buf.data(), O_CLOEXEC);
        if (fd < 0) {
            error = "cannot write in " + folder + ": " + errnoText(errno);
            return {};
        }
        fchmod(fd, mode_t(newFileMode()));
        close(fd);
        return buf.data();
    }

    void itemDone(std::size_t i) {
        job.progress_[i] = 100;
        job.recordingsDone_ += 1;
        job.kbDone_ += std::int64_t(job.items_[i].sizeBytes / 1024);
    }

    enum class Plan { Write, Replace, KeepBoth, Identical, Skip };

    // What to do about target, before writing (content: the recording) or
    // after (content: the finished part). A same-named file that holds the
    // same bytes stays; a different one is replaced, kept beside the new
    // file under a numbered name, or kept instead, as asked.
    Plan decide(const std::string& target, const std::string& content) {
        struct stat st {};
        if (lstat(target.c_str(), &st) != 0) return Plan::Write;
        if (S_ISREG(st.st_mode) && sameBytes(content, target)) {
            out.skippedIdentical.push_back(target);
            return Plan::Identical;
        }
        const ConflictChoice c =
            opt().onConflict && S_ISREG(st.st_mode) ? opt().onConflict(target) : ConflictChoice::Skip;
        if (c == ConflictChoice::Replace) return Plan::Replace;
        if (c == ConflictChoice::KeepBoth) return Plan::KeepBoth;
        out.skipped.push_back(target);
        return Plan::Skip;
    }

    // Moves a finished part to target (Write, Replace or KeepBoth); false
    // with the failure noted.
    bool place(const std::string& part, std::string target, Plan plan, const std::string& recording,
               std::string& placedAt) {
        if (plan == Plan::KeepBoth) target = numberedName(target);
        int e = 0;
        if (plan == Plan::Replace) {
            if (std::rename(part.c_str(), target.c_str()) != 0) e = errno;
        } else {
            // Never over a file that appeared meanwhile: that one gets the next free number.
            for (;;) {
                e = renameat2(AT_FDCWD, part.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0
                        ? 0
                        : errno;
                if (e == EINVAL || e == ENOSYS) {
                    // A file system without that kind of rename (older FAT drivers): check, then rename.
                    struct stat st {};
                    if (lstat(target.c_str(), &st) == 0) e = EEXIST;
                    else e = std::rename(part.c_str(), target.c_str()) == 0 ? 0 : errno;
                }
                if (e != EEXIST) break;
                target = numberedName(target);
            }
        }
        if (e != 0) {
            std::remove(part.c_str());
            fail(recording, "cannot write " + target + ": " + errnoText(e));
            return false;
        }
        syncFolder(folder);
        placedAt = target;
        out.backedUp.push_back(target);
        return true;
    }

    // After the part is finished: decide and place. True when the target
    // holds the recording now (written, or already there).
    bool finish(const std::string& part, const std::string& target, const std::string& recording,
                std::string& placedAt) {
        const Plan plan = decide(target, part);
        if (plan == Plan::Identical || plan == Plan::Skip) {
            std::remove(part.c_str());
            return true;
        }
        return place(part, target, plan, recording, placedAt);
    }

    // ---- copy ----

    // Copies source into part, flushes it and compares it with what was read.
    // "" on success, else the reason; a stop gives "stopped".
    std::string copyInto(std::size_t i, const std::string& source, const std::string& part) {
        const int in = open(source.c_str(), O_RDONLY | O_CLOEXEC);
        if (in < 0) return "cannot read the recording: " + errnoText(errno);
        struct stat st {};
        fstat(in, &st);
        const std::uint64_t size = std::uint64_t(st.st_size);
        const int outFd = open(part.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        if (outFd < 0) {
            const int e = errno;
            close(in);
            return "cannot write in " + folder + ": " + errnoText(e);
        }
        std::vector<unsigned char> buf(kChunk);
        Checksum read_;
        std::uint64_t copied = 0;
        std::string why;
        while (why.empty()) {
            if (stop.load()) {
                why = "stopped";
                break;
            }
            const ssize_t r = read(in, buf.data(), buf.size());
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) {
                why = "cannot read the recording: " + errnoText(errno);
                break;
            }
            if (r == 0) break;
            read_.add(buf.data(), std::size_t(r));
            for (std::size_t done = 0; done < std::size_t(r);) {
                const ssize_t w = write(outFd, buf.data() + done, std::size_t(r) - done);
                if (w < 0 && errno == EINTR) continue;
                if (w <= 0) {
                    why = "cannot write in " + folder + ": " + errnoText(w < 0 ? errno : ENOSPC);
                    break;
                }
                done += std::size_t(w);
            }
            copied += std::uint64_t(r);
            if (size) job.progress_[i] = int(std::min<std::uint64_t>(copied * 100 / size, 99));
        }
        if (why.empty() && fsync(outFd) != 0) why = "cannot write in " + folder + ": " + errnoText(errno);
        // Dropped from the cache, so the check below reads what the disk holds.
        if (why.empty()) posix_fadvise(outFd, 0, 0, POSIX_FADV_DONTNEED);
        if (close(outFd) != 0 && why.empty()) why = "cannot write in " + folder + ": " + errnoText(errno);
        close(in);
        if (!why.empty()) return why;
        if (copied != size) return "the recording changed size while it was copied";
        // What is on disk now must be what was read.
        Checksum written;
        if (!checksumOf(part, written)) return "cannot read the copy back: " + errnoText(errno);
        if (!(written == read_)) return "the copy does not match the recording (checksum differs)";
        return {};
    }

    void copyAll() {
        for (std::size_t i = 0; i < job.items_.size() && !stop.load(); ++i) {
            const BackupItem& it = job.items_[i];
            job.inWork_ = int(i);
            const std::string target = folder + it.fileName;
            std::error_code ec;
            if (fs::exists(target, ec) && fs::equivalent(target, it.path, ec)) {
                // Backing a folder up into itself: the recording is its own copy.
                out.skippedIdentical.push_back(target);
                itemDone(i);
                continue;
            }
            // Decided before copying: an identical or kept file costs no copy.
            const Plan plan = decide(target, it.path);
            if (plan == Plan::Identical || plan == Plan::Skip) {
                itemDone(i);
                continue;
            }
            std::string why;
            const std::string part = partBeside(target, why);
            if (part.empty()) {
                fail(it.fileName, why);
                continue;
            }
            why = copyInto(i, it.path, part);
            if (why == "stopped") {
                std::remove(part.c_str());
                job.progress_[i] = 0;
                return;
            }
            if (!why.empty()) {
                std::remove(part.c_str());
                job.progress_[i] = 0;
                fail(it.fileName, why);
                continue;
            }
            std::string placed;
            if (!place(part, target, plan, it.fileName, placed)) {
                job.progress_[i] = 0;
                continue;
            }
            itemDone(i);
        }
    }

    // ---- conversion ----

    // The engine's AVI of one whole recording into avi; "" on success.
    std::string cut(std::size_t i, const std::string& avi) {
        const BackupItem& it = job.items_[i];
        Cutter cutter;
        std::string error;
        if (!cutter.open(it.path, error)) return error;
        if (!cutter.setRangeByGop(0, cutter.gopCount(), error)) return error;
        const ConvertReport rep = cutter.convert(ConvertTargets{avi, {}, {}}, stop, job.progress_[i]);
        if (rep.outcome == Outcome::Stopped) return "stopped";
        if (rep.outcome != Outcome::Done) return rep.message.empty() ? "the conversion failed" : rep.message;
        if (!rep.warning.empty()) out.warnings.push_back({it.fileName, rep.warning});
        struct stat st {};
        if (stat(avi.c_str(), &st) != 0 || st.st_size == 0) return "the conversion wrote nothing";
        return {};
    }

    // Runs a tool; "" when it ended well and wrote something into output.
    std::string tool(const ToolCommand& cmd, const std::string& output,
                     const std::function<void(const std::string&)>& onText) {
        const std::string name = baseName(cmd.program);
        std::string text, why, tail;
        const int rc = runTool(cmd, &stop, &text, &why, [&](const std::string& chunk) {
            tail += chunk;
            if (tail.size() > 4096) tail.erase(0, tail.size() - 1024);
            if (onText) onText(tail);
        });
        if (stop.load()) return "stopped";
        if (rc != 0) {
            const std::string detail = lastLine(text);
            if (rc < 0) return why + (detail.empty() ? "" : " (" + detail + ")");
            return name + " failed (exit status " + std::to_string(rc) + ")" +
                   (detail.empty() ? "" : ": " + detail);
        }
        struct stat st {};
        if (stat(output.c_str(), &st) != 0 || st.st_size == 0) return name + " wrote nothing";
        return {};
    }

    ToolCommand wmvCommand(const std::string& input, const std::string& output) const {
        // A fixed high quality: the pictures are evidence.
        return {opt().ffmpeg,
                {"-nostdin", "-hide_banner", "-loglevel", "error", "-progress", "pipe:1", "-y", "-i", input,
                 "-q:v", "2", "-c:v", "wmv2", "-c:a", "copy", "-f", "asf", output}};
    }

    void convertAll() {
        const bool wmv = opt().format == BackupFormat::Wmv;
        for (std::size_t i = 0; i < job.items_.size() && !stop.load(); ++i) {
            const BackupItem& it = job.items_[i];
            job.inWork_ = int(i);
            const std::string target = folder + convertedName(it, opt().format);
            std::string why;
            const std::string part = partBeside(target, why);
            if (part.empty()) {
                fail(it.fileName, why);
                continue;
            }
            const std::string avi = wmv ? workDir + "recording.avi" : part;
            why = cut(i, avi);
            if (why.empty() && wmv) {
                const std::int64_t expected = std::int64_t(kFramesPerGop) * it.indexCount;
                job.progress_[i] = 0;
                why = tool(wmvCommand(avi, part), part, [&](const std::string& text) {
                    const long long f = numberAfterLast(text, "frame=");
                    if (f >= 0 && expected > 0 && f < expected) job.progress_[i] = int(f * 100 / expected);
                });
            }
            if (wmv) std::remove(avi.c_str());
            if (!why.empty()) {
                std::remove(part.c_str());
                job.progress_[i] = 0;
                if (why == "stopped") return;
                fail(it.fileName, why);
                continue;
            }
            std::string placed;
            if (!finish(part, target, it.fileName, placed)) {
                job.progress_[i] = 0;
                continue;
            }
            itemDone(i);
        }
    }

    // ---- merge ----

    // One file holds one picture size, rate and sound coding; "" when all agree.
    std::string mergeMismatch() {
        std::string first, firstName;
        for (const auto& it : job.items_) {
            Cutter c;
            std::string error;
            if (!c.open(it.path, error)) continue;  // named when it is converted
            const OutputRate r = c.rate();
            const std::string kind =
                std::to_string(c.header().width) + "x" + std::to_string(c.header().height) + " at " +
                std::to_string(r.num) + "/" + std::to_string(r.den) + " pictures per second, " +
                (c.header().audioKind == qmr3::kAudioKindAdpcm ? "ADPCM" : "PCM") + " sound";
            if (first.empty()) {
                first = kind;
                firstName = it.fileName;
            } else if (kind != first) {
                return "recordings of different kinds cannot be merged into one file: " + firstName + " is " +
                       first + ", " + it.fileName + " is " + kind;
            }
        }
        return {};
    }

    void mergeAll() {
        const auto& items = job.items_;
        if (const std::string why = mergeMismatch(); !why.empty()) {
            fail("", why + "; nothing was merged");
            return;
        }
        std::vector<std::size_t> order(items.size());
        std::vector<std::string> parts(items.size());
        for (std::size_t i = 0; i < items.size(); ++i) {
            if (stop.load()) return;
            job.inWork_ = int(i);
            job.mergeExpected_ += std::int64_t(kFramesPerGop) * items[i].indexCount;
            char name[32];
            std::snprintf(name, sizeof name, "part%03zu.avi", i);
            parts[i] = workDir + name;
            const std::string why = cut(i, parts[i]);
            if (why == "stopped") {
                job.progress_[i] = 0;
                return;
            }
            if (!why.empty()) {
                // One file of all recordings or none: a merge without one of them would mislead.
                fail(items[i].fileName, why + "; nothing was merged");
                return;
            }
            itemDone(i);
            order[i] = i;
        }
        job.inWork_ = -1;
        // Time order, whatever order the recordings were chosen in.
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return items[a].startTime < items[b].startTime;
        });
        const std::string name = mergedName(items, opt().format);
        {
            std::lock_guard<std::mutex> lock(job.nameLock_);
            job.outputName_ = name;
        }
        const std::string target = folder + name;
        std::string why;
        const std::string part = partBeside(target, why);
        if (part.empty()) {
            fail(name, why);
            return;
        }
        const bool wmv = opt().format == BackupFormat::Wmv;
        // The pictures are copied as they are; mencoder's own WMV encoder drops pictures and sound.
        const std::string merged = wmv ? workDir + "merged.avi" : part;
        ToolCommand m{opt().mencoder,
                      {"-noconfig", "all", "-forceidx", "-ovc", "copy", "-oac", "copy", "-o", merged}};
        for (std::size_t k : order) m.args.push_back(parts[k]);
        why = tool(m, merged, [&](const std::string& text) {
            const long long f = mencoderFrames(text);
            if (f > 0) job.mergeDone_ = f;
            job.mergeSizeMb_ = sizeMb(merged);
        });
        if (why.empty()) {
            job.mergeDone_ = job.mergeExpected_.load();
            job.mergeSizeMb_ = sizeMb(merged);
        }
        if (why.empty() && wmv) {
            const std::int64_t stage1 = job.mergeExpected_.load();
            job.wmvExpected_ = std::int64_t(double(stage1) * 1.1);
            why = tool(wmvCommand(merged, part), part, [&](const std::string& text) {
                const long long f = numberAfterLast(text, "frame=");
                if (f >= 0 && job.wmvDone_.load() < stage1) job.wmvDone_ = f;
                job.wmvSizeMb_ = sizeMb(part);
            });
            if (why.empty()) {
                job.wmvDone_ = job.wmvExpected_.load();
                job.wmvSizeMb_ = sizeMb(part);
            }
        }
        for (const auto& p : parts) std::remove(p.c_str());
        if (wmv) std::remove(merged.c_str());
        if (!why.empty()) {
            std::remove(part.c_str());
            if (why != "stopped") fail(name, why);
            return;
        }
        std::string placed;
        if (!finish(part, target, name, placed)) return;
        if (!placed.empty()) out.mergedName = baseName(placed);
        else if (!out.skippedIdentical.empty() && out.skippedIdentical.back() == target)
            out.mergedName = name;
    }
};

BackupJob::BackupJob(std::vector<BackupItem> items, BackupOptions options)
    : items_(std::move(items)),
      options_(std::move(options)),
      progress_(new std::atomic<int>[items_.empty() ? 1 : items_.size()]) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        progress_[i] = 0;
        kbSelected_ += std::int64_t(items_[i].sizeBytes / 1024);
    }
}

BackupJob::~BackupJob() = default;

int BackupJob::itemProgress(std::size_t i) const { return i < items_.size() ? progress_[i].load() : 0; }

std::string BackupJob::outputName() const {
    std::lock_guard<std::mutex> lock(nameLock_);
    return outputName_;
}

BackupOutcome BackupJob::run(const std::atomic<bool>& stop) {
    for (std::size_t i = 0; i < items_.size(); ++i) progress_[i] = 0;
    recordingsDone_ = 0;
    kbDone_ = 0;
    mergeExpected_ = mergeDone_ = mergeSizeMb_ = 0;
    wmvExpected_ = wmvDone_ = wmvSizeMb_ = 0;
    {
        std::lock_guard<std::mutex> lock(nameLock_);
        outputName_.clear();
    }
    Run r(*this, stop);
    if (items_.empty()) r.fail("", "no recording was chosen");
    else if (r.prepareFolder() && r.prepareTools()) {
        if (options_.format == BackupFormat::Copy) r.copyAll();
        else if (options_.merge) r.mergeAll();
        else r.convertAll();
    }
    if (!r.workDir.empty()) {
        std::error_code ec;
        fs::remove_all(r.workDir, ec);
    }
    inWork_ = -1;
    r.out.status = stop.load()            ? BackupStatus::Stopped
                   : r.out.failed.empty() ? BackupStatus::Completed
                                          : BackupStatus::Failed;
    return std::move(r.out);
}

}  // namespace vantrex
