#pragma once

// The journal each batch folder keeps beside "payload": one JSON object a line, appended as the
// clean goes. A header with the batch's start and note, then for every item an intent line
// (the entry and the identity, device and inode, of its source; written before the move), a
// "copied" line when a move across file systems has copied it whole (flushed to disk before
// anything of the source is removed), and a "moved" line once it is in the payload. The
// writer holds an exclusive lock on the journal while the clean runs, so a reader can tell a
// clean in progress from one that died.

#include <optional>
#include <string>
#include <vector>

#include "platform/OpenFolder.h"
#include "quarantine/QuarantineStore.h"

namespace kelvane {

inline constexpr const char* journalFileName = "journal";

class QuarantineJournal {
  public:
    // Creates and locks the journal of a new batch folder. Throws FileSystemError.
    QuarantineJournal(const std::string& batchFolder, Date createdAt, const std::string& note);
    ~QuarantineJournal();
    QuarantineJournal(const QuarantineJournal&) = delete;
    QuarantineJournal& operator=(const QuarantineJournal&) = delete;

    // Each returns whether the line was written whole; no move may go on without its line.
    bool intend(const QuarantineEntry& entry, const platform::FileIdentity& source);
    bool copied(const std::string& entryID);
    bool moved(const std::string& entryID);

    enum class Found { inUse, nothing, entries };
    struct Recovery {
        Found found = Found::nothing;
        Date createdAt = distantPast();
        std::string note;
        std::vector<QuarantineEntry> entries;  // the items that are in the payload
        bool unexplainedPayload = false;       // payload entries no line accounts for
    };
    // Reads the journal of a batch folder the index does not list. An item in the payload is
    // one of the batch's when its journal says it was moved, when it is the very object that
    // left its place (same identity: a rename), or when its copy was recorded whole. A copy
    // with no such line is cut short, its source untouched: with `repair` it is removed.
    // Nothing else is ever removed.
    static Recovery recover(const std::string& batchFolder, bool repair);

  private:
    bool append(const json::Json& line, bool flush);
    int fd_ = -1;
};

}  // namespace kelvane
