// The controller's scans and cleans: the quick scan and its clean, the deep scan, and the
// large file and duplicate searches.
//
// Each scan's completion is tied to the task it belongs to: it clears the handle, the busy
// flag and the progress only while they are still its own, so a scan started right after a
// cancel keeps its state when the cancelled one reports back.

#include <algorithm>
#include <variant>

#include "AppState.h"
#include "AppStateWork.h"
#include "DeepScanProgress.h"
#include "files/AppPaths.h"
#include "files/SafetyPolicy.h"
#include "model/Format.h"
#include "platform/Uuid.h"
#include "scan/CleanScanner.h"

namespace kelvane {

namespace {

constexpr int quickItemsPerRule = 8'000;
constexpr int deepItemsPerRule = 20'000;
constexpr int largeFileLimit = 2'000;
constexpr std::int64_t megabyte = 1'048'576;
constexpr std::int64_t deepLargeMinSize = 100 * megabyte;
constexpr std::int64_t deepDuplicateMinSize = 10 * megabyte;
constexpr std::int64_t largeScanFileLimit = 400'000;
constexpr std::int64_t duplicateScanFileLimit = 120'000;

CleanScanner scannerFor(const std::vector<std::string>& ignoreList, int itemsPerRule,
                        int resultLimit = largeFileLimit) {
    return CleanScanner{SafetyPolicy{ignoreList}, itemsPerRule, resultLimit};
}

bool owns(const std::optional<app::TaskHandle>& handle, std::uint64_t task) {
    return handle && handle->id == task;
}

bool ownsLive(const std::optional<app::TaskHandle>& handle, std::uint64_t task) {
    return owns(handle, task) && handle->isLive();
}

std::int64_t minSizeFor(int megabytes) {
    return static_cast<std::int64_t>(std::max(megabytes, 1)) * megabyte;
}

std::string categoryOf(const ScanItem& item, const std::vector<CleanRule>& rules) {
    const auto rule = std::find_if(rules.begin(), rules.end(),
                                   [&](const CleanRule& r) { return r.id == item.ruleID; });
    if (rule != rules.end()) {
        return std::string(title(rule->group));  // a rule's category is its group's title
    }
    if (item.ruleID == largeFilesRuleID) {
        return "Large files";
    }
    if (item.ruleID == duplicatesRuleID) {
        return "Duplicates";
    }
    return "Other";
}

struct CleanDone {
    QuarantineBatch batch;
    std::vector<std::string> leftInPlace;
};
using CleanOutcome = std::variant<CleanDone, std::string>;

}  // namespace

void AppState::settleScanningFlag() {
    const bool running = (scanTask_ && scanTask_->isLive()) || (deepTask_ && deepTask_->isLive());
    setFlag(&AppState::isScanning_, running, &AppState::isScanningChanged);
}

// --- Quick scan ------------------------------------------------------------------------------

void AppState::runScan(bool openWhenDone) {
    if (isScanning_) {
        return;
    }
    setScanMode(ScanMode::quick);
    setFlag(&AppState::isScanning_, true, &AppState::isScanningChanged);
    const std::int64_t shownTotal =
        std::max<std::int64_t>(static_cast<std::int64_t>(activeRules().size()), 1);
    setProgress(ScanProgress{"Preparing", 0, shownTotal, 0});

    auto task = newTask();
    const auto id = task.id;
    const auto stop = task.stop.get_token();
    scanTask_ = std::move(task);
    inBackground(
        workers_,
        [this, id, stop, shownTotal, probe = options_.progressProbe, rules = rules_,
         enabled = settings_.enabledRuleIDs, ignoreList = ignoreList()] {
            const auto report = [&](const ScanProgress& p) {
                if (probe) {
                    probe("quick");
                }
                ScanProgress shown = p;
                if (p.totalRules == 0) {
                    shown.completedRules = 0;
                    shown.totalRules = shownTotal;
                }
                onMain([id, shown](AppState& self) {
                    if (ownsLive(self.scanTask_, id)) {
                        self.setProgress(shown);
                    }
                });
            };
            return scannerFor(ignoreList, quickItemsPerRule)
                .scanJunk(rules, enabled, ignoreList, report, stop);
        },
        [id, openWhenDone](AppState& self, JunkScanResult result) {
            self.finishJunk(id, result, openWhenDone);
        });
}

void AppState::finishJunk(std::uint64_t task, const JunkScanResult& result, bool openWhenDone) {
    if (owns(scanTask_, task)) {
        scanTask_.reset();
        setProgress(std::nullopt);
    }
    settleScanningFlag();
    if (result.cancelled) {
        setToast("Scan stopped.");
        return;
    }
    setJunkResult(result);
    lastScanDate_ = options_.clock();
    emit lastScanDateChanged();
    settings_.lastScanDate = lastScanDate_;
    persistSettings();
    refreshVolume();
    if (openWhenDone && !result.results.empty()) {
        setSection(AppSection::junk);
    }
    if (result.totalBytes() != 0) {
        setToast("Found " + Format::bytes(result.totalBytes()) + " in " +
                 Format::fileCount(result.itemCount()) + ".");
    } else {
        setToast("Nothing to clean was found.");
    }
}

void AppState::cancelScan() {
    for (auto* task : {&scanTask_, &deepTask_, &largeTask_, &duplicateTask_}) {
        if (*task) {
            (*task)->stop.request_stop();
        }
    }
    setFlag(&AppState::isScanning_, false, &AppState::isScanningChanged);
    setFlag(&AppState::isDeepScanning_, false, &AppState::isDeepScanningChanged);
    setFlag(&AppState::isScanningLarge_, false, &AppState::isScanningLargeChanged);
    setFlag(&AppState::isScanningDuplicates_, false, &AppState::isScanningDuplicatesChanged);
    setProgress(std::nullopt);
    setDeep("", 0);
}

// --- Cleans ----------------------------------------------------------------------------------

void AppState::cleanJunk(const std::vector<ScanItem>& items) {
    std::vector<ScanItem> kept;
    std::copy_if(items.begin(), items.end(), std::back_inserter(kept), [&](const ScanItem& item) {
        return settings_.enabledRuleIDs.contains(item.ruleID);
    });
    if (kept.empty()) {
        setToast("Those rules are off now. Run a new scan.");
        return;
    }
    clean(kept, "Junk clean");
}

void AppState::clean(const std::vector<ScanItem>& items, const std::string& note) {
    if (items.empty() || isCleaning_) {
        return;
    }
    cleaningCount_ = static_cast<int>(items.size());
    setFlag(&AppState::isCleaning_, true, &AppState::isCleaningChanged);
    const auto retentionDays = settings_.retentionDays;
    const QuarantineStore store{AppPaths::quarantineDirectory(), retentionDays};
    inBackground(
        indexWriter_,
        [store, items, note, rules = rules_, ignoreList = ignoreList(),
         stop = lifetime_.get_token()]() -> CleanOutcome {
            try {
                CleanDone done;
                done.batch =
                    store.quarantine(items, rules, ignoreList, note, stop, &done.leftInPlace);
                return done;
            } catch (const std::exception& error) {
                return std::string(error.what());
            }
        },
        [store, items, note, retentionDays](AppState& self, CleanOutcome outcome) {
            self.setFlag(&AppState::isCleaning_, false, &AppState::isCleaningChanged);
            if (const auto* error = std::get_if<std::string>(&outcome)) {
                self.setToast(*error);
                return;
            }
            const auto& [batch, leftInPlace] = std::get<CleanDone>(outcome);
            self.lastCleanBatch_ = batch;
            std::set<std::string> moved;
            for (const auto& entry : batch.items) {
                moved.insert(entry.originalPath);
            }
            self.removeCleanedItems(moved);
            self.setBatches(store.batches());
            self.refreshVolume();
            self.addHistory(CleanHistoryEntry{
                .id = platform::makeUUID(),
                .date = self.options_.clock(),
                .bytes = batch.remainingBytes(),
                .itemCount = static_cast<std::int64_t>(batch.items.size()),
                .categories = self.categories(items),
                .note = note,
                .batchID = batch.id,
            });
            auto notice = "Moved " + Format::bytes(batch.remainingBytes()) +
                          " to quarantine. Restore it within " + std::to_string(retentionDays) +
                          " days.";
            if (leftInPlace.size() == 1) {
                notice += " Part of " + Format::shortPath(leftInPlace.front()) +
                          " could not be removed and stays where it was.";
            } else if (leftInPlace.size() > 1) {
                notice += " Part of " + Format::fileCount(std::ssize(leftInPlace)) +
                          " could not be removed and stays where it was.";
            }
            self.setToast(notice);
        });
}

void AppState::removeCleanedItems(const std::set<std::string>& paths) {
    if (paths.empty()) {
        return;
    }
    const auto cleaned = [&](const ScanItem& item) { return paths.contains(item.path); };
    if (junkResult_) {
        auto trimmed = *junkResult_;
        std::size_t removed = 0;
        for (auto& rule : trimmed.results) {
            removed += std::erase_if(rule.items, cleaned);
        }
        if (removed != 0) {
            setJunkResult(std::move(trimmed));
        }
    }
    if (largeScan_) {
        auto trimmed = *largeScan_;
        if (std::erase_if(trimmed.items, cleaned) != 0) {
            setLargeScan(std::move(trimmed));
        }
    }
    if (duplicateScan_) {
        auto trimmed = *duplicateScan_;
        std::size_t removed = 0;
        for (auto& group : trimmed.groups) {
            removed += std::erase_if(group.files, cleaned);
        }
        if (removed != 0) {
            std::erase_if(trimmed.groups,
                          [](const DuplicateGroup& group) { return group.files.size() < 2; });
            setDuplicateScan(std::move(trimmed));
        }
    }
}

std::vector<std::string> AppState::categories(const std::vector<ScanItem>& items) const {
    std::set<std::string> names;
    for (const auto& item : items) {
        names.insert(categoryOf(item, rules_));
    }
    return {names.begin(), names.end()};
}

// --- Deep scan -------------------------------------------------------------------------------

void AppState::runDeepScan() {
    if (isScanning_ || isScanningLarge_ || isScanningDuplicates_) {
        return;
    }
    setScanMode(ScanMode::deep);
    setFlag(&AppState::isScanning_, true, &AppState::isScanningChanged);
    setFlag(&AppState::isDeepScanning_, true, &AppState::isDeepScanningChanged);
    setDeep("Preparing deep scan", 0);
    setProgress(std::nullopt);

    auto rules = rules_;
    for (auto& rule : rules) {
        rule.minAgeDays = 0;
    }
    auto task = newTask();
    const auto id = task.id;
    const auto stop = task.stop.get_token();
    deepTask_ = std::move(task);
    workers_.start([this, id, stop, rules = std::move(rules), probe = options_.progressProbe,
                    enabled = settings_.enabledRuleIDs, ignoreList = ignoreList(),
                    home = AppPaths::home()] {
        const auto report = [&](std::string_view kind, std::string stage, double fraction) {
            if (probe) {
                probe(kind);
            }
            onMain([id, stage = std::move(stage), fraction](AppState& self) {
                if (ownsLive(self.deepTask_, id)) {
                    self.setDeep(stage, fraction);
                }
            });
        };
        const auto stopped = [&] {
            if (!stop.stop_requested()) {
                return false;
            }
            onMain([id](AppState& self) { self.stopDeepScan(id); });
            return true;
        };
        const auto scanner = scannerFor(ignoreList, deepItemsPerRule);

        auto junk = scanner.scanJunk(
            rules, enabled, ignoreList,
            [&](const ScanProgress& p) {
                report("deep-junk", "Junk: " + p.title, deepScan::junkFraction(p));
            },
            stop);
        if (stopped()) {
            return;
        }
        auto large = scanner.scanLargeFiles(
            home, deepLargeMinSize, 0, ignoreList, largeScanFileLimit,
            [&](std::int64_t n) {
                report("deep-large", deepScan::checkedText("Large files", n),
                       deepScan::largeFraction(n));
            },
            stop);
        if (stopped()) {
            return;
        }
        auto duplicates = scanner.scanDuplicates(
            home, deepDuplicateMinSize, ignoreList, duplicateScanFileLimit,
            [&](std::int64_t n) {
                report("deep-duplicates", deepScan::checkedText("Duplicates", n),
                       deepScan::duplicateFraction(n));
            },
            stop);
        onMain([id, junk = std::move(junk), large = std::move(large),
                duplicates = std::move(duplicates)](AppState& self) {
            self.finishDeepScan(id, junk, large, duplicates);
        });
    });
}

void AppState::stopDeepScan(std::uint64_t task) {
    if (owns(deepTask_, task)) {
        deepTask_.reset();
        setFlag(&AppState::isDeepScanning_, false, &AppState::isDeepScanningChanged);
        setDeep("", 0);
    }
    settleScanningFlag();
    setToast("Deep scan stopped.");
}

void AppState::finishDeepScan(std::uint64_t task, const std::optional<JunkScanResult>& junk,
                              const std::optional<LargeFileScan>& large,
                              const std::optional<DuplicateScan>& duplicates) {
    if (!junk || !large || !duplicates || junk->cancelled || large->cancelled ||
        duplicates->cancelled) {
        stopDeepScan(task);
        return;
    }
    if (owns(deepTask_, task)) {
        deepTask_.reset();
        setFlag(&AppState::isDeepScanning_, false, &AppState::isDeepScanningChanged);
        setDeep("", 0);
    }
    settleScanningFlag();
    setJunkResult(*junk);
    setLargeScan(*large);
    setDuplicateScan(*duplicates);
    lastScanDate_ = options_.clock();
    emit lastScanDateChanged();
    settings_.lastScanDate = lastScanDate_;
    persistSettings();
    refreshVolume();
    setSection(AppSection::overview);
    const std::int64_t total =
        junk->totalBytes() + large->totalBytes() + duplicates->reclaimableBytes();
    if (total < 1) {
        setToast("Deep scan found nothing to clean.");
    } else {
        setToast("Deep scan found " + Format::bytes(total) + ".");
    }
}

// --- Large file and duplicate scans ----------------------------------------------------------

void AppState::runLargeScan() {
    if (isScanningLarge_) {
        return;
    }
    setFlag(&AppState::isScanningLarge_, true, &AppState::isScanningLargeChanged);
    largeProgressFiles_ = 0;
    emit largeProgressFilesChanged();
    auto task = newTask();
    const auto id = task.id;
    const auto stop = task.stop.get_token();
    largeTask_ = std::move(task);
    inBackground(
        workers_,
        [this, id, stop, probe = options_.progressProbe, ignoreList = ignoreList(),
         root = largeRoot_, minSize = minSizeFor(largeMinMB_), days = options_.largeOlderThanDays,
         files = options_.largeFileLimit, results = options_.largeResultLimit] {
            return scannerFor(ignoreList, quickItemsPerRule, results)
                .scanLargeFiles(
                    root, minSize, days, ignoreList, files,
                    [&](std::int64_t n) {
                        if (probe) {
                            probe("large");
                        }
                        onMain([id, n](AppState& self) {
                            if (ownsLive(self.largeTask_, id)) {
                                self.largeProgressFiles_ = n;
                                emit self.largeProgressFilesChanged();
                            }
                        });
                    },
                    stop);
        },
        [id](AppState& self, LargeFileScan result) { self.finishLargeScan(id, result); });
}

void AppState::finishLargeScan(std::uint64_t task, const LargeFileScan& result) {
    if (owns(largeTask_, task)) {
        largeTask_.reset();
        setFlag(&AppState::isScanningLarge_, false, &AppState::isScanningLargeChanged);
        largeProgressFiles_ = result.scannedFiles;
        emit largeProgressFilesChanged();
    }
    if (result.cancelled) {
        setToast("Large file scan stopped.");
        return;
    }
    setLargeScan(result);
    // The threshold as it reads now, not as the scan started with it.
    const std::string threshold = std::to_string(largeMinMB_);
    if (!result.items.empty()) {
        setToast("Found " + Format::fileCount(static_cast<std::int64_t>(result.items.size())) +
                 " over " + threshold + " MB.");
    } else {
        setToast("No files over " + threshold + " MB were found.");
    }
}

void AppState::runDuplicateScan() {
    if (isScanningDuplicates_) {
        return;
    }
    setFlag(&AppState::isScanningDuplicates_, true, &AppState::isScanningDuplicatesChanged);
    duplicateProgressFiles_ = 0;
    emit duplicateProgressFilesChanged();
    auto task = newTask();
    const auto id = task.id;
    const auto stop = task.stop.get_token();
    duplicateTask_ = std::move(task);
    inBackground(
        workers_,
        [this, id, stop, probe = options_.progressProbe, ignoreList = ignoreList(),
         root = duplicateRoot_, minSize = minSizeFor(duplicateMinMB_),
         files = options_.duplicateFileLimit] {
            return scannerFor(ignoreList, quickItemsPerRule)
                .scanDuplicates(
                    root, minSize, ignoreList, files,
                    [&](std::int64_t n) {
                        if (probe) {
                            probe("duplicates");
                        }
                        onMain([id, n](AppState& self) {
                            if (ownsLive(self.duplicateTask_, id)) {
                                self.duplicateProgressFiles_ = n;
                                emit self.duplicateProgressFilesChanged();
                            }
                        });
                    },
                    stop);
        },
        [id](AppState& self, DuplicateScan result) { self.finishDuplicateScan(id, result); });
}

void AppState::finishDuplicateScan(std::uint64_t task, const DuplicateScan& result) {
    if (owns(duplicateTask_, task)) {
        duplicateTask_.reset();
        setFlag(&AppState::isScanningDuplicates_, false, &AppState::isScanningDuplicatesChanged);
        duplicateProgressFiles_ = result.scannedFiles;
        emit duplicateProgressFilesChanged();
    }
    if (result.cancelled) {
        setToast("Duplicate scan stopped.");
        return;
    }
    setDuplicateScan(result);
    if (!result.groups.empty()) {
        setToast("Found " +
                 Format::counted(static_cast<std::int64_t>(result.groups.size()), "duplicate group",
                                 "duplicate groups") +
                 ".");
    } else {
        setToast("No duplicates were found.");
    }
}

}  // namespace kelvane
