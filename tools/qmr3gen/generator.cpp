#include "generator.h"

#include "audiowriter.h"
#include "h264writer.h"
#include "ratetable.h"
#include "realisticvideo.h"
#include "recordingwriter.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>
#include <unistd.h>

namespace qmr3 {

// Calendar arithmetic without time zones: the recorder's clock is plain wall time.
std::time_t startEpoch(const GenOptions& o) {
    std::tm tm{};
    tm.tm_year = o.year - 1900;
    tm.tm_mon = o.month - 1;
    tm.tm_mday = o.day;
    tm.tm_hour = o.hour;
    tm.tm_min = o.minute;
    tm.tm_sec = o.second;
    return timegm(&tm);
}

namespace {

Qmr3TimeStamp stampAfter(const GenOptions& o, int offsetSeconds) {
    std::time_t t = startEpoch(o) + offsetSeconds;
    std::tm out{};
    gmtime_r(&t, &out);
    return Qmr3TimeStamp::fromCalendar(out.tm_year + 1900, out.tm_mon + 1, out.tm_mday, out.tm_hour,
                                       out.tm_min, out.tm_sec);
}

std::uint8_t eventFlagsAt(const GenOptions& o, int second) {
    std::uint8_t f = 0;
    for (const auto& e : o.events)
        if (e.seconds.contains(second)) f |= e.flags;
    return f;
}

bool motionAt(const GenOptions& o, int second) {
    return std::any_of(o.motion.begin(), o.motion.end(),
                       [&](const SecondRange& r) { return r.contains(second); });
}

// A small blob that walks across the 16 x 16 grid.
std::array<std::uint8_t, kMotionMapBytes> motionMapFor(std::uint32_t picture, int fps) {
    std::uint8_t cells[kMotionCells] = {};
    const int col = int(picture / std::uint32_t(std::max(1, fps / 4))) % 14;
    for (int r = 6; r < 10; ++r)
        for (int c = col; c < col + 3; ++c) cells[r * 16 + c] = 1;
    std::array<std::uint8_t, kMotionMapBytes> packed{};
    packMotionMap(cells, packed.data());
    return packed;
}

const Damage* findDamage(const GenOptions& o, DamageKind k) {
    for (const auto& d : o.damage)
        if (d.kind == k) return &d;
    return nullptr;
}

void appendTrailer(std::vector<std::uint8_t>& payload, std::uint32_t frameIndex) {
    std::uint8_t b[4];
    putU32(b, frameIndex);
    payload.insert(payload.end(), b, b + 4);
}

}  // namespace

int rateIndexFor(int fps, int videoType) {
    if (const auto index = korvid::RateIndexForPicturesPerSecond(fps, videoType)) return *index;
    // Not in the viewer's table: the nearest divisor of the family's full rate.
    const int full = videoType == 1 ? 25 : 30;
    return std::max(0, full / std::max(1, fps) - 1);
}

namespace {

Qmr3FileHeader fileHeaderFor(const GenOptions& o, int videoType) {
    Qmr3FileHeader header;
    const char text[] = "KORVID TEST RECORDING";
    std::copy(std::begin(text), std::end(text), header.raw.begin() + 32);
    header.frameRate = std::uint32_t(o.rateIndex.value_or(rateIndexFor(o.fps, videoType)));
    header.videoType = std::uint8_t(videoType);
    header.trailerFlag = o.trailer ? 1 : 0;
    header.gopMode = o.gopMode ? 1 : 0;
    header.productId = std::uint8_t(o.productId);
    header.frameRateCode = std::uint32_t(o.fps);
    header.width = std::uint32_t(o.width);
    header.height = std::uint32_t(o.height);
    header.audioKind = o.audio == AudioKind::Adpcm ? kAudioKindAdpcm : 0;
    return header;
}

// The packets of one recording in file order: pictures (one per packet, or
// one group per packet in GOP mode), the sound between them, and the damage
// asked for at its packet number.
class PacketStream {
public:
    // Makes picture `frame`, intra or not; `look` varies intra pictures.
    using PictureSource =
        std::function<std::vector<std::uint8_t>(std::uint32_t frame, bool intra, unsigned look)>;

    PacketStream(const GenOptions& o, RecordingWriter& out, SampleSource& sound)
        : o_(o),
          out_(out),
          sound_(sound),
          badMagic_(findDamage(o, DamageKind::BadMagic)),
          oversized_(findDamage(o, DamageKind::Oversized)),
          emptyPicture_(findDamage(o, DamageKind::EmptyPicture)),
          motionShort_(findDamage(o, DamageKind::MotionShort)),
          badFirstTime_(findDamage(o, DamageKind::BadFirstTime) != nullptr),
          summary_(o.timeEvent ? kEventTime : 0) {}

    void writeAll(const PictureSource& video) {
        for (int s = 0; s < o_.seconds; ++s) {
            const std::uint8_t flags = eventFlagsAt(o_, s);
            const bool motion = motionAt(o_, s);
            if (flags & kEventAlarm) summary_ |= kEventAlarm;
            if (flags & kEventEmergency) summary_ |= kEventEmergency;
            if (motion) summary_ |= kEventMotion;
            for (int p = 0; p < o_.fps; ++p, ++frame_) {
                const bool intra = frame_ % std::uint32_t(o_.gop) == 0;
                const auto picture = video(frame_, intra, frame_ / std::uint32_t(o_.gop));
                if (o_.gopMode) addToGroup(picture, intra, s, flags, motion);
                else writePicture(picture, intra, s, flags, motion);
                const std::uint64_t fps = std::uint64_t(o_.fps);
                writeSoundUpTo(std::uint64_t(s) * kAudioRate + std::uint64_t(p + 1) * kAudioRate / fps, s);
            }
        }
        flushGroup();
    }

    std::uint32_t pictures() const { return frame_; }
    std::uint8_t summary() const { return summary_; }

private:
    Qmr3PacketHeader packetHeader(int second, std::uint8_t stream) const {
        int clock = second;
        for (const auto& g : o_.gaps)
            if (second >= g.atSecond) clock += g.jumpSeconds;
        Qmr3PacketHeader h;
        h.stream = stream;
        h.time = stampAfter(o_, clock);
        if (o_.gps) {
            h.gpsLatitude = {35, 41, std::uint16_t((second * 7) % 6000), 'N'};
            h.gpsLongitude = {139, 45, std::uint16_t((second * 11) % 6000), 'E'};
        }
        return h;
    }

    // A picture packet whose payload holds no picture: nothing, or a motion map alone.
    void damagePicture(Qmr3PacketHeader& h, std::vector<std::uint8_t>& payload) const {
        if (h.stream != kStreamVideo) return;
        if (emptyPicture_ && emptyPicture_->at == packetNo_) payload.clear();
        if (motionShort_ && motionShort_->at == packetNo_) {
            const auto map = motionMapFor(0, o_.fps);
            payload.assign(map.begin(), map.end());
            h.flags |= kFlagEventHigh;
        }
    }

    std::uint64_t emit(Qmr3PacketHeader h, std::vector<std::uint8_t> payload) {
        if (packetNo_ == 0 && badFirstTime_) h.time.month = 0;
        if (badMagic_ && badMagic_->at == packetNo_) h.magic[4] = 0x00;
        damagePicture(h, payload);
        const std::uint64_t at = out_.writePacket(h, payload.data(), payload.size());
        if (oversized_ && oversized_->at == packetNo_) {
            std::vector<std::uint8_t> big(kMaxPayload + 4096, 0xFF);
            big[0] = big[1] = big[2] = 0;
            big[3] = 1;
            big[4] = 0x09;  // access unit delimiter: nothing a decoder would show
            Qmr3PacketHeader bh = h;
            bh.stream = kStreamVideo;
            bh.flags = 0;
            out_.writePacket(bh, big.data(), big.size());
        }
        ++packetNo_;
        return at;
    }

    void writeSoundUpTo(std::uint64_t sampleTime, int second) {
        if (o_.audio == AudioKind::None) return;
        while (audioSamples_ + kAudioPacketSamples <= sampleTime) {
            auto payload = o_.audio == AudioKind::Pcm ? pcmPacket(sound_) : adpcmPacket(sound_);
            emit(packetHeader(second, kStreamAudio), payload);
            audioSamples_ += kAudioPacketSamples;
        }
    }

    void writePicture(const std::vector<std::uint8_t>& picture, bool intra, int second, std::uint8_t flags,
                      bool motion) {
        Qmr3PacketHeader h = packetHeader(second, kStreamVideo);
        h.flags = flags;
        std::vector<std::uint8_t> payload;
        if (motion) {
            auto map = motionMapFor(frame_, o_.fps);
            payload.insert(payload.end(), map.begin(), map.end());
            h.flags |= kFlagEventHigh;
        }
        payload.insert(payload.end(), picture.begin(), picture.end());
        if (o_.trailer) appendTrailer(payload, frame_);
        const std::uint64_t at = emit(h, payload);
        if (intra) out_.addGopEntry(at);
    }

    void addToGroup(const std::vector<std::uint8_t>& picture, bool intra, int second, std::uint8_t flags,
                    bool motion) {
        if (intra) {
            flushGroup();
            groupFirstFrame_ = frame_;
            groupSecond_ = second;
        }
        group_.insert(group_.end(), picture.begin(), picture.end());
        groupFlags_ |= flags;
        groupMotion_ = groupMotion_ || motion;
    }

    void flushGroup() {
        if (group_.empty()) return;
        Qmr3PacketHeader h = packetHeader(groupSecond_, kStreamVideo);
        std::vector<std::uint8_t> payload;
        if (groupMotion_) {
            auto map = motionMapFor(groupFirstFrame_, o_.fps);
            payload.insert(payload.end(), map.begin(), map.end());
            h.flags |= kFlagEventHigh;
        }
        h.flags |= groupFlags_;
        payload.insert(payload.end(), group_.begin(), group_.end());
        if (o_.trailer) appendTrailer(payload, groupFirstFrame_);
        out_.addGopEntry(emit(h, payload));
        group_.clear();
        groupFlags_ = 0;
        groupMotion_ = false;
    }

    const GenOptions& o_;
    RecordingWriter& out_;
    SampleSource& sound_;
    const Damage* badMagic_;
    const Damage* oversized_;
    const Damage* emptyPicture_;
    const Damage* motionShort_;
    bool badFirstTime_;
    int packetNo_ = 0;
    std::uint8_t summary_;
    std::uint64_t audioSamples_ = 0;
    std::uint32_t frame_ = 0;
    // GOP mode: the pictures of the open group.
    std::vector<std::uint8_t> group_;
    std::uint32_t groupFirstFrame_ = 0;
    int groupSecond_ = 0;
    std::uint8_t groupFlags_ = 0;
    bool groupMotion_ = false;
};

// Closes the recording with its summary and GOP table, applies the damage
// done to the finished file, and gives it its name.
bool finishRecording(const GenOptions& o, RecordingWriter& out, std::uint8_t summary, const std::string& part,
                     const std::string& path, GenResult& res) {
    int span = o.seconds;
    for (const auto& g : o.gaps)
        if (g.atSecond < o.seconds) span += g.jumpSeconds;

    RecordingWriter::Finish fin;
    fin.eventSummary = std::uint8_t(o.summary.value_or(summary));
    fin.lengthSeconds = std::uint32_t(std::max(0, span));
    if (findDamage(o, DamageKind::IndexCut)) fin.extraClaimedEntries = 3;
    if (findDamage(o, DamageKind::IndexOutside) && !out.gopEntries().empty()) {
        out.setGopEntry(out.gopEntries().size() - 1, std::uint32_t(out.position() + 100000));
    }
    res.gops = std::uint32_t(out.gopEntries().size());
    if (!out.finish(fin)) {
        std::remove(part.c_str());
        res.error = "cannot write " + part;
        return false;
    }
    std::error_code ec;
    auto size = std::filesystem::file_size(part, ec);
    if (const Damage* cut = findDamage(o, DamageKind::CutShort); cut && !ec) {
        size = size * std::uint64_t(std::clamp(cut->at, 0, 100)) / 100;
        if (::truncate(part.c_str(), off_t(size)) != 0) ec = std::make_error_code(std::errc::io_error);
    }
    if (!ec) std::filesystem::rename(part, path, ec);
    if (ec) {
        std::remove(part.c_str());
        res.error = "cannot write " + path + ": " + ec.message();
        return false;
    }
    res.bytes = size;
    return true;
}

}  // namespace

GenResult generateRecording(const std::string& path, const GenOptions& o) {
    GenResult res;
    if (o.fps < 1 || o.fps > 60 || o.gop < 1 || o.seconds < 1 || o.seconds > 24 * 3600) {
        res.error = "fps must be 1..60, gop at least 1, seconds 1..86400";
        return res;
    }
    if (o.year < 1900 || o.year > 2155) {
        res.error = "start year must be 1900..2155";
        return res;
    }
    H264PictureWriter pattern(familyForProductId(std::uint8_t(o.productId)), o.width, o.height);
    if (!pattern.valid()) {
        res.error = pattern.error();
        return res;
    }
    PacketStream::PictureSource video = [&](std::uint32_t frame, bool intra, unsigned look) {
        return pattern.picture(frame, intra, look);
    };
    ToneSource tone;
    std::unique_ptr<BufferSource> recorded;
    RealisticVideo realistic;
    if (!o.from.empty()) {
        const auto sps = parseTableSps(pattern.parameterSets());
        if (!sps || !encodeRealistic(o, *sps, realistic, res.error)) {
            if (res.error.empty()) res.error = "unreadable parameter sets";
            return res;
        }
        video = [&](std::uint32_t frame, bool, unsigned) { return realistic.pictures.at(frame); };
        if (o.inputSound) recorded = std::make_unique<BufferSource>(std::move(realistic.sound));
    }
    const int videoType =
        o.videoType.value_or((o.fps == 25 || o.fps == 13 || o.fps == 8 || o.fps == 5) ? 1 : 0);

    // Written aside and renamed, so a failed run leaves no half recording.
    const std::string part = path + ".part";
    RecordingWriter out;
    if (!out.open(part, fileHeaderFor(o, videoType))) {
        res.error = "cannot create " + part;
        return res;
    }
    PacketStream packets(o, out, recorded ? static_cast<SampleSource&>(*recorded) : tone);
    packets.writeAll(video);
    if (!finishRecording(o, out, packets.summary(), part, path, res)) return res;
    res.ok = true;
    res.pictures = packets.pictures();
    return res;
}

bool generateDemoFolder(const std::string& folder, std::string& error, DemoLook look) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec) {
        error = "cannot create " + folder + ": " + ec.message();
        return false;
    }
    struct Item {
        const char* start;  // "YYYY-MM-DD HH:MM:SS"
        int minutes, width, height, fps, gop, productId;
        AudioKind audio;
        std::vector<EventSpec> events;
        std::vector<SecondRange> motion;
        std::vector<ClockGap> gaps;
        bool gps = false, timeEvent = false, gopMode = false;
        std::vector<Damage> damage = {};
        const char* scene = nullptr;  // lavfi source of the realistic look
    };
    // Groups stay within the 15 pictures a player keeps per group, as the recorder's do.
    // Every recording has a kind (a scheduled one has the Time bit), so all are listed.
    // clang-format off
    const char* const kLife = "life=size=176x120:mold=10:ratio=0.2:life_color=#E0F0FF:death_color=#102030:mold_color=#406080";
    const char* const kLife2 = "life=size=176x120:mold=25:ratio=0.15:life_color=#FFD080:death_color=#202018:mold_color=#605030";
    const std::vector<Item> items = {
        {"2026-11-28 07:58:10", 3, 352, 240, 15, 15, 0x41, AudioKind::Pcm, {}, {}, {}, false, true, false, {}, "testsrc2"},
        {"2026-11-28 09:12:00", 2, 352, 240, 15, 15, 0x41, AudioKind::Adpcm, {{{40, 55}, kFlagEventLow}}, {}, {}, true, false, false, {}, kLife},
        {"2026-11-28 12:30:05", 1, 704, 480, 10, 10, 0x00, AudioKind::Pcm, {}, {{10, 30}}, {}, false, false, false, {}, "mandelbrot"},
        {"2026-11-28 17:45:30", 4, 352, 240, 15, 15, 0x41, AudioKind::Pcm, {}, {}, {{120, 95}}, false, true, false, {}, "gradients=speed=0.015:nb_colors=3"},
        {"2026-11-29 06:05:00", 2, 352, 240, 30, 15, 0x41, AudioKind::Adpcm, {{{70, 80}, kFlagEventLow}}, {{20, 35}}, {}, true, false, false, {}, "gradients=speed=0.02"},
        {"2026-11-29 08:20:40", 5, 352, 240, 6, 6, 0x00, AudioKind::Pcm, {}, {}, {}, false, true, false, {}, kLife},
        {"2026-11-29 13:02:15", 1, 704, 480, 15, 15, 0x41, AudioKind::Adpcm, {{{10, 25}, kEventEmergency | kFlagEventLow}}, {}, {}, true, false, false, {}, "testsrc2"},
        {"2026-11-29 19:40:00", 2, 352, 240, 10, 10, 0x00, AudioKind::None, {}, {{5, 15}, {50, 60}}, {}, false, false, false, {}, kLife2},
        {"2026-11-30 00:15:30", 3, 352, 240, 15, 15, 0x41, AudioKind::Pcm, {{{95, 100}, kFlagEventLow}}, {{30, 50}}, {}, true, false, false, {}, "mandelbrot"},
        {"2026-11-30 10:00:00", 2, 704, 480, 6, 6, 0x00, AudioKind::Pcm, {}, {}, {}, false, true, false, {}, "gradients=speed=0.01:nb_colors=4"},
        {"2026-11-30 14:22:10", 1, 352, 240, 25, 12, 0x41, AudioKind::Adpcm, {}, {{12, 20}}, {}, false, false, false, {}, kLife},
        {"2026-11-30 16:40:00", 2, 352, 240, 10, 10, 0x41, AudioKind::Pcm, {}, {}, {}, false, true, true, {}, "mandelbrot"},
        {"2026-11-30 21:10:00", 1, 352, 240, 15, 15, 0x41, AudioKind::Pcm, {}, {}, {}, false, false, false,
         {{DamageKind::BadMagic, 400}, {DamageKind::CutShort, 60}}, "testsrc2"},
    };
    // clang-format on
    for (const Item& it : items) {
        GenOptions o;
        if (std::sscanf(it.start, "%d-%d-%d %d:%d:%d", &o.year, &o.month, &o.day, &o.hour, &o.minute,
                        &o.second) != 6)
            continue;
        o.seconds = it.minutes * 60;
        o.width = it.width;
        o.height = it.height;
        o.fps = it.fps;
        o.gop = it.gop;
        o.productId = it.productId;
        o.audio = it.audio;
        o.events = it.events;
        o.motion = it.motion;
        o.gaps = it.gaps;
        o.gps = it.gps;
        o.timeEvent = it.timeEvent;
        o.gopMode = it.gopMode;
        o.damage = it.damage;
        if (look == DemoLook::Realistic && it.scene) {
            o.from = it.scene;
            o.kbps = it.width > 400 ? 1200 : 400;  // about what the recorder spends
        }
        char name[64];
        std::snprintf(name, sizeof name, "%04d%02d%02d_%02d%02d%02d.qmr3", o.year, o.month, o.day, o.hour,
                      o.minute, o.second);
        GenResult r = generateRecording((std::filesystem::path(folder) / name).string(), o);
        if (!r.ok) {
            error = std::string(name) + ": " + r.error;
            return false;
        }
    }
    return true;
}

}  // namespace qmr3
