#include "quarantine/QuarantineStore.h"

#include <algorithm>
#include <filesystem>
#include <map>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "files/SafetyPolicy.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"
#include "platform/SafeMove.h"
#include "platform/Uuid.h"
#include "quarantine/QuarantineJournal.h"

namespace kelvane {

QuarantineEntry QuarantineEntry::fromJson(const json::Json& object) {
    json::requireObject(object, "A quarantine entry");
    QuarantineEntry entry;
    entry.id = json::requireString(object, "id");
    entry.originalPath = json::requireString(object, "originalPath");
    entry.storedName = json::requireString(object, "storedName");
    entry.size = json::requireInt(object, "size");
    entry.modified = json::requireDate(object, "modified");
    entry.ruleID = json::requireString(object, "ruleID");
    entry.restoredAt = json::optionalDate(object, "restoredAt");
    entry.failure = json::optionalString(object, "failure");
    return entry;
}

json::Json QuarantineEntry::toJson() const {
    json::Json object{
        {"id", id},     {"originalPath", originalPath},           {"storedName", storedName},
        {"size", size}, {"modified", json::formatDate(modified)}, {"ruleID", ruleID}};
    if (restoredAt) {
        object["restoredAt"] = json::formatDate(*restoredAt);
    }
    if (failure) {
        object["failure"] = *failure;
    }
    return object;
}

std::vector<QuarantineEntry> QuarantineBatch::remainingItems() const {
    std::vector<QuarantineEntry> remaining;
    for (const auto& item : items) {
        if (!item.restoredAt) {
            remaining.push_back(item);
        }
    }
    return remaining;
}

std::int64_t QuarantineBatch::remainingBytes() const {
    std::int64_t total = 0;
    for (const auto& item : items) {
        if (!item.restoredAt) {
            total += item.size;
        }
    }
    return total;
}

QuarantineBatch QuarantineBatch::fromJson(const json::Json& object) {
    json::requireObject(object, "A quarantine batch");
    QuarantineBatch batch;
    batch.id = json::requireString(object, "id");
    batch.createdAt = json::requireDate(object, "createdAt");
    batch.expiresAt = json::requireDate(object, "expiresAt");
    batch.note = json::requireString(object, "note");
    const auto& items = json::requireKey(object, "items");
    if (!items.is_array()) {
        throw json::DecodeError("The value of “items” is not a list.");
    }
    for (const auto& item : items) {
        batch.items.push_back(QuarantineEntry::fromJson(item));
    }
    return batch;
}

json::Json QuarantineBatch::toJson() const {
    auto list = json::Json::array();
    for (const auto& item : items) {
        list.push_back(item.toJson());
    }
    return json::Json{{"id", id},
                      {"createdAt", json::formatDate(createdAt)},
                      {"expiresAt", json::formatDate(expiresAt)},
                      {"note", note},
                      {"items", list}};
}

std::string QuarantineStore::indexFile() const {
    return path::appending(root, "index.json");
}

std::string QuarantineStore::batchFolder(const std::string& batchID) const {
    return path::appending(root, batchID);
}

std::string QuarantineStore::lockFile() const {
    return path::appending(root, ".lock");
}

namespace {

// The index keeps whole seconds; a record made here equals the one read back later.
Date wholeSeconds(Date date) {
    return std::chrono::floor<std::chrono::seconds>(date);
}

Date expiryFor(Date createdAt, std::int64_t retentionDays) {
    return createdAt + std::chrono::seconds{std::max<std::int64_t>(retentionDays, 1) * 86'400};
}

bool looksLikeBatchID(const std::string& name) {
    return name.size() == 36 && name[8] == '-' && name[13] == '-' && name[18] == '-' &&
           name[23] == '-';
}

void sortNewestFirst(std::vector<QuarantineBatch>& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.createdAt > b.createdAt; });
}

// Makes the quarantine folder; the index and the lock live in it.
void ensureRoot(const std::string& root) {
    AppPaths::ensureSupportDirectory();
    std::error_code error;
    std::filesystem::create_directories(root, error);
    if (error) {
        throw FileSystemError::creatingFolder(root, error);
    }
}

}  // namespace

std::vector<QuarantineBatch> QuarantineStore::readIndex() const {
    std::vector<QuarantineBatch> list;
    try {
        const auto document = json::parse(platform::readFile(indexFile()));
        if (document.is_array()) {
            for (const auto& object : document) {
                list.push_back(QuarantineBatch::fromJson(object));
            }
        }
    } catch (const std::exception&) {
        list.clear();
    }

    // Batch folders the index does not list: a clean that died, or whose index write failed,
    // left them. Their journals say what is inside.
    std::set<std::string> listed;
    for (const auto& batch : list) {
        listed.insert(batch.id);
    }
    for (const auto& name : platform::listDirectory(root).value_or(std::vector<std::string>{})) {
        if (!looksLikeBatchID(name) || listed.contains(name)) {
            continue;
        }
        const auto folder = batchFolder(name);
        if (!FileTools::isDirectory(folder) || FileTools::isSymbolicLink(folder)) {
            continue;
        }
        const bool hasJournal = FileTools::exists(path::appending(folder, journalFileName));
        const auto recovery = QuarantineJournal::recover(folder);
        if (recovery.found == QuarantineJournal::Found::entries) {
            QuarantineBatch batch;
            batch.id = name;
            batch.createdAt = recovery.createdAt;
            batch.expiresAt = expiryFor(recovery.createdAt, retentionDays);
            batch.note = recovery.note;
            batch.items = recovery.entries;
            list.push_back(std::move(batch));
        } else if (recovery.found == QuarantineJournal::Found::nothing && hasJournal &&
                   FileTools::fileCount(path::appending(folder, "payload")) == 0 &&
                   platform::listDirectory(path::appending(folder, "payload"))
                       .value_or(std::vector<std::string>{})
                       .empty()) {
            std::error_code error;
            std::filesystem::remove_all(folder, error);
        }
    }
    sortNewestFirst(list);
    return list;
}

void QuarantineStore::save(const std::vector<QuarantineBatch>& list) const {
    ensureRoot(root);
    auto document = json::Json::array();
    for (const auto& batch : list) {
        document.push_back(batch.toJson());
    }
    platform::writeFileAtomically(indexFile(), json::dump(document));
}

std::vector<QuarantineBatch> QuarantineStore::batches() const {
    return readIndex();
}

QuarantineBatch QuarantineStore::quarantine(const std::vector<ScanItem>& items,
                                            const std::vector<CleanRule>& rules,
                                            const std::vector<std::string>& ignoreList,
                                            const std::string& note, std::stop_token stop) const {
    ensureRoot(root);
    const auto batchID = platform::makeUUID();
    const auto folder = batchFolder(batchID);
    const auto payload = path::appending(folder, "payload");
    {
        std::error_code error;
        std::filesystem::create_directories(payload, error);
        if (error) {
            throw FileSystemError::creatingFolder(payload, error);
        }
    }
    std::error_code openError;
    const auto payloadFolder =
        platform::openFolderNoFollow(platform::resolveSymbolicLinks(payload), openError);
    if (!payloadFolder) {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
        throw FileSystemError::creatingFolder(payload, openError);
    }
    auto journal = std::make_unique<QuarantineJournal>(folder, wholeSeconds(now()), note);

    std::map<std::string, const CleanRule*> byID;
    for (const auto& rule : rules) {
        byID.try_emplace(rule.id, &rule);  // a repeated id: the first rule counts
    }
    const SafetyPolicy policy{ignoreList};
    const ProtectedPlaces places;
    const ExpandedIgnoreList ignored(ignoreList);

    std::vector<QuarantineEntry> moved;
    std::vector<std::string> refusals;
    for (const auto& item : items) {
        if (stop.stop_requested()) {
            break;
        }
        const auto name = std::string(path::lastComponent(item.path));
        auto refuse = [&](const std::string& why) { refusals.push_back(name + ": " + why); };
        // Resolved before the checks and opened without following links after them: a folder
        // on the way swapped for a link in between makes the open fail instead of sending the
        // move elsewhere.
        const auto resolvedParent = platform::resolveSymbolicLinks(
            path::deletingLastComponent(path::standardize(item.path)));
        if (const auto rule = byID.find(item.ruleID); rule != byID.end()) {
            if (auto reason = policy.rejectionReason(item.path, *rule->second, ignoreList)) {
                refuse(*reason);
                continue;
            }
        } else {
            const auto standardized = path::standardize(item.path);
            if (places.contains(standardized, platform::resolveSymbolicLinks(item.path)) ||
                FileTools::isSymbolicLink(item.path) || FileTools::isPackage(item.path)) {
                refuse("the item is protected.");
                continue;
            }
            if (ignored.contains(item.path)) {
                refuse("the folder is on your ignore list.");
                continue;
            }
        }
        if (!platform::entryValues(item.path, false)) {
            refuse("the item is already gone.");
            continue;
        }

        QuarantineEntry entry;
        entry.id = platform::makeUUID();
        entry.originalPath = item.path;
        entry.storedName =
            std::to_string(moved.size()) + "-" + platform::makeUUID().substr(0, 8) + "-" + name;
        entry.size = item.size;
        entry.modified = wholeSeconds(item.modified);
        entry.ruleID = item.ruleID;

        // The folder holding the item, opened without following any link: a folder swapped for
        // a link since the check cannot send the move elsewhere.
        std::error_code error;
        const auto parent = platform::openFolderNoFollow(
            platform::resolveSymbolicLinks(
                path::deletingLastComponent(path::standardize(item.path))),
            error);
        if (!parent) {
            refuse(platform::moveErrorReason(error) + ".");
            continue;
        }
        journal->intend(entry);
        error = platform::moveAt(parent.fd(), name, payloadFolder.fd(), entry.storedName,
                                 [&] { journal->copied(entry.id); });
        if (error) {
            refuse(platform::moveErrorReason(error) + ".");
            continue;
        }
        journal->moved(entry.id);
        moved.push_back(std::move(entry));
    }

    if (moved.empty()) {
        journal.reset();
        std::error_code ignoredError;
        std::filesystem::remove_all(folder, ignoredError);
        throw QuarantineError::nothingMoved();
    }

    QuarantineBatch batch;
    batch.id = batchID;
    batch.createdAt = wholeSeconds(now());
    batch.expiresAt = expiryFor(batch.createdAt, retentionDays);
    batch.note = note;
    batch.items = std::move(moved);
    {
        const platform::FileLock lock(lockFile());
        auto list = readIndex();
        list.insert(list.begin(), batch);
        save(list);  // on failure the journal keeps the batch findable
    }
    journal.reset();

    if (!refusals.empty()) {
        std::string text;
        for (std::size_t i = 0; i < refusals.size() && i < maxSkippedLines; ++i) {
            if (i > 0) {
                text += '\n';
            }
            text += refusals[i];
        }
        try {
            platform::writeFileAtomically(path::appending(folder, "skipped.txt"), text);
        } catch (const std::exception&) {
            // The list of refusals is a courtesy; the clean itself succeeded.
        }
    }
    return batch;
}

}  // namespace kelvane
