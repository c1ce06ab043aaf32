// Restore, permanent deletion and expiry of quarantine batches.

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

#include "files/AppPaths.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/OpenFolder.h"
#include "platform/PathText.h"
#include "platform/SafeMove.h"
#include "platform/TreeCopy.h"
#include "platform/Uuid.h"
#include "quarantine/QuarantineStore.h"
#include "quarantine/RestoreJournal.h"

namespace kelvane {

namespace {

constexpr std::string_view deletingPrefix = ".deleting-";
constexpr std::string_view temporaryPrefix = ".kelvane-restore-";
constexpr int lastNumberedName = 999;

bool somethingAt(const std::string& path) {
    return platform::entryValues(path, false).has_value();
}

std::string sentence(const std::string& reason) {
    auto text = reason;
    if (!text.empty()) {
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    }
    if (text.empty() || text.back() != '.') {
        text += '.';
    }
    return text;
}

bool isTaken(const std::error_code& error) {
    return error.category() == std::generic_category() && error.value() == EEXIST;
}

// The names a restore tries in the destination folder, in order: the original name, then
// "name (restored N).ext", then one with a random tag that is not checked in advance.
std::string candidateName(const std::string& name, int n) {
    if (n == 1) {
        return name;
    }
    if (n <= lastNumberedName) {
        return QuarantineStore::restoredName(name, n);
    }
    const auto dot = name.rfind('.');
    const auto base = dot != std::string::npos && dot > 0 ? name.substr(0, dot) : name;
    return base + " (restored " + platform::makeUUID().substr(0, 4) + ")";
}

struct Restorer {
    RestoreJournal& journal;
    const QuarantineEntry& entry;
    int payload;
    Date batchCreated;

    // Nothing when the entry is back in place; otherwise why not.
    std::optional<std::string> run() {
        const auto destination = path::standardize(entry.originalPath);
        const std::string name(path::lastComponent(destination));
        if (entry.originalPath.empty() || entry.originalPath.front() != '/' ||
            !isSingleComponent(name)) {
            return "The original place is not a usable path.";
        }
        // Links on the way that were there when the item left are followed, as the clean
        // followed them; a link made since (a folder replaced by one) is not. The item's own
        // change time in the payload is that moment, to the nanosecond.
        struct stat storedStat {};
        const auto cutoff =
            ::fstatat(payload, entry.storedName.c_str(), &storedStat, AT_SYMLINK_NOFOLLOW) == 0
                ? dateFromTimespec(storedStat.st_ctim)
                : batchCreated + std::chrono::seconds(1);
        const auto folderPath = platform::resolveSymbolicLinksWhere(
            path::deletingLastComponent(destination),
            [&](const struct stat& link) { return dateFromTimespec(link.st_ctim) < cutoff; });
        if (!folderPath) {
            return "A folder on its way was replaced by a symbolic link after the clean, so "
                   "nothing was put there.";
        }
        std::error_code error;
        const auto folder = platform::openOrCreateFolderNoFollow(*folderPath, 0777, error);
        if (!folder) {
            return sentence(platform::moveErrorReason(error));
        }
        const auto stored = platform::identityAt(payload, entry.storedName);
        for (int n = 1; n <= lastNumberedName + 1; ++n) {
            const auto candidate = candidateName(name, n);
            if (n <= lastNumberedName && platform::existsAt(folder.fd(), candidate)) {
                continue;
            }
            if (!journal.restoring(entry.id, path::appending(*folderPath, candidate), stored,
                                   std::nullopt)) {
                return "The restore could not be recorded, so the item was left in quarantine.";
            }
            error = platform::renameNoReplace(payload, entry.storedName, folder.fd(), candidate);
            if (!error) {
                journal.restored(entry.id, std::chrono::floor<std::chrono::seconds>(now()));
                return std::nullopt;
            }
            if (isTaken(error)) {
                continue;  // taken since the look: the next name
            }
            if (error.value() == EXDEV && error.category() == std::generic_category()) {
                return byCopy(folder.fd(), *folderPath, name, n);
            }
            return sentence(platform::moveErrorReason(error));
        }
        return sentence(platform::moveErrorReason(std::make_error_code(std::errc::file_exists)));
    }

    // Across file systems: a copy under a hidden temporary name, renamed to a free name only
    // once whole, so no partial file ever stands at a name the user sees.
    std::optional<std::string> byCopy(int folder, const std::string& folderPath,
                                      const std::string& name, int firstCandidate) {
        const auto temporary = std::string(temporaryPrefix) + platform::makeUUID().substr(0, 8);
        if (!journal.restoring(entry.id, path::appending(folderPath, name), std::nullopt,
                               temporary)) {
            return "The restore could not be recorded, so the item was left in quarantine.";
        }
        if (auto error = platform::copyTree(payload, entry.storedName, folder, temporary)) {
            return sentence(platform::moveErrorReason(error));
        }
        const auto copy = platform::identityAt(folder, temporary);
        for (int n = firstCandidate; n <= lastNumberedName + 1; ++n) {
            const auto candidate = candidateName(name, n);
            if (n <= lastNumberedName && platform::existsAt(folder, candidate)) {
                continue;
            }
            if (!copy || !journal.restoring(entry.id, path::appending(folderPath, candidate), copy,
                                            temporary)) {
                platform::removeTree(folder, temporary);
                return "The restore could not be recorded, so the item was left in quarantine.";
            }
            const auto error = platform::renameNoReplace(folder, temporary, folder, candidate);
            if (!error) {
                journal.restored(entry.id, std::chrono::floor<std::chrono::seconds>(now()));
                // The item is back; the spare copy goes with the batch if it resists now.
                platform::removeTree(payload, entry.storedName);
                return std::nullopt;
            }
            if (!isTaken(error)) {
                platform::removeTree(folder, temporary);
                return sentence(platform::moveErrorReason(error));
            }
        }
        platform::removeTree(folder, temporary);
        return sentence(platform::moveErrorReason(std::make_error_code(std::errc::file_exists)));
    }
};

}  // namespace

std::string QuarantineStore::restoredName(const std::string& name, int n) {
    // A name like ".profile" has no extension: the whole name is the base.
    const auto dot = name.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const auto base = hasExtension ? name.substr(0, dot) : name;
    auto candidate = base + " (restored " + std::to_string(n) + ")";
    if (hasExtension && dot + 1 < name.size()) {
        candidate += name.substr(dot);
    }
    return candidate;
}

std::string QuarantineStore::availableDestination(const std::string& p) {
    if (!somethingAt(p)) {
        return p;
    }
    const auto folder = path::deletingLastComponent(p);
    const std::string last(path::lastComponent(p));
    for (int n = 2; n <= lastNumberedName + 1; ++n) {
        auto candidate = path::appending(folder, candidateName(last, n));
        if (n > lastNumberedName || !somethingAt(candidate)) {
            return candidate;
        }
    }
    return p;
}

RestoreResult QuarantineStore::restore(const std::optional<std::set<std::string>>& batchIDs) const {
    RestoreResult result;
    AppPaths::ensureSupportDirectory();
    const platform::FileLock lock(lockFile());
    auto list = readIndex(true);
    for (auto& batch : list) {
        if (batchIDs && !batchIDs->contains(batch.id)) {
            continue;
        }
        const auto folder = batchFolder(batch.id);
        std::error_code error;
        const auto payload = platform::openFolderNoFollow(
            platform::resolveSymbolicLinks(path::appending(folder, "payload")), error);
        std::unique_ptr<RestoreJournal> journal;
        for (auto& entry : batch.items) {
            if (entry.restoredAt) {
                continue;  // only "restored" is final; a failure is tried again
            }
            if (!payload || !platform::existsAt(payload.fd(), entry.storedName)) {
                entry.failure = missingCopyFailure;
                result.failed.push_back(QuarantineError::restoreFailed(entry.originalPath).what());
                continue;
            }
            std::optional<std::string> failure;
            try {
                if (!journal) {
                    journal = std::make_unique<RestoreJournal>(folder);
                }
                failure = Restorer{*journal, entry, payload.fd(), batch.createdAt}.run();
            } catch (const std::exception& problem) {
                failure = sentence(problem.what());
            }
            if (failure) {
                entry.failure = *failure;
                result.failed.push_back(QuarantineError::restoreFailed(entry.originalPath).what());
                continue;
            }
            entry.restoredAt = std::chrono::floor<std::chrono::seconds>(now());
            entry.failure.reset();
            ++result.restored;
        }
    }
    try {
        saveAndSettle(list);
    } catch (const std::exception&) {
        // The restore journals keep what is back; the next reader of the index applies them.
    }
    return result;
}

void QuarantineStore::deletePermanently(const std::string& batchID) const {
    batchFolder(batchID);  // refuses a text that is not a batch ID
    AppPaths::ensureSupportDirectory();
    const platform::FileLock lock(lockFile());
    auto list = readIndex(true);
    std::error_code error;
    const auto rootFolder = openRoot(error);
    if (!rootFolder) {
        throw FileSystemError::creatingFolder(root, error);
    }
    // Renamed out of the way first: a deletion that dies half-way is then finished by the next
    // reader instead of leaving a listed batch with half its files.
    const auto deleting = std::string(deletingPrefix) + batchID;
    auto fail = [](std::error_code why) {
        throw FileSystemError(
            "The batch could not be deleted: " + platform::moveErrorReason(why) + ".", why);
    };
    if (platform::existsAt(rootFolder.fd(), batchID)) {
        error = platform::renameNoReplace(rootFolder.fd(), batchID, rootFolder.fd(), deleting);
        if (error) {
            fail(error);
        }
        // Its contents go; the emptied folder stays as the mark until the index is written.
        const auto marked = platform::openFolderNoFollow(
            path::appending(platform::resolveSymbolicLinks(root), deleting), error);
        for (const auto& name : platform::listDirectory(
                                    path::appending(platform::resolveSymbolicLinks(root), deleting))
                                    .value_or(std::vector<std::string>{})) {
            if (auto removeError = marked ? platform::removeTree(marked.fd(), name) : error;
                removeError) {
                platform::renameNoReplace(rootFolder.fd(), deleting, rootFolder.fd(), batchID);
                fail(removeError);
            }
        }
    }
    std::erase_if(list, [&](const QuarantineBatch& batch) { return batch.id == batchID; });
    saveAndSettle(list);
    platform::removeTree(rootFolder.fd(), deleting);
}

std::int64_t QuarantineStore::purgeExpired(Date nowDate) const {
    if (!somethingAt(root)) {
        return 0;
    }
    std::optional<platform::FileLock> lock;
    try {
        // Housekeeping never waits: while another operation runs, the next start purges.
        lock.emplace(lockFile(), platform::FileLock::TryOnly{});
    } catch (const std::exception&) {
        return 0;
    }
    if (!lock->held()) {
        return 0;
    }
    auto list = readIndex(true);
    if (list.empty()) {
        return 0;
    }
    std::error_code error;
    const auto rootFolder = openRoot(error);
    std::int64_t purged = 0;
    std::vector<QuarantineBatch> kept;
    std::vector<std::string> marked;
    for (auto& batch : list) {
        if (batch.expiresAt < nowDate) {
            const auto deleting = std::string(deletingPrefix) + batch.id;
            if (rootFolder && platform::existsAt(rootFolder.fd(), batch.id) &&
                !platform::renameNoReplace(rootFolder.fd(), batch.id, rootFolder.fd(), deleting)) {
                marked.push_back(deleting);
            }
            ++purged;
        } else {
            kept.push_back(std::move(batch));
        }
    }
    if (purged > 0) {
        try {
            saveAndSettle(kept);
        } catch (const std::exception&) {
            // The marked folders say what was purged; the next reader drops them.
        }
    }
    for (const auto& name : marked) {
        platform::removeTree(rootFolder.fd(), name);
    }
    return purged;
}

}  // namespace kelvane
