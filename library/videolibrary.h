// The catalogue of opened recordings: one record per file with the facts of
// its header, and for the selected file its clips, frame positions and events.
// Plain C++ so that the tools and the tests can use it without a GUI.
#pragma once

#include "qmr3format.h"

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

struct QMR3FILE {
    std::string name;            // without folder
    std::int64_t startTime = 0;  // first packet, local seconds
    std::int64_t endTime = 0;    // packet of the last readable index entry
    std::uint16_t length = 0;    // header length - 2, seconds
    std::uint16_t width = 0;
    std::uint16_t height = 0;
    std::uint8_t frameRate = 0;  // low byte of the frame-rate code
    int damaged = 0;
    std::uint32_t indexOffset = 0;
    std::uint32_t indexCount = 0;
    std::uint8_t eventSummary = 0;  // last byte of the file
    std::uint32_t fileSize = 0;
    std::uint8_t productId = 0;
    std::uint8_t marked = 0;
    // Owned by backup; the scan only zeroes them.
    std::uint32_t backupWork = 0;
    std::uint8_t backupFlag = 0;
};

struct QMR3VIDEOCLIP {
    std::int64_t startTime = 0;
    std::int64_t endTime = 0;
};

struct QMR3FRAMEPOSITION {
    std::int64_t time = 0;
    std::uint32_t offset = 0;
};

struct QMR3EVENT {
    std::int64_t time = 0;
    std::uint32_t offset = 0;
    std::uint32_t flags = 0;
    std::uint32_t reserved = 0;
};

class CVideoLibrary {
public:
    using StatusCallback = std::function<void(const std::string&)>;

    CVideoLibrary() = default;
    CVideoLibrary(const CVideoLibrary&) = delete;
    CVideoLibrary& operator=(const CVideoLibrary&) = delete;

    // The library's own rule for a packet time stamp.
    static bool isValidTime(const qmr3::Qmr3TimeStamp& t);

    // Progress texts ("" clears); called synchronously.
    void setStatusCallback(StatusCallback cb) { status_ = std::move(cb); }

    // A folder path, or one or more full paths joined by "|" when the text
    // after the last "." is exactly "qmr3". Returns the number of files
    // listed; problems are collected in errors().
    int scan(const std::string& text);
    int scanFolder(const std::string& folder);
    int scanFileList(const std::vector<std::string>& paths);
    // Messages of the last scan (files or folders that could not be read).
    const std::vector<std::string>& errors() const { return errors_; }

    // Loads clips, frame positions and events of file i; 1 when at least one
    // clip and one frame position were found.
    int readVideoInfo(int i);
    void setReadEventData(bool on) { readEventData_ = on; }
    bool readEventData() const { return readEventData_; }

    int fileCount() const { return int(files_.size()); }
    const std::string& folder() const { return folder_; }
    std::string filePath(int i) const;
    std::string fileName(int i) const;
    std::uint32_t fileSize(int i) const;
    std::uint16_t length(int i) const;
    std::uint16_t width(int i) const;
    std::uint16_t height(int i) const;
    std::uint8_t frameRate(int i) const;
    int damaged(int i) const;
    std::uint32_t indexOffset(int i) const;
    std::uint32_t indexCount(int i) const;
    std::uint8_t eventSummary(int i) const;
    std::uint8_t productId(int i) const;
    std::uint8_t marked(int i) const;
    std::int64_t startTime(int i) const;
    std::int64_t endTime(int i) const;
    // The whole record; nullptr out of range.
    const QMR3FILE* file(int i) const;

    void setMarked(int i, bool flag);
    int markedCount() const { return markedCount_; }

    int selectedFile() const { return selected_; }
    int clipCount() const { return int(clips_.size()); }
    const QMR3VIDEOCLIP& clip(int i) const { return clips_.at(std::size_t(i)); }
    const std::vector<QMR3VIDEOCLIP>& clips() const { return clips_; }
    int framePositionCount() const { return int(positions_.size()); }
    const QMR3FRAMEPOSITION& framePosition(int i) const { return positions_.at(std::size_t(i)); }
    const std::vector<QMR3FRAMEPOSITION>& framePositions() const { return positions_; }
    int eventCount() const { return int(events_.size()); }
    const std::vector<QMR3EVENT>& events() const { return events_; }
    // Time and flags of event i; zeros out of range.
    void event(int i, std::int64_t& time, std::uint32_t& flags) const;

    // "<thumbnail folder><prefix>-<name without extension>[-%04d].bmp"; the
    // sequence part is left out for a negative n. Empty out of range.
    std::string thumbnailPath(int i, const std::string& prefix, int n) const;
    // Delete "*.bmp" of the thumbnail folder, or only those whose names begin
    // with "qcif" or "720x". Return how many were deleted.
    static int clearThumbnails();
    static int clearSizedThumbnails();

private:
    void beginScan();
    void clearFileData();
    void showStatus(const std::string& text) const;
    // Local seconds of recorder time stamps, each local hour converted once.
    class LocalClock {
    public:
        std::int64_t seconds(const qmr3::Qmr3TimeStamp& t);

    private:
        std::unordered_map<std::uint32_t, std::int64_t> hours_;
    };
    // Reads the header facts of one file into r; opened says whether the file could be opened.
    static bool readHeader(const std::string& path, QMR3FILE& r, LocalClock& clock, bool& opened);
    // Reads every listed file; sizeFromOpen marks those whose size the open gives.
    int finishScan(const std::vector<bool>& sizeFromOpen = {});

    std::vector<QMR3FILE> files_;
    std::vector<QMR3VIDEOCLIP> clips_;
    std::vector<QMR3FRAMEPOSITION> positions_;
    std::vector<QMR3EVENT> events_;
    std::vector<std::string> errors_;
    std::string folder_;
    int selected_ = -1;
    int markedCount_ = 0;
    bool readEventData_ = true;
    StatusCallback status_;
};
