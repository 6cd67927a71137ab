#include "verify.h"

#include "qmr3reader.h"
#include "videolibrary.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <unordered_map>

namespace {

// A hostile table can hold millions of bad entries; list the first ones only.
constexpr std::size_t kMaxEntryProblems = 50;

std::string at(std::uint64_t offset) { return std::to_string(offset); }

}  // namespace

bool verifyRecording(const std::string& path, VerifyReport& rep, std::string& error) {
    using qmr3::Qmr3Reader;
    rep = VerifyReport{};
    Qmr3Reader rd;
    errno = 0;
    if (!rd.open(path)) {
        error = path + ": " + (errno ? std::strerror(errno) : "not a file");
        return false;
    }
    const std::uint64_t size = rd.fileSize();
    rep.fileSize = size;
    auto& problems = rep.problems;

    qmr3::Qmr3FileHeader h;
    if (!rd.readFileHeader(h)) {
        problems.push_back("file header cut short (" + std::to_string(size) + " of " +
                           std::to_string(qmr3::kFileHeaderSize) + " bytes)");
        return true;
    }
    const bool indexInFile = h.indexOffset >= qmr3::kFileHeaderSize && h.indexOffset < size;
    if (!indexInFile)
        problems.push_back("header index offset " + at(h.indexOffset) + " outside the file (size " +
                           std::to_string(size) + ")");

    // Packets end where the GOP table begins.
    const std::uint64_t limit = indexInFile ? h.indexOffset : size;
    std::unordered_map<std::uint64_t, std::uint8_t> packetStreams;
    bool walkComplete = false;
    std::uint64_t stoppedAt = 0;
    rd.seek(qmr3::kFileHeaderSize);
    for (;;) {
        const std::uint64_t pos = rd.position();
        if (pos >= limit) {
            problems.push_back("missing end marker");
            walkComplete = true;
            break;
        }
        Qmr3Reader::Packet p;
        const auto st = rd.readNext(p);
        if (st == Qmr3Reader::Status::Ok || st == Qmr3Reader::Status::Oversized) {
            if (rep.packets == 0 && !CVideoLibrary::isValidTime(p.header.time))
                problems.push_back("invalid first time stamp at " + at(pos));
            ++rep.packets;
            if (p.header.stream == qmr3::kStreamVideo) ++rep.videoPackets;
            else if (p.header.stream == qmr3::kStreamAudio) ++rep.audioPackets;
            packetStreams[pos] = p.header.stream;
            if (st == Qmr3Reader::Status::Oversized)
                problems.push_back("payload over 1 MiB at " + at(pos) + " (" +
                                   std::to_string(p.header.payloadLength) + " bytes)");
            if (rd.position() > limit)
                problems.push_back("packet at " + at(pos) + " runs into the index table at " + at(limit));
            continue;
        }
        if (st == Qmr3Reader::Status::End) {
            std::uint8_t buf[qmr3::kPacketLinkSize + qmr3::kEndMarkerBytes.size()];
            rep.endMarker = rd.readAt(pos, buf, sizeof buf) && qmr3::isEndMarker(buf, sizeof buf);
            if (!rep.endMarker) problems.push_back("missing end marker");
            walkComplete = true;
            break;
        }
        if (st == Qmr3Reader::Status::BadMagic) problems.push_back("bad magic at offset " + at(pos));
        else if (st == Qmr3Reader::Status::Truncated) problems.push_back("packet cut short at " + at(pos));
        else problems.push_back("read error at " + at(pos));
        stoppedAt = pos;
        break;
    }
    if (rep.packets == 0) problems.push_back("no packets");

    if (!indexInFile) return true;
    // The last byte of the file is the event summary, not part of the table.
    const std::uint64_t room = (size - 1 - h.indexOffset) / 4;
    const auto index = rd.readGopIndex(h, std::size_t(std::min<std::uint64_t>(room, SIZE_MAX)));
    rep.indexEntries = index.size();
    if (index.size() < h.indexCount)
        problems.push_back("index table cut short (count claims " + std::to_string(h.indexCount) +
                           ", file holds " + std::to_string(index.size()) + ")");
    if (index.empty()) problems.push_back("index table empty");

    std::size_t entryProblems = 0;
    auto entryProblem = [&](std::size_t i, std::uint32_t off, const char* what) {
        if (entryProblems++ < kMaxEntryProblems)
            problems.push_back("index entry " + std::to_string(i) + " (offset " + at(off) + ") " + what);
    };
    for (std::size_t i = 0; i < index.size(); ++i) {
        const std::uint32_t off = index[i];
        if (off >= size || size - off < qmr3::kPacketLinkSize + qmr3::kPacketHeaderSize) {
            entryProblem(i, off, "outside the file");
            continue;
        }
        std::uint8_t stream = 0;
        if (walkComplete || off < stoppedAt) {
            const auto it = packetStreams.find(off);
            if (it == packetStreams.end()) {
                entryProblem(i, off, "not at a packet start");
                continue;
            }
            stream = it->second;
        } else {
            // Beyond where the walk had to stop: judge the entry by its own header.
            qmr3::PacketLink link;
            qmr3::Qmr3PacketHeader ph;
            if (rd.readHeaderAt(off, link, ph) != Qmr3Reader::Status::Ok) {
                entryProblem(i, off, "not at a packet start");
                continue;
            }
            stream = ph.stream;
        }
        if (stream != qmr3::kStreamVideo) entryProblem(i, off, "not a video packet");
    }
    if (entryProblems > kMaxEntryProblems)
        problems.push_back("... and " + std::to_string(entryProblems - kMaxEntryProblems) +
                           " more index entry problems");

    if (!index.empty()) {
        qmr3::PacketLink link;
        qmr3::Qmr3PacketHeader last;
        const auto st = rd.readHeaderAt(index.back(), link, last);
        if ((st == Qmr3Reader::Status::Ok || st == Qmr3Reader::Status::BadMagic) &&
            !CVideoLibrary::isValidTime(last.time))
            problems.push_back("invalid time stamp in the last indexed packet at " + at(index.back()));
    }
    return true;
}
