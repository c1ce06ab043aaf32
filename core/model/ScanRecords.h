#pragma once

// The values a scan produces: the item offered for removal, per-rule and whole-scan results,
// progress reports and the scanning engine's error.

#include <array>
#include <cstdint>
#include <exception>
#include <optional>
#include <string>
#include <vector>

#include "model/CleanRule.h"
#include "platform/Date.h"
#include "support/RawEnum.h"

namespace kelvane {

struct ScanItem {
    enum class Kind { file, folder };

    std::string path;
    std::int64_t size = 0;
    Date modified = distantPast();
    std::string ruleID;
    RuleGroup group = RuleGroup::system;
    Kind kind = Kind::file;

    const std::string& id() const { return path; }
    std::string url() const;
    std::string name() const;
    std::string parentPath() const;

    bool operator==(const ScanItem&) const = default;
};

template <>
struct EnumCases<ScanItem::Kind> {
    static constexpr std::array table{
        std::pair{ScanItem::Kind::file, std::string_view{"file"}},
        std::pair{ScanItem::Kind::folder, std::string_view{"folder"}},
    };
};

struct RuleScanResult {
    CleanRule rule;
    std::vector<ScanItem> items;
    std::int64_t skipped = 0;
    std::optional<std::string> error;
    bool truncated = false;

    const std::string& id() const { return rule.id; }
    std::int64_t totalBytes() const;
};

struct JunkScanResult {
    std::vector<RuleScanResult> results;
    Date startedAt = distantPast();
    Date finishedAt = distantPast();
    bool cancelled = false;

    std::int64_t totalBytes() const;
    std::int64_t itemCount() const;
    // Every item, rule result after rule result, each in its stored order.
    std::vector<ScanItem> allItems() const;
};

struct ScanProgress {
    std::string title;
    std::int64_t completedRules = 0;
    std::int64_t totalRules = 0;
    std::int64_t filesSeen = 0;

    double fraction() const;
};

class ScanError : public std::exception {
  public:
    enum class Kind { unreadable, cancelled };

    static ScanError unreadable(std::string path) { return {Kind::unreadable, std::move(path)}; }
    static ScanError cancelled() { return {Kind::cancelled, {}}; }

    Kind kind() const { return kind_; }
    const std::string& path() const { return path_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

  private:
    ScanError(Kind kind, std::string path);

    Kind kind_;
    std::string path_;
    std::string description_;
};

}  // namespace kelvane

template <>
struct std::hash<kelvane::ScanItem> {
    std::size_t operator()(const kelvane::ScanItem& item) const noexcept;
};
