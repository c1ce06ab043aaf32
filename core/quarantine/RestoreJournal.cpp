#include "quarantine/RestoreJournal.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"
#include "platform/TreeCopy.h"
#include "quarantine/JournalLines.h"

namespace kelvane {

namespace {

struct Attempt {
    std::string destination;
    std::optional<platform::FileIdentity> identity;
    std::optional<std::string> temporaryName;
    std::optional<Date> restoredAt;
};

}  // namespace

RestoreJournal::RestoreJournal(const std::string& batchFolder) {
    const auto file = path::appending(batchFolder, restoreJournalFileName);
    fd_ = ::open(file.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        throw FileSystemError::writing(file, {errno, std::generic_category()});
    }
}

RestoreJournal::~RestoreJournal() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

bool RestoreJournal::append(const json::Json& line) {
    return journal::appendLine(fd_, line, true);
}

bool RestoreJournal::restoring(const std::string& entryID, const std::string& destination,
                               const std::optional<platform::FileIdentity>& identity,
                               const std::optional<std::string>& temporaryName) {
    json::Json line{{"restoring", entryID}};
    json::putBytes(line, "to", destination);
    if (identity) {
        line["identity"] = journal::identityJson(*identity);
    }
    if (temporaryName) {
        line["temporary"] = *temporaryName;
    }
    return append(line);
}

bool RestoreJournal::copied(const std::string& entryID, const platform::FileIdentity& identity) {
    return append(json::Json{{"copied", entryID}, {"identity", journal::identityJson(identity)}});
}

bool RestoreJournal::restored(const std::string& entryID, Date at) {
    return append(json::Json{{"restored", entryID}, {"at", json::formatDate(at)}});
}

bool RestoreJournal::apply(const std::string& batchFolder, QuarantineBatch& batch, bool repair) {
    const auto file = path::appending(batchFolder, restoreJournalFileName);
    if (!platform::entryValues(file, false)) {
        return false;
    }
    std::string text;
    try {
        text = platform::readFile(file);
    } catch (const std::exception&) {
        return true;
    }
    std::map<std::string, Attempt> attempts;
    journal::forEachLine(text, [&](const json::Json& object) {
        if (auto id = json::optionalString(object, "restoring")) {
            Attempt attempt;
            attempt.destination = json::requireBytes(object, "to");
            attempt.identity = journal::identityFromJson(object, "identity");
            attempt.temporaryName = json::optionalString(object, "temporary");
            attempts[*id] = attempt;
        } else if (auto copiedID = json::optionalString(object, "copied")) {
            if (auto it = attempts.find(*copiedID); it != attempts.end()) {
                it->second.identity = journal::identityFromJson(object, "identity");
            }
        } else if (auto restoredID = json::optionalString(object, "restored")) {
            if (auto it = attempts.find(*restoredID); it != attempts.end()) {
                it->second.restoredAt = json::requireDate(object, "at");
            }
        }
    });
    for (auto& entry : batch.items) {
        const auto it = attempts.find(entry.id);
        if (entry.restoredAt || it == attempts.end()) {
            continue;
        }
        const auto& attempt = it->second;
        if (attempt.restoredAt) {
            entry.restoredAt = attempt.restoredAt;
            entry.failure.reset();
            continue;
        }
        // Killed before its "restored" line: back in place exactly when the destination holds
        // the object the attempt put there.
        const auto there = platform::entryValues(attempt.destination, false);
        if (there && attempt.identity &&
            platform::FileIdentity{there->device, there->inode} == *attempt.identity) {
            entry.restoredAt = std::chrono::floor<std::chrono::seconds>(now());
            entry.failure.reset();
            continue;
        }
        if (repair && attempt.temporaryName && isSingleComponent(*attempt.temporaryName)) {
            std::error_code error;
            const auto folder = platform::openFolderNoFollow(
                platform::resolveSymbolicLinks(path::deletingLastComponent(attempt.destination)),
                error);
            if (folder) {
                platform::removeTree(folder.fd(), *attempt.temporaryName);
            }
        }
    }
    return true;
}

void RestoreJournal::remove(const std::string& batchFolder) {
    ::unlink(path::appending(batchFolder, restoreJournalFileName).c_str());
}

}  // namespace kelvane
