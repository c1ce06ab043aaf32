#pragma once

// What the two walks share about a folder's listing.

#include <dirent.h>

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

}  // namespace kelvane::platform::listing
