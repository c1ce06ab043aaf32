#pragma once

// Single-path questions to the file system, answered from lstat/stat, and the link
// resolution and package test that the rest of the core builds on.

#include <sys/stat.h>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Date.h"

namespace kelvane::platform {

enum class EntryType : std::uint8_t { regular, directory, symbolicLink, other, unknown };

// The per-entry values a caller can ask for. Sizes: allocated = st_blocks × 512 (the platform
// has no separate "total allocated" figure), logical = st_size.
struct EntryValues {
    EntryType type = EntryType::unknown;
    std::int64_t allocatedSize = 0;
    std::int64_t logicalSize = 0;
    Date modified = distantPast();
    Date accessed = distantPast();
    std::uint64_t linkCount = 1;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    bool isRegularFile() const { return type == EntryType::regular; }
    bool isDirectory() const { return type == EntryType::directory; }
    bool isSymbolicLink() const { return type == EntryType::symbolicLink; }
};

EntryValues valuesFromStat(const struct stat& st);

// lstat (followLinks false) or stat of the path; nothing when it fails.
std::optional<EntryValues> entryValues(const std::string& path, bool followLinks);

// A folder name whose extension, lower-cased, marks a bundle the user sees as one file.
bool hasPackageExtension(std::string_view name);

// The path made absolute and standardised with every symbolic link in it resolved. The
// longest existing prefix is resolved and the rest appended, so paths that do not exist
// yet resolve too. A link loop leaves the rest of the path unresolved.
std::string resolveSymbolicLinks(std::string_view path);
// The same, but nothing as soon as a link is met that `mayFollow` refuses.
std::optional<std::string> resolveSymbolicLinksWhere(
    std::string_view path, const std::function<bool(const struct stat& link)>& mayFollow);

struct VolumeCapacity {
    std::int64_t available = 0;
    std::int64_t total = 0;
};
// statvfs of the volume holding the path.
std::optional<VolumeCapacity> volumeCapacity(const std::string& path);

}  // namespace kelvane::platform
