// Rebuilds a recorder folder's index file "filelist.lst" from the catalogue.
#pragma once

#include "videolibrary.h"

#include <cstddef>
#include <string>
#include <vector>

constexpr const char* kIndexFileName = "filelist.lst";
constexpr std::size_t kIndexRecordSize = 56;
// "DATA\" + name + NUL must fit the 32-byte name field.
constexpr std::size_t kIndexMaxNameLength = 26;

struct IndexRecoveryResult {
    bool ok = false;
    int written = 0;                   // records in the new file
    std::string message;               // text for the user
    std::string indexPath;             // the file written (or that would have been)
    std::vector<std::string> skipped;  // "name: reason" of files left out
};

// Writes filelist.lst into the folder of currentPath (the opened folder, or
// the last file of a file list) with one record per catalogue file, in
// catalogue order. The old file is replaced only once the new one is
// complete; nothing is written when no record can be made.
IndexRecoveryResult recoverIndexFile(const CVideoLibrary& library, const std::string& currentPath);
