// Audio payloads of the recorder: 8000 Hz, 125 ms per packet, either 8-bit
// PCM (1000 bytes) or Microsoft ADPCM (2 channels, two 512-byte blocks of
// 500 samples each).
#pragma once

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace qmr3 {

constexpr int kAudioRate = 8000;
constexpr int kAudioPacketSamples = 1000;  // 125 ms
constexpr int kAdpcmBlockAlign = 512;
constexpr int kAdpcmSamplesPerBlock = 500;

// The 32 extra wave-format bytes of the ADPCM format: samples per block,
// coefficient count and the seven coefficient pairs.
std::array<std::uint8_t, 32> adpcmFormatExtra();

// 8000 Hz mono samples for the audio packets.
class SampleSource {
public:
    virtual ~SampleSource() = default;
    virtual std::int16_t next() = 0;
};

// A test tone that changes pitch every second, so a listener (or a test) can
// tell seconds apart.
class ToneSource : public SampleSource {
public:
    explicit ToneSource(int baseHz = 440) : baseHz_(baseHz) {}
    std::int16_t next() override;
    std::uint64_t samplesMade() const { return n_; }

private:
    int baseHz_;
    std::uint64_t n_ = 0;
    double phase_ = 0;
};

// Recorded sound, then silence once it runs out.
class BufferSource : public SampleSource {
public:
    explicit BufferSource(std::vector<std::int16_t> samples) : samples_(std::move(samples)) {}
    std::int16_t next() override { return n_ < samples_.size() ? samples_[n_++] : 0; }

private:
    std::vector<std::int16_t> samples_;
    std::size_t n_ = 0;
};

std::vector<std::uint8_t> pcmPacket(SampleSource& sound);
std::vector<std::uint8_t> adpcmPacket(SampleSource& sound);

// Encodes one stereo block of exactly 500 samples per channel (interleaved L/R).
std::vector<std::uint8_t> encodeAdpcmBlock(const std::int16_t* interleaved);

}  // namespace qmr3
