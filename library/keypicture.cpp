#include "keypicture.h"

#include "h264paramsets.h"
#include "qmr3reader.h"

namespace keypicture {

namespace {

// A picture's own plausibility rule for a packet time stamp.
bool plausible(const qmr3::Qmr3TimeStamp& t) {
    const int year = t.fullYear();
    return year >= 1971 && year <= 2999 && t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31 &&
           t.hour <= 24 && t.minute <= 60 && t.second <= 60;
}

bool familyA(std::uint8_t productId) { return productId == 0x41 || productId == 0x49; }

}  // namespace

std::vector<std::uint8_t> CodedPicture::stream() const {
    std::vector<std::uint8_t> s(parameterSets);
    s.insert(s.end(), picture.begin(), picture.end());
    return s;
}

std::optional<CodedPicture> firstPicture(const std::string& path, std::uint64_t startOffset,
                                         std::uint8_t productId, int width, int height, std::string* error) {
    auto fail = [&](const std::string& why) {
        if (error) *error = why;
        return std::optional<CodedPicture>();
    };
    const auto sets = qmr3::parameterSetsFor(
        familyA(productId) ? qmr3::ParamSetFamily::A : qmr3::ParamSetFamily::B, width, height);
    if (!sets) return fail("no parameter sets for " + std::to_string(width) + " x " + std::to_string(height));

    qmr3::Qmr3Reader reader;
    if (!reader.open(path)) return fail("Error Reading First Frame");
    reader.seek(startOffset);
    CodedPicture coded;
    coded.parameterSets.assign(sets->begin(), sets->end());
    qmr3::Qmr3Reader::Packet packet;
    for (;;) {
        const auto status = reader.readNext(packet);
        if (status == qmr3::Qmr3Reader::Status::Oversized) continue;
        if (status != qmr3::Qmr3Reader::Status::Ok) break;
        if (packet.header.stream == qmr3::kStreamVideo && plausible(packet.header.time)) {
            // A motion map in front of the picture is not part of the coded stream.
            const std::uint32_t skip =
                packet.header.hasMotionMap() ? std::uint32_t(qmr3::kMotionMapBytes) : 0;
            if (packet.payloadLength <= skip + 4) continue;
            coded.picture.assign(packet.payload + skip, packet.payload + packet.payloadLength - 4);
            if (coded.picture.size() % 2) coded.picture.push_back(0);
            break;
        }
    }
    reader.close();
    if (coded.picture.empty()) return fail("no picture found in " + path);
    return coded;
}

bool deinterlaceFor(std::uint8_t productId, int width) {
    const bool noDeinterlace = familyA(productId) && (width == 640 || width == 320);
    return !noDeinterlace && productId != 0x49;
}

}  // namespace keypicture
