#include <algorithm>

#include "files/FileTools.h"
#include "files/SyncedFolders.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "scan/CleanScanner.h"
#include "support/Saturating.h"

namespace kelvane {

std::int64_t LargeFileScan::totalBytes() const {
    std::int64_t total = 0;
    for (const auto& item : items) {
        total = saturatingAdd(total, item.size);
    }
    return total;
}

LargeFileScan CleanScanner::scanLargeFiles(const std::string& rootText, std::int64_t minSize,
                                           int olderThanDays,
                                           const std::vector<std::string>& ignoreList,
                                           std::int64_t fileLimit, const CountCallback& progress,
                                           std::stop_token stop) const {
    LargeFileScan result;
    const auto root = path::standardize(rootText);
    if (!FileTools::isDirectory(root)) {
        return result;
    }
    std::optional<Date> cutoff;
    if (olderThanDays >= 1) {
        cutoff = now() - std::chrono::seconds{static_cast<std::int64_t>(olderThanDays) * 86'400};
    }
    const ProtectedPlaces places;
    const ExpandedIgnoreList ignored(ignoreList);
    const auto resolvedRoot = platform::resolveSymbolicLinks(root);
    const auto resultLimit = static_cast<std::size_t>(std::max(largeFileLimit, 0));

    platform::WalkOptions options;
    options.stop = stop;
    options.unreadableFolders = &result.unreadableFolders;
    const auto outcome =
        platform::walkDirectory(root, options, [&](const platform::WalkEntry& entry) {
            ++result.scannedFiles;
            if (progress && result.scannedFiles % 400 == 0) {
                progress(result.scannedFiles);
            }
            if (result.scannedFiles >= fileLimit || result.items.size() >= resultLimit) {
                result.truncated = true;
                return platform::WalkAction::stop;
            }
            // A folder Syncthing keeps in step with other devices, whatever its name.
            if (SyncedFolders::isMarkedFolder(entry)) {
                return platform::WalkAction::skipDescendants;
            }
            const auto& values = entry.values;
            if (!entry.valuesRead || !values.isRegularFile()) {
                return platform::WalkAction::proceed;
            }
            // The cheap size and age tests come first; they are what turns most files away, and
            // the order of skips changes nothing in this scan's result.
            if (values.allocatedSize < minSize || (cutoff && values.modified > *cutoff)) {
                return platform::WalkAction::proceed;
            }
            // Its data stays on the disk under its other names whatever happens to this one.
            if (values.linkCount > 1) {
                return platform::WalkAction::proceed;
            }
            const auto resolved = path::rebased(entry.path, root, resolvedRoot);
            if (places.contains(entry.path, resolved) || ignored.contains(entry.path)) {
                return platform::WalkAction::proceed;
            }
            result.items.push_back(ScanItem{std::string(entry.path), values.allocatedSize,
                                            values.modified, largeFilesRuleID, RuleGroup::system,
                                            ScanItem::Kind::file});
            return platform::WalkAction::proceed;
        });
    if (outcome == platform::WalkOutcome::unreadableRoot) {
        return LargeFileScan{};
    }
    result.cancelled = outcome == platform::WalkOutcome::cancelled;
    if (progress) {
        progress(result.scannedFiles);
    }
    std::stable_sort(result.items.begin(), result.items.end(),
                     [](const ScanItem& a, const ScanItem& b) { return a.size > b.size; });
    return result;
}

}  // namespace kelvane
