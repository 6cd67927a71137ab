// Writes H.264 pictures and the recorder's audio, copied as they are, into
// an AVI file through libavformat. Video packets carry their picture slot:
// a slot left out becomes an empty chunk, which players show as the picture
// before it again.
#pragma once

#include "outputrate.h"

#include <cstdint>
#include <string>
#include <vector>

struct AVFormatContext;
struct AVPacket;

namespace vantrex {

enum class AudioCoding { None, Pcm, Adpcm };

class AviWriter {
public:
    AviWriter() = default;
    ~AviWriter();
    AviWriter(const AviWriter&) = delete;
    AviWriter& operator=(const AviWriter&) = delete;

    // parameterSets go into the stream header (Annex B).
    bool open(const std::string& path, int width, int height, OutputRate rate, AudioCoding audio,
              const std::vector<std::uint8_t>& parameterSets, std::string& error);
    bool writeVideo(const std::uint8_t* data, std::size_t size, bool key, std::int64_t slot,
                    std::string& error);
    // Empty chunks up to (not including) slot endSlot: the last picture stays.
    bool padVideo(std::int64_t endSlot, std::string& error);
    bool writeAudio(const std::uint8_t* data, std::size_t size, std::string& error);
    // Writes the index; the file is complete only when this succeeds.
    bool finish(std::string& error);
    // Closes without finishing (the caller removes the file).
    void abandon();

private:
    bool write(AVPacket* pkt, std::string& error);

    AVFormatContext* oc_ = nullptr;
    AVPacket* pkt_ = nullptr;
    bool headerWritten_ = false;
    int videoIndex_ = -1;
    int audioIndex_ = -1;
    AudioCoding audio_ = AudioCoding::None;
    std::int64_t nextSlot_ = 0;
    OutputRate videoBase_;
    std::int64_t audioSamples_ = 0;
};

// A readable text for an FFmpeg error code ("No space left on device").
std::string avErrorText(int code);

}  // namespace vantrex
