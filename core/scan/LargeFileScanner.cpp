#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>

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
    // The walk runs on every core; each worker keeps its own finds, merged after. The budgets
    // are shared counters, so they hold exactly however the folders are spread.
    const unsigned workers = platform::parallelWalkWorkers(0);
    std::vector<std::vector<ScanItem>> found(workers);
    std::atomic<std::int64_t> scanned{0};
    std::atomic<std::size_t> kept{0};
    std::atomic<bool> truncated{false};
    std::mutex progressLock;
    const auto outcome = platform::walkDirectoryInParallel(
        root, options, workers, [&](const platform::WalkEntry& entry, unsigned worker) {
            const auto seen = scanned.fetch_add(1, std::memory_order_relaxed) + 1;
            if (progress && seen % 400 == 0) {
                const std::lock_guard guard(progressLock);
                progress(seen);
            }
            if (seen >= fileLimit || kept.load(std::memory_order_relaxed) >= resultLimit) {
                truncated = true;
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
            kept.fetch_add(1, std::memory_order_relaxed);
            found[worker].push_back(ScanItem{std::string(entry.path), values.allocatedSize,
                                             values.modified, largeFilesRuleID, RuleGroup::system,
                                             ScanItem::Kind::file});
            return platform::WalkAction::proceed;
        });
    if (outcome == platform::WalkOutcome::unreadableRoot) {
        return LargeFileScan{};
    }
    result.scannedFiles = std::min(scanned.load(), fileLimit);
    result.truncated = truncated.load();
    result.cancelled = outcome == platform::WalkOutcome::cancelled;
    for (auto& items : found) {
        std::move(items.begin(), items.end(), std::back_inserter(result.items));
    }
    if (progress) {
        progress(result.scannedFiles);
    }
    // Largest first; equal sizes by path, so the list is the same whichever worker found what.
    std::sort(result.items.begin(), result.items.end(), [](const ScanItem& a, const ScanItem& b) {
        return a.size != b.size ? a.size > b.size : a.path < b.path;
    });
    if (result.items.size() > resultLimit) {
        result.items.resize(resultLimit);
    }
    return result;
}

}  // namespace kelvane
