#pragma once

// The private quarantine: every clean moves its items into a new batch folder and records the
// batch in one shared index, "index.json". Batches are restored item by item, deleted for good
// or purged once expired. Nothing is lost in between: each batch folder keeps a journal of its
// moves, so a batch whose index record never got written (a failed write, a killed process) is
// listed again when the index is next read; and every read-modify-write of the index holds an
// exclusive lock, so processes sharing the quarantine never lose each other's changes.

#include <cstdint>
#include <optional>
#include <set>
#include <stdexcept>
#include <stop_token>
#include <string>
#include <utility>
#include <vector>

#include "model/CleanRule.h"
#include "model/ScanRecords.h"
#include "platform/Date.h"
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
    QuarantineBatch quarantine(const std::vector<ScanItem>& items,
                               const std::vector<CleanRule>& rules,
                               const std::vector<std::string>& ignoreList, const std::string& note,
                               std::stop_token stop = {}) const;

    // Puts back every restorable entry of the chosen batches (all when `batchIDs` is absent).
    RestoreResult restore(const std::optional<std::set<std::string>>& batchIDs) const;
    // Throws FileSystemError.
    void deletePermanently(const std::string& batchID) const;
    // Removes the batches whose expiry is strictly before `now`; returns how many.
    std::int64_t purgeExpired(Date now) const;

    // `path` itself when free, else "name (restored N).ext" for the first free N in 2…999.
    static std::string availableDestination(const std::string& path);
    // Moves an item between two paths, neither redirected by links in their folders. Throws
    // FileSystemError.
    static void move(const std::string& from, const std::string& to);

    std::string indexFile() const;
    std::string batchFolder(const std::string& batchID) const;

  private:
    std::vector<QuarantineBatch> readIndex() const;
    void save(const std::vector<QuarantineBatch>& list) const;
    std::string lockFile() const;
};

}  // namespace kelvane
