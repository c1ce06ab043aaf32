#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "model/ScanRecords.h"

namespace kelvane {

// Byte-identical files: one SHA-256 digest, at least two files, newest first.
struct DuplicateGroup {
    std::string id;  // the digest, as `hash`
    std::int64_t size = 0;
    std::string hash;  // lower-case hex SHA-256 of the whole content
    std::vector<ScanItem> files;

    std::int64_t reclaimableBytes() const;
};

struct DuplicateScan {
    std::vector<DuplicateGroup> groups;  // at most maxDuplicateGroups, most reclaimable first
    std::int64_t scannedFiles = 0;
    std::int64_t skippedHardLinks = 0;
    std::int64_t skippedProtected = 0;
    std::int64_t unreadableFolders = 0;
    bool cancelled = false;
    bool truncated = false;

    std::int64_t reclaimableBytes() const;
};

inline constexpr const char* duplicatesRuleID = "duplicates";
inline constexpr std::size_t maxDuplicateGroups = 200;
inline constexpr std::size_t headHashBytes = 262'144;
inline constexpr std::size_t hashChunkBytes = 2'097'152;

}  // namespace kelvane
