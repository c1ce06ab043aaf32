#pragma once

#include <cstdint>
#include <vector>

#include "model/ScanRecords.h"

namespace kelvane {

// The biggest single files under one folder, largest first.
struct LargeFileScan {
    std::vector<ScanItem> items;
    std::int64_t scannedFiles = 0;  // entries visited, folders included
    std::int64_t unreadableFolders = 0;
    bool cancelled = false;
    bool truncated = false;  // stopped at the file budget or the result budget

    std::int64_t totalBytes() const;
};

inline constexpr const char* largeFilesRuleID = "large-files";

}  // namespace kelvane
