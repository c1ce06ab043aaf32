// Restore, permanent deletion and expiry of quarantine batches.

#include <filesystem>

#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"
#include "platform/SafeMove.h"
#include "platform/Uuid.h"
#include "quarantine/QuarantineStore.h"

namespace kelvane {

namespace {

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

// Moves `name` inside `fromFolder` to `to`, opening both folders without following links.
std::error_code moveBetween(const std::string& fromFolder, const std::string& name,
                            const std::string& to) {
    std::error_code error;
    const auto source =
        platform::openFolderNoFollow(platform::resolveSymbolicLinks(fromFolder), error);
    if (!source) {
        return error;
    }
    const auto target = platform::openFolderNoFollow(
        platform::resolveSymbolicLinks(path::deletingLastComponent(to)), error);
    if (!target) {
        return error;
    }
    return platform::moveAt(source.fd(), name, target.fd(), std::string(path::lastComponent(to)));
}

}  // namespace

std::string QuarantineStore::availableDestination(const std::string& p) {
    if (!somethingAt(p)) {
        return p;
    }
    const auto folder = path::deletingLastComponent(p);
    const std::string last(path::lastComponent(p));
    // A name like ".profile" has no extension: the whole name is the base.
    const auto dot = last.rfind('.');
    const bool hasExtension = dot != std::string::npos && dot > 0;
    const auto base = hasExtension ? last.substr(0, dot) : last;
    const auto extension = hasExtension ? last.substr(dot + 1) : std::string{};
    for (int n = 2; n <= 999; ++n) {
        auto name = base + " (restored " + std::to_string(n) + ")";
        if (!extension.empty()) {
            name += "." + extension;
        }
        auto candidate = path::appending(folder, name);
        if (!somethingAt(candidate)) {
            return candidate;
        }
    }
    return path::appending(folder, base + " (restored " + platform::makeUUID().substr(0, 4) + ")");
}

void QuarantineStore::move(const std::string& from, const std::string& to) {
    const auto source = path::standardize(from);
    if (auto error = moveBetween(path::deletingLastComponent(source),
                                 std::string(path::lastComponent(source)), path::standardize(to))) {
        throw FileSystemError("“" + std::string(path::lastComponent(source)) +
                                  "” could not be moved: " + platform::moveErrorReason(error) + ".",
                              error);
    }
}

RestoreResult QuarantineStore::restore(const std::optional<std::set<std::string>>& batchIDs) const {
    RestoreResult result;
    std::optional<platform::FileLock> lock;
    try {
        lock.emplace(lockFile());
    } catch (const std::exception&) {
        // No quarantine folder to lock means no batches either; the steps below find none.
    }
    auto list = readIndex();
    for (auto& batch : list) {
        if (batchIDs && !batchIDs->contains(batch.id)) {
            continue;
        }
        const auto payload = path::appending(batchFolder(batch.id), "payload");
        for (auto& entry : batch.items) {
            if (entry.restoredAt || entry.failure) {
                continue;
            }
            if (!somethingAt(path::appending(payload, entry.storedName))) {
                entry.failure = missingCopyFailure;
                result.failed.push_back(QuarantineError::restoreFailed(entry.originalPath).what());
                continue;
            }
            const auto destination = availableDestination(entry.originalPath);
            std::error_code error;
            std::filesystem::create_directories(path::deletingLastComponent(destination), error);
            if (!error) {
                error = moveBetween(payload, entry.storedName, destination);
            }
            if (error) {
                entry.failure = sentence(platform::moveErrorReason(error));
                result.failed.push_back(QuarantineError::restoreFailed(entry.originalPath).what());
                continue;
            }
            entry.restoredAt = std::chrono::floor<std::chrono::seconds>(now());
            ++result.restored;
        }
    }
    try {
        save(list);
    } catch (const std::exception&) {
        // The items are back; a record that could not be rewritten only shows them as waiting.
    }
    return result;
}

void QuarantineStore::deletePermanently(const std::string& batchID) const {
    const auto folder = batchFolder(batchID);
    std::error_code made;
    std::filesystem::create_directories(root, made);
    const platform::FileLock lock(lockFile());
    if (somethingAt(folder)) {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
        if (error) {
            throw FileSystemError(
                "The batch could not be deleted: " + platform::moveErrorReason(error) + ".", error);
        }
    }
    auto list = readIndex();
    std::erase_if(list, [&](const QuarantineBatch& batch) { return batch.id == batchID; });
    save(list);
}

std::int64_t QuarantineStore::purgeExpired(Date nowDate) const {
    if (!somethingAt(root)) {
        return 0;
    }
    std::optional<platform::FileLock> lock;
    try {
        lock.emplace(lockFile());
    } catch (const std::exception&) {
        return 0;
    }
    auto list = readIndex();
    if (list.empty()) {
        return 0;
    }
    std::int64_t purged = 0;
    std::vector<QuarantineBatch> kept;
    for (auto& batch : list) {
        if (batch.expiresAt < nowDate) {
            std::error_code error;
            std::filesystem::remove_all(batchFolder(batch.id), error);
            ++purged;
        } else {
            kept.push_back(std::move(batch));
        }
    }
    if (purged > 0) {
        try {
            save(kept);
        } catch (const std::exception&) {
            // Purging is housekeeping; the next start tries again.
        }
    }
    return purged;
}

}  // namespace kelvane
