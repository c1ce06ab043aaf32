// The duplicate finder as a pipeline: collectBySize → groupByHead → groupByContent → groups.

#include <algorithm>
#include <atomic>
#include <iterator>
#include <mutex>
#include <numeric>
#include <unordered_map>
#include <utility>

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
    std::optional<platform::Sha256Head> head;  // set by the second stage
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

// Files read at once when the page cache does not hold them: the disk serves several reads in
// flight faster than one after another.
constexpr unsigned readersWhenCold = 6;

// Computes digest(candidate) for every candidate of every bucket holding two or more, across
// the cores, and returns those candidates in bucket order with their digests.
template <class Digest>
auto digestShared(std::vector<std::vector<Candidate>>& buckets, Digest digest) {
    using Result = decltype(digest(std::declval<const Candidate&>()));
    std::vector<std::pair<Candidate, Result>> work;
    for (auto& bucket : buckets) {
        if (bucket.size() < 2) {
            continue;
        }
        for (auto& candidate : bucket) {
            work.emplace_back(std::move(candidate), Result{});
        }
    }
    std::vector<std::size_t> order(work.size());
    std::iota(order.begin(), order.end(), 0);
    // Files the page cache does not hold are read in the order their data lies on the disk,
    // so the disk reads ahead instead of seeking between files. Cached ones are taken largest
    // first, so the last file hashed is a small one and the cores finish together.
    const bool cold = !work.empty() && !platform::isCached(work.front().first.item.path);
    if (cold) {
        std::vector<std::uint64_t> where(work.size());
        parallelFor(work.size(), [&](std::size_t i) {
            where[i] = platform::physicalOffset(work[i].first.item.path).value_or(0);
        });
        std::stable_sort(order.begin(), order.end(),
                         [&](std::size_t a, std::size_t b) { return where[a] < where[b]; });
    } else {
        std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
            return work[a].first.logicalSize > work[b].first.logicalSize;
        });
    }
    parallelFor(
        order.size(),
        [&](std::size_t i) {
            auto& [candidate, result] = work[order[i]];
            result = digest(candidate);
        },
        cold ? readersWhenCold : 0);
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
    std::vector<Candidate>().swap(candidates);

    // Equal head: the first 256 KiB of every file that shares its size with another. The
    // hashing's state after the head is kept, so the whole-file digest reads only the rest.
    OrderedBuckets<std::string> byHead;
    for (auto& [candidate, head] : digestShared(bySize.buckets(), [](const Candidate& c) {
             return platform::sha256OfHeadKept(c.item.path, headHashBytes);
         })) {
        if (head) {
            auto key = std::to_string(candidate.logicalSize) + "-" + head->digest;
            candidate.head = std::move(head);
            byHead.add(key, std::move(candidate));
        }
    }

    // Equal content: each set of files with one length and one head is read side by side
    // after the head. Only the first of a set is hashed (its digest names the group); the
    // others are compared with it byte for byte, and those that differ form a set of their
    // own. The sets are independent, so they are spread over the cores, largest first.
    auto& headBuckets = byHead.buckets();
    std::vector<std::size_t> shared;
    for (std::size_t k = 0; k < headBuckets.size(); ++k) {
        auto& bucket = headBuckets[k];
        // A file no longer than its head was read whole already, if it has not changed since.
        std::erase_if(bucket, [](const Candidate& c) {
            return c.head->wholeFile && FileTools::modificationDate(c.item.path) != c.item.modified;
        });
        if (bucket.size() >= 2) {
            shared.push_back(k);
        }
    }
    std::stable_sort(shared.begin(), shared.end(), [&](std::size_t a, std::size_t b) {
        return headBuckets[a].front().logicalSize *
                   static_cast<std::int64_t>(headBuckets[a].size()) >
               headBuckets[b].front().logicalSize *
                   static_cast<std::int64_t>(headBuckets[b].size());
    });
    struct Found {
        std::string digest;
        std::vector<Candidate> copies;
    };
    std::vector<std::vector<Found>> found(shared.size());
    // Files read beside the first at once: bounds the descriptors a set holds.
    constexpr std::size_t batch = 31;
    const bool cold =
        !shared.empty() && !platform::isCached(headBuckets[shared.front()].front().item.path);
    parallelFor(
        shared.size(),
        [&](std::size_t k) {
            auto pending = std::move(headBuckets[shared[k]]);
            while (pending.size() >= 2 && !stop.stop_requested()) {
                Found set;
                std::vector<Candidate> differ;
                bool firstReadable = true;
                for (std::size_t from = 1; from < pending.size() && firstReadable; from += batch) {
                    const auto to = std::min(pending.size(), from + batch);
                    std::vector<std::string> paths{pending[0].item.path};
                    std::vector<const platform::Sha256Head*> heads{&*pending[0].head};
                    for (auto i = from; i < to; ++i) {
                        paths.push_back(pending[i].item.path);
                        heads.push_back(&*pending[i].head);
                    }
                    const auto same = platform::compareWithFirst(paths, heads, hashChunkBytes);
                    if (!same.digest) {
                        firstReadable = false;
                        break;
                    }
                    set.digest = *same.digest;
                    for (auto i = from; i < to; ++i) {
                        (same.same[i - from + 1] ? set.copies : differ)
                            .push_back(std::move(pending[i]));
                    }
                }
                if (!firstReadable) {
                    // The first cannot be read to its end: the others are compared among
                    // themselves.
                    pending.erase(pending.begin());
                    continue;
                }
                if (!set.copies.empty()) {
                    set.copies.insert(set.copies.begin(), std::move(pending[0]));
                    found[k].push_back(std::move(set));
                }
                pending = std::move(differ);
            }
        },
        cold ? readersWhenCold : 0);
    if (stop.stop_requested()) {
        result.cancelled = true;
    }
    // Groups in the order their sets were met, so the result does not depend on the cores.
    std::vector<std::size_t> byBucket(shared.size());
    std::iota(byBucket.begin(), byBucket.end(), 0);
    std::sort(byBucket.begin(), byBucket.end(),
              [&](std::size_t a, std::size_t b) { return shared[a] < shared[b]; });
    for (const auto k : byBucket) {
        for (auto& set : found[k]) {
            DuplicateGroup group;
            group.id = group.hash = set.digest;
            group.files.reserve(set.copies.size());
            for (auto& candidate : set.copies) {
                group.files.push_back(std::move(candidate.item));
            }
            std::stable_sort(
                group.files.begin(), group.files.end(),
                [](const ScanItem& a, const ScanItem& b) { return a.modified > b.modified; });
            // What removing one copy surely frees: copies may take different space on the disk.
            group.size = std::min_element(
                             group.files.begin(), group.files.end(),
                             [](const ScanItem& a, const ScanItem& b) { return a.size < b.size; })
                             ->size;
            result.groups.push_back(std::move(group));
        }
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
