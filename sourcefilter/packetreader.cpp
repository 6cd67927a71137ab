#include "packetreader.h"

#include <algorithm>

namespace hexmoor {

CPacketReader::CPacketReader(qmr3::Qmr3Reader& file) : file_(file) { gops_.reserve(kMaxGops); }

bool CPacketReader::load() {
    gops_.clear();
    if (!file_.isOpen() || !file_.readFileHeader(header_)) return false;
    std::vector<std::uint32_t> raw = file_.readGopIndex(header_, kMaxGops);
    const std::uint64_t size = file_.fileSize();
    const std::uint64_t smallest = qmr3::kPacketLinkSize + qmr3::kPacketHeaderSize;
    for (std::uint32_t off : raw) {
        const bool inside = off >= qmr3::kFileHeaderSize && std::uint64_t(off) + smallest <= size;
        const bool ordered = gops_.empty() || off > gops_.back();
        if (!inside || !ordered) break;
        gops_.push_back(off);
    }
    file_.seek(qmr3::kFileHeaderSize);
    return true;
}

long CPacketReader::gopAt(std::uint64_t offset) const {
    auto it = std::lower_bound(gops_.begin(), gops_.end(), offset);
    if (it == gops_.end() || *it != offset) return -1;
    return long(it - gops_.begin());
}

bool CPacketReader::gotoGop(long i) {
    if (i < 0 || std::size_t(i) >= gops_.size()) return false;
    file_.seek(gops_[std::size_t(i)]);
    return true;
}

}  // namespace hexmoor
