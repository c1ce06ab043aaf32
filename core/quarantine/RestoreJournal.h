#pragma once

// The journal of a restore, in the batch folder beside "payload": one JSON object a line.
// Before each attempt a "restoring" line names the entry, the destination and the identity of
// what will appear there (the payload item itself for a rename; the copy, in a "copied" line,
// across file systems, with the temporary name it is made under); a "restored" line follows
// once it is in place. A reader applies these to the index, so after a kill at any step the
// index says exactly what is back. The restore that completes rewrites the index and removes
// the journal.

#include <map>
#include <optional>
#include <string>

#include "platform/OpenFolder.h"
#include "quarantine/QuarantineStore.h"

namespace kelvane {

inline constexpr const char* restoreJournalFileName = "restore-journal";

class RestoreJournal {
  public:
    // Opens (creating) the journal of a batch folder for appending. Throws FileSystemError.
    explicit RestoreJournal(const std::string& batchFolder);
    ~RestoreJournal();
    RestoreJournal(const RestoreJournal&) = delete;
    RestoreJournal& operator=(const RestoreJournal&) = delete;

    // Each returns whether the line was written whole (and flushed); an attempt does not go on
    // without its line.
    bool restoring(const std::string& entryID, const std::string& destination,
                   const std::optional<platform::FileIdentity>& identity,
                   const std::optional<std::string>& temporaryName);
    bool copied(const std::string& entryID, const platform::FileIdentity& identity);
    bool restored(const std::string& entryID, Date at);

    // What the journal of `batchFolder` says of each entry, applied to `batch`: entries known
    // to be back get `restoredAt`. With `repair`, a temporary copy of an attempt that did not
    // finish is removed from the destination folder. Returns whether a journal was found.
    static bool apply(const std::string& batchFolder, QuarantineBatch& batch, bool repair);
    static void remove(const std::string& batchFolder);

  private:
    bool append(const json::Json& line);
    int fd_ = -1;
};

}  // namespace kelvane
