#include "model/ScanRecords.h"

#include <algorithm>

#include "platform/FileURL.h"
#include "platform/PathText.h"
#include "support/Hashing.h"
#include "support/Saturating.h"

namespace kelvane {

std::string ScanItem::url() const {
    return platform::fileURL(path);
}

std::string ScanItem::name() const {
    return std::string(path::lastComponent(path));
}

std::string ScanItem::parentPath() const {
    return path::deletingLastComponent(path);
}

std::int64_t RuleScanResult::totalBytes() const {
    std::int64_t total = 0;
    for (const auto& item : items) {
        total = saturatingAdd(total, item.size);
    }
    return total;
}

std::int64_t JunkScanResult::totalBytes() const {
    std::int64_t total = 0;
    for (const auto& result : results) {
        total = saturatingAdd(total, result.totalBytes());
    }
    return total;
}

std::int64_t JunkScanResult::itemCount() const {
    std::int64_t count = 0;
    for (const auto& result : results) {
        count += static_cast<std::int64_t>(result.items.size());
    }
    return count;
}

std::vector<ScanItem> JunkScanResult::allItems() const {
    std::vector<ScanItem> items;
    items.reserve(static_cast<std::size_t>(itemCount()));
    for (const auto& result : results) {
        items.insert(items.end(), result.items.begin(), result.items.end());
    }
    return items;
}

double ScanProgress::fraction() const {
    if (totalRules <= 0) {
        return 0.0;
    }
    return std::min(1.0, static_cast<double>(completedRules) / static_cast<double>(totalRules));
}

ScanError::ScanError(Kind kind, std::string path) : kind_(kind), path_(std::move(path)) {
    description_ = kind_ == Kind::unreadable ? "Kelvane could not read " + path_ + "."
                                             : "The scan was cancelled.";
}

}  // namespace kelvane

std::size_t std::hash<kelvane::ScanItem>::operator()(const kelvane::ScanItem& item) const noexcept {
    using kelvane::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, item.path);
    hashCombine(seed, item.size);
    hashCombine(seed, item.modified.time_since_epoch().count());
    hashCombine(seed, item.ruleID);
    hashCombine(seed, item.group);
    hashCombine(seed, item.kind);
    return seed;
}
