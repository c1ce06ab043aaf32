#pragma once

// The log of past cleans: "history.json", newest first, at most 500 entries.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/Date.h"
#include "support/Json.h"

namespace kelvane {

struct CleanHistoryEntry {
    std::string id;
    Date date = distantPast();
    std::int64_t bytes = 0;
    std::int64_t itemCount = 0;
    std::vector<std::string> categories;
    std::string note;
    std::optional<std::string> batchID;

    bool operator==(const CleanHistoryEntry&) const = default;

    static CleanHistoryEntry fromJson(const json::Json& object);
    json::Json toJson() const;
};

inline constexpr std::size_t maxHistoryEntries = 500;

struct HistoryStore {
    std::string file;

    // The stored entries in file order; empty when the file is missing or does not decode.
    std::vector<CleanHistoryEntry> entries() const;
    // Puts the entry first and keeps the newest 500, under the file's lock so another process
    // adding at the same time loses nothing. Throws FileSystemError.
    void add(const CleanHistoryEntry& entry) const;
    // Writes the whole document. Throws FileSystemError.
    void save(const std::vector<CleanHistoryEntry>& list) const;
};

}  // namespace kelvane

template <>
struct std::hash<kelvane::CleanHistoryEntry> {
    std::size_t operator()(const kelvane::CleanHistoryEntry& entry) const noexcept;
};
