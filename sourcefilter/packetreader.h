// The reader thread's view of the open recording: the file header facts it
// needs, the GOP table (at most 40000 entries) and a packet walk, all through
// the shared packet reader, which bounds every read by the file's size.
#pragma once

#include "qmr3reader.h"

#include <cstdint>
#include <vector>

namespace hexmoor {

class CPacketReader {
public:
    static constexpr std::size_t kMaxGops = 40000;
    using Status = qmr3::Qmr3Reader::Status;
    using Packet = qmr3::Qmr3Reader::Packet;

    explicit CPacketReader(qmr3::Qmr3Reader& file);

    // Reads the file header and the GOP table and goes to the first packet.
    // False when the file is no recording at all (no whole file header).
    bool load();
    const qmr3::Qmr3FileHeader& fileHeader() const { return header_; }
    bool hasTrailer() const { return header_.trailerFlag != 0; }

    // Only entries that point at a packet inside the file, in file order, are
    // kept; the table ends at the first one that does not.
    std::size_t gopCount() const { return gops_.size(); }
    std::uint32_t gopOffset(std::size_t i) const { return gops_[i]; }
    // The GOP whose entry is exactly this packet offset, or -1.
    long gopAt(std::uint64_t offset) const;
    // Seeks to GOP i; false when there is no such entry.
    bool gotoGop(long i);

    void seek(std::uint64_t offset) { file_.seek(offset); }
    std::uint64_t position() const { return file_.position(); }
    std::uint64_t fileSize() const { return file_.fileSize(); }
    Status readNext(Packet& out) { return file_.readNext(out); }

private:
    qmr3::Qmr3Reader& file_;
    qmr3::Qmr3FileHeader header_;
    std::vector<std::uint32_t> gops_;
};

}  // namespace hexmoor
