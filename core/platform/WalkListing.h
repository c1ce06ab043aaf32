#pragma once

// What the two walks share about a folder's listing.

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"

namespace kelvane::platform::listing {

// The entry type a listing gives (d_type); `unknown` when the file system does not say.
inline EntryType typeOf(unsigned char dtype) {
    switch (dtype) {
        case DT_REG:
            return EntryType::regular;
        case DT_DIR:
            return EntryType::directory;
        case DT_LNK:
            return EntryType::symbolicLink;
        case DT_UNKNOWN:
            return EntryType::unknown;
        default:
            return EntryType::other;
    }
}

// "." and "..", which every listing has and no walk visits.
inline bool isSelfOrParent(const char* name) {
    return name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0));
}

// One entry of a folder's listing, its name kept in a shared buffer of NUL-terminated names.
struct Listed {
    std::uint32_t offset;  // into the names buffer
    std::uint16_t length;
    unsigned char dtype;
};

// Adds one name the listing gave, unless the walk leaves it out ("." and "..", hidden names
// when asked).
inline void add(const char* name, unsigned char dtype, bool skipHidden, std::string& names,
                std::vector<Listed>& entries) {
    if (isSelfOrParent(name) || (skipHidden && name[0] == '.')) {
        return;
    }
    const auto length = std::strlen(name);
    entries.push_back(Listed{static_cast<std::uint32_t>(names.size()),
                             static_cast<std::uint16_t>(length), dtype});
    names.append(name, length + 1);
}

// Fills what the walk tells of `name` in the open folder `folderFd` (its path and name are
// already in `entry`): the type from the listing, the values when asked or when the listing
// does not give the type. False, with errno set, when the values could not be read.
inline bool describe(WalkEntry& entry, int folderFd, const char* name, unsigned char dtype,
                     bool readValues, std::uint64_t rootDevice) {
    bool read = true;
    entry.values = EntryValues{};
    entry.values.type = typeOf(dtype);
    entry.valuesRead = false;
    if (readValues || entry.values.type == EntryType::unknown) {
        struct stat st {};
        if (::fstatat(folderFd, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
            entry.values = valuesFromStat(st);
            entry.valuesRead = true;
        } else {
            read = false;
        }
    }
    entry.isPackage = entry.values.isDirectory() && hasPackageExtension(entry.name);
    entry.isMountPoint =
        entry.valuesRead && entry.values.isDirectory() && entry.values.device != rootDevice;
    return read;
}

}  // namespace kelvane::platform::listing
