#include "files/FileTools.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <utility>

#include <fnmatch.h>

#include "files/SyncedFolders.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"
#include "support/Saturating.h"

namespace kelvane::FileTools {

using platform::entryValues;

bool glob(const std::string& pattern, const std::string& text, GlobSlash slash) {
    return ::fnmatch(pattern.c_str(), text.c_str(),
                     slash == GlobSlash::literal ? FNM_PATHNAME : 0) == 0;
}

std::int64_t allocatedSize(const std::string& path, std::stop_token stop) {
    return summarize(path, std::move(stop)).allocatedSize;
}

ItemSummary summarize(const std::string& path, std::stop_token stop) {
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
    // it is freed only when all of its names are inside.
    struct NamesInside {
        std::uint64_t linkCount;
        std::uint64_t seen;
        std::int64_t allocatedSize;
    };
    std::map<std::pair<std::uint64_t, std::uint64_t>, NamesInside> linked;
    platform::WalkOptions options;
    options.stop = std::move(stop);
    options.unreadableFolders = &summary.unreadableFolders;
    const auto outcome =
        platform::walkDirectory(path, options, [&](const platform::WalkEntry& entry) {
            if (!entry.valuesRead) {
                return platform::WalkAction::proceed;
            }
            const auto& values = entry.values;
            summary.newestModification = std::max(summary.newestModification, values.modified);
            summary.holdsSyncMarker |= entry.name == SyncedFolders::syncMarkerName;
            if (!values.isRegularFile()) {
                return platform::WalkAction::proceed;
            }
            if (values.linkCount < 2) {
                summary.allocatedSize = saturatingAdd(summary.allocatedSize, values.allocatedSize);
                summary.freeableSize = saturatingAdd(summary.freeableSize, values.allocatedSize);
                return platform::WalkAction::proceed;
            }
            auto [it, first] =
                linked.try_emplace({values.device, values.inode},
                                   NamesInside{values.linkCount, 0, values.allocatedSize});
            ++it->second.seen;
            if (first) {
                summary.allocatedSize = saturatingAdd(summary.allocatedSize, values.allocatedSize);
            }
            return platform::WalkAction::proceed;
        });
    if (outcome == platform::WalkOutcome::unreadableRoot) {
        summary.unreadableFolders = 1;
    }
    for (const auto& [identity, file] : linked) {
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
