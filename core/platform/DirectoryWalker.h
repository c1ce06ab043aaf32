#pragma once

// One-pass deep enumeration of a folder: the base of every walk Kelvane makes.
//
// Folders are opened relative to their parent (openat) and entries are queried relative to the
// open folder (fstatat), so no whole path is looked up per entry and paths longer than
// PATH_MAX still work. Links are never followed, hidden entries are included unless asked
// otherwise, package contents are skipped, unreadable entries are reported to the error handler
// and passed over, and a folder already open further up (a bind-mount loop) is not entered
// again. Only a bounded number of folders stay open however deep the tree goes: a folder's
// listing is read whole when it is opened, and one whose descriptor was given up is opened
// again through ".." of its child and checked to be the same folder.

#include <cstdint>
#include <functional>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "platform/FileSystem.h"

namespace kelvane::platform {

struct WalkEntry {
    std::string_view path;  // root + "/" + relative path; valid only during the visit
    std::string_view name;
    int depth = 1;  // 1 for the root's own children
    // False when the values could not be read (fstatat failed); then only `values.type` may be
    // known, from the listing.
    bool valuesRead = false;
    bool isPackage = false;
    // A folder on another file system than the walk's root (something mounted there).
    bool isMountPoint = false;
    EntryValues values;
};

enum class WalkAction { proceed, skipDescendants, stop };
enum class WalkOutcome { completed, stopped, cancelled, unreadableRoot };

struct WalkOptions {
    // Read the full values of every entry. Without it the type comes from the listing and
    // the entry is only queried when the file system does not tell.
    bool readValues = true;
    bool skipPackageDescendants = true;
    bool skipHidden = false;
    // Like du -x and find -xdev: a mount point is visited but not entered, so a network share
    // or another disk mounted inside is never counted, offered or hashed as this one's.
    bool stayOnFileSystem = true;
    // Descriptors held at once, the root's included; kept far below the usual limit of 1,024
    // so that deep trees and walks running side by side never run out.
    std::size_t maxOpenFolders = 48;
    // When set, counts the folders below the root that could not be listed or entered.
    std::int64_t* unreadableFolders = nullptr;
    std::stop_token stop;
};

using WalkVisitor = std::function<WalkAction(const WalkEntry&)>;
using WalkErrorHandler = std::function<void(std::string_view path, int error)>;

// Visits every entry below `root` (not the root itself) in pre-order, each folder's entries in
// the order the file system lists them. The root itself may be reached through a link.
// Cancellation is checked before every entry.
WalkOutcome walkDirectory(std::string_view root, const WalkOptions& options,
                          const WalkVisitor& visit, const WalkErrorHandler& onError = {});

// The same walk on `workers` threads (0: twice the cores, at least 4, at most 8), for scans whose
// result does not depend on the order of the visits. Each folder is listed by one worker, its
// entries are visited by that worker in listing order, and its subfolders are handed to whichever
// worker is free, so folders are visited in no fixed order relative to each other. `visit` is
// called from several threads at once with the worker's number (0 ..< workers actually started), so
// a scan keeps one accumulator per worker and merges them afterwards; `onError` is called under a
// lock. Every folder is opened beneath the root without following any link and accepted only when
// it is the folder its parent listed; a worker holds two descriptors at most, so depth and the
// descriptor limit do not matter. Cancellation and WalkAction::stop end the walk within one entry
// per worker.
using ParallelWalkVisitor = std::function<WalkAction(const WalkEntry&, unsigned worker)>;
WalkOutcome walkDirectoryInParallel(std::string_view root, const WalkOptions& options,
                                    unsigned workers, const ParallelWalkVisitor& visit,
                                    const WalkErrorHandler& onError = {});
// How many workers walkDirectoryInParallel starts for `workers` (0: twice the cores, at least
// 4, at most 8).
unsigned parallelWalkWorkers(unsigned workers);

// The names directly inside a folder, hidden ones included, in listing order; nothing when
// the folder cannot be listed.
std::optional<std::vector<std::string>> listDirectory(const std::string& path);

}  // namespace kelvane::platform
