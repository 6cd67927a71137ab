#include "qmr3reader.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qmr3 {

Qmr3Reader::Qmr3Reader(std::uint32_t maxPayload) : maxPayload_(maxPayload) {}

Qmr3Reader::~Qmr3Reader() { close(); }

bool Qmr3Reader::open(const std::string& path, Variant variant) {
    close();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    fd_ = fd;
    size_ = std::uint64_t(st.st_size);
    variant_ = variant;
    pos_ = headerSize();
    haveLast_ = false;
    return true;
}

void Qmr3Reader::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    haveLast_ = false;
}

std::size_t Qmr3Reader::headerSize() const {
    return variant_ == Variant::Full ? kFileHeaderSize : kCompactFileHeaderSize;
}

std::size_t Qmr3Reader::packetHeaderSize() const {
    return variant_ == Variant::Full ? kPacketHeaderSize : kCompactPacketHeaderSize;
}

bool Qmr3Reader::readAt(std::uint64_t offset, void* buffer, std::size_t n) const {
    if (fd_ < 0 || offset > size_ || n > size_ - offset) return false;
    auto* out = static_cast<std::uint8_t*>(buffer);
    std::size_t done = 0;
    while (done < n) {
        ssize_t r = ::pread(fd_, out + done, n - done, off_t(offset + done));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) return false;
        done += std::size_t(r);
    }
    return true;
}

bool Qmr3Reader::readFileHeader(Qmr3FileHeader& out) const {
    std::uint8_t buf[kFileHeaderSize];
    if (!readAt(0, buf, headerSize())) return false;
    out = variant_ == Variant::Full ? Qmr3FileHeader::parse(buf) : Qmr3FileHeader::parseCompact(buf);
    return true;
}

std::vector<std::uint32_t> Qmr3Reader::readGopIndex(const Qmr3FileHeader& header,
                                                    std::size_t maxEntries) const {
    std::vector<std::uint32_t> entries;
    if (fd_ < 0 || header.indexOffset >= size_) return entries;
    // Never trust the count: only what the file really holds is read.
    std::uint64_t readable = (size_ - header.indexOffset) / 4;
    std::uint64_t n =
        std::min<std::uint64_t>({std::uint64_t(header.indexCount), readable, std::uint64_t(maxEntries)});
    std::vector<std::uint8_t> raw(std::size_t(n) * 4);
    if (n == 0 || !readAt(header.indexOffset, raw.data(), raw.size())) return entries;
    entries.resize(std::size_t(n));
    for (std::size_t i = 0; i < entries.size(); ++i) entries[i] = getU32(raw.data() + 4 * i);
    return entries;
}

std::uint8_t Qmr3Reader::readEventSummary() const {
    std::uint8_t b = 0;
    if (size_ > 0) readAt(size_ - 1, &b, 1);
    return b;
}

Qmr3Reader::Status Qmr3Reader::readHeaderAt(std::uint64_t offset, PacketLink& link,
                                            Qmr3PacketHeader& header) const {
    std::uint8_t buf[kPacketLinkSize + kPacketHeaderSize];
    const std::size_t n = kPacketLinkSize + packetHeaderSize();
    if (fd_ < 0) return Status::IoError;
    if (offset > size_ || n > size_ - offset) {
        // A bare end marker is shorter than a full packet header.
        if (offset <= size_ && size_ - offset >= kPacketLinkSize + kEndMarkerBytes.size() &&
            readAt(offset, buf, kPacketLinkSize + kEndMarkerBytes.size()) &&
            isEndMarker(buf, kPacketLinkSize + kEndMarkerBytes.size()))
            return Status::End;
        return offset + kPacketLinkSize >= size_ ? Status::End : Status::Truncated;
    }
    if (!readAt(offset, buf, n)) return Status::IoError;
    if (isEndMarker(buf, n)) return Status::End;
    link = PacketLink::parse(buf);
    header = variant_ == Variant::Full ? Qmr3PacketHeader::parse(buf + kPacketLinkSize)
                                       : Qmr3PacketHeader::parseCompact(buf + kPacketLinkSize);
    return header.magicOk() ? Status::Ok : Status::BadMagic;
}

Qmr3Reader::Status Qmr3Reader::readNext(Packet& out) {
    out = Packet{};
    out.offset = pos_;
    Status s = readHeaderAt(pos_, out.link, out.header);
    if (s != Status::Ok) return s;
    const std::uint64_t payloadAt = pos_ + kPacketLinkSize + packetHeaderSize();
    const std::uint32_t len = out.header.payloadLength;
    haveLast_ = true;
    lastOffset_ = pos_;
    lastLink_ = out.link;
    if (len > maxPayload_) {
        pos_ = payloadAt + len;
        return payloadAt + len > size_ ? Status::Truncated : Status::Oversized;
    }
    if (payloadAt + len > size_) {
        pos_ = size_;
        return Status::Truncated;
    }
    if (buffer_.size() < len)
        buffer_.resize(std::max<std::size_t>(len, std::min<std::size_t>(maxPayload_, 65536)));
    if (len && !readAt(payloadAt, buffer_.data(), len)) return Status::IoError;
    out.payload = buffer_.data();
    out.payloadLength = len;
    pos_ = payloadAt + len;
    return Status::Ok;
}

Qmr3Reader::Status Qmr3Reader::stepBack(Packet& out) {
    if (!haveLast_ || lastLink_.previousLength == 0 || lastLink_.previousLength > lastOffset_ ||
        lastOffset_ - lastLink_.previousLength < headerSize())
        return Status::End;
    pos_ = lastOffset_ - lastLink_.previousLength;
    return readNext(out);
}

Qmr3Reader::Status Qmr3Reader::gotoGop(const std::vector<std::uint32_t>& index, std::size_t i, Packet& out) {
    if (i >= index.size()) return Status::End;
    pos_ = index[i];
    return readNext(out);
}

const char* Qmr3Reader::statusText(Status s) {
    switch (s) {
    case Status::Ok: return "ok";
    case Status::End: return "end of data";
    case Status::BadMagic: return "bad packet magic";
    case Status::Oversized: return "payload larger than 1 MiB";
    case Status::Truncated: return "cut short";
    case Status::IoError: return "read error";
    }
    return "unknown";
}

}  // namespace qmr3
