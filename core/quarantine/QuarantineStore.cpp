#include "quarantine/QuarantineStore.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <memory>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "files/SafetyPolicy.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/OpenFolder.h"
#include "platform/PathText.h"
#include "platform/SafeMove.h"
#include "platform/TreeCopy.h"
#include "platform/Uuid.h"
#include "quarantine/QuarantineJournal.h"
#include "quarantine/RestoreJournal.h"

namespace kelvane {

namespace {

// A file-name component holds at most this many bytes on Linux file systems.
constexpr std::size_t nameMax = 255;
// The prefix of a batch folder being deleted; what follows is the batch ID.
constexpr std::string_view deletingPrefix = ".deleting-";

// The index keeps whole seconds; a record made here equals the one read back later.
Date wholeSeconds(Date date) {
    return std::chrono::floor<std::chrono::seconds>(date);
}

Date expiryFor(Date createdAt, std::int64_t retentionDays) {
    // Clamped so that the product cannot overflow: a century is as good as forever here.
    const auto days = std::clamp<std::int64_t>(retentionDays, 1, 36'500);
    return createdAt + std::chrono::seconds{days * 86'400};
}

void sortNewestFirst(std::vector<QuarantineBatch>& list) {
    std::stable_sort(list.begin(), list.end(),
                     [](const auto& a, const auto& b) { return a.createdAt > b.createdAt; });
}

// The length of the longest prefix of `text` of at most `limit` bytes that does not cut a
// UTF-8 sequence in two.
std::size_t utf8Prefix(std::string_view text, std::size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    std::size_t end = limit;
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return end;
}

}  // namespace

std::string QuarantineStore::indexFile() const {
    return path::appending(root, "index.json");
}

std::string QuarantineStore::batchFolder(const std::string& batchID) const {
    if (!isBatchID(batchID)) {
        throw FileSystemError("“" + batchID + "” is not a quarantine batch.",
                              std::make_error_code(std::errc::invalid_argument));
    }
    return path::appending(root, batchID);
}

std::string QuarantineStore::lockFile() const {
    return path::appending(root, ".lock");
}

platform::FolderHandle QuarantineStore::openRoot(std::error_code& error) const {
    return platform::openFolderNoFollow(platform::resolveSymbolicLinks(root), error);
}

std::string QuarantineStore::storedName(std::size_t index, const std::string& uuid,
                                        const std::string& givenName) {
    const auto prefix = std::to_string(index) + "-" + uuid.substr(0, 8) + "-";
    // The stored name is ours to choose and goes into the index as text: bytes that are not
    // UTF-8 become U+FFFD there. The entry keeps the original path exactly.
    const auto readable = json::displayText(givenName);
    const std::string& name = readable;
    if (prefix.size() + name.size() <= nameMax) {
        return prefix + name;
    }
    // Too long with the prefix: shorten the base name and keep a short extension, so the
    // stored copy still opens with the right application.
    const auto room = nameMax - prefix.size();
    std::string_view base(name);
    std::string_view extension;
    if (const auto dot = name.rfind('.');
        dot != std::string::npos && dot > 0 && name.size() - dot <= 16) {
        base = std::string_view(name).substr(0, dot);
        extension = std::string_view(name).substr(dot);
    }
    return prefix + std::string(base.substr(0, utf8Prefix(base, room - extension.size()))) +
           std::string(extension);
}

std::vector<QuarantineBatch> QuarantineStore::readIndex(bool repair) const {
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

    const auto names = platform::listDirectory(root).value_or(std::vector<std::string>{});
    // Repairs act in the quarantine folder held open once.
    std::error_code rootError;
    const auto rootFolder = repair ? openRoot(rootError) : platform::FolderHandle{};
    // An index write killed before its rename leaves its temporary file; under the lock no
    // other write is running, so any such file is a dead one.
    if (rootFolder) {
        for (const auto& name : names) {
            if (name.starts_with(".index.json.")) {
                ::unlinkat(rootFolder.fd(), name.c_str(), 0);
            }
        }
    }
    // Deletions that died half-way: the batch was to go; finish it.
    for (const auto& name : names) {
        if (!name.starts_with(deletingPrefix) || !isBatchID(name.substr(deletingPrefix.size()))) {
            continue;
        }
        const auto id = name.substr(deletingPrefix.size());
        std::erase_if(list, [&](const QuarantineBatch& batch) { return batch.id == id; });
        if (rootFolder) {
            platform::removeTree(rootFolder.fd(), name);
        }
    }

    // Restores that died before they rewrote the index.
    for (auto& batch : list) {
        RestoreJournal::apply(batchFolder(batch.id), batch, repair);
    }

    // Batch folders the index does not list: a clean that died, or whose index write failed,
    // left them. Their journals say what is inside.
    std::set<std::string> listed;
    for (const auto& batch : list) {
        listed.insert(batch.id);
    }
    for (const auto& name : names) {
        if (!isBatchID(name) || listed.contains(name)) {
            continue;
        }
        const auto folder = batchFolder(name);
        const auto values = platform::entryValues(folder, false);
        if (!values || !values->isDirectory()) {
            continue;
        }
        const bool hasJournal = FileTools::exists(path::appending(folder, journalFileName));
        const auto recovery = QuarantineJournal::recover(folder, repair);
        if (recovery.found == QuarantineJournal::Found::entries) {
            QuarantineBatch batch;
            batch.id = name;
            batch.createdAt = recovery.createdAt;
            batch.expiresAt = expiryFor(recovery.createdAt, retentionDays);
            batch.note = recovery.note;
            batch.items = recovery.entries;
            RestoreJournal::apply(folder, batch, repair);
            list.push_back(std::move(batch));
        } else if (rootFolder && recovery.found == QuarantineJournal::Found::nothing &&
                   hasJournal && !recovery.unexplainedPayload) {
            // A clean that died before it moved anything: an empty folder and its journal.
            platform::removeTree(rootFolder.fd(), name);
        }
    }
    sortNewestFirst(list);
    return list;
}

void QuarantineStore::save(const std::vector<QuarantineBatch>& list) const {
    AppPaths::ensureSupportDirectory();
    auto document = json::Json::array();
    for (const auto& batch : list) {
        document.push_back(batch.toJson());
    }
    platform::writeFileAtomically(indexFile(), json::dump(document));
}

void QuarantineStore::saveAndSettle(const std::vector<QuarantineBatch>& list) const {
    save(list);
    // What the restore journals said is in the index now.
    for (const auto& batch : list) {
        RestoreJournal::remove(batchFolder(batch.id));
    }
}

std::vector<QuarantineBatch> QuarantineStore::batches() const {
    // A view: the disk is left as it is, so a clean or restore running in another process is
    // never disturbed.
    return readIndex(false);
}

QuarantineBatch QuarantineStore::quarantine(const std::vector<ScanItem>& items,
                                            const std::vector<CleanRule>& rules,
                                            const std::vector<std::string>& ignoreList,
                                            const std::string& note, std::stop_token stop,
                                            std::vector<std::string>* leftInPlace) const {
    AppPaths::ensureSupportDirectory();
    // One operation at a time on this quarantine, across processes, from first move to index.
    const platform::FileLock lock(lockFile());
    // What died before is settled first (a spare copy of a killed move across file systems is
    // dropped while its source is still whole), so this clean never takes an item twice.
    auto list = readIndex(true);

    const auto batchID = platform::makeUUID();
    const auto folder = batchFolder(batchID);
    std::error_code error;
    const auto rootFolder = openRoot(error);
    if (!rootFolder) {
        throw FileSystemError::creatingFolder(root, error);
    }
    if (::mkdirat(rootFolder.fd(), batchID.c_str(), 0700) != 0 ||
        ::mkdirat(rootFolder.fd(), (batchID + "/payload").c_str(), 0700) != 0) {
        error = {errno, std::generic_category()};
        platform::removeTree(rootFolder.fd(), batchID);
        throw FileSystemError::creatingFolder(path::appending(folder, "payload"), error);
    }
    const auto payloadFolder = platform::openFolderNoFollow(
        platform::resolveSymbolicLinks(path::appending(folder, "payload")), error);
    if (!payloadFolder) {
        platform::removeTree(rootFolder.fd(), batchID);
        throw FileSystemError::creatingFolder(path::appending(folder, "payload"), error);
    }
    std::unique_ptr<QuarantineJournal> journal;
    try {
        journal = std::make_unique<QuarantineJournal>(folder, wholeSeconds(now()), note);
    } catch (...) {
        platform::removeTree(rootFolder.fd(), batchID);
        throw;
    }

    const SafetyPolicy policy{ignoreList};
    std::map<std::string, std::unique_ptr<RuleSafetyCheck>> checks;
    for (const auto& rule : rules) {
        if (!checks.contains(rule.id)) {  // a repeated id: the first rule counts
            checks.emplace(rule.id, std::make_unique<RuleSafetyCheck>(policy, rule, ignoreList));
        }
    }
    const ProtectedPlaces places;
    const ExpandedIgnoreList ignored(ignoreList);

    std::vector<QuarantineEntry> moved;
    std::vector<std::string> refusals;
    for (const auto& item : items) {
        if (stop.stop_requested()) {
            break;
        }
        const auto standardized = path::standardize(item.path);
        const auto name = std::string(path::lastComponent(standardized));
        auto refuse = [&](const std::string& why) { refusals.push_back(name + ": " + why); };
        if (!isSingleComponent(name)) {
            refuse("the item is protected.");
            continue;
        }
        // The folder holding the item is resolved once and held open without following any
        // link; the checks judge that folder and the move acts in it. A folder swapped for a
        // link at any moment makes the open fail or is caught below; it never sends the move
        // elsewhere.
        const auto resolvedParent =
            platform::resolveSymbolicLinks(path::deletingLastComponent(standardized));
        const auto parent = platform::openFolderNoFollow(resolvedParent, error);
        if (!parent) {
            if (error.value() == ENOENT) {
                refuse("the item is already gone.");
            } else {
                refuse(platform::moveErrorReason(error) + ".");
            }
            continue;
        }
        struct stat st {};
        if (::fstatat(parent.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
            refuse("the item is already gone.");
            continue;
        }
        const platform::FileIdentity source{st.st_dev, st.st_ino};
        const bool isLink = S_ISLNK(st.st_mode);
        const auto resolvedItem = isLink ? platform::resolveSymbolicLinks(standardized)
                                         : path::appending(resolvedParent, name);
        const bool isPackage = S_ISDIR(st.st_mode) && FileTools::isPackage(resolvedItem);

        if (const auto check = checks.find(item.ruleID); check != checks.end()) {
            if (auto reason =
                    check->second->reason(standardized, resolvedItem, isLink, isPackage)) {
                refuse(*reason);
                continue;
            }
        } else {
            if (places.contains(standardized, resolvedItem) || isLink || isPackage) {
                refuse("the item is protected.");
                continue;
            }
            if (ignored.contains(standardized) || ignored.contains(resolvedItem)) {
                refuse("the folder is on your ignore list.");
                continue;
            }
        }
        // The re-check: the folder held open is still the one judged, and the item in it is
        // still the one looked at.
        if (const auto where = platform::pathOfOpenFolder(parent.fd());
            where && *where != resolvedParent) {
            refuse(platform::moveErrorReason(platform::MoveError::parentMoved) + ".");
            continue;
        }
        if (platform::identityAt(parent.fd(), name) != source) {
            refuse(platform::moveErrorReason(platform::MoveError::changedMeanwhile) + ".");
            continue;
        }

        QuarantineEntry entry;
        entry.id = platform::makeUUID();
        entry.originalPath = item.path;
        entry.storedName = storedName(moved.size(), platform::makeUUID(), name);
        entry.size = item.size;
        entry.modified = wholeSeconds(item.modified);
        entry.ruleID = item.ruleID;

        if (!journal->intend(entry, source)) {
            refuse("its move could not be recorded, so it was left in place.");
            continue;
        }
        const auto outcome =
            platform::moveAt(parent.fd(), name, payloadFolder.fd(), entry.storedName,
                             [&] { return journal->copied(entry.id); });
        if (outcome.error) {
            refuse(platform::moveErrorReason(outcome.error) + ".");
            continue;
        }
        if (outcome.leftBehind) {
            // The whole item is in the batch; what could not be removed stays where it was.
            refuse("moved to quarantine, but part of it stayed in its place: " +
                   platform::moveErrorReason(outcome.leftBehind) + ".");
            if (leftInPlace) {
                leftInPlace->push_back(item.path);
            }
        }
        journal->moved(entry.id);
        moved.push_back(std::move(entry));
    }

    if (moved.empty()) {
        journal.reset();
        platform::removeTree(rootFolder.fd(), batchID);
        throw QuarantineError::nothingMoved();
    }

    QuarantineBatch batch;
    batch.id = batchID;
    batch.createdAt = wholeSeconds(now());
    batch.expiresAt = expiryFor(batch.createdAt, retentionDays);
    batch.note = note;
    batch.items = std::move(moved);
    list.insert(list.begin(), batch);  // the lock held since the start keeps `list` current
    saveAndSettle(list);               // on failure the journal keeps the batch findable
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
