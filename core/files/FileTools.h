#pragma once

// Single questions about one path. Every function fails soft: a path that cannot be examined
// gives a neutral answer (size 0, link count 1, not a link, not a package, the distant past).

#include <cstdint>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Date.h"

namespace kelvane::FileTools {

// fnmatch(3): case-sensitive, a leading "." needs no special match, and "*" and "?" match
// "/" too unless `slash` is literal (then only a "/" in the pattern matches one).
enum class GlobSlash { wildcard, literal };
bool glob(const std::string& pattern, const std::string& text,
          GlobSlash slash = GlobSlash::wildcard);

// Disk space of the entry: a file's allocated size, a real folder's sum over its regular files
// (links and package contents below it are not counted), 0 for links and anything unreadable.
// A stop request ends a folder's walk early with the sum so far.
std::int64_t allocatedSize(const std::string& path, std::stop_token stop = {});

// A whole item at once: its allocated size (as allocatedSize) and the newest modification date
// of the item or anything inside it — a folder whose own date is old can hold files written
// today, and is then in use, not old. One walk for both.
struct ItemSummary {
    // A file with several names counts once, however many of its names lie inside.
    std::int64_t allocatedSize = 0;
    // What moving the item away frees: files with a name outside the item keep their data
    // there, so they are left out.
    std::int64_t freeableSize = 0;
    Date newestModification = distantPast();
    // Folders inside (or the item itself) that could not be listed or entered.
    std::int64_t unreadableFolders = 0;
    // Syncthing's marker lies somewhere inside: part of the item is synced with other devices.
    bool holdsSyncMarker = false;
    // Every file with more than one name, once, so that sums over several items can count
    // shared data once too.
    struct LinkedFile {
        std::uint64_t device = 0;
        std::uint64_t inode = 0;
        std::int64_t allocatedSize = 0;
    };
    std::vector<LinkedFile> linkedFiles;
};
// `workers`: the walk's threads (0: one per core); 1 walks on the calling thread alone, for
// the many small items of a junk scan.
ItemSummary summarize(const std::string& path, std::stop_token stop = {}, unsigned workers = 1);
std::int64_t linkCount(const std::string& path);
bool isSymbolicLink(const std::string& path);
bool isPackage(const std::string& path);
Date modificationDate(const std::string& path);
// Following links, so a dangling link counts as absent.
bool exists(const std::string& path);
bool isDirectory(const std::string& path);
// A folder that exists but that this user may not list or enter (access(2), so it answers for
// the user Kelvane runs as).
bool isUnreadableFolder(const std::string& path);
// 1 for anything but a folder; otherwise the regular files below it, package contents not
// entered.
std::int64_t fileCount(const std::string& path);

}  // namespace kelvane::FileTools
