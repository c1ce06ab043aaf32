#pragma once

// The journal each batch folder keeps beside "payload": one JSON object a line, appended as the
// clean goes. A header with the batch's start and note, then for every item an intent line
// (the entry, written before the move), a "copied" line when a move across file systems has
// copied it whole, and a "moved" line once it is in the payload. The writer holds an exclusive
// lock on the journal while the clean runs, so a reader can tell a clean in progress from one
// that died.

#include <optional>
#include <string>
#include <vector>

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

    void intend(const QuarantineEntry& entry);
    void copied(const std::string& entryID);
    void moved(const std::string& entryID);

    enum class Found { inUse, nothing, entries };
    struct Recovery {
        Found found = Found::nothing;
        Date createdAt = distantPast();
        std::string note;
        std::vector<QuarantineEntry> entries;  // the items that are in the payload
    };
    // Reads the journal of a batch folder the index does not list. An item whose move never
    // finished is judged from what is on disk: in the payload and gone from its place, it was
    // moved; a partial copy across file systems is removed, its original being still in place.
    static Recovery recover(const std::string& batchFolder);

  private:
    void append(const json::Json& line);
    int fd_ = -1;
};

}  // namespace kelvane
