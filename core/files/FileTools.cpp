#include "files/FileTools.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string_view>
#include <utility>

#include <fnmatch.h>

#include "files/SyncedFolders.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"
#include "support/Saturating.h"

namespace kelvane::FileTools {

using platform::entryValues;

bool glob(const std::string& pattern, const std::string& text, GlobSlash slash) {
    // The shapes nearly every rule uses ("name", "*.log", "prefix*") are matched directly: a
    // junk scan tries each rule's patterns on every entry, and fnmatch measures both texts on
    // every call. Anything else goes to fnmatch, whose meaning these shortcuts keep.
    const std::string_view p(pattern);
    const std::string_view t(text);
    const auto isSpecial = [](char c) { return c == '*' || c == '?' || c == '[' || c == '\\'; };
    const auto firstSpecial = [&](std::size_t from) {
        for (auto i = from; i < p.size(); ++i) {
            if (isSpecial(p[i])) {
                return i;
            }
        }
        return std::string_view::npos;
    };
    const auto first = firstSpecial(0);
    const bool literalSlash = slash == GlobSlash::literal;
    if (first == std::string_view::npos) {
        return p == t;
    }
    if (first == 0 && p.size() > 1 && firstSpecial(1) == std::string_view::npos) {
        const auto suffix = p.substr(1);
        return t.ends_with(suffix) &&
               (!literalSlash ||
                t.substr(0, t.size() - suffix.size()).find('/') == std::string_view::npos);
    }
    if (first == p.size() - 1 && p.back() == '*') {
        const auto prefix = p.substr(0, first);
        return t.starts_with(prefix) &&
               (!literalSlash || t.find('/', prefix.size()) == std::string_view::npos);
    }
    return ::fnmatch(pattern.c_str(), text.c_str(), literalSlash ? FNM_PATHNAME : 0) == 0;
}

std::int64_t allocatedSize(const std::string& path, std::stop_token stop) {
    return summarize(path, std::move(stop)).allocatedSize;
}

ItemSummary summarize(const std::string& path, std::stop_token stop, unsigned workers) {
    ItemSummary summary;
    const auto own = entryValues(path, false);
    if (!own) {
        return summary;
    }
    summary.newestModification = own->modified;
    if (own->isSymbolicLink()) {
        return summary;
    }
    if (!own->isDirectory()) {
        summary.allocatedSize = own->allocatedSize;
        if (own->linkCount > 1) {
            summary.linkedFiles.push_back({own->device, own->inode, own->allocatedSize});
        } else {
            summary.freeableSize = own->allocatedSize;
        }
        return summary;
    }
    // A file with several names inside the folder takes its space once (du does the same);
    // it is freed only when all of its names are inside. Each worker of the walk keeps its
    // own tally; they are merged after, so the sums do not depend on who saw what.
    struct NamesInside {
        std::uint64_t linkCount;
        std::uint64_t seen;
        std::int64_t allocatedSize;
    };
    struct Tally {
        std::int64_t singleNamed = 0;
        Date newest = distantPast();
        bool holdsSyncMarker = false;
        std::map<std::pair<std::uint64_t, std::uint64_t>, NamesInside> linked;
    };
    const unsigned count = platform::parallelWalkWorkers(workers);
    std::vector<Tally> tallies(count);
    platform::WalkOptions options;
    options.stop = std::move(stop);
    options.unreadableFolders = &summary.unreadableFolders;
    const auto outcome = platform::walkDirectoryInParallel(
        path, options, count, [&](const platform::WalkEntry& entry, unsigned worker) {
            if (!entry.valuesRead) {
                return platform::WalkAction::proceed;
            }
            auto& tally = tallies[worker];
            const auto& values = entry.values;
            tally.newest = std::max(tally.newest, values.modified);
            tally.holdsSyncMarker |= entry.name == SyncedFolders::syncMarkerName;
            if (!values.isRegularFile()) {
                return platform::WalkAction::proceed;
            }
            if (values.linkCount < 2) {
                tally.singleNamed = saturatingAdd(tally.singleNamed, values.allocatedSize);
                return platform::WalkAction::proceed;
            }
            auto [it, first] =
                tally.linked.try_emplace({values.device, values.inode},
                                         NamesInside{values.linkCount, 0, values.allocatedSize});
            ++it->second.seen;
            return platform::WalkAction::proceed;
        });
    if (outcome == platform::WalkOutcome::unreadableRoot) {
        summary.unreadableFolders = 1;
    }
    std::map<std::pair<std::uint64_t, std::uint64_t>, NamesInside> linked;
    for (auto& tally : tallies) {
        summary.allocatedSize = saturatingAdd(summary.allocatedSize, tally.singleNamed);
        summary.freeableSize = saturatingAdd(summary.freeableSize, tally.singleNamed);
        summary.newestModification = std::max(summary.newestModification, tally.newest);
        summary.holdsSyncMarker |= tally.holdsSyncMarker;
        for (const auto& [identity, file] : tally.linked) {
            auto [it, first] = linked.try_emplace(identity, file);
            if (!first) {
                it->second.seen += file.seen;
            }
        }
    }
    for (const auto& [identity, file] : linked) {
        summary.allocatedSize = saturatingAdd(summary.allocatedSize, file.allocatedSize);
        summary.linkedFiles.push_back({identity.first, identity.second, file.allocatedSize});
        if (file.seen >= file.linkCount) {
            summary.freeableSize = saturatingAdd(summary.freeableSize, file.allocatedSize);
        }
    }
    return summary;
}

std::int64_t linkCount(const std::string& path) {
    const auto values = entryValues(path, false);
    return values ? static_cast<std::int64_t>(values->linkCount) : 1;
}

bool isSymbolicLink(const std::string& path) {
    const auto values = entryValues(path, false);
    return values && values->isSymbolicLink();
}

bool isPackage(const std::string& path) {
    const auto values = entryValues(path, false);
    return values && values->isDirectory() && platform::hasPackageExtension(path);
}

Date modificationDate(const std::string& path) {
    const auto values = entryValues(path, false);
    return values ? values->modified : distantPast();
}

bool exists(const std::string& path) {
    return entryValues(path, true).has_value();
}

bool isDirectory(const std::string& path) {
    const auto values = entryValues(path, true);
    return values && values->isDirectory();
}

bool isUnreadableFolder(const std::string& path) {
    return isDirectory(path) && ::access(path.c_str(), R_OK | X_OK) != 0 && errno == EACCES;
}

std::int64_t fileCount(const std::string& path) {
    if (!isDirectory(path)) {
        return 1;
    }
    std::int64_t count = 0;
    platform::WalkOptions options;
    options.readValues = false;
    platform::walkDirectory(path, options, [&count](const platform::WalkEntry& entry) {
        if (entry.values.isRegularFile()) {
            ++count;
        }
        return platform::WalkAction::proceed;
    });
    return count;
}

}  // namespace kelvane::FileTools
