#include "recordingwriter.h"

namespace qmr3 {

RecordingWriter::~RecordingWriter() {
    if (file_) std::fclose(file_);
}

bool RecordingWriter::open(const std::string& path, const Qmr3FileHeader& header, bool compact) {
    if (file_) std::fclose(file_);
    file_ = std::fopen(path.c_str(), "wb");
    header_ = header;
    compact_ = compact;
    pos_ = 0;
    lastTotal_ = 0;
    gops_.clear();
    failed_ = file_ == nullptr;
    if (failed_) return false;
    std::uint8_t buf[kFileHeaderSize] = {};
    if (compact_) header_.serializeCompact(buf);
    else header_.serialize(buf);
    return put(buf, compact_ ? kCompactFileHeaderSize : kFileHeaderSize);
}

bool RecordingWriter::put(const void* data, std::size_t n) {
    if (!file_ || failed_) return false;
    if (n && std::fwrite(data, 1, n, file_) != n) failed_ = true;
    pos_ += n;
    return !failed_;
}

std::uint64_t RecordingWriter::writePacket(Qmr3PacketHeader header, const std::uint8_t* payload,
                                           std::size_t length) {
    const std::size_t headerSize = compact_ ? kCompactPacketHeaderSize : kPacketHeaderSize;
    const std::uint64_t offset = pos_;
    header.payloadLength = std::uint32_t(length);
    const std::uint32_t total = std::uint32_t(kPacketLinkSize + headerSize + length);
    std::uint8_t buf[kPacketLinkSize + kPacketHeaderSize];
    PacketLink{lastTotal_, total}.serialize(buf);
    if (compact_) header.serializeCompact(buf + kPacketLinkSize);
    else header.serialize(buf + kPacketLinkSize);
    put(buf, kPacketLinkSize + headerSize);
    put(payload, length);
    lastTotal_ = total;
    return offset;
}

bool RecordingWriter::finish(const Finish& f) {
    if (!file_) return false;
    if (f.endMarker) {
        auto marker = endMarker();
        put(marker.data(), marker.size());
    }
    header_.indexOffset = std::uint32_t(pos_);
    header_.indexCount = std::uint32_t(gops_.size()) + f.extraClaimedEntries;
    header_.length = f.lengthSeconds + 2;
    for (std::uint32_t g : gops_) {
        std::uint8_t b[4];
        putU32(b, g);
        put(b, 4);
    }
    put(&f.eventSummary, 1);
    std::uint8_t buf[kFileHeaderSize] = {};
    if (compact_) header_.serializeCompact(buf);
    else header_.serialize(buf);
    if (!failed_ && (std::fseek(file_, 0, SEEK_SET) != 0 ||
                     std::fwrite(buf, 1, compact_ ? kCompactFileHeaderSize : kFileHeaderSize, file_) !=
                         (compact_ ? kCompactFileHeaderSize : kFileHeaderSize)))
        failed_ = true;
    if (std::fclose(file_) != 0) failed_ = true;
    file_ = nullptr;
    return !failed_;
}

}  // namespace qmr3
