#include "quarantine/QuarantineJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>

#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"
#include "platform/TreeCopy.h"
#include "quarantine/JournalLines.h"

namespace kelvane {

namespace {}  // namespace

QuarantineJournal::QuarantineJournal(const std::string& batchFolder, Date createdAt,
                                     const std::string& note) {
    // Written and locked under a temporary name, then renamed into place: a reader never finds
    // the journal of a running clean unlocked, and so never takes it for a dead one.
    const auto file = path::appending(batchFolder, journalFileName);
    std::string temporary = file + ".XXXXXX";
    fd_ = ::mkstemp(temporary.data());
    auto fail = [&] {
        const std::error_code error(errno, std::generic_category());
        if (fd_ >= 0) {
            ::close(fd_);
            ::unlink(temporary.c_str());
            fd_ = -1;
        }
        throw FileSystemError::writing(file, error);
    };
    if (fd_ < 0 || ::flock(fd_, LOCK_EX) != 0 || ::fcntl(fd_, F_SETFL, O_APPEND) != 0) {
        fail();
    }
    if (!append(json::Json{{"createdAt", json::formatDate(createdAt)}, {"note", note}}, false)) {
        fail();
    }
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        fail();
    }
}

QuarantineJournal::~QuarantineJournal() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

bool QuarantineJournal::append(const json::Json& line, bool flush) {
    return journal::appendLine(fd_, line, flush);
}

bool QuarantineJournal::intend(const QuarantineEntry& entry, const platform::FileIdentity& source) {
    return append(json::Json{{"intent", entry.toJson()}, {"source", journal::identityJson(source)}},
                  false);
}

bool QuarantineJournal::copied(const std::string& entryID) {
    // The source is removed next: this line must outlive a power cut.
    return append(json::Json{{"copied", entryID}}, true);
}

bool QuarantineJournal::moved(const std::string& entryID) {
    return append(json::Json{{"moved", entryID}}, false);
}

QuarantineJournal::Recovery QuarantineJournal::recover(const std::string& batchFolder,
                                                       bool repair) {
    Recovery recovery;
    const auto file = path::appending(batchFolder, journalFileName);
    const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd >= 0 && ::flock(fd, LOCK_SH | LOCK_NB) != 0) {
        ::close(fd);
        recovery.found = Found::inUse;
        return recovery;
    }
    std::string text;
    if (fd >= 0) {
        try {
            text = platform::readFile(file);
        } catch (const std::exception&) {
        }
        ::close(fd);
    }

    struct Item {
        QuarantineEntry entry;
        std::optional<platform::FileIdentity> source;
        bool copied = false;
        bool moved = false;
    };
    std::vector<Item> items;
    std::map<std::string, std::size_t> byID;
    bool header = false;
    journal::forEachLine(text, [&](const json::Json& object) {
        if (!header) {
            recovery.createdAt = json::requireDate(object, "createdAt");
            recovery.note = json::requireString(object, "note");
            header = true;
        } else if (object.contains("intent")) {
            auto entry = QuarantineEntry::fromJson(object.at("intent"));
            byID[entry.id] = items.size();
            items.push_back(Item{std::move(entry), journal::identityFromJson(object, "source")});
        } else if (auto copied = json::optionalString(object, "copied")) {
            if (auto it = byID.find(*copied); it != byID.end()) {
                items[it->second].copied = true;
            }
        } else if (auto moved = json::optionalString(object, "moved")) {
            if (auto it = byID.find(*moved); it != byID.end()) {
                items[it->second].moved = true;
            }
        }
    });

    std::error_code error;
    const auto payload = platform::openFolderNoFollow(
        platform::resolveSymbolicLinks(path::appending(batchFolder, "payload")), error);
    if (!payload) {
        return recovery;
    }
    std::set<std::string> accounted;
    for (auto& item : items) {
        const auto stored = platform::identityAt(payload.fd(), item.entry.storedName);
        if (!stored) {
            continue;
        }
        accounted.insert(item.entry.storedName);
        const bool renamed = item.source && *item.source == *stored;
        if (!item.moved && item.copied && !renamed && item.source) {
            // Killed between a whole copy and the removal of its source. A source that is no
            // folder is removed in one step: still there with its identity, it is whole, and
            // the copy is a spare. (A folder may be half removed, so its copy is kept.)
            const auto original = platform::entryValues(item.entry.originalPath, false);
            if (original && !original->isDirectory() &&
                platform::FileIdentity{original->device, original->inode} == *item.source) {
                if (repair) {
                    platform::removeTree(payload.fd(), item.entry.storedName);
                }
                accounted.erase(item.entry.storedName);
                continue;
            }
        }
        if (item.moved || item.copied || renamed) {
            recovery.entries.push_back(std::move(item.entry));
        } else if (item.source) {
            // Another object than the source, with no "copied" line: a copy across file
            // systems cut short. Its source was not touched before that line.
            if (repair) {
                platform::removeTree(payload.fd(), item.entry.storedName);
            }
            accounted.erase(item.entry.storedName);
        } else if (!platform::entryValues(item.entry.originalPath, false)) {
            // A journal without identities: listed when its original is gone, else kept
            // unlisted; never removed, as it cannot be proved a copy.
            recovery.entries.push_back(std::move(item.entry));
        }
    }
    for (const auto& name : platform::listDirectory(platform::resolveSymbolicLinks(
                                                        path::appending(batchFolder, "payload")))
                                .value_or(std::vector<std::string>{})) {
        if (!accounted.contains(name)) {
            recovery.unexplainedPayload = true;
        }
    }
    if (!recovery.entries.empty()) {
        recovery.found = Found::entries;
    }
    return recovery;
}

}  // namespace kelvane
