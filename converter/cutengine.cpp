#include "cutengine.h"

#include "aviwriter.h"
#include "h264paramsets.h"
#include "qmr3reader.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>

namespace vantrex {

using qmr3::Qmr3Reader;

namespace {

constexpr int kMaxRepeatsPerSecond = 14;

bool plausible(const qmr3::Qmr3TimeStamp& t) {
    return t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 && t.hour < 24 && t.minute < 60 &&
           t.second < 60;
}

std::string srtTime(double seconds) {
    const auto ms = std::int64_t(std::llround(seconds * 1000.0));
    char buf[32];
    std::snprintf(buf, sizeof buf, "%02lld:%02lld:%02lld,%03lld", (long long)(ms / 3600000),
                  (long long)(ms / 60000 % 60), (long long)(ms / 1000 % 60), (long long)(ms % 1000));
    return buf;
}

struct FileCloser {
    void operator()(std::FILE* f) const {
        if (f) std::fclose(f);
    }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Closes f and reports any write error it held back.
bool closeChecked(File& f, const std::string& path, std::string& error) {
    if (!f) return true;
    const bool bad = std::ferror(f.get()) != 0;
    const int err = errno;
    const int rc = std::fclose(f.release());
    if (bad || rc != 0) {
        error = "cannot write " + path + ": " + std::strerror(bad ? err : errno);
        return false;
    }
    return true;
}

std::string damageText(Qmr3Reader::Status s, std::uint64_t offset) {
    return std::string("the recording is damaged at byte ") + std::to_string(offset) + " (" +
           Qmr3Reader::statusText(s) + ")";
}

// One second of the clip: its subtitle cue and its CSV row.
struct SecondLog {
    std::int64_t time = 0;
    std::int64_t firstSlot = 0;
    std::uint8_t flags = 0;
    qmr3::Qmr3PacketHeader first;
};

struct PictureSpan {
    std::size_t offset = 0;
    std::size_t length = 0;
    bool intra = false;
};

// The coded pictures of an Annex B payload: each begins at a start code of a
// slice whose first macroblock is 0. A payload without such a slice is one picture.
void splitPictures(const std::uint8_t* data, std::size_t size, std::vector<PictureSpan>& out) {
    out.clear();
    for (std::size_t i = 0; i + 5 < size; ++i) {
        if (data[i] != 0 || data[i + 1] != 0 || data[i + 2] != 0 || data[i + 3] != 1) continue;
        const int type = data[i + 4] & 0x1F;
        const bool firstSlice = (type == 1 || type == 5) && (data[i + 5] & 0x80);
        if (firstSlice) {
            if (!out.empty()) out.back().length = i - out.back().offset;
            // The shared intra test: byte 5 after the start code is 0x88 (an I slice).
            out.push_back({out.empty() ? 0 : i, 0, type == 5 || data[i + 5] == 0x88});
        }
        i += 3;
    }
    if (out.empty()) out.push_back({0, size, false});
    out.back().length = size - out.back().offset;
}

}  // namespace

std::string eventKinds(std::uint8_t flags) {
    std::string s;
    auto add = [&](const char* kind) {
        if (!s.empty()) s += ", ";
        s += kind;
    };
    if (flags & qmr3::kEventAlarm) add("Alarm");
    if (flags & qmr3::kEventEmergency) add("Emergency");
    if ((flags & qmr3::kEventMotion) || (flags & qmr3::kFlagMotionMapMask)) add("Motion");
    if (flags & qmr3::kEventTime) add("Time");
    return s;
}

bool Cutter::open(const std::string& path, std::string& error) {
    *this = Cutter{};
    const auto dot = path.rfind('.');
    if (dot == std::string::npos || path.substr(dot + 1) != "qmr3") {
        error = path + ": not a .qmr3 recording";
        return false;
    }
    Qmr3Reader rd;
    errno = 0;
    if (!rd.open(path)) {
        error = path + ": " + (errno ? std::strerror(errno) : "not a file");
        return false;
    }
    if (rd.fileSize() <= qmr3::kFileHeaderSize || !rd.readFileHeader(header_)) {
        error = path + ": the file is too short to be a recording";
        return false;
    }
    if (header_.length == 0 || header_.indexOffset == 0 || header_.indexCount == 0) {
        error = path + ": the recording has no index of its pictures";
        return false;
    }
    if (header_.width == 0 || header_.width > 704 || header_.height == 0 || header_.height > 576) {
        error = path + ": the recording's picture size " + std::to_string(header_.width) + "x" +
                std::to_string(header_.height) + " is not one the recorder writes";
        return false;
    }
    const auto index = rd.readGopIndex(header_);
    // Entries that do not lead to a readable picture end the usable index.
    for (std::uint32_t off : index) {
        qmr3::PacketLink link;
        qmr3::Qmr3PacketHeader h;
        if (off < qmr3::kFileHeaderSize || rd.readHeaderAt(off, link, h) != Qmr3Reader::Status::Ok ||
            h.stream != qmr3::kStreamVideo || !plausible(h.time))
            continue;  // a damaged entry: the groups around it stay usable
        const std::int64_t t = qmr3::toLocalSeconds(h.time);
        if (!gopTimes_.empty() && (off <= gops_.back())) continue;
        gops_.push_back(off);
        gopTimes_.push_back(t);
    }
    if (gops_.empty()) {
        error = path + ": the recording is damaged (its index leads to no picture)";
        return false;
    }
    summary_ = rd.readEventSummary();
    path_ = path;
    lastTime_ = lastTimeOfGop(gops_.size() - 1);
    startGop_ = 0;
    endGop_ = gops_.size();
    return true;
}

OutputRate Cutter::rate() const { return outputRateFor(header_.frameRate + 1, header_.height); }

// Time of the last packet before group i + 1 (or before the end of the data).
std::int64_t Cutter::lastTimeOfGop(std::size_t i) const {
    Qmr3Reader rd;
    std::int64_t last = gopTimes_[i];
    if (!rd.open(path_)) return last;
    if (i + 1 < gops_.size()) {
        qmr3::PacketLink link, prevLink;
        qmr3::Qmr3PacketHeader h;
        if (rd.readHeaderAt(gops_[i + 1], link, h) == Qmr3Reader::Status::Ok && link.previousLength &&
            link.previousLength <= gops_[i + 1] &&
            rd.readHeaderAt(gops_[i + 1] - link.previousLength, prevLink, h) == Qmr3Reader::Status::Ok &&
            plausible(h.time))
            last = std::max(last, qmr3::toLocalSeconds(h.time));
        return last;
    }
    // The last group: walk its headers to the end of the data.
    std::uint64_t pos = gops_[i];
    const std::uint64_t limit = header_.indexOffset > gops_[i] ? header_.indexOffset : rd.fileSize();
    while (pos < limit) {
        qmr3::PacketLink link;
        qmr3::Qmr3PacketHeader h;
        if (rd.readHeaderAt(pos, link, h) != Qmr3Reader::Status::Ok || link.totalLength == 0) break;
        if (plausible(h.time)) last = std::max(last, qmr3::toLocalSeconds(h.time));
        pos += qmr3::kPacketLinkSize + qmr3::kPacketHeaderSize + h.payloadLength;
    }
    return last;
}

bool Cutter::setRangeByTime(std::int64_t fromOffset, std::int64_t toOffset, std::string& error) {
    if (!isOpen()) {
        error = "no recording is open";
        return false;
    }
    const std::int64_t first = firstTime();
    const std::string span = qmr3::formatLocalTime(first) + " to " + qmr3::formatLocalTime(lastTime_);
    if (fromOffset >= toOffset) {
        error = "the start of the range (" + qmr3::formatLocalTime(first + fromOffset) +
                ") is not before its end (" + qmr3::formatLocalTime(first + toOffset) + ")";
        return false;
    }
    if (first + fromOffset > lastTime_ || toOffset <= 0) {
        error = "the range " + qmr3::formatLocalTime(first + fromOffset) + " to " +
                qmr3::formatLocalTime(first + toOffset) + " lies outside the recording (" + span + ")";
        return false;
    }
    const std::int64_t from = first + std::max<std::int64_t>(0, fromOffset);
    const std::int64_t to = std::min(first + toOffset, lastTime_ + 1);
    auto firstAtOrAfter = [&](std::int64_t t) {
        return std::size_t(
            std::find_if(gopTimes_.begin(), gopTimes_.end(), [t](std::int64_t g) { return g >= t; }) -
            gopTimes_.begin());
    };
    std::size_t start = firstAtOrAfter(from);
    const std::size_t end = firstAtOrAfter(to);
    // A range that begins inside a group starts with that group.
    if (start > 0 && (start == gops_.size() || gopTimes_[start] > from) && lastTimeOfGop(start - 1) >= from)
        --start;
    if (start >= end) {
        error = "no pictures were recorded from " + qmr3::formatLocalTime(from) + " to " +
                qmr3::formatLocalTime(to) + " (the recording's clock jumps over that time)";
        return false;
    }
    startGop_ = start;
    endGop_ = end;
    return true;
}

bool Cutter::setRangeByGop(std::size_t start, std::size_t end, std::string& error) {
    end = std::min(end, gops_.size());
    if (!isOpen() || start >= end) {
        error = "the range of groups " + std::to_string(start) + " to " + std::to_string(end) + " is empty";
        return false;
    }
    startGop_ = start;
    endGop_ = end;
    return true;
}

std::uint64_t Cutter::rangeEnd() const {
    if (endGop_ < gops_.size()) return gops_[endGop_];
    return header_.indexOffset > gops_.back() ? header_.indexOffset : UINT64_MAX;
}

ConvertReport Cutter::convert(const ConvertTargets& targets, const std::atomic<bool>& stop,
                              std::atomic<int>& progress) const {
    ConvertReport rep;
    progress = 0;
    auto removeAll = [&]() {
        for (const std::string* p : {&targets.avi, &targets.srt, &targets.csv})
            if (!p->empty()) std::remove(p->c_str());
    };
    if (!isOpen() || startGop_ >= endGop_) {
        rep.message = "no range is set";
        return rep;
    }
    const auto sets = qmr3::parameterSetsFor(qmr3::familyForProductId(header_.productId), int(header_.width),
                                             int(header_.height));
    if (!sets) {
        rep.message = "pictures of " + std::to_string(header_.width) + "x" + std::to_string(header_.height) +
                      " cannot be exported (no parameter sets for that size)";
        return rep;
    }
    Qmr3Reader rd;
    if (!rd.open(path_)) {
        rep.message = path_ + ": " + std::strerror(errno);
        return rep;
    }
    const std::uint64_t startPos = gops_[startGop_], endPos = rangeEnd();

    // Only a range that holds sound gets a sound track.
    for (std::uint64_t pos = startPos; pos < endPos && !rep.audio;) {
        qmr3::PacketLink link;
        qmr3::Qmr3PacketHeader h;
        if (rd.readHeaderAt(pos, link, h) != Qmr3Reader::Status::Ok) break;
        rep.audio = h.stream == qmr3::kStreamAudio && h.payloadLength > 0;
        pos += qmr3::kPacketLinkSize + qmr3::kPacketHeaderSize + h.payloadLength;
    }
    const AudioCoding audio = !rep.audio                                   ? AudioCoding::None
                              : header_.audioKind == qmr3::kAudioKindAdpcm ? AudioCoding::Adpcm
                                                                           : AudioCoding::Pcm;
    const OutputRate outRate = rate();
    AviWriter avi;
    if (!avi.open(targets.avi, int(header_.width), int(header_.height), outRate, audio,
                  std::vector<std::uint8_t>(sets->begin(), sets->end()), rep.message)) {
        avi.abandon();
        removeAll();
        return rep;
    }
    File srt, csv;
    auto openSidecar = [&](const std::string& p, File& f) {
        if (p.empty()) return true;
        f.reset(std::fopen(p.c_str(), "w"));
        if (!f) rep.message = "cannot create " + p + ": " + std::strerror(errno);
        return bool(f);
    };
    if (!openSidecar(targets.srt, srt) || !openSidecar(targets.csv, csv)) {
        avi.abandon();
        removeAll();
        return rep;
    }
    if (csv)
        std::fputs(
            "time,flags,longitude1,longitude2,longitude3,longitude4,latitude1,latitude2,latitude3,"
            "latitude4\n",
            csv.get());

    const double fps = outRate.fps();
    std::int64_t slot = 0;
    int cue = 0;
    SecondLog sec;
    bool haveSecond = false;
    // A second is filled only when the clip holds all of it: the first one
    // when the group before the range belongs to an earlier second, the last
    // one when the group after it belongs to a later one.
    bool firstSecond = !(startGop_ > 0 && gopTimes_[startGop_ - 1] < gopTimes_[startGop_]);
    int countInSecond = 0;
    double carry = 0;
    auto fill = [&](std::int64_t elapsed) {
        if (straight() || firstSecond || elapsed <= 0) return;
        const double owed = (fps > 2 ? fps : fps * double(elapsed)) - countInSecond + carry;
        const double whole = std::floor(owed);
        const auto repeats = std::int64_t(std::clamp(whole, 0.0, double(kMaxRepeatsPerSecond)));
        carry = owed > 0 ? owed - whole : 0;
        slot += repeats;
        rep.repeats += repeats;
    };
    auto closeSecond = [&](std::int64_t endSlot) {
        if (!haveSecond) return;
        const std::string when = qmr3::formatLocalTime(sec.time);
        if (srt) {
            const std::string kinds = eventKinds(sec.flags);
            std::fprintf(srt.get(), "%d\n%s --> %s\n%s\n%s%s", ++cue, srtTime(sec.firstSlot / fps).c_str(),
                         srtTime(endSlot / fps).c_str(), when.c_str(), kinds.c_str(),
                         kinds.empty() ? "\n" : "\n\n");
        }
        if (csv) {
            std::fprintf(csv.get(), "%s,0x%02X", when.c_str(), unsigned(sec.flags));
            for (auto w : sec.first.gpsLongitude) std::fprintf(csv.get(), ",%u", unsigned(w));
            for (auto w : sec.first.gpsLatitude) std::fprintf(csv.get(), ",%u", unsigned(w));
            std::fputc('\n', csv.get());
        }
    };

    const std::size_t trailer = header_.trailerFlag ? qmr3::kFrameIndexTrailerSize : 0;
    std::vector<PictureSpan> pictures;
    std::vector<std::uint8_t> first;  // the first picture, behind the parameter sets
    rd.seek(startPos);
    bool failed = false;
    while (rd.position() < endPos) {
        if (stop.load()) {
            avi.abandon();
            srt.reset();
            csv.reset();
            removeAll();
            rep.outcome = Outcome::Stopped;
            rep.message = "the export was stopped";
            return rep;
        }
        if (endPos != UINT64_MAX)
            progress =
                int(std::min<std::uint64_t>(99, (rd.position() - startPos) * 100 / (endPos - startPos)));
        const std::uint64_t at = rd.position();
        Qmr3Reader::Packet p;
        const auto st = rd.readNext(p);
        if (st == Qmr3Reader::Status::End) break;
        if (st != Qmr3Reader::Status::Ok) {
            if (rep.pictures == 0) {
                rep.message = damageText(st, at);
                failed = true;
            } else {
                rep.warning =
                    damageText(st, at) + "; the clip ends at " + qmr3::formatLocalTime(rep.lastTime);
            }
            break;
        }
        if (p.header.stream == qmr3::kStreamAudio) {
            if (rep.pictures > 0 && !avi.writeAudio(p.payload, p.payloadLength, rep.message)) {
                failed = true;
                break;
            }
            continue;
        }
        if (p.header.stream != qmr3::kStreamVideo) continue;
        const std::size_t map = p.header.hasMotionMap() ? qmr3::kMotionMapBytes : 0;
        if (p.payloadLength < map + trailer + 6) continue;  // an empty picture holds nothing to show
        const std::uint8_t* data = p.payload + map;
        const std::size_t size = p.payloadLength - map - trailer;
        const bool packetIntra = qmr3::isIntraPicture(p.payload, p.payloadLength, p.header.flags);
        const std::int64_t t = plausible(p.header.time) ? qmr3::toLocalSeconds(p.header.time) : sec.time;
        // A packet of a recording in GOP mode holds a whole group: one clip picture each.
        splitPictures(data, size, pictures);
        for (const PictureSpan& span : pictures) {
            const bool intra = span.intra || (pictures.size() == 1 && packetIntra);
            if (rep.pictures == 0 && !intra) continue;  // a clip starts with a whole picture
            if (!haveSecond || t != sec.time) {
                if (haveSecond) {
                    fill(t - sec.time);
                    firstSecond = false;
                    closeSecond(slot);
                }
                haveSecond = true;
                sec = SecondLog{t, slot, 0, p.header};
                countInSecond = 0;
            }
            sec.flags |= p.header.flags;
            bool ok;
            if (rep.pictures == 0) {
                first.assign(sets->begin(), sets->end());
                first.insert(first.end(), data + span.offset, data + span.offset + span.length);
                ok = avi.writeVideo(first.data(), first.size(), true, slot, rep.message);
                rep.firstTime = t;
            } else {
                ok = avi.writeVideo(data + span.offset, span.length, intra, slot, rep.message);
            }
            if (!ok) {
                failed = true;
                break;
            }
            rep.lastTime = t;
            ++rep.pictures;
            ++countInSecond;
            ++slot;
        }
        if (failed) break;
    }
    if (!failed && rep.pictures == 0) {
        rep.message = "the range holds no picture that can be shown";
        failed = true;
    }
    if (!failed) {
        // The last second's repeats have no picture after them to carry them.
        if (rep.warning.empty() && endGop_ < gops_.size() && gopTimes_[endGop_] > sec.time) {
            fill(gopTimes_[endGop_] - sec.time);
            failed = !avi.padVideo(slot, rep.message);
        }
        closeSecond(slot);
        failed = failed || !avi.finish(rep.message) || !closeChecked(srt, targets.srt, rep.message) ||
                 !closeChecked(csv, targets.csv, rep.message);
    }
    if (failed) {
        avi.abandon();
        srt.reset();
        csv.reset();
        removeAll();
        rep.outcome = Outcome::Failed;
        return rep;
    }
    rep.clipPictures = slot;
    rep.outcome = Outcome::Done;
    progress = 100;
    return rep;
}

ConvertReport Cutter::cutSubFile(const std::string& target, const std::atomic<bool>& stop,
                                 std::atomic<int>& progress) const {
    ConvertReport rep;
    progress = 0;
    if (!isOpen() || startGop_ >= endGop_) {
        rep.message = "no range is set";
        return rep;
    }
    Qmr3Reader rd;
    if (!rd.open(path_)) {
        rep.message = path_ + ": " + std::strerror(errno);
        return rep;
    }
    File out(std::fopen(target.c_str(), "wb"));
    if (!out) {
        rep.message = "cannot create " + target + ": " + std::strerror(errno);
        return rep;
    }
    auto fail = [&](Outcome o, const std::string& why) {
        rep.outcome = o;
        rep.message = why;
        out.reset();
        std::remove(target.c_str());
        return rep;
    };
    std::vector<std::uint8_t> buffer(qmr3::kFileHeaderSize);
    std::fwrite(buffer.data(), 1, buffer.size(), out.get());  // the header is written last
    std::uint64_t written = qmr3::kFileHeaderSize;
    std::uint32_t previous = 0;
    std::vector<std::uint32_t> index;
    bool haveTime = false;
    std::size_t nextGop = startGop_;
    const std::uint64_t startPos = gops_[startGop_], endPos = rangeEnd();
    rd.seek(startPos);
    while (rd.position() < endPos) {
        if (stop.load()) return fail(Outcome::Stopped, "the cut was stopped");
        if (endPos != UINT64_MAX)
            progress =
                int(std::min<std::uint64_t>(99, (rd.position() - startPos) * 100 / (endPos - startPos)));
        const std::uint64_t at = rd.position();
        Qmr3Reader::Packet p;
        const auto st = rd.readNext(p);
        if (st == Qmr3Reader::Status::End) break;
        if (st != Qmr3Reader::Status::Ok) {
            if (index.empty()) return fail(Outcome::Failed, damageText(st, at));
            rep.warning =
                damageText(st, at) + "; the recording ends at " + qmr3::formatLocalTime(rep.lastTime);
            break;
        }
        while (nextGop < endGop_ && gops_[nextGop] < at) ++nextGop;
        if (nextGop < endGop_ && gops_[nextGop] == at) {
            if (written > UINT32_MAX - 1048576) break;  // offsets are 32-bit
            index.push_back(std::uint32_t(written));
            ++nextGop;
        }
        const std::uint32_t total =
            std::uint32_t(qmr3::kPacketLinkSize + qmr3::kPacketHeaderSize + p.payloadLength);
        std::uint8_t head[qmr3::kPacketLinkSize + qmr3::kPacketHeaderSize];
        qmr3::PacketLink{previous, total}.serialize(head);
        p.header.serialize(head + qmr3::kPacketLinkSize);
        std::fwrite(head, 1, sizeof head, out.get());
        if (p.payloadLength) std::fwrite(p.payload, 1, p.payloadLength, out.get());
        if (std::ferror(out.get()))
            return fail(Outcome::Failed, "cannot write " + target + ": " + std::strerror(errno));
        previous = total;
        written += total;
        if (plausible(p.header.time)) {
            const std::int64_t t = qmr3::toLocalSeconds(p.header.time);
            if (!haveTime) rep.firstTime = rep.lastTime = t;
            haveTime = true;
            rep.lastTime = std::max(rep.lastTime, t);
        }
        if (p.header.stream == qmr3::kStreamVideo) ++rep.pictures;
    }
    if (index.empty()) return fail(Outcome::Failed, "the range holds no picture");
    const auto marker = qmr3::endMarker();
    std::fwrite(marker.data(), 1, marker.size(), out.get());
    written += marker.size();
    qmr3::Qmr3FileHeader h = header_;
    h.indexOffset = std::uint32_t(written);
    h.indexCount = std::uint32_t(index.size());
    h.length = std::uint32_t(rep.lastTime - rep.firstTime + 1 + 2);
    for (std::uint32_t off : index) {
        std::uint8_t b[4];
        qmr3::putU32(b, off);
        std::fwrite(b, 1, 4, out.get());
    }
    std::fputc(summary_, out.get());
    h.serialize(buffer.data());
    if (std::fseek(out.get(), 0, SEEK_SET) != 0) return fail(Outcome::Failed, "cannot write " + target);
    std::fwrite(buffer.data(), 1, buffer.size(), out.get());
    std::string error;
    if (!closeChecked(out, target, error)) return fail(Outcome::Failed, error);
    rep.clipPictures = rep.pictures;
    rep.outcome = Outcome::Done;
    progress = 100;
    return rep;
}

}  // namespace vantrex
