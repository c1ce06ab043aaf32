#include "files/FileTools.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <set>
#include <utility>

#include <fnmatch.h>

#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"
#include "support/Saturating.h"

namespace kelvane::FileTools {

using platform::entryValues;

bool glob(const std::string& pattern, const std::string& text) {
    return ::fnmatch(pattern.c_str(), text.c_str(), 0) == 0;
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
        return summary;
    }
    // A file with several names inside the folder takes its space once (du does the same).
    std::set<std::pair<std::uint64_t, std::uint64_t>> linked;
    platform::WalkOptions options;
    options.stop = std::move(stop);
    platform::walkDirectory(path, options, [&](const platform::WalkEntry& entry) {
        if (!entry.valuesRead) {
            return platform::WalkAction::proceed;
        }
        summary.newestModification = std::max(summary.newestModification, entry.values.modified);
        if (entry.values.isRegularFile() &&
            (entry.values.linkCount < 2 ||
             linked.emplace(entry.values.device, entry.values.inode).second)) {
            summary.allocatedSize =
                saturatingAdd(summary.allocatedSize, entry.values.allocatedSize);
        }
        return platform::WalkAction::proceed;
    });
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
