// The recording reader on any bytes: file header, GOP table, the packet walk
// forwards and backwards, every GOP jump and the end marker, in both the full
// and the compact variant. Every read must stay inside the file.
#include "fuzzsupport.h"
#include "qmr3reader.h"

#include <algorithm>

namespace korvidfuzz {

namespace {

using qmr3::Qmr3Reader;

void walk(const std::string& path, Qmr3Reader::Variant variant, std::size_t size) {
    Qmr3Reader rd(64 * 1024);
    FUZZ_CHECK(rd.open(path, variant));
    FUZZ_CHECK(rd.fileSize() == size);
    qmr3::Qmr3FileHeader h;
    if (!rd.readFileHeader(h)) {
        FUZZ_CHECK(size < rd.headerSize());
        return;
    }
    const std::vector<std::uint32_t> index = rd.readGopIndex(h, 4096);
    FUZZ_CHECK(index.size() <= h.indexCount);
    FUZZ_CHECK(std::uint64_t(index.size()) * 4 <= size);
    (void)rd.readEventSummary();

    // Forward: every step moves on, so the walk ends within size steps.
    Qmr3Reader::Packet p;
    std::size_t steps = 0;
    Qmr3Reader::Status s;
    while ((s = rd.readNext(p)) == Qmr3Reader::Status::Ok || s == Qmr3Reader::Status::Oversized) {
        FUZZ_CHECK(++steps <= size);
        FUZZ_CHECK(p.offset + qmr3::kPacketLinkSize + rd.packetHeaderSize() + p.payloadLength <= size);
        if (s == Qmr3Reader::Status::Ok) {
            FUZZ_CHECK(p.payloadLength == p.header.payloadLength);
            // Touch both ends so the sanitizer sees the whole payload is there.
            if (p.payloadLength) {
                volatile std::uint8_t edge = p.payload[0] ^ p.payload[p.payloadLength - 1];
                (void)edge;
            }
            (void)qmr3::isIntraPicture(p.payload, p.payloadLength, p.header.flags);
            if (p.header.hasMotionMap() && p.payloadLength >= qmr3::kMotionMapBytes) {
                std::uint8_t cells[qmr3::kMotionCells];
                qmr3::unpackMotionMap(p.payload, cells);
            }
            (void)qmr3::toLocalSeconds(p.header.time);
        }
    }
    (void)Qmr3Reader::statusText(s);

    // Backward from where the walk ended: previous lengths may point anywhere.
    for (int i = 0; i < 64 && rd.stepBack(p) == Qmr3Reader::Status::Ok; ++i)
        FUZZ_CHECK(p.offset >= rd.headerSize());

    for (std::size_t i = 0; i < std::min<std::size_t>(index.size(), 256); ++i) {
        s = rd.gotoGop(index, i, p);
        if (s == Qmr3Reader::Status::Ok) FUZZ_CHECK(p.offset == index[i]);
    }
    FUZZ_CHECK(rd.gotoGop(index, index.size(), p) == Qmr3Reader::Status::End);

    std::uint8_t tail[qmr3::kEndMarkerSize];
    if (size >= sizeof tail && rd.readAt(size - sizeof tail, tail, sizeof tail))
        (void)qmr3::isEndMarker(tail, sizeof tail);
    FUZZ_CHECK(!rd.readAt(size, tail, 1));
}

}  // namespace

int readerTarget(const std::uint8_t* data, std::size_t size) {
    const std::string path = memoryFile(data, size);
    walk(path, Qmr3Reader::Variant::Full, size);
    walk(path, Qmr3Reader::Variant::Compact, size);
    return 0;
}

}  // namespace korvidfuzz

KORVID_FUZZ_TARGET(readerTarget)
