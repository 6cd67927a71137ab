// Reassembles packets (40-byte header, then payload) from bytes pushed in
// pieces of any size, and checks each header's magic, whose first three
// bytes can be changed. Used when delivery goes through the parsing path.
#pragma once

#include "qmr3format.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <memory>

namespace hexmoor {

class CPacketParser {
public:
    enum class Result {
        Ok,         // bytes taken; any whole packets were handed on
        BadMagic,   // a header had the wrong magic: the parser drops everything until reset()
        Oversized,  // a packet announced more than 1 MiB: its payload is being skipped
    };

    // Allocates the payload buffer; false when memory is short.
    bool init();
    void setMagic(std::uint8_t code1, std::uint8_t code2, std::uint8_t code3);
    std::array<std::uint8_t, 5> magic() const { return magic_; }
    void reset();

    // Takes n bytes; calls onPacket(const Qmr3PacketHeader&, const uint8_t* payload,
    // uint32_t length) for every packet completed by them.
    template <typename F>
    Result push(const std::uint8_t* data, std::size_t n, F&& onPacket) {
        Result result = Result::Ok;
        while (n > 0 && !broken_) {
            if (skip_ > 0) {
                const std::size_t k = std::size_t(std::min<std::uint64_t>(skip_, n));
                skip_ -= k;
                data += k;
                n -= k;
                continue;
            }
            if (have_ < qmr3::kPacketHeaderSize) {
                const std::size_t k = std::min(qmr3::kPacketHeaderSize - have_, n);
                std::memcpy(headerBytes_ + have_, data, k);
                have_ += k;
                data += k;
                n -= k;
                if (have_ < qmr3::kPacketHeaderSize) break;
                if (std::memcmp(headerBytes_, magic_.data(), magic_.size()) != 0) {
                    broken_ = true;
                    return Result::BadMagic;
                }
                header_ = qmr3::Qmr3PacketHeader::parse(headerBytes_);
                got_ = 0;
                if (header_.payloadLength > qmr3::kMaxPayload) {
                    skip_ = header_.payloadLength;
                    have_ = 0;
                    result = Result::Oversized;
                    continue;
                }
            } else {
                const std::size_t k = std::min<std::size_t>(header_.payloadLength - got_, n);
                std::memcpy(payload_.get() + got_, data, k);
                got_ += std::uint32_t(k);
                data += k;
                n -= k;
            }
            if (have_ == qmr3::kPacketHeaderSize && got_ == header_.payloadLength) {
                have_ = 0;
                onPacket(static_cast<const qmr3::Qmr3PacketHeader&>(header_),
                         static_cast<const std::uint8_t*>(payload_.get()), header_.payloadLength);
            }
        }
        return broken_ ? Result::BadMagic : result;
    }

private:
    std::array<std::uint8_t, 5> magic_ = qmr3::kPacketMagic;
    std::unique_ptr<std::uint8_t[]> payload_;
    std::uint8_t headerBytes_[qmr3::kPacketHeaderSize] = {};
    qmr3::Qmr3PacketHeader header_;
    std::size_t have_ = 0;    // header bytes gathered
    std::uint32_t got_ = 0;   // payload bytes gathered
    std::uint64_t skip_ = 0;  // payload bytes still to skip
    bool broken_ = false;
};

}  // namespace hexmoor
