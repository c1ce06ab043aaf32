#pragma once

// The user's preferences in "settings.json", with factory defaults computed from the rule
// catalogue. The store interprets nothing: no clamping, no merging with the defaults.

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "model/CleanRule.h"
#include "platform/Date.h"
#include "support/Json.h"

namespace kelvane {

struct AppSettings {
    std::set<std::string> enabledRuleIDs;
    std::vector<std::string> ignoreList;
    std::int64_t retentionDays = 7;
    std::string largeFileRoot;
    std::string duplicateRoot;
    std::int64_t minLargeFileMB = 100;
    std::int64_t minDuplicateMB = 1;
    std::optional<Date> lastScanDate;
    bool hasCompletedOnboarding = false;

    bool operator==(const AppSettings&) const = default;

    static AppSettings defaults(const std::vector<CleanRule>& rules);
    // A three-way merge for a process that changed its copy `ours` of the settings it last read
    // as `base`, while another process may have stored `theirs`: what ours changed wins (lists
    // and sets by the entries added and removed), everything else stays as theirs.
    static AppSettings merged(const AppSettings& base, const AppSettings& ours,
                              const AppSettings& theirs);
    static AppSettings fromJson(const json::Json& object);
    json::Json toJson() const;
};

struct SettingsStore {
    std::string file;

    // The stored settings, or `fallback` whole when the file is missing or does not decode.
    AppSettings load(const AppSettings& fallback) const;
    // Throws FileSystemError.
    void save(const AppSettings& settings) const;
    // Reads the stored settings (or `fallback`), applies `change` and writes them back, all
    // under the store's lock, so two processes changing settings at once keep both changes.
    // Returns what was written. Throws FileSystemError; nothing is written then.
    AppSettings update(const AppSettings& fallback,
                       const std::function<void(AppSettings&)>& change) const;
};

}  // namespace kelvane
