#include "clipexport.h"

#include "tempdirs.h"
#include "toolpath.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vantrex {

namespace fs = std::filesystem;

namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string withoutExtension(const std::string& path) {
    const auto slash = path.rfind('/');
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash) || dot == slash + 1)
        return path;
    return path.substr(0, dot);
}

}  // namespace

unsigned newFileMode() {
    // umask() cannot be read without being set; /proc tells it without a race.
    mode_t mask = 022;
    if (std::FILE* f = std::fopen("/proc/self/status", "r")) {
        char line[128];
        while (std::fgets(line, sizeof line, f))
            if (std::strncmp(line, "Umask:", 6) == 0) mask = mode_t(std::strtoul(line + 6, nullptr, 8));
        std::fclose(f);
    }
    return 0666 & ~mask;
}

namespace {

std::string lastLines(const std::string& text) {
    std::string t = text;
    while (!t.empty() && (t.back() == '\n' || t.back() == '\r')) t.pop_back();
    const auto nl = t.rfind('\n');
    return nl == std::string::npos ? t : t.substr(nl + 1);
}

std::string isoUtc(std::int64_t seconds) {
    const std::time_t t = std::time_t(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char buf[40];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S.000000Z", &tm);
    return buf;
}

}  // namespace

bool parseClipFormat(const std::string& text, ClipFormat& out) {
    if (text == "avi") out = ClipFormat::Avi;
    else if (text == "mp4") out = ClipFormat::Mp4;
    else if (text == "wmv") out = ClipFormat::Wmv;
    else if (text == "qmr3") out = ClipFormat::Qmr3;
    else return false;
    return true;
}

const char* clipExtension(ClipFormat f) {
    switch (f) {
    case ClipFormat::Avi: return "avi";
    case ClipFormat::Mp4: return "mp4";
    case ClipFormat::Wmv: return "wmv";
    case ClipFormat::Qmr3: return "qmr3";
    }
    return "avi";
}

bool parseLocalTime(const std::string& text, std::int64_t& out) {
    int y, mo, d, h, mi, s;
    char tail;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
        return false;
    if (y < 1970 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59) return false;
    out = qmr3::localCalendarToSeconds(y, mo, d, h, mi, s);
    // Rejects days a month does not have (mktime would move them on).
    return qmr3::formatLocalTime(out) == text;
}

std::string findFfmpeg(const std::string& folder) { return qmr3::findProgram("ffmpeg", folder); }

ToolCommand mp4Command(const std::string& ffmpeg, const std::string& avi, const std::string& srt,
                       std::int64_t creationTime, bool audio, const std::string& out) {
    ToolCommand c{ffmpeg, {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", avi}};
    if (!srt.empty()) c.args.insert(c.args.end(), {"-i", srt});
    c.args.insert(c.args.end(), {"-map", "0:v:0"});
    if (audio) c.args.insert(c.args.end(), {"-map", "0:a:0"});
    if (!srt.empty()) c.args.insert(c.args.end(), {"-map", "1:0"});
    c.args.insert(c.args.end(), {"-c:v", "copy"});
    // MP4 holds neither 8-bit PCM nor MS ADPCM.
    // The fast coder: several times quicker on 8 kHz sound, and as good to the ear there.
    if (audio) c.args.insert(c.args.end(), {"-c:a", "aac", "-aac_coder", "fast", "-b:a", "48k"});
    if (!srt.empty()) c.args.insert(c.args.end(), {"-c:s", "mov_text"});
    c.args.insert(c.args.end(), {"-metadata", "creation_time=" + isoUtc(creationTime), "-movflags",
                                 "+faststart", "-f", "mp4", out});
    return c;
}

ToolCommand wmvCommand(const std::string& ffmpeg, const std::string& avi, const std::string& bitRate,
                       const std::string& out) {
    return {ffmpeg,
            {"-nostdin", "-hide_banner", "-loglevel", "error", "-y", "-i", avi, "-b:v", bitRate, "-c:v",
             "wmv2", "-c:a", "copy", "-f", "asf", out}};
}

int runTool(const ToolCommand& cmd, const std::atomic<bool>* stop, std::string* output, std::string* why,
            const std::function<void(const std::string& chunk)>& onOutput) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        if (why) *why = std::strerror(errno);
        return -1;
    }
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 1);
    posix_spawn_file_actions_adddup2(&fa, fds[1], 2);
    posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
    // Its own process group, so a stop also reaches anything it started.
    posix_spawnattr_t attr;
    posix_spawnattr_init(&attr);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETPGROUP);
    posix_spawnattr_setpgroup(&attr, 0);
    std::vector<std::string> args = cmd.args;
    args.insert(args.begin(), cmd.program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, cmd.program.c_str(), &fa, &attr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    posix_spawnattr_destroy(&attr);
    close(fds[1]);
    if (rc != 0) {
        close(fds[0]);
        if (why) *why = "cannot start " + cmd.program + ": " + std::strerror(rc);
        return -1;
    }
    using Clock = std::chrono::steady_clock;
    constexpr auto kGrace = std::chrono::seconds(2);
    std::string text;
    bool killed = false, forced = false, reaped = false, pipeOpen = true;
    Clock::time_point termAt{};
    int status = 0;
    while (!reaped) {
        if (pipeOpen) {
            pollfd p{fds[0], POLLIN, 0};
            if (poll(&p, 1, 100) > 0) {
                char buf[4096];
                const ssize_t r = read(fds[0], buf, sizeof buf);
                if (r > 0) {
                    const std::string chunk(buf, std::size_t(r));
                    text += chunk;
                    if (text.size() > 65536) text.erase(0, text.size() - 16384);  // keep only the tail
                    if (onOutput) onOutput(chunk);
                } else if (r == 0 || errno != EINTR) {
                    pipeOpen = false;
                }
            }
        } else {
            poll(nullptr, 0, 20);
        }
        if (stop && stop->load() && !killed) {
            kill(-pid, SIGTERM);
            killed = true;
            termAt = Clock::now();
        }
        if (killed && !forced && Clock::now() - termAt > kGrace) {
            kill(-pid, SIGKILL);
            forced = true;
        }
        // The pipe may stay open in a grandchild; the child's end is what counts.
        if (!pipeOpen || killed) {
            const pid_t w = waitpid(pid, &status, pipeOpen ? WNOHANG : 0);
            if (w == pid) reaped = true;
            else if (w < 0 && errno != EINTR) break;
        }
    }
    close(fds[0]);
    if (killed) kill(-pid, SIGKILL);  // nothing of a stopped run lives on
    if (output) *output = text;
    if (WIFEXITED(status) && !killed) return WEXITSTATUS(status);
    if (why) *why = killed ? "stopped" : cmd.program + " ended abnormally";
    return -1;
}

ClipExport::~ClipExport() {
    if (!published_) discard();
}

std::string ClipExport::srtTarget() const { return withoutExtension(request_.target) + ".srt"; }
std::string ClipExport::csvTarget() const { return withoutExtension(request_.target) + ".csv"; }

std::string ClipExport::partBeside(const std::string& finalPath, const char* what) {
    const std::string folder = folderOf(finalPath);
    const std::string name =
        finalPath.substr(finalPath.rfind('/') == std::string::npos ? 0 : finalPath.rfind('/') + 1);
    std::string pattern = folder + "/." + name + ".XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    const int fd = mkstemp(buf.data());
    if (fd < 0) {
        error_ = std::string("cannot write ") + what + " in " + folder + ": " + std::strerror(errno);
        return {};
    }
    fchmod(fd, mode_t(newFileMode()));
    close(fd);
    parts_.emplace_back(buf.data());
    return parts_.back();
}

bool ClipExport::prepare(const ClipRequest& request) {
    discard();
    published_ = false;
    request_ = request;
    error_.clear();
    if (!cutter_.open(request.source, error_)) return false;
    if (request.byGop ? !cutter_.setRangeByGop(request.startGop, request.endGop, error_)
                      : !cutter_.setRangeByTime(request.fromOffset, request.toOffset, error_))
        return false;
    const std::string& target = request.target;
    if (target.empty() || target.back() == '/') {
        error_ = "no file name was given for the clip";
        return false;
    }
    const std::string folder = folderOf(target);
    struct stat st {};
    if (stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        error_ = "the folder " + folder + " does not exist";
        return false;
    }
    if (access(folder.c_str(), W_OK) != 0) {
        error_ = "cannot write to the folder " + folder + ": " + std::strerror(errno);
        return false;
    }
    std::error_code ec;
    if (fs::equivalent(target, request.source, ec)) {
        error_ = "the clip cannot replace the recording it is cut from";
        return false;
    }
    if (stat(target.c_str(), &st) == 0) {
        if (S_ISDIR(st.st_mode)) {
            error_ = target + " is a folder";
            return false;
        }
        if (!request.overwrite) {
            error_ = target + " already exists";
            return false;
        }
    }
    const bool tool = request.format == ClipFormat::Mp4 || request.format == ClipFormat::Wmv;
    if (tool && request.ffmpeg.empty()) {
        error_ = std::string("ffmpeg was not found; it is needed to write ") +
                 (request.format == ClipFormat::Mp4 ? "MP4" : "WMV") + " (install the ffmpeg package)";
        return false;
    }
    // A private folder for this run only: two exports never share a file.
    const std::string tempRoot = qmr3::temporaryDir();
    fs::create_directories(tempRoot, ec);
    std::string pattern = tempRoot + "export-XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) {
        error_ = "cannot make a temporary folder in " + tempRoot + ": " + std::strerror(errno);
        return false;
    }
    workDir_ = buf.data();
    mainPart_ = partBeside(target, "the clip");
    if (mainPart_.empty()) return false;
    aviPart_ = tool ? workDir_ + "/clip.avi" : mainPart_;
    srtPart_.clear();
    csvPart_.clear();
    if (request.sidecars && request.format != ClipFormat::Qmr3) {
        srtPart_ = partBeside(srtTarget(), "the subtitles");
        csvPart_ = partBeside(csvTarget(), "the time table");
        if (srtPart_.empty() || csvPart_.empty()) return false;
    }
    return true;
}

bool ClipExport::convert(const std::atomic<bool>& stop, std::atomic<int>& progress) {
    if (workDir_.empty()) {
        error_ = "nothing to export";
        return false;
    }
    report_ = request_.format == ClipFormat::Qmr3
                  ? cutter_.cutSubFile(mainPart_, stop, progress)
                  : cutter_.convert(ConvertTargets{aviPart_, srtPart_, csvPart_}, stop, progress);
    if (report_.outcome != Outcome::Done) {
        error_ = report_.message;
        discard();
        return false;
    }
    return true;
}

ToolCommand ClipExport::toolCommand() const {
    if (report_.outcome != Outcome::Done) return {};
    if (request_.format == ClipFormat::Mp4)
        return mp4Command(request_.ffmpeg, aviPart_, srtPart_, report_.firstTime, report_.audio, mainPart_);
    if (request_.format == ClipFormat::Wmv)
        return wmvCommand(request_.ffmpeg, aviPart_, request_.bitRate, mainPart_);
    return {};
}

bool ClipExport::publish(bool toolOk, const std::string& toolOutput) {
    if (report_.outcome != Outcome::Done || workDir_.empty()) {
        if (error_.empty()) error_ = "nothing was exported";
        discard();
        return false;
    }
    if (!toolCommand().program.empty() && !toolOk) {
        const std::string detail = lastLines(toolOutput);
        error_ = "ffmpeg could not write the clip" + (detail.empty() ? std::string() : ": " + detail);
        discard();
        return false;
    }
    struct stat st {};
    if (stat(mainPart_.c_str(), &st) != 0 || st.st_size == 0) {
        error_ = "the clip came out empty";
        discard();
        return false;
    }
    // Sidecars first: a clip under its final name is always complete with them.
    const std::pair<std::string, std::string> moves[] = {
        {srtPart_, srtTarget()}, {csvPart_, csvTarget()}, {mainPart_, request_.target}};
    std::vector<std::string> placed;
    for (const auto& [from, to] : moves) {
        if (from.empty()) continue;
        if (std::rename(from.c_str(), to.c_str()) != 0) {
            error_ = "cannot write " + to + ": " + std::strerror(errno);
            for (const auto& p : placed) std::remove(p.c_str());
            discard();
            return false;
        }
        placed.push_back(to);
    }
    published_ = true;
    parts_.clear();
    std::error_code ec;
    fs::remove_all(workDir_, ec);
    workDir_.clear();
    return true;
}

void ClipExport::discard() {
    for (const auto& p : parts_) std::remove(p.c_str());
    parts_.clear();
    if (!workDir_.empty()) {
        std::error_code ec;
        fs::remove_all(workDir_, ec);
        workDir_.clear();
    }
}

}  // namespace vantrex
