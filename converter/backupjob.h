// Backing recordings up into a folder: as exact copies, converted one by one
// to AVI or WMV, or merged into one AVI or WMV. No GUI: the backup window and
// qmr3tool both run it on a worker thread of their own and read the progress
// from another thread while run() works.
//
// A copy is written under a temporary name beside its target, flushed,
// compared with its source and only then renamed into place; conversions go
// through a private temporary folder that is removed at the end of every run.
// Nothing half-written is ever left under a final name.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace vantrex {

enum class BackupFormat { Copy, Avi, Wmv };

// "qmr3" (copy), "avi", "wmv"; false for anything else.
bool parseBackupFormat(const std::string& text, BackupFormat& out);

struct BackupItem {
    std::string path;      // full path of the recording
    std::string fileName;  // its name without folder
    std::uint64_t sizeBytes = 0;
    std::int64_t startTime = 0;  // seconds since 1970
    int lengthSeconds = 0;
    std::uint32_t indexCount = 0;  // groups of pictures
};

// What to do when the target folder already holds a different file of the
// same name.
enum class ConflictChoice { Replace, KeepBoth, Skip };

struct BackupOptions {
    std::string targetFolder;  // created level by level when missing
    BackupFormat format = BackupFormat::Copy;
    bool merge = false;    // AVI and WMV only: one file of all recordings
    std::string ffmpeg;    // full paths (qmr3::findProgram); empty: not available
    std::string mencoder;  // only needed to merge
    // Asked, on the worker thread, with the full path of an existing target
    // that differs from what would be written. Unset: Skip.
    std::function<ConflictChoice(const std::string& target)> onConflict;
};

enum class BackupStatus { Completed, Stopped, Failed };

struct BackupFailure {
    std::string recording;  // file name of the recording ("" for the run as a whole)
    std::string reason;
};

struct BackupOutcome {
    BackupStatus status = BackupStatus::Completed;
    std::vector<std::string> backedUp;          // full paths written
    std::vector<std::string> skippedIdentical;  // targets already holding the same bytes
    std::vector<std::string> skipped;           // targets left alone by choice
    std::vector<BackupFailure> failed;
    std::vector<BackupFailure> warnings;  // written, but shorter than the recording (damage)
    std::string mergedName;               // file name of the merged file, when one was written
};

class BackupJob {
public:
    BackupJob(std::vector<BackupItem> items, BackupOptions options);
    ~BackupJob();
    BackupJob(const BackupJob&) = delete;
    BackupJob& operator=(const BackupJob&) = delete;

    // Does the whole backup on the calling thread. stop is polled; a stop
    // ends a running tool and removes what it was writing.
    BackupOutcome run(const std::atomic<bool>& stop);

    // Safe to read from any thread while run() works.
    int itemProgress(std::size_t i) const;             // 0..100; 0 out of range
    int itemInWork() const { return inWork_.load(); }  // -1 when idle
    int recordingsDone() const { return recordingsDone_.load(); }
    int recordingsSelected() const { return int(items_.size()); }
    std::int64_t kbDone() const { return kbDone_.load(); }
    std::int64_t kbSelected() const { return kbSelected_; }
    // Merging (and the WMV stage of a merged WMV).
    std::int64_t mergeExpectedFrames() const { return mergeExpected_.load(); }
    std::int64_t mergeFramesDone() const { return mergeDone_.load(); }
    std::int64_t mergedSizeMb() const { return mergeSizeMb_.load(); }
    std::int64_t wmvExpectedFrames() const { return wmvExpected_.load(); }
    std::int64_t wmvFramesDone() const { return wmvDone_.load(); }
    std::int64_t wmvSizeMb() const { return wmvSizeMb_.load(); }
    // File name of the merged file once it is known; "" before.
    std::string outputName() const;

    // "20100315084500_0180.avi": start time and length of one recording.
    static std::string convertedName(const BackupItem& item, BackupFormat format);
    // "20100315_080000-20100315_093000.avi": the earliest start to the latest
    // end of the recordings.
    static std::string mergedName(const std::vector<BackupItem>& items, BackupFormat format);

private:
    struct Run;

    const std::vector<BackupItem> items_;
    const BackupOptions options_;
    std::int64_t kbSelected_ = 0;
    std::unique_ptr<std::atomic<int>[]> progress_;
    std::atomic<int> inWork_{-1};
    std::atomic<int> recordingsDone_{0};
    std::atomic<std::int64_t> kbDone_{0};
    std::atomic<std::int64_t> mergeExpected_{0}, mergeDone_{0}, mergeSizeMb_{0};
    std::atomic<std::int64_t> wmvExpected_{0}, wmvDone_{0}, wmvSizeMb_{0};
    mutable std::mutex nameLock_;
    std::string outputName_;
};

}  // namespace vantrex
