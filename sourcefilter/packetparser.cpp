#include "packetparser.h"

#include <new>

namespace hexmoor {

bool CPacketParser::init() {
    if (!payload_) payload_.reset(new (std::nothrow) std::uint8_t[qmr3::kMaxPayload]);
    reset();
    return payload_ != nullptr;
}

void CPacketParser::setMagic(std::uint8_t code1, std::uint8_t code2, std::uint8_t code3) {
    magic_ = {code1, code2, code3, qmr3::kPacketMagic[3], qmr3::kPacketMagic[4]};
}

void CPacketParser::reset() {
    have_ = 0;
    got_ = 0;
    skip_ = 0;
    broken_ = false;
}

}  // namespace hexmoor
