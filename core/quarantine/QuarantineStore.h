#pragma once

// The private quarantine: every clean moves its items into a new batch folder and records the
// batch in one shared index, "index.json". Batches are restored item by item, deleted for good
// or purged once expired. Nothing is lost in between:
// - each batch folder keeps a journal of its moves (with the identity of every source), so a
//   batch whose index record never got written (a failed write, a killed process) is listed
//   again, and a cut-short copy is told from a completed rename;
// - restores keep a journal too, so after a kill the index says exactly what is back;
// - deletions first rename the batch folder out of the way, so one that dies half-way is
//   finished later instead of leaving a listed batch with half its files;
// - every operation that changes anything holds the store's lock from start to end, so cleans,
//   restores and deletions of different processes never interleave.
// Moves act on folders held open without following links (platform/OpenFolder.h), and never
// replace anything.

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "model/CleanRule.h"
#include "model/ScanRecords.h"
#include "platform/Date.h"
#include "platform/OpenFolder.h"
#include "platform/PathText.h"
#include "support/Json.h"

namespace kelvane {

struct QuarantineEntry {
    std::string id;
    std::string originalPath;
    std::string storedName;
    std::int64_t size = 0;
    Date modified = distantPast();
    std::string ruleID;
    std::optional<Date> restoredAt;
    std::optional<std::string> failure;

    bool isRestored() const { return restoredAt.has_value(); }
    bool operator==(const QuarantineEntry&) const = default;

    static QuarantineEntry fromJson(const json::Json& object);
    json::Json toJson() const;
};

struct QuarantineBatch {
    std::string id;
    Date createdAt = distantPast();
    Date expiresAt = distantPast();
    std::string note;
    std::vector<QuarantineEntry> items;

    std::vector<QuarantineEntry> remainingItems() const;
    std::int64_t remainingBytes() const;
    bool operator==(const QuarantineBatch&) const = default;

    static QuarantineBatch fromJson(const json::Json& object);
    json::Json toJson() const;
};

class QuarantineError : public std::runtime_error {
  public:
    enum class Kind { restoreFailed, nothingMoved };

    static QuarantineError restoreFailed(const std::string& path) {
        return {Kind::restoreFailed, path + " could not be restored."};
    }
    static QuarantineError nothingMoved() {
        return {Kind::nothingMoved, "No items could be moved to quarantine."};
    }
    Kind kind() const { return kind_; }

  private:
    QuarantineError(Kind kind, const std::string& description)
        : std::runtime_error(description), kind_(kind) {}
    Kind kind_;
};

inline constexpr const char* missingCopyFailure = "The quarantined copy is missing.";
inline constexpr std::size_t maxSkippedLines = 20;

struct RestoreResult {
    std::int64_t restored = 0;
    std::vector<std::string> failed;
};

struct QuarantineStore {
    std::string root;
    std::int64_t retentionDays = 7;

    // Every batch, newest first, including batches recovered from their journals. Never fails.
    std::vector<QuarantineBatch> batches() const;

    // Re-checks each item and moves the ones that pass into a new batch. Throws
    // QuarantineError::nothingMoved when none could be moved, FileSystemError otherwise.
    // `leftInPlace` (when given) receives the paths of items that are whole in the batch but
    // of which part could not be removed from its place (across file systems).
    QuarantineBatch quarantine(const std::vector<ScanItem>& items,
                               const std::vector<CleanRule>& rules,
                               const std::vector<std::string>& ignoreList, const std::string& note,
                               std::stop_token stop = {},
                               std::vector<std::string>* leftInPlace = nullptr) const;

    // Puts back every restorable entry of the chosen batches (all when `batchIDs` is absent).
    RestoreResult restore(const std::optional<std::set<std::string>>& batchIDs) const;
    // Throws FileSystemError.
    void deletePermanently(const std::string& batchID) const;
    // Removes the batches whose expiry is strictly before `now`; returns how many.
    std::int64_t purgeExpired(Date now) const;

    // `path` itself when free, else "name (restored N).ext" for the first free N in 2…999.
    static std::string availableDestination(const std::string& path);
    // The candidate names availableDestination tries, in order, for a taken `name`.
    static std::string restoredName(const std::string& name, int n);
    // "N-XXXXXXXX-name", the name shortened (its extension kept) so the whole fits in one
    // file-name component of 255 bytes.
    static std::string storedName(std::size_t index, const std::string& uuid,
                                  const std::string& name);

    std::string indexFile() const;
    // Throws FileSystemError for a text that is not a batch ID.
    std::string batchFolder(const std::string& batchID) const;

  private:
    // The index with what the journals add. With `repair` (the lock held) the disk is tidied
    // too: cut-short copies removed, half-done deletions and restores finished.
    std::vector<QuarantineBatch> readIndex(bool repair) const;
    void save(const std::vector<QuarantineBatch>& list) const;
    // Writes the index after a repair and drops the restore journals it now holds.
    void saveAndSettle(const std::vector<QuarantineBatch>& list) const;
    std::string lockFile() const;
    // The quarantine folder itself, held open without following links (invalid when it cannot
    // be opened; `error` says why).
    platform::FolderHandle openRoot(std::error_code& error) const;
};

// A canonical UUID text: 36 characters, hex digits and four dashes in their places.
bool isBatchID(std::string_view text);
using path::isSingleComponent;

}  // namespace kelvane
