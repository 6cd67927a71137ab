#include "backupjob.h"

#include <ctime>

namespace vantrex {

bool parseBackupFormat(const std::string& text, BackupFormat& out) {
    if (text == "qmr3") out = BackupFormat::Copy;
    else if (text == "avi") out = BackupFormat::Avi;
    else if (text == "wmv") out = BackupFormat::Wmv;
    else return false;
    return true;
}

BackupJob::BackupJob(std::vector<BackupItem> items, BackupOptions options)
    : items_(std::move(items)),
      options_(std::move(options)),
      progress_(new std::atomic<int>[items_.size() ? items_.size() : 1]) {
    for (std::size_t i = 0; i < items_.size(); ++i) {
        progress_[i] = 0;
        kbSelected_ += std::int64_t(items_[i].sizeBytes / 1024);
    }
}

BackupJob::~BackupJob() = default;

int BackupJob::itemProgress(std::size_t i) const { return i < items_.size() ? progress_[i].load() : 0; }

std::string BackupJob::outputName() const {
    std::lock_guard<std::mutex> lock(nameLock_);
    return outputName_;
}

BackupOutcome BackupJob::run(const std::atomic<bool>&) {
    BackupOutcome out;
    out.status = BackupStatus::Failed;
    out.failed.push_back({"", "not available yet"});
    return out;
}

std::string BackupJob::convertedName(const BackupItem&, BackupFormat) { return {}; }
std::string BackupJob::mergedName(const std::vector<BackupItem>&, BackupFormat) { return {}; }

}  // namespace vantrex
