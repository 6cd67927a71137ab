// Structural check of one recording: every packet, the end marker and the GOP table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct VerifyReport {
    std::uint64_t fileSize = 0;
    std::uint64_t packets = 0;
    std::uint64_t videoPackets = 0;
    std::uint64_t audioPackets = 0;
    std::uint64_t indexEntries = 0;  // entries the table really holds
    bool endMarker = false;
    std::vector<std::string> problems;
};

// False when the file cannot be opened (error set); otherwise the report
// lists every problem found, empty for a sound file.
bool verifyRecording(const std::string& path, VerifyReport& report, std::string& error);
