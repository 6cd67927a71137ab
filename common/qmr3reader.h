// The one packet reader for .qmr3 recordings. Every read is bounded by the
// file's real size and by the payload buffer, whatever a length field claims.
// The reader only reads; it never changes the recording.
#pragma once

#include "qmr3format.h"

#include <cstdint>
#include <string>
#include <vector>

namespace qmr3 {

class Qmr3Reader {
public:
    enum class Variant { Full, Compact };
    enum class Status {
        Ok,
        End,        // clean end: end-of-data marker, or no room for another packet header
        BadMagic,   // header present but the magic bytes are wrong
        Oversized,  // payload larger than the buffer: skipped, header valid
        Truncated,  // the file ends inside the packet
        IoError,
    };

    struct Packet {
        std::uint64_t offset = 0;  // file offset of the packet's link
        PacketLink link;
        Qmr3PacketHeader header;
        const std::uint8_t* payload = nullptr;  // valid until the next read
        std::uint32_t payloadLength = 0;        // 0 when skipped
    };

    explicit Qmr3Reader(std::uint32_t maxPayload = kMaxPayload);
    ~Qmr3Reader();
    Qmr3Reader(const Qmr3Reader&) = delete;
    Qmr3Reader& operator=(const Qmr3Reader&) = delete;

    bool open(const std::string& path, Variant variant = Variant::Full);
    void close();
    bool isOpen() const { return fd_ >= 0; }
    std::uint64_t fileSize() const { return size_; }
    Variant variant() const { return variant_; }
    std::size_t headerSize() const;        // file header size of the variant
    std::size_t packetHeaderSize() const;  // link excluded

    // Bounded positional read: false unless all n bytes lie inside the file.
    bool readAt(std::uint64_t offset, void* buffer, std::size_t n) const;
    bool readFileHeader(Qmr3FileHeader& out) const;
    // The entries of the GOP table that can be read, at most maxEntries.
    std::vector<std::uint32_t> readGopIndex(const Qmr3FileHeader& header,
                                            std::size_t maxEntries = SIZE_MAX) const;
    // The last event summary byte of the file (0 for an empty file).
    std::uint8_t readEventSummary() const;

    // Packet walk. seek() sets where readNext() reads; open() puts it after the file header.
    void seek(std::uint64_t offset) { pos_ = offset; }
    std::uint64_t position() const { return pos_; }
    Status readNext(Packet& out);
    // Reads the packet before the one read last (from its previous-length word).
    Status stepBack(Packet& out);
    // Reads the packet at which GOP i starts.
    Status gotoGop(const std::vector<std::uint32_t>& index, std::size_t i, Packet& out);

    // Reads only link and header at offset (no payload).
    Status readHeaderAt(std::uint64_t offset, PacketLink& link, Qmr3PacketHeader& header) const;

    static const char* statusText(Status s);

private:
    int fd_ = -1;
    std::uint64_t size_ = 0;
    std::uint64_t pos_ = 0;
    Variant variant_ = Variant::Full;
    std::uint32_t maxPayload_;
    std::vector<std::uint8_t> buffer_;
    bool haveLast_ = false;
    std::uint64_t lastOffset_ = 0;
    PacketLink lastLink_;
};

}  // namespace qmr3
