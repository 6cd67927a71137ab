// The source's reading of a recording through the parsing path: the play
// engine's reader thread reads the file straight through, every packet goes
// through the packet parser, pictures are taken apart (motion map, frame
// index, GOP-mode splitting) and queued; this side drains the queues as the
// pads would. The engine has no GStreamer in it, so none is needed here.
#include "fuzzsupport.h"
#include "playengine.h"

#include <chrono>
#include <thread>

namespace korvidfuzz {

namespace {

hexmoor::CPlayEngine& engine() {
    static hexmoor::CPlayEngine* e = [] {
        auto* p = new hexmoor::CPlayEngine;
        FUZZ_CHECK(p->init());
        return p;
    }();
    return *e;
}

// The packet parser on its own, fed in pieces whose sizes come from the input.
void parserInPieces(const std::uint8_t* data, std::size_t size) {
    static hexmoor::CPacketParser* parser = [] {
        auto* p = new hexmoor::CPacketParser;
        FUZZ_CHECK(p->init());
        return p;
    }();
    parser->reset();
    std::size_t at = 0;
    std::uint64_t delivered = 0;
    while (at < size) {
        const std::size_t piece = std::min<std::size_t>(size - at, 1 + data[at] * 7);
        const auto r = parser->push(
            data + at, piece, [&](const qmr3::Qmr3PacketHeader& h, const std::uint8_t* p, std::uint32_t n) {
                FUZZ_CHECK(n == h.payloadLength && n <= qmr3::kMaxPayload);
                if (n) delivered += p[0] + p[n - 1];
            });
        at += piece;
        if (r == hexmoor::CPacketParser::Result::BadMagic) break;
    }
    (void)delivered;
}

}  // namespace

int sourceParserTarget(const std::uint8_t* data, std::size_t size) {
    parserInPieces(data, size);

    hexmoor::CPlayEngine& e = engine();
    const std::string path = memoryFile(data, size);
    FUZZ_CHECK(e.openFile(path.c_str()) == 0);
    qmr3::Qmr3FileHeader h;
    const bool haveHeader = e.readFileHeader(h);
    if (haveHeader)
        e.setVideoInfo(int(h.frameRate), int(h.width & 0xFFFF), int(h.height & 0xFFFF), h.gopMode != 0);
    else e.setVideoInfo(30, 0, 0, false);
    e.opt.parsingDelivery = true;
    e.opt.motionMapOn = true;
    e.opt.frameIndexOn = true;
    e.opt.fileKind = haveHeader && (h.raw[18] & 1) ? 1 : 0;
    e.videoQueue().clear();
    e.audioQueue().clear();
    FUZZ_CHECK(e.startReader(false));

    // The reader ends by itself at the end of the data; a reader still busy
    // after this long is stuck.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    std::size_t pictures = 0;
    for (;;) {
        bool took = false;
        while (
            e.videoQueue().take([&](const hexmoor::EntryInfo& info, const std::uint8_t* d, std::uint32_t n) {
                FUZZ_CHECK(n > 0);
                volatile std::uint8_t edge = d[0] ^ d[n - 1];
                (void)edge;
                e.applyPictureFacts(info);
                ++pictures;
            }))
            took = true;
        while (e.audioQueue().take([](const hexmoor::EntryInfo&, const std::uint8_t*, std::uint32_t) {}))
            took = true;
        if (!e.readerRunning() && e.videoQueue().count() == 0 && e.audioQueue().count() == 0) break;
        FUZZ_CHECK(std::chrono::steady_clock::now() < deadline);
        if (!took) e.videoQueue().dataEvent().wait(std::chrono::milliseconds(5));
    }
    e.stopReader();
    FUZZ_CHECK(e.readEnd() != hexmoor::ReadEnd::None);
    FUZZ_CHECK(pictures <= size);
    e.openFile(nullptr);
    return 0;
}

}  // namespace korvidfuzz

KORVID_FUZZ_TARGET(sourceParserTarget)
