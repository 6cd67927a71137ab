#include "realisticvideo.h"

#include "slicerewriter.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace qmr3 {

namespace fs = std::filesystem;

namespace {

const char kClockFont[] = "/usr/share/fonts/truetype/dejavu/DejaVuSansMono-Bold.ttf";

// A private working folder, removed with everything in it.
class WorkDir {
public:
    WorkDir() {
        std::string pattern = (fs::temp_directory_path() / "qmr3gen-XXXXXX").string();
        if (mkdtemp(pattern.data())) path_ = pattern;
    }
    ~WorkDir() {
        std::error_code ec;
        if (!path_.empty()) fs::remove_all(path_, ec);
    }
    WorkDir(const WorkDir&) = delete;
    WorkDir& operator=(const WorkDir&) = delete;
    bool ok() const { return !path_.empty(); }
    std::string file(const char* name) const { return (fs::path(path_) / name).string(); }

private:
    std::string path_;
};

std::string readText(const std::string& path, std::size_t tail) {
    std::ifstream in(path, std::ios::binary);
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
    return s.size() > tail ? "..." + s.substr(s.size() - tail) : s;
}

// Runs ffmpeg with an argument list (no shell); its messages go to `log`.
bool runFfmpeg(const std::vector<std::string>& args, const std::string& log, std::string& error) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>("ffmpeg"));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 1, 2);
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, "ffmpeg", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        error = std::string("cannot start ffmpeg: ") + std::strerror(rc);
        return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        const std::string msg = readText(log, 600);
        error = "ffmpeg failed" + (msg.empty() ? std::string() : ": " + msg);
        return false;
    }
    return true;
}

std::vector<std::string> inputArgs(const std::string& input) {
    std::error_code ec;
    // A file is looped so that a short clip still fills the recording.
    if (fs::is_regular_file(input, ec)) return {"-stream_loop", "-1", "-i", input};
    return {"-f", "lavfi", "-i", input};
}

std::string between(const SecondRange& r) {
    return "between(t," + std::to_string(r.from) + "," + std::to_string(r.to) + ".999)";
}

}  // namespace

std::string realisticFilterGraph(const GenOptions& o, int width, int height) {
    const std::string fps = std::to_string(o.fps);
    std::string g = "[0:v]fps=" + fps + ",scale=" + std::to_string(width) + ":" + std::to_string(height) +
                    ",setsar=1,setpts=N/FRAME_RATE/TB,format=yuv420p[v0];";
    int stage = 0;
    auto next = [&](const std::string& filter) {
        g += "[v" + std::to_string(stage) + "]" + filter + "[v" + std::to_string(stage + 1) + "];";
        ++stage;
    };
    // Motion: a block that walks where the motion maps say.
    const int step = std::max(1, o.fps / 4);
    const int cellW = width / 16, cellH = height / 16;
    for (std::size_t i = 0; i < o.motion.size(); ++i) {
        const std::string m = "m" + std::to_string(i);
        g += "color=c=0xE8B020:s=" + std::to_string(3 * cellW) + "x" + std::to_string(4 * cellH) +
             ":r=" + fps + "[" + m + "];";
        // overlay's n already counts the picture being blended (ffmpeg 5.1).
        g += "[v" + std::to_string(stage) + "][" + m + "]overlay=x='mod(floor(max(n-1,0)/" +
             std::to_string(step) + "),14)*" + std::to_string(cellW) + "':y=" + std::to_string(6 * cellH) +
             ":shortest=1:enable='" + between(o.motion[i]) + "'[v" + std::to_string(stage + 1) + "];";
        ++stage;
    }
    // Events: a red frame and a label.
    const int fontSize = std::max(12, height / 16);
    for (const auto& e : o.events) {
        next("drawbox=x=0:y=0:w=iw:h=ih:color=red:t=" + std::to_string(std::max(4, height / 60)) +
             ":enable='" + between(e.seconds) + "'");
        if (o.clock)
            next(std::string("drawtext=fontfile=") + kClockFont + ":fontsize=" + std::to_string(fontSize) +
                 ":fontcolor=white:box=1:boxcolor=red@0.8:boxborderw=4:x=w-tw-12:y=12:text=EVENT:enable='" +
                 between(e.seconds) + "'");
    }
    // The frame number in the bottom macroblock row, as the pattern pictures carry it.
    if (o.numbered) {
        next("drawbox=x=0:y=ih-16:w=iw:h=16:color=black:t=fill");
        const long long pictures = (long long)o.fps * o.seconds;
        for (int bit = 0; bit < width / 16 && (1LL << bit) < pictures; ++bit)
            next("drawbox=x=" + std::to_string(16 * bit) +
                 ":y=ih-16:w=16:h=16:color=white:t=fill:enable='bitand(n," + std::to_string(1LL << bit) +
                 ")'");
    }
    // The clock, one stretch per jump of the recorder's clock.
    if (o.clock) {
        std::vector<ClockGap> gaps = o.gaps;
        std::sort(gaps.begin(), gaps.end(), [](auto& a, auto& b) { return a.atSecond < b.atSecond; });
        long long offset = startEpoch(o);
        int from = 0;
        for (std::size_t i = 0; i <= gaps.size(); ++i) {
            const int to = i < gaps.size() ? gaps[i].atSecond : o.seconds;
            if (to > from) {
                next(std::string("drawtext=fontfile=") + kClockFont +
                     ":fontsize=" + std::to_string(fontSize) +
                     ":fontcolor=white:box=1:boxcolor=black@0.65:boxborderw=4:x=8:y=8:text='%{pts\\:"
                     "gmtime\\:" +
                     std::to_string(offset) + "\\:%Y-%m-%d %H\\\\\\:%M\\\\\\:%S}':enable='gte(t," +
                     std::to_string(from) + ")*lt(t," + std::to_string(to) + ")'");
                from = to;
            }
            if (i < gaps.size()) offset += gaps[i].jumpSeconds;
        }
    }
    g += "[v" + std::to_string(stage) + "]null[vout]";
    return g;
}

bool encodeRealistic(const GenOptions& o, const SpsInfo& target, RealisticVideo& out, std::string& error) {
    WorkDir work;
    if (!work.ok()) {
        error = "cannot create a working folder";
        return false;
    }
    const std::uint32_t count = std::uint32_t(o.fps) * std::uint32_t(o.seconds);
    const std::string stream = work.file("video.h264");
    std::vector<std::string> args = {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
    for (auto& a : inputArgs(o.from)) args.push_back(a);
    const std::string gop = std::to_string(o.gop);
    // Baseline, CAVLC, one reference, no B pictures, plain deblocking and no
    // chroma QP offset: everything the table's parameter sets fix.
    const std::string x264 = "keyint=" + gop + ":min-keyint=" + gop +
                             ":scenecut=0:open-gop=0:ref=1:bframes=0:cabac=0:weightp=0:8x8dct=0:psy=0:"
                             "chroma-qp-offset=0:deblock=0,0:slices=1:aud=0";
    const std::vector<std::string> encode = {"-filter_complex",
                                             realisticFilterGraph(o, target.width, target.height),
                                             "-map",
                                             "[vout]",
                                             "-frames:v",
                                             std::to_string(count),
                                             "-an",
                                             "-c:v",
                                             "libx264",
                                             "-preset",
                                             "superfast",
                                             "-profile:v",
                                             "baseline",
                                             "-crf",
                                             std::to_string(o.crf),
                                             "-x264-params",
                                             x264};
    args.insert(args.end(), encode.begin(), encode.end());
    if (o.kbps > 0) {
        const std::string rate = std::to_string(o.kbps) + "k";
        args.insert(args.end(), {"-maxrate", rate, "-bufsize", rate});
    }
    args.insert(args.end(), {"-f", "h264", stream});
    if (!runFfmpeg(args, work.file("video.log"), error)) return false;

    std::ifstream in(stream, std::ios::binary);
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!o.encoderStream.empty()) {
        std::ofstream copy(o.encoderStream, std::ios::binary);
        copy.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
        if (!copy) {
            error = "cannot write " + o.encoderStream;
            return false;
        }
    }
    SliceRewriter rewriter(target);
    out.pictures.clear();
    if (!rewriter.rewrite(bytes, out.pictures)) {
        error = rewriter.error();
        return false;
    }
    if (out.pictures.size() < count) {
        error = "the input gave only " + std::to_string(out.pictures.size()) + " of " +
                std::to_string(count) + " pictures";
        return false;
    }
    out.pictures.resize(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const bool idr = out.pictures[i].size() > 4 && (out.pictures[i][4] & 0x1F) == 5;
        if (idr != (i % std::uint32_t(o.gop) == 0)) {
            error = "the encoder did not start a group at picture " + std::to_string(i);
            return false;
        }
    }

    out.sound.clear();
    if (o.inputSound && o.audio != AudioKind::None) {
        const std::string raw = work.file("sound.raw");
        std::vector<std::string> a = {"-nostdin", "-hide_banner", "-loglevel", "error", "-y"};
        for (auto& x : inputArgs(o.from)) a.push_back(x);
        for (const char* x : {"-map", "0:a:0", "-t"}) a.push_back(x);
        a.push_back(std::to_string(o.seconds));
        for (const char* x : {"-ac", "1", "-ar", "8000", "-f", "s16le"}) a.push_back(x);
        a.push_back(raw);
        if (!runFfmpeg(a, work.file("sound.log"), error)) {
            error = "no sound from " + o.from + " (" + error + ")";
            return false;
        }
        std::ifstream s(raw, std::ios::binary);
        std::vector<char> b((std::istreambuf_iterator<char>(s)), std::istreambuf_iterator<char>());
        out.sound.resize(b.size() / 2);
        for (std::size_t i = 0; i < out.sound.size(); ++i)
            out.sound[i] = std::int16_t(std::uint8_t(b[2 * i]) | (std::uint8_t(b[2 * i + 1]) << 8));
    }
    return true;
}

}  // namespace qmr3
