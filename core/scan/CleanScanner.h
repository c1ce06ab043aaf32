#pragma once

// The scanning engine: the junk scan over cleaning rules, the large file scan and the duplicate
// finder. Scans only read the file system, never fail and never print; a stop request ends a
// scan early with what it has found, marked as cancelled.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <stop_token>
#include <string>
#include <vector>

#include "files/SafetyPolicy.h"
#include "model/CleanRule.h"
#include "model/ScanRecords.h"
#include "scan/DuplicateScan.h"
#include "scan/LargeFileScan.h"

namespace kelvane {

struct CleanScanner {
    SafetyPolicy safety;
    int itemLimitPerRule = 0;
    int largeFileLimit = 0;

    using ProgressCallback = std::function<void(const ScanProgress&)>;
    using CountCallback = std::function<void(std::int64_t)>;

    // The enabled rules one after another in catalogue order. Progress at rule boundaries and
    // once at the end; cancellation checked before each rule and each entry.
    JunkScanResult scanJunk(const std::vector<CleanRule>& rules,
                            const std::set<std::string>& enabled,
                            const std::vector<std::string>& ignoreList,
                            const ProgressCallback& progress = {}, std::stop_token stop = {}) const;
    RuleScanResult scan(const CleanRule& rule, const std::vector<std::string>& ignoreList,
                        std::int64_t& filesSeen, std::stop_token stop = {}) const;

    // Whether an entry's name or its path relative to the rule folder passes the rule's
    // include patterns (any one, tried on the name and the whole relative path) and none of its
    // exclude patterns (tried on the name, the whole relative path and each of its components).
    static bool matchesFilters(const std::string& path, const std::string& name,
                               const CleanRule& rule, const std::string& root);

    // Regular files of at least `minSize` bytes below `root`, optionally not modified for
    // `olderThanDays` days, within a budget of `fileLimit` entries and `largeFileLimit` results.
    LargeFileScan scanLargeFiles(const std::string& root, std::int64_t minSize, int olderThanDays,
                                 const std::vector<std::string>& ignoreList, std::int64_t fileLimit,
                                 const CountCallback& progress = {},
                                 std::stop_token stop = {}) const;

    // Byte-identical files of at least `minSize` bytes below `root`: equal size, then equal
    // digest of the first 256 KiB, then equal SHA-256 of the whole content.
    DuplicateScan scanDuplicates(const std::string& root, std::int64_t minSize,
                                 const std::vector<std::string>& ignoreList, std::int64_t fileLimit,
                                 const CountCallback& progress = {},
                                 std::stop_token stop = {}) const;

    // Hex SHA-256 of the first 262,144 bytes; nothing when the file cannot be opened or read.
    static std::optional<std::string> partialHash(const std::string& path);
    // Hex SHA-256 of the whole file; nothing when it cannot be read to its end.
    static std::optional<std::string> fullHash(const std::string& path);
};

}  // namespace kelvane
