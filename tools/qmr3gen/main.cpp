// qmr3gen: writes .qmr3 recordings for tests and the demo.
#include "generator.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace qmr3;

namespace {

const char kUsage[] =
    "usage: qmr3gen [options] OUT.qmr3\n"
    "       qmr3gen --demo DIR\n"
    "options:\n"
    "  --size WxH            picture size (352x240; 352x288, 640x480, 704x240, 704x288, 704x480, 704x576)\n"
    "  --fps N               pictures per second (30)\n"
    "  --gop N               pictures per group (15)\n"
    "  --seconds N           duration (10)\n"
    "  --start \"YYYY-MM-DD HH:MM:SS\"  time of the first picture (2026-12-01 12:00:00)\n"
    "  --product-id N        recorder product id, decimal or 0x hex (0; 0x41 uses the other parameter sets)\n"
    "  --audio none|pcm|adpcm\n"
    "  --video-type N        0 = 30 family, 1 = 25 family (default from fps)\n"
    "  --rate-index N        header rate index (default from fps)\n"
    "  --event A-B[:FLAGS]   event flags (default 0x01) on the video packets of seconds A..B\n"
    "  --motion A-B          motion maps (flags 0x10) on seconds A..B\n"
    "  --gps                 fill the GPS words\n"
    "  --gap S:J             the clock jumps J seconds before recorded second S\n"
    "  --summary N           event summary byte (default from what was written)\n"
    "  --time-event          set the Time bit of the summary byte\n"
    "  --gop-mode            one video packet per group of pictures\n"
    "  --no-trailer          no frame index after the payloads\n"
    "  --from INPUT          realistic pictures: encode INPUT with libx264 through ffmpeg; INPUT is\n"
    "                        a file ffmpeg reads (looped when short) or a lavfi source such as\n"
    "                        testsrc2, mandelbrot, life or cellauto; the clock is burnt in and\n"
    "                        events and motion show in the picture\n"
    "  --no-clock            with --from: no wall-clock time in the picture\n"
    "  --input-sound         with --from and --audio: the input's sound instead of the tone\n"
    "  --crf N               with --from: x264 quality (23)\n"
    "  --kbps N              with --from: at most N kbit per second\n"
    "  --numbered            with --from: the frame number in the bottom macroblock row too\n"
    "  --encoder-stream FILE with --from: keep the encoder's own stream (before rewriting) in FILE\n"
    "  --damage KIND[@N]     bad-magic@PACKET, oversize@PACKET, cut@PERCENT, index-cut,\n"
    "                        index-outside, bad-first-time, empty@PACKET (a video packet\n"
    "                        with an empty payload), motion-short@PACKET (a video packet\n"
    "                        flagged with a motion map and holding only its 32 bytes);\n"
    "                        PACKET counts every packet from 0, sound included\n";

bool parseInt(const char* s, int& out) {
    if (!s || !*s) return false;
    char* end = nullptr;
    long v = std::strtol(s, &end, 0);
    if (*end || v < -2147483647L || v > 2147483647L) return false;
    out = int(v);
    return true;
}

bool parseRange(const std::string& s, SecondRange& r) {
    int a = 0, b = 0;
    char tail = 0;
    if (std::sscanf(s.c_str(), "%d-%d%c", &a, &b, &tail) == 2 && a <= b && a >= 0) {
        r = {a, b};
        return true;
    }
    if (std::sscanf(s.c_str(), "%d%c", &a, &tail) == 1 && a >= 0) {
        r = {a, a};
        return true;
    }
    return false;
}

int fail(const std::string& msg) {
    std::fprintf(stderr, "qmr3gen: %s\n", msg.c_str());
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    GenOptions o;
    std::string out;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const char* v = i + 1 < argc ? argv[i + 1] : nullptr;
        auto needValue = [&]() {
            if (!v) return false;
            ++i;
            return true;
        };
        if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if (a == "--demo") {
            if (!needValue()) return fail("--demo needs a folder");
            std::string error;
            if (!generateDemoFolder(v, error)) {
                std::fprintf(stderr, "qmr3gen: %s\n", error.c_str());
                return 1;
            }
            std::printf("Demo recorder folder written to %s\n", v);
            return 0;
        } else if (a == "--size") {
            if (!needValue() || std::sscanf(v, "%dx%d", &o.width, &o.height) != 2)
                return fail("--size needs WxH");
        } else if (a == "--fps") {
            if (!needValue() || !parseInt(v, o.fps)) return fail("--fps needs a number");
        } else if (a == "--gop") {
            if (!needValue() || !parseInt(v, o.gop)) return fail("--gop needs a number");
        } else if (a == "--seconds") {
            if (!needValue() || !parseInt(v, o.seconds)) return fail("--seconds needs a number");
        } else if (a == "--start") {
            if (!needValue() || std::sscanf(v, "%d-%d-%d %d:%d:%d", &o.year, &o.month, &o.day, &o.hour,
                                            &o.minute, &o.second) != 6)
                return fail("--start needs \"YYYY-MM-DD HH:MM:SS\"");
        } else if (a == "--product-id") {
            if (!needValue() || !parseInt(v, o.productId) || o.productId < 0 || o.productId > 255)
                return fail("--product-id needs 0..255");
        } else if (a == "--audio") {
            if (!needValue()) return fail("--audio needs none, pcm or adpcm");
            const std::string k = v;
            if (k == "none") o.audio = AudioKind::None;
            else if (k == "pcm") o.audio = AudioKind::Pcm;
            else if (k == "adpcm") o.audio = AudioKind::Adpcm;
            else return fail("--audio needs none, pcm or adpcm");
        } else if (a == "--video-type") {
            int t = 0;
            if (!needValue() || !parseInt(v, t) || t < 0 || t > 255)
                return fail("--video-type needs a number");
            o.videoType = t;
        } else if (a == "--rate-index") {
            int t = 0;
            if (!needValue() || !parseInt(v, t) || t < 0) return fail("--rate-index needs a number");
            o.rateIndex = t;
        } else if (a == "--event") {
            if (!needValue()) return fail("--event needs A-B[:FLAGS]");
            std::string s = v;
            EventSpec e;
            if (auto colon = s.find(':'); colon != std::string::npos) {
                int f = 0;
                if (!parseInt(s.substr(colon + 1).c_str(), f) || f < 0 || f > 255)
                    return fail("bad event flags");
                e.flags = std::uint8_t(f);
                s.resize(colon);
            }
            if (!parseRange(s, e.seconds)) return fail("--event needs A-B[:FLAGS]");
            o.events.push_back(e);
        } else if (a == "--motion") {
            SecondRange r;
            if (!needValue() || !parseRange(v, r)) return fail("--motion needs A-B");
            o.motion.push_back(r);
        } else if (a == "--gps") {
            o.gps = true;
        } else if (a == "--gap") {
            ClockGap g;
            if (!needValue() || std::sscanf(v, "%d:%d", &g.atSecond, &g.jumpSeconds) != 2)
                return fail("--gap needs S:J");
            o.gaps.push_back(g);
        } else if (a == "--summary") {
            int s = 0;
            if (!needValue() || !parseInt(v, s) || s < 0 || s > 255) return fail("--summary needs 0..255");
            o.summary = s;
        } else if (a == "--time-event") {
            o.timeEvent = true;
        } else if (a == "--gop-mode") {
            o.gopMode = true;
        } else if (a == "--no-trailer") {
            o.trailer = false;
        } else if (a == "--from") {
            if (!needValue() || !*v) return fail("--from needs an input");
            o.from = v;
        } else if (a == "--no-clock") {
            o.clock = false;
        } else if (a == "--input-sound") {
            o.inputSound = true;
        } else if (a == "--crf") {
            if (!needValue() || !parseInt(v, o.crf) || o.crf < 0 || o.crf > 51)
                return fail("--crf needs 0..51");
        } else if (a == "--numbered") {
            o.numbered = true;
        } else if (a == "--kbps") {
            if (!needValue() || !parseInt(v, o.kbps) || o.kbps < 1)
                return fail("--kbps needs a positive number");
        } else if (a == "--encoder-stream") {
            if (!needValue()) return fail("--encoder-stream needs a file");
            o.encoderStream = v;
        } else if (a == "--damage") {
            if (!needValue()) return fail("--damage needs a kind");
            std::string s = v;
            Damage d{DamageKind::BadMagic, 0};
            std::string arg;
            if (auto at = s.find('@'); at != std::string::npos) {
                arg = s.substr(at + 1);
                s.resize(at);
            }
            if (s == "bad-magic") d.kind = DamageKind::BadMagic;
            else if (s == "oversize") d.kind = DamageKind::Oversized;
            else if (s == "cut") d.kind = DamageKind::CutShort, d.at = 50;
            else if (s == "index-cut") d.kind = DamageKind::IndexCut;
            else if (s == "index-outside") d.kind = DamageKind::IndexOutside;
            else if (s == "bad-first-time") d.kind = DamageKind::BadFirstTime;
            else if (s == "empty") d.kind = DamageKind::EmptyPicture;
            else if (s == "motion-short") d.kind = DamageKind::MotionShort;
            else return fail("unknown damage kind " + s);
            if (!arg.empty() && !parseInt(arg.c_str(), d.at)) return fail("bad damage argument " + arg);
            o.damage.push_back(d);
        } else if (!a.empty() && a[0] == '-') {
            return fail("unknown option " + a + "\n" + kUsage);
        } else if (out.empty()) {
            out = a;
        } else {
            return fail("more than one output file");
        }
    }
    if (out.empty()) {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (o.from.empty() && (o.inputSound || !o.encoderStream.empty()))
        return fail("--input-sound and --encoder-stream need --from");
    if (o.inputSound && o.audio == AudioKind::None) return fail("--input-sound needs --audio pcm or adpcm");
    GenResult r = generateRecording(out, o);
    if (!r.ok) {
        std::fprintf(stderr, "qmr3gen: %s\n", r.error.c_str());
        return 1;
    }
    std::printf("%s: %u pictures in %u groups, %llu bytes\n", out.c_str(), r.pictures, r.gops,
                static_cast<unsigned long long>(r.bytes));
    return 0;
}
