// Writes the container of a .qmr3 recording: header, linked packets, end
// marker, GOP table and event summary byte. It knows nothing about what the
// payloads hold; the generator and tests feed it.
#pragma once

#include "qmr3format.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace qmr3 {

class RecordingWriter {
public:
    RecordingWriter() = default;
    ~RecordingWriter();
    RecordingWriter(const RecordingWriter&) = delete;
    RecordingWriter& operator=(const RecordingWriter&) = delete;

    // Starts a file; the header's index offset and count are filled in by finish().
    bool open(const std::string& path, const Qmr3FileHeader& header, bool compact = false);
    // Appends one packet (payload length and link are computed) and returns its offset.
    std::uint64_t writePacket(Qmr3PacketHeader header, const std::uint8_t* payload, std::size_t length);
    // Marks the packet at offset as the start of a group of pictures.
    void addGopEntry(std::uint64_t offset) { gops_.push_back(std::uint32_t(offset)); }
    const std::vector<std::uint32_t>& gopEntries() const { return gops_; }
    // Lets tests point an entry anywhere, even outside the file.
    void setGopEntry(std::size_t i, std::uint32_t offset) { gops_.at(i) = offset; }

    struct Finish {
        std::uint8_t eventSummary = 0;
        bool endMarker = true;
        // Header claims this many more GOP entries than the table holds (a table cut short).
        std::uint32_t extraClaimedEntries = 0;
        // Header length field is seconds + 2.
        std::uint32_t lengthSeconds = 0;
    };
    bool finish(const Finish& f);
    std::uint64_t position() const { return pos_; }
    bool failed() const { return failed_; }

private:
    bool put(const void* data, std::size_t n);
    std::FILE* file_ = nullptr;
    Qmr3FileHeader header_;
    bool compact_ = false;
    std::uint64_t pos_ = 0;
    std::uint32_t lastTotal_ = 0;
    std::vector<std::uint32_t> gops_;
    bool failed_ = false;
};

}  // namespace qmr3
