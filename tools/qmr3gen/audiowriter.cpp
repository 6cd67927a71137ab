#include "audiowriter.h"

#include <algorithm>
#include <cmath>

namespace qmr3 {

namespace {
const int kCoef1[7] = {256, 512, 0, 192, 240, 460, 392};
const int kCoef2[7] = {0, -256, 0, 64, 0, -208, -232};
const int kAdaptation[16] = {230, 230, 230, 230, 307, 409, 512, 614, 768, 614, 512, 409, 307, 230, 230, 230};

struct ChannelState {
    int sample1 = 0, sample2 = 0, delta = 16;
    int nibble(int x) {
        const int pred = (sample1 * kCoef1[0] + sample2 * kCoef2[0]) >> 8;
        int code = (x - pred + (x >= pred ? delta / 2 : -delta / 2)) / delta;
        code = std::clamp(code, -8, 7);
        const int value = std::clamp(pred + code * delta, -32768, 32767);
        sample2 = sample1;
        sample1 = value;
        delta = std::max(16, (kAdaptation[code & 15] * delta) >> 8);
        return code & 15;
    }
};

void put16(std::vector<std::uint8_t>& v, int x) {
    v.push_back(std::uint8_t(x & 0xFF));
    v.push_back(std::uint8_t((x >> 8) & 0xFF));
}
}  // namespace

std::array<std::uint8_t, 32> adpcmFormatExtra() {
    std::array<std::uint8_t, 32> e{};
    e[0] = kAdpcmSamplesPerBlock & 0xFF;
    e[1] = kAdpcmSamplesPerBlock >> 8;
    e[2] = 7;
    for (int i = 0; i < 7; ++i) {
        e[std::size_t(4 + 4 * i)] = std::uint8_t(kCoef1[i] & 0xFF);
        e[std::size_t(5 + 4 * i)] = std::uint8_t((kCoef1[i] >> 8) & 0xFF);
        e[std::size_t(6 + 4 * i)] = std::uint8_t(kCoef2[i] & 0xFF);
        e[std::size_t(7 + 4 * i)] = std::uint8_t((kCoef2[i] >> 8) & 0xFF);
    }
    return e;
}

std::int16_t ToneSource::next() {
    const int second = int(n_ / kAudioRate);
    const double hz = baseHz_ * (1.0 + 0.25 * (second % 4));
    phase_ += 2 * M_PI * hz / kAudioRate;
    if (phase_ > 2 * M_PI) phase_ -= 2 * M_PI;
    ++n_;
    return std::int16_t(std::lround(8000 * std::sin(phase_)));
}

std::vector<std::uint8_t> pcmPacket(SampleSource& sound) {
    std::vector<std::uint8_t> out(kAudioPacketSamples);
    for (auto& b : out) b = std::uint8_t(128 + (sound.next() >> 8));
    return out;
}

std::vector<std::uint8_t> encodeAdpcmBlock(const std::int16_t* pcm) {
    std::vector<std::uint8_t> out;
    out.reserve(kAdpcmBlockAlign);
    ChannelState ch[2];
    // Header: predictor per channel, delta per channel, then sample1 and sample2
    // per channel; the first two samples are stored, newest first.
    out.push_back(0);
    out.push_back(0);
    put16(out, ch[0].delta);
    put16(out, ch[1].delta);
    for (int c = 0; c < 2; ++c) {
        ch[c].sample2 = pcm[c];
        ch[c].sample1 = pcm[2 + c];
    }
    put16(out, ch[0].sample1);
    put16(out, ch[1].sample1);
    put16(out, ch[0].sample2);
    put16(out, ch[1].sample2);
    for (int i = 2; i < kAdpcmSamplesPerBlock; ++i) {
        const int hi = ch[0].nibble(pcm[2 * i]);
        const int lo = ch[1].nibble(pcm[2 * i + 1]);
        out.push_back(std::uint8_t((hi << 4) | lo));
    }
    return out;
}

std::vector<std::uint8_t> adpcmPacket(SampleSource& sound) {
    std::vector<std::uint8_t> out;
    std::int16_t block[2 * kAdpcmSamplesPerBlock];
    for (int b = 0; b < kAudioPacketSamples / kAdpcmSamplesPerBlock; ++b) {
        for (int i = 0; i < kAdpcmSamplesPerBlock; ++i) block[2 * i] = block[2 * i + 1] = sound.next();
        auto enc = encodeAdpcmBlock(block);
        out.insert(out.end(), enc.begin(), enc.end());
    }
    return out;
}

}  // namespace qmr3
