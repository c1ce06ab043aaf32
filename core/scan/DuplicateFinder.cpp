// The duplicate finder as a pipeline: collectBySize → groupByHead → groupByContent → groups.

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>
#include <numeric>
#include <unordered_map>

#include "files/FileTools.h"
#include "files/SyncedFolders.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "platform/Sha256.h"
#include "scan/CleanScanner.h"
#include "support/Parallel.h"
#include "support/Saturating.h"

namespace kelvane {

std::int64_t DuplicateGroup::reclaimableBytes() const {
    return files.size() < 2 ? 0
                            : saturatingMultiply(size, static_cast<std::int64_t>(files.size() - 1));
}

std::int64_t DuplicateScan::reclaimableBytes() const {
    std::int64_t total = 0;
    for (const auto& group : groups) {
        total = saturatingAdd(total, group.reclaimableBytes());
    }
    return total;
}

std::optional<std::string> CleanScanner::partialHash(const std::string& path) {
    return platform::sha256OfHead(path, headHashBytes);
}

std::optional<std::string> CleanScanner::fullHash(const std::string& path) {
    return platform::sha256OfFile(path, hashChunkBytes);
}

namespace {

struct Candidate {
    ScanItem item;
    std::int64_t logicalSize = 0;
    std::optional<std::string> head;  // set by the second stage
};

// Lists keyed by text or size, kept in the order their keys were first met so that results do
// not depend on a hash table's order.
template <class Key>
class OrderedBuckets {
  public:
    void add(const Key& key, Candidate candidate) {
        auto [it, inserted] = index_.try_emplace(key, buckets_.size());
        if (inserted) {
            buckets_.emplace_back();
            keys_.push_back(key);
        }
        buckets_[it->second].push_back(std::move(candidate));
    }
    std::vector<std::vector<Candidate>>& buckets() { return buckets_; }
    const Key& key(std::size_t bucket) const { return keys_[bucket]; }

  private:
    std::vector<Key> keys_;
    std::unordered_map<Key, std::size_t> index_;
    std::vector<std::vector<Candidate>> buckets_;
};

// Computes digest(candidate) for every candidate of every bucket holding two or more, across
// the cores, and returns those candidates in bucket order with their digests.
template <class Digest>
std::vector<std::pair<Candidate, std::optional<std::string>>> digestShared(
    std::vector<std::vector<Candidate>>& buckets, Digest digest) {
    std::vector<std::pair<Candidate, std::optional<std::string>>> work;
    for (auto& bucket : buckets) {
        if (bucket.size() < 2) {
            continue;
        }
        for (auto& candidate : bucket) {
            work.emplace_back(std::move(candidate), std::nullopt);
        }
    }
    // Largest first, so the last file hashed is a small one and both cores finish together.
    std::vector<std::size_t> order(work.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return work[a].first.logicalSize > work[b].first.logicalSize;
    });
    parallelFor(order.size(), [&](std::size_t i) {
        auto& [candidate, result] = work[order[i]];
        result = digest(candidate);
    });
    return work;
}

}  // namespace

DuplicateScan CleanScanner::scanDuplicates(const std::string& rootText, std::int64_t minSize,
                                           const std::vector<std::string>& ignoreList,
                                           std::int64_t fileLimit, const CountCallback& progress,
                                           std::stop_token stop) const {
    DuplicateScan result;
    const auto root = path::standardize(rootText);
    if (!FileTools::isDirectory(root)) {
        return result;
    }
    const ProtectedPlaces places;
    const ExpandedIgnoreList ignored(ignoreList);
    const auto resolvedRoot = platform::resolveSymbolicLinks(root);

    // Equal size: most files are set apart here from the walk's values alone. The walk runs on
    // every core, each worker keeping its own candidates and counts, merged in path order so
    // the groups do not depend on which worker met which file.
    const unsigned workers = platform::parallelWalkWorkers(0);
    struct Tally {
        std::vector<Candidate> candidates;
        std::int64_t skippedProtected = 0;
        std::int64_t skippedHardLinks = 0;
    };
    std::vector<Tally> tallies(workers);
    std::atomic<std::int64_t> scanned{0};
    std::atomic<bool> truncated{false};
    std::mutex progressLock;
    platform::WalkOptions options;
    options.stop = stop;
    options.unreadableFolders = &result.unreadableFolders;
    const auto outcome = platform::walkDirectoryInParallel(
        root, options, workers, [&](const platform::WalkEntry& entry, unsigned worker) {
            const auto seen = scanned.fetch_add(1, std::memory_order_relaxed) + 1;
            if (progress && seen % 500 == 0) {
                const std::lock_guard guard(progressLock);
                progress(seen);
            }
            if (seen >= fileLimit) {
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
            auto& tally = tallies[worker];
            const auto resolved = path::rebased(entry.path, root, resolvedRoot);
            if (places.contains(entry.path, resolved) || ignored.contains(entry.path)) {
                ++tally.skippedProtected;
                return platform::WalkAction::proceed;
            }
            if (values.linkCount > 1) {
                ++tally.skippedHardLinks;
                return platform::WalkAction::proceed;
            }
            // Equal bytes have equal lengths, not always equal allocations (a sparse copy of a
            // dense file), so the length is what sorts them apart.
            if (std::max(values.logicalSize, values.allocatedSize) < minSize) {
                return platform::WalkAction::proceed;
            }
            tally.candidates.push_back(
                Candidate{ScanItem{std::string(entry.path), values.allocatedSize, values.modified,
                                   duplicatesRuleID, RuleGroup::system, ScanItem::Kind::file},
                          values.logicalSize, std::nullopt});
            return platform::WalkAction::proceed;
        });
    if (outcome == platform::WalkOutcome::unreadableRoot) {
        return DuplicateScan{};
    }
    result.scannedFiles = std::min(scanned.load(), fileLimit);
    result.truncated = truncated.load();
    result.cancelled = outcome == platform::WalkOutcome::cancelled;
    std::vector<Candidate> candidates;
    for (auto& tally : tallies) {
        result.skippedProtected += tally.skippedProtected;
        result.skippedHardLinks += tally.skippedHardLinks;
        std::move(tally.candidates.begin(), tally.candidates.end(), std::back_inserter(candidates));
    }
    std::sort(candidates.begin(), candidates.end(),
              [](const Candidate& a, const Candidate& b) { return a.item.path < b.item.path; });
    OrderedBuckets<std::int64_t> bySize;
    for (auto& candidate : candidates) {
        const auto size = candidate.logicalSize;
        bySize.add(size, std::move(candidate));
    }
    candidates = {};

    // Equal head: the first 256 KiB of every file that shares its size with another.
    OrderedBuckets<std::string> byHead;
    for (auto& [candidate, head] : digestShared(
             bySize.buckets(), [](const Candidate& c) { return partialHash(c.item.path); })) {
        if (head) {
            candidate.head = head;
            byHead.add(std::to_string(candidate.logicalSize) + "-" + *head, std::move(candidate));
        }
    }

    // Equal content: the whole file, for every file that shares its head with another. A file
    // no longer than the head was read whole already.
    OrderedBuckets<std::string> byContent;
    for (auto& [candidate, digest] :
         digestShared(byHead.buckets(), [](const Candidate& c) -> std::optional<std::string> {
             if (c.logicalSize > 0 && static_cast<std::size_t>(c.logicalSize) <= headHashBytes &&
                 FileTools::modificationDate(c.item.path) == c.item.modified) {
                 return c.head;
             }
             return fullHash(c.item.path);
         })) {
        if (digest) {
            byContent.add(*digest, std::move(candidate));
        }
    }

    auto& contentBuckets = byContent.buckets();
    for (std::size_t k = 0; k < contentBuckets.size(); ++k) {
        auto& bucket = contentBuckets[k];
        if (bucket.size() < 2) {
            continue;
        }
        DuplicateGroup group;
        group.id = group.hash = byContent.key(k);
        group.files.reserve(bucket.size());
        for (auto& candidate : bucket) {
            group.files.push_back(std::move(candidate.item));
        }
        std::stable_sort(
            group.files.begin(), group.files.end(),
            [](const ScanItem& a, const ScanItem& b) { return a.modified > b.modified; });
        // What removing one copy surely frees: copies may take different space on the disk.
        group.size =
            std::min_element(group.files.begin(), group.files.end(),
                             [](const ScanItem& a, const ScanItem& b) { return a.size < b.size; })
                ->size;
        result.groups.push_back(std::move(group));
    }
    std::stable_sort(result.groups.begin(), result.groups.end(),
                     [](const DuplicateGroup& a, const DuplicateGroup& b) {
                         return a.reclaimableBytes() > b.reclaimableBytes();
                     });
    if (progress) {
        progress(result.scannedFiles);
    }
    if (result.groups.size() > maxDuplicateGroups) {
        result.groups.resize(maxDuplicateGroups);
        result.truncated = true;
    }
    return result;
}

}  // namespace kelvane
