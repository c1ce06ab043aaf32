#include "quarantine/QuarantineJournal.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <sstream>

#include "platform/FileIO.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"
#include "platform/SafeMove.h"

namespace kelvane {

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
    append(json::Json{{"createdAt", json::formatDate(createdAt)}, {"note", note}});
    if (::rename(temporary.c_str(), file.c_str()) != 0) {
        fail();
    }
}

QuarantineJournal::~QuarantineJournal() {
    if (fd_ >= 0) {
        ::close(fd_);  // releases the lock
    }
}

void QuarantineJournal::append(const json::Json& line) {
    // One write a line: a process killed mid-clean leaves whole lines behind.
    const auto text = line.dump(-1, ' ', false, json::Json::error_handler_t::replace) + "\n";
    std::size_t written = 0;
    while (written < text.size()) {
        const ssize_t n = ::write(fd_, text.data() + written, text.size() - written);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;  // recovery then judges the item from the disk
        }
        written += static_cast<std::size_t>(n);
    }
}

void QuarantineJournal::intend(const QuarantineEntry& entry) {
    append(json::Json{{"intent", entry.toJson()}});
}

void QuarantineJournal::copied(const std::string& entryID) {
    append(json::Json{{"copied", entryID}});
}

void QuarantineJournal::moved(const std::string& entryID) {
    append(json::Json{{"moved", entryID}});
}

QuarantineJournal::Recovery QuarantineJournal::recover(const std::string& batchFolder) {
    Recovery recovery;
    const auto file = path::appending(batchFolder, journalFileName);
    const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
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
        bool copied = false;
        bool moved = false;
    };
    std::vector<Item> items;
    std::map<std::string, std::size_t> byID;
    bool header = false;
    std::istringstream lines(text);
    std::string line;
    while (std::getline(lines, line)) {
        try {
            const auto object = json::parse(line);
            if (!header) {
                recovery.createdAt = json::requireDate(object, "createdAt");
                recovery.note = json::requireString(object, "note");
                header = true;
            } else if (object.contains("intent")) {
                auto entry = QuarantineEntry::fromJson(object.at("intent"));
                byID[entry.id] = items.size();
                items.push_back(Item{std::move(entry)});
            } else if (auto copied = json::optionalString(object, "copied")) {
                if (auto it = byID.find(*copied); it != byID.end()) {
                    items[it->second].copied = true;
                }
            } else if (auto moved = json::optionalString(object, "moved")) {
                if (auto it = byID.find(*moved); it != byID.end()) {
                    items[it->second].moved = true;
                }
            }
        } catch (const std::exception&) {
            // A damaged line (the last one of a crash) tells nothing; the disk decides.
        }
    }

    const auto payload = path::appending(batchFolder, "payload");
    for (auto& item : items) {
        const auto stored = path::appending(payload, item.entry.storedName);
        const bool inPayload = platform::entryValues(stored, false).has_value();
        if (!inPayload) {
            continue;
        }
        const bool stillInPlace = platform::entryValues(item.entry.originalPath, false).has_value();
        if (item.moved || !stillInPlace || item.copied) {
            recovery.entries.push_back(std::move(item.entry));
            continue;
        }
        // A copy across file systems cut short: the original is whole where it was.
        std::error_code error;
        auto folder = platform::openFolderNoFollow(platform::resolveSymbolicLinks(payload), error);
        if (folder) {
            platform::removeAt(folder.fd(), item.entry.storedName);
        }
    }
    if (!recovery.entries.empty()) {
        recovery.found = Found::entries;
    }
    return recovery;
}

}  // namespace kelvane
