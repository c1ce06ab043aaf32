#include "scan/CleanScanner.h"

#include <algorithm>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "files/SyncedFolders.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"

namespace kelvane {

namespace {

using platform::WalkAction;
using platform::WalkEntry;

void largestFirst(std::vector<ScanItem>& items) {
    std::stable_sort(items.begin(), items.end(),
                     [](const ScanItem& a, const ScanItem& b) { return a.size > b.size; });
}

ScanItem makeItem(std::string path, std::int64_t size, Date modified, const CleanRule& rule,
                  ScanItem::Kind kind) {
    return ScanItem{std::move(path), size, modified, rule.id, rule.group, kind};
}

// The paths a scan has offered so far.
class OfferedPaths {
  public:
    // Records `p` and says true, or says false when `p`, a folder holding it or a path inside
    // it was offered before.
    bool claim(const std::string& p) {
        for (std::string_view up = p; !up.empty() && up != "/";
             up = up.substr(0, std::max<std::size_t>(up.rfind('/'), 1))) {
            if (paths_.contains(std::string(up))) {
                return false;
            }
            if (up.rfind('/') == 0) {
                break;
            }
        }
        const auto inside = paths_.lower_bound(p + "/");
        if (inside != paths_.end() && inside->starts_with(p + "/")) {
            return false;
        }
        paths_.insert(p);
        return true;
    }
    bool contains(const std::string& p) const { return paths_.contains(p); }

  private:
    std::set<std::string> paths_;
};

// A pattern with a "/" is anchored at the rule folder, one part per folder level: "*" never
// crosses a "/", and a pattern that names a folder covers everything below it. So "*/cache/*"
// means an application's own cache folder, never a folder called "cache" deep inside its data.
bool matchesAnchored(const std::string& pattern, const std::string& relative) {
    auto parts = static_cast<std::size_t>(std::count(pattern.begin(), pattern.end(), '/')) + 1;
    if (pattern.ends_with('/')) {
        --parts;
    }
    std::size_t end = 0;
    for (std::size_t seen = 0; seen < parts; ++seen) {
        if (end == relative.size()) {
            return false;  // shallower than the pattern
        }
        end = relative.find('/', seen == 0 ? 0 : end + 1);
        if (end == std::string::npos) {
            end = relative.size();
        }
    }
    std::string prefix = relative.substr(0, end);
    if (pattern.ends_with('/')) {
        prefix += '/';
    }
    return FileTools::glob(pattern, prefix, FileTools::GlobSlash::literal);
}

// The item a trash record ("<trash>/info/<name>.trashinfo") describes: "<trash>/files/<name>".
std::optional<std::string> trashedItemOf(const std::string& record) {
    constexpr std::string_view suffix = ".trashinfo";
    const auto slash = record.rfind('/');
    if (slash == std::string::npos || !record.ends_with(suffix) ||
        record.size() - slash - 1 <= suffix.size()) {
        return std::nullopt;
    }
    const std::string_view folder = std::string_view(record).substr(0, slash);
    if (!folder.ends_with("/info")) {
        return std::nullopt;
    }
    const auto name = record.substr(slash + 1, record.size() - slash - 1 - suffix.size());
    return std::string(folder.substr(0, folder.size() - 4)) + "files/" + name;
}

bool isAnchored(const std::string& pattern) {
    return pattern.find('/') != std::string::npos;
}

}  // namespace

JunkScanResult CleanScanner::scanJunk(const std::vector<CleanRule>& rules,
                                      const std::set<std::string>& enabled,
                                      const std::vector<std::string>& ignoreList,
                                      const ProgressCallback& progress,
                                      std::stop_token stop) const {
    JunkScanResult result;
    result.startedAt = now();
    std::vector<const CleanRule*> active;
    for (const auto& rule : rules) {
        if (enabled.contains(rule.id)) {
            active.push_back(&rule);
        }
    }
    const auto total = static_cast<std::int64_t>(active.size());
    std::int64_t filesSeen = 0;
    OfferedPaths offered;
    bool stoppedEarly = false;
    for (std::size_t i = 0; i < active.size(); ++i) {
        if (stop.stop_requested()) {
            stoppedEarly = true;
            break;
        }
        if (progress) {
            progress(ScanProgress{active[i]->name, static_cast<std::int64_t>(i), total, filesSeen});
        }
        auto ruleResult = scan(*active[i], ignoreList, filesSeen, stop);
        std::erase_if(ruleResult.items, [&](const ScanItem& item) {
            // A trash record goes only with its item: without the record the desktop can no
            // longer put the item back. Records of items already gone are offered alone.
            if (const auto trashed = trashedItemOf(item.path);
                trashed && !offered.contains(*trashed) &&
                platform::entryValues(*trashed, false).has_value()) {
                ++ruleResult.skipped;
                return true;
            }
            // A place two rules reach (the temporary folder is /tmp when $TMPDIR is unset) is
            // offered once, by the first: no path twice, no folder together with what is in it.
            return !offered.claim(item.path);
        });
        result.results.push_back(std::move(ruleResult));
    }
    if (progress) {
        progress(ScanProgress{stoppedEarly ? "Stopping" : "Finishing", total, total, filesSeen});
    }
    result.finishedAt = now();
    result.cancelled = stoppedEarly;
    return result;
}

RuleScanResult CleanScanner::scan(const CleanRule& rule, const std::vector<std::string>& ignoreList,
                                  std::int64_t& filesSeen, std::stop_token stop) const {
    RuleScanResult result{rule, {}, 0, std::nullopt, false};
    const auto expanded = AppPaths::expandAbsolute(rule.path);
    if (!expanded) {
        // An empty or relative place would be the working folder, often the home folder.
        result.error = "The rule's folder “" + rule.path + "” names no place on this computer.";
        return result;
    }
    const auto& root = *expanded;
    if (!FileTools::exists(root)) {
        return result;
    }
    if (!FileTools::isDirectory(root)) {
        result.error = "The rule path is not a folder.";
        return result;
    }
    const auto scanStart = now();
    const auto minAge = std::chrono::seconds{std::max<std::int64_t>(rule.minAgeDays, 0) * 86'400};
    const bool ageTest = minAge.count() > 0;
    auto tooYoung = [&](Date modified) { return ageTest && scanStart - modified < minAge; };
    const RuleSafetyCheck check(safety, rule, ignoreList);
    const auto limit = static_cast<std::size_t>(std::max(itemLimitPerRule, 0));
    auto full = [&] { return result.items.size() >= limit; };

    if (rule.granularity == RuleGranularity::tree) {
        const auto children = platform::listDirectory(root).value_or(std::vector<std::string>{});
        for (const auto& name : children) {
            if (stop.stop_requested()) {
                break;
            }
            auto path = path::appending(root, name);
            if (!matchesFilters(path, name, rule, root)) {
                continue;
            }
            if (check.reason(path)) {
                ++result.skipped;
                continue;
            }
            // A folder's age is that of the newest thing in it: one still being written to is
            // in use, whatever the folder's own date says.
            const auto summary = FileTools::summarize(path, stop);
            if (stop.stop_requested()) {
                break;  // the summary may be of part of the folder only
            }
            if (summary.holdsSyncMarker) {
                ++result.skipped;  // part of it is kept in step with other devices
                continue;
            }
            const auto modified = summary.newestModification;
            if (tooYoung(modified)) {
                ++result.skipped;
                continue;
            }
            // Data that also has names outside the item stays on the disk when the item goes
            // (a package store linked into projects), so it is not offered as space to free.
            const auto size = summary.freeableSize;
            if (size < 1) {
                continue;
            }
            const auto kind =
                FileTools::isDirectory(path) ? ScanItem::Kind::folder : ScanItem::Kind::file;
            result.items.push_back(makeItem(std::move(path), size, modified, rule, kind));
            ++filesSeen;
            if (full()) {
                result.truncated = true;
                break;
            }
        }
    } else {
        // Checked against the walk's own values: the entry is a regular file, not a link, and
        // not inside a package, so its allocated size is the one the walk read. The walk follows
        // no links, so below the root nothing changes under resolution.
        const auto& resolvedRoot = check.resolvedRuleFolder();
        std::string name;
        platform::WalkOptions options;
        options.stop = stop;
        const auto outcome = platform::walkDirectory(root, options, [&](const WalkEntry& entry) {
            ++filesSeen;
            if (SyncedFolders::isMarkedFolder(entry)) {
                return WalkAction::skipDescendants;  // kept in step with other devices
            }
            if (!entry.valuesRead || !entry.values.isRegularFile()) {
                return WalkAction::proceed;
            }
            const std::string path(entry.path);
            name.assign(entry.name);
            if (!matchesFilters(path, name, rule, root)) {
                return WalkAction::proceed;
            }
            if (tooYoung(entry.values.modified)) {
                ++result.skipped;
                return WalkAction::proceed;
            }
            if (check.reason(path, path::rebased(path, root, resolvedRoot), false, false)) {
                ++result.skipped;
                return WalkAction::proceed;
            }
            if (entry.values.allocatedSize < 1 || entry.values.linkCount > 1) {
                return WalkAction::proceed;  // nothing to free, or data another name keeps
            }
            result.items.push_back(makeItem(path, entry.values.allocatedSize, entry.values.modified,
                                            rule, ScanItem::Kind::file));
            if (full()) {
                result.truncated = true;
                return WalkAction::stop;
            }
            return WalkAction::proceed;
        });
        if (outcome == platform::WalkOutcome::unreadableRoot) {
            result.error = "The folder could not be read.";
        }
    }
    largestFirst(result.items);
    return result;
}

bool CleanScanner::matchesFilters(const std::string& path, const std::string& name,
                                  const CleanRule& rule, const std::string& root) {
    std::string relative = path.size() > root.size() ? path.substr(root.size()) : std::string{};
    const auto first = relative.find_first_not_of('/');
    if (first == std::string::npos) {
        relative.clear();
    } else {
        relative.erase(0, first);
        relative.erase(relative.find_last_not_of('/') + 1);
    }

    if (!rule.includes.empty()) {
        bool included = false;
        for (const auto& pattern : rule.includes) {
            if (isAnchored(pattern)
                    ? matchesAnchored(pattern, relative)
                    : FileTools::glob(pattern, name) ||
                          (!relative.empty() && FileTools::glob(pattern, relative))) {
                included = true;
                break;
            }
        }
        if (!included) {
            return false;
        }
    }

    for (const auto& pattern : rule.excludes) {
        if (isAnchored(pattern)) {
            if (matchesAnchored(pattern, relative)) {
                return false;
            }
            continue;
        }
        if (FileTools::glob(pattern, name)) {
            return false;
        }
        if (relative.empty()) {
            continue;
        }
        if (FileTools::glob(pattern, relative)) {
            return false;
        }
        std::size_t start = 0;
        while (start < relative.size()) {
            auto slash = relative.find('/', start);
            if (slash == std::string::npos) {
                slash = relative.size();
            }
            if (slash > start && FileTools::glob(pattern, relative.substr(start, slash - start))) {
                return false;
            }
            start = slash + 1;
        }
    }
    return true;
}

}  // namespace kelvane
