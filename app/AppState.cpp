// The controller's object itself: start-up, the volume figures, the timers, notices, settings
// and the derived values. The scans are in AppStateScans.cpp, the other actions in
// AppStateActions.cpp.

#include "AppState.h"

#include <QCoreApplication>
#include <QVariantMap>

#include <algorithm>
#include <cmath>

#include "AppStateWork.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "model/Format.h"
#include "model/RuleCatalogue.h"
#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"
#include "scan/CleanScanner.h"
#include "support/Saturating.h"
#include "system/OwnAutostart.h"
#include "system/StartupItems.h"

namespace kelvane {

using app::text;

namespace {

QVariant dateVariant(Date value) {
    return app::dateTime(value);
}

std::vector<ScanItemModel::Role> itemRoles() {
    return {
        {"path", [](const ScanItem& i) { return QVariant(text(i.path)); }},
        {"name", [](const ScanItem& i) { return QVariant(text(i.name())); }},
        {"parentPath", [](const ScanItem& i) { return QVariant(text(i.parentPath())); }},
        {"size", [](const ScanItem& i) { return QVariant::fromValue<qint64>(i.size); }},
        {"modified", [](const ScanItem& i) { return dateVariant(i.modified); }},
        {"ruleID", [](const ScanItem& i) { return QVariant(text(i.ruleID)); }},
        {"group", [](const ScanItem& i) { return QVariant(text(std::string(rawValue(i.group)))); }},
        {"kind", [](const ScanItem& i) { return QVariant(text(std::string(rawValue(i.kind)))); }},
    };
}

std::string itemKey(const ScanItem& item) {
    return item.path;
}

}  // namespace

namespace {

ControllerOptions& sharedOptions() {
    static ControllerOptions options;
    return options;
}

}  // namespace

void AppState::setSharedOptions(ControllerOptions options) {
    sharedOptions() = std::move(options);
}

AppState& AppState::shared() {
    // Never destroyed: background work may still be running when the process exits.
    static auto* instance = new AppState(sharedOptions());
    return *instance;
}

AppState::AppState(ControllerOptions options, QObject* parent)
    : QObject(parent),
      options_(std::move(options)),
      ruleModel_(
          [](const CleanRule& r) { return r.id; },
          {
              {"ruleID", [](const CleanRule& r) { return QVariant(text(r.id)); }},
              {"name", [](const CleanRule& r) { return QVariant(text(r.name)); }},
              {"group",
               [](const CleanRule& r) { return QVariant(text(std::string(rawValue(r.group)))); }},
              {"groupTitle",
               [](const CleanRule& r) { return QVariant(text(std::string(title(r.group)))); }},
              {"path", [](const CleanRule& r) { return QVariant(text(r.path)); }},
              {"minAgeDays",
               [](const CleanRule& r) { return QVariant::fromValue<qint64>(r.minAgeDays); }},
              {"safety",
               [](const CleanRule& r) { return QVariant(text(std::string(rawValue(r.safety)))); }},
              {"note", [](const CleanRule& r) { return QVariant(text(r.note)); }},
              {"requiresFullDiskAccess",
               [](const CleanRule& r) { return QVariant(r.requiresFullDiskAccess); }},
              {"enabled",
               [this](const CleanRule& r) {
                   return QVariant(settings_.enabledRuleIDs.contains(r.id));
               }},
          },
          this),
      ruleResultModel_(
          [](const RuleScanResult& r) { return r.rule.id; },
          {
              {"ruleID", [](const RuleScanResult& r) { return QVariant(text(r.rule.id)); }},
              {"name", [](const RuleScanResult& r) { return QVariant(text(r.rule.name)); }},
              {"group",
               [](const RuleScanResult& r) {
                   return QVariant(text(std::string(rawValue(r.rule.group))));
               }},
              {"safety",
               [](const RuleScanResult& r) {
                   return QVariant(text(std::string(rawValue(r.rule.safety))));
               }},
              {"totalBytes",
               [](const RuleScanResult& r) { return QVariant::fromValue<qint64>(r.totalBytes()); }},
              {"itemCount",
               [](const RuleScanResult& r) { return QVariant(static_cast<int>(r.items.size())); }},
              {"skipped",
               [](const RuleScanResult& r) { return QVariant::fromValue<qint64>(r.skipped); }},
              {"error",
               [](const RuleScanResult& r) {
                   return r.error ? QVariant(text(*r.error)) : QVariant();
               }},
              {"truncated", [](const RuleScanResult& r) { return QVariant(r.truncated); }},
              {"items", [](const RuleScanResult& r) { return QVariant(app::itemList(r.items)); }},
          },
          this),
      junkItemModel_(itemKey, itemRoles(), this),
      largeItemModel_(itemKey, itemRoles(), this),
      duplicateGroupModel_(
          [](const DuplicateGroup& g) { return g.id; },
          {
              {"hash", [](const DuplicateGroup& g) { return QVariant(text(g.hash)); }},
              {"size", [](const DuplicateGroup& g) { return QVariant::fromValue<qint64>(g.size); }},
              {"reclaimableBytes",
               [](const DuplicateGroup& g) {
                   return QVariant::fromValue<qint64>(g.reclaimableBytes());
               }},
              {"fileCount",
               [](const DuplicateGroup& g) { return QVariant(static_cast<int>(g.files.size())); }},
              {"files", [](const DuplicateGroup& g) { return QVariant(app::itemList(g.files)); }},
          },
          this),
      installedAppModel_(
          [](const InstalledApp& a) { return a.path; },
          {
              {"path", [](const InstalledApp& a) { return QVariant(text(a.path)); }},
              {"bundleID", [](const InstalledApp& a) { return QVariant(text(a.bundleID)); }},
              {"source",
               [](const InstalledApp& a) {
                   return QVariant(text(std::string(rawValue(a.source))));
               }},
              {"name", [](const InstalledApp& a) { return QVariant(text(a.name)); }},
              {"version", [](const InstalledApp& a) { return QVariant(text(a.version)); }},
              {"size", [](const InstalledApp& a) { return QVariant::fromValue<qint64>(a.size); }},
              {"modified", [](const InstalledApp& a) { return dateVariant(a.modified); }},
              {"lastOpened",
               [](const InstalledApp& a) { return QVariant(app::dateTime(a.lastOpened)); }},
          },
          this),
      startupItemModel_(
          [](const StartupItem& s) { return s.path; },
          {
              {"path", [](const StartupItem& s) { return QVariant(text(s.path)); }},
              {"label", [](const StartupItem& s) { return QVariant(text(s.label)); }},
              {"program",
               [](const StartupItem& s) {
                   return s.program ? QVariant(text(*s.program)) : QVariant();
               }},
              {"runAtLoad", [](const StartupItem& s) { return QVariant(s.runAtLoad); }},
              {"kind",
               [](const StartupItem& s) { return QVariant(text(std::string(rawValue(s.kind)))); }},
              {"isEnabled", [](const StartupItem& s) { return QVariant(s.isEnabled); }},
              {"canToggle", [](const StartupItem& s) { return QVariant(s.canToggle); }},
              {"source",
               [](const StartupItem& s) {
                   return QVariant(text(std::string(rawValue(s.source))));
               }},
              // The desktops an autostart entry is limited to, as one line.
              {"desktops",
               [](const StartupItem& s) {
                   auto join = [](const std::vector<std::string>& names) {
                       std::string line;
                       for (const auto& name : names) {
                           line += (line.empty() ? "" : ", ") + name;
                       }
                       return line;
                   };
                   if (!s.onlyShowIn.empty()) {
                       return QVariant(text("Only in " + join(s.onlyShowIn)));
                   }
                   if (!s.notShowIn.empty()) {
                       return QVariant(text("Not in " + join(s.notShowIn)));
                   }
                   return QVariant(QString());
               }},
          },
          this),
      batchModel_(
          [](const QuarantineBatch& b) { return b.id; },
          {
              {"batchID", [](const QuarantineBatch& b) { return QVariant(text(b.id)); }},
              {"createdAt", [](const QuarantineBatch& b) { return dateVariant(b.createdAt); }},
              {"expiresAt", [](const QuarantineBatch& b) { return dateVariant(b.expiresAt); }},
              {"note", [](const QuarantineBatch& b) { return QVariant(text(b.note)); }},
              {"itemCount",
               [](const QuarantineBatch& b) { return QVariant(static_cast<int>(b.items.size())); }},
              {"remainingCount",
               [](const QuarantineBatch& b) {
                   return QVariant(static_cast<int>(b.remainingItems().size()));
               }},
              {"remainingBytes",
               [](const QuarantineBatch& b) {
                   return QVariant::fromValue<qint64>(b.remainingBytes());
               }},
              {"entries",
               [](const QuarantineBatch& b) {
                   QVariantList list;
                   for (const auto& e : b.items) {
                       list.append(QVariantMap{
                           {"entryID", text(e.id)},
                           {"originalPath", text(e.originalPath)},
                           {"size", QVariant::fromValue<qint64>(e.size)},
                           {"modified", dateVariant(e.modified)},
                           {"ruleID", text(e.ruleID)},
                           {"restoredAt", app::dateTime(e.restoredAt)},
                           {"failure", e.failure ? QVariant(text(*e.failure)) : QVariant()},
                       });
                   }
                   return QVariant(list);
               }},
          },
          this),
      historyModel_(
          [](const CleanHistoryEntry& h) { return h.id; },
          {
              {"entryID", [](const CleanHistoryEntry& h) { return QVariant(text(h.id)); }},
              {"date", [](const CleanHistoryEntry& h) { return dateVariant(h.date); }},
              {"bytes",
               [](const CleanHistoryEntry& h) { return QVariant::fromValue<qint64>(h.bytes); }},
              {"itemCount",
               [](const CleanHistoryEntry& h) { return QVariant::fromValue<qint64>(h.itemCount); }},
              {"categories",
               [](const CleanHistoryEntry& h) { return QVariant(app::stringList(h.categories)); }},
              {"note", [](const CleanHistoryEntry& h) { return QVariant(text(h.note)); }},
              {"batchID",
               [](const CleanHistoryEntry& h) {
                   return h.batchID ? QVariant(text(*h.batchID)) : QVariant();
               }},
          },
          this) {
    // 1. Start values are the members' initialisers. 2. The catalogue.
    rules_ = options_.rules ? *options_.rules : RuleCatalogue::bundled();
    ruleModel_.assign(rules_);

    // Kelvane's folder of an older version moves to the XDG places once; if that fails the old
    // folder stays in use and the user is told.
    const auto migrationFailure = AppPaths::migrateLegacyFolder();

    // 3–4. Settings over the catalogue's defaults, without IDs the catalogue no longer has.
    settings_ = SettingsStore{AppPaths::settingsFile()}.load(AppSettings::defaults(rules_));
    settingsBase_ = settings_;
    std::set<std::string> known;
    for (const auto& rule : rules_) {
        known.insert(rule.id);
    }
    std::erase_if(settings_.enabledRuleIDs,
                  [&](const std::string& id) { return !known.contains(id); });

    // 5. The scan fields that the large file and duplicate screens edit.
    largeRoot_ = settings_.largeFileRoot;
    largeMinMB_ =
        static_cast<int>(std::clamp<std::int64_t>(settings_.minLargeFileMB, INT32_MIN, INT32_MAX));
    duplicateRoot_ = settings_.duplicateRoot;
    duplicateMinMB_ =
        static_cast<int>(std::clamp<std::int64_t>(settings_.minDuplicateMB, INT32_MIN, INT32_MAX));

    // 6–8. The schedule; no last-scan date across restarts; the history.
    schedule_ = ScheduleStore{AppPaths::scheduleFile()}.load();
    lastScanDate_.reset();
    historyModel_.assign(HistoryStore{AppPaths::historyFile()}.entries());

    // 9. Expired batches go before the rest are listed.
    const auto store = quarantineStore();
    store.purgeExpired(options_.clock());
    batchModel_.assign(store.batches());

    // 10–11.
    startupItemModel_.assign(StartupItems::startupItems());
    refreshVolume();

    toastTimer_.setSingleShot(true);
    toastTimer_.setTimerType(Qt::PreciseTimer);
    connect(&toastTimer_, &QTimer::timeout, this, [this] { setToast(std::nullopt); });
    quitPoll_.setSingleShot(true);
    connect(this, &AppState::junkResultChanged, this, &AppState::junkGroupsChanged);
    connect(this, &AppState::settingsChanged, this, &AppState::junkGroupsChanged);
    startVolumeTimer();
    startScheduleTimer();
    if (migrationFailure) {
        setToast(*migrationFailure);
    }
}

AppState::~AppState() {
    for (auto* task : {&scanTask_, &deepTask_, &largeTask_, &duplicateTask_}) {
        if (*task) {
            (*task)->stop.request_stop();
        }
    }
    lifetime_.request_stop();
    // The pools are destroyed next (they are the last members) and wait for their jobs.
}

void AppState::onMain(std::function<void(AppState&)> update) {
    mainQueue_.post([this, update = std::move(update)] { update(*this); });
}

app::TaskHandle AppState::newTask() {
    return app::TaskHandle{++lastTaskID_, std::stop_source{}};
}

// --- Published fields ------------------------------------------------------------------------

void AppState::setFlag(bool AppState::*flag, bool value, void (AppState::*changed)()) {
    if (this->*flag != value) {
        this->*flag = value;
        emit(this->*changed)();
    }
}

void AppState::updateSettings(const std::function<void(AppSettings&)>& change) {
    change(settings_);
    ruleModel_.refreshAll();
    emit settingsChanged();
}

void AppState::setSection(AppSection section) {
    if (section_ != section) {
        section_ = section;
        emit sectionChanged();
    }
}

void AppState::setScanMode(ScanMode mode) {
    if (scanMode_ != mode) {
        scanMode_ = mode;
        emit scanModeChanged();
    }
}

QString AppState::sectionText() const {
    return text(std::string(rawValue(section_)));
}

void AppState::setSectionText(const QString& raw) {
    if (const auto section = fromRawValue<AppSection>(app::utf8(raw))) {
        setSection(*section);
    }
}

QString AppState::scanModeText() const {
    return text(std::string(rawValue(scanMode_)));
}

void AppState::setScanModeText(const QString& raw) {
    if (const auto mode = fromRawValue<ScanMode>(app::utf8(raw))) {
        setScanMode(*mode);
    }
}

void AppState::setLargeRoot(const std::string& root) {
    if (largeRoot_ != root) {
        largeRoot_ = root;
        emit largeRootChanged();
    }
}

void AppState::setLargeMinMB(int megabytes) {
    if (largeMinMB_ != megabytes) {
        largeMinMB_ = megabytes;
        emit largeMinMBChanged();
    }
}

void AppState::setDuplicateRoot(const std::string& root) {
    if (duplicateRoot_ != root) {
        duplicateRoot_ = root;
        emit duplicateRootChanged();
    }
}

void AppState::setDuplicateMinMB(int megabytes) {
    if (duplicateMinMB_ != megabytes) {
        duplicateMinMB_ = megabytes;
        emit duplicateMinMBChanged();
    }
}

void AppState::setSchedule(const ScanSchedule& schedule) {
    schedule_ = schedule;
    emit scheduleChanged();
}

void AppState::setProgress(std::optional<ScanProgress> value) {
    progress_ = std::move(value);
    emit progressChanged();
}

void AppState::setDeep(std::string stage, double fraction) {
    if (deepStage_ != stage) {
        deepStage_ = std::move(stage);
        emit deepStageChanged();
    }
    if (deepProgress_ != fraction) {
        deepProgress_ = fraction;
        emit deepProgressChanged();
    }
}

void AppState::setJunkResult(std::optional<JunkScanResult> result) {
    junkResult_ = std::move(result);
    ruleResultModel_.assign(junkResult_ ? junkResult_->results : std::vector<RuleScanResult>{});
    junkItemModel_.assign(junkResult_ ? junkResult_->allItems() : std::vector<ScanItem>{});
    emit junkResultChanged();
}

void AppState::setLargeScan(std::optional<LargeFileScan> result) {
    largeScan_ = std::move(result);
    largeItemModel_.assign(largeScan_ ? largeScan_->items : std::vector<ScanItem>{});
    emit largeScanChanged();
}

void AppState::setDuplicateScan(std::optional<DuplicateScan> result) {
    duplicateScan_ = std::move(result);
    duplicateGroupModel_.assign(duplicateScan_ ? duplicateScan_->groups
                                               : std::vector<DuplicateGroup>{});
    emit duplicateScanChanged();
}

void AppState::setBatches(std::vector<QuarantineBatch> list) {
    batchModel_.assign(std::move(list));
    emit batchesChanged();
}

void AppState::setHistory(std::vector<CleanHistoryEntry> list) {
    historyModel_.assign(std::move(list));
    emit historyChanged();
}

void AppState::setStartupItems(std::vector<StartupItem> list) {
    startupItemModel_.assign(std::move(list));
    emit startupItemsChanged();
}

void AppState::setInstalledApps(std::vector<InstalledApp> list) {
    installedAppModel_.assign(std::move(list));
    emit installedAppsChanged();
}

// --- Notices ---------------------------------------------------------------------------------

void AppState::setToast(std::optional<std::string> notice) {
    toast_ = std::move(notice);
    emit toastChanged();
    // Each write restarts the notice's life; there is no queue.
    toastTimer_.stop();
    if (toast_) {
        toastTimer_.start(options_.toastLife);
    }
}

// --- Volume and timers -----------------------------------------------------------------------

void AppState::refreshVolume() {
    const auto capacity = platform::volumeCapacity(AppPaths::home());
    if (!capacity) {
        return;
    }
    const qint64 free = std::max<std::int64_t>(capacity->available, 0);
    const qint64 total = std::max<std::int64_t>(capacity->total, 0);
    const bool changed = free != freeSpace_ || total != volumeTotal_;
    if (free != freeSpace_) {
        freeSpace_ = free;
        emit freeSpaceChanged();
    }
    if (total != volumeTotal_) {
        volumeTotal_ = total;
        emit volumeTotalChanged();
    }
    if (changed) {
        emit volumeChanged();
    }
}

void AppState::startVolumeTimer() {
    refreshTimer_.stop();
    refreshTimer_.disconnect();
    connect(&refreshTimer_, &QTimer::timeout, this, [this] { refreshVolume(); });
    refreshTimer_.start(options_.volumeInterval);
}

void AppState::startScheduleTimer() {
    scheduleTimer_.stop();
    scheduleTimer_.disconnect();
    connect(&scheduleTimer_, &QTimer::timeout, this, [this] { checkSchedule(options_.clock()); });
    scheduleTimer_.start(options_.scheduleInterval);
    firstScheduleCheck_.setSingleShot(true);
    firstScheduleCheck_.disconnect();
    connect(&firstScheduleCheck_, &QTimer::timeout, this,
            [this] { checkSchedule(options_.clock()); });
    firstScheduleCheck_.start(options_.firstScheduleCheck);
}

// --- Settings and rules ----------------------------------------------------------------------

std::optional<std::string> AppState::persistSettings() {
    settings_.lastScanDate = lastScanDate_;
    std::optional<std::string> failure;
    if (options_.saveSettings) {
        try {
            // Never a stale copy over another process's change: only what changed here since
            // the last read goes into what is stored now.
            settings_ = SettingsStore{AppPaths::settingsFile()}.update(
                AppSettings::defaults(rules_), [&](AppSettings& stored) {
                    stored = AppSettings::merged(settingsBase_, settings_, stored);
                });
            settingsBase_ = settings_;
            ruleModel_.refreshAll();
        } catch (const std::exception& error) {
            // The change stays in this copy; the next save merges it again.
            failure = error.what();
        }
    }
    emit settingsChanged();
    return failure;
}

void AppState::setRule(const CleanRule& rule, bool enabled) {
    if (enabled) {
        settings_.enabledRuleIDs.insert(rule.id);
    } else {
        settings_.enabledRuleIDs.erase(rule.id);
    }
    ruleModel_.refreshAll();
    persistSettings();
}

void AppState::setRuleEnabled(const QString& ruleID, bool enabled) {
    if (const auto rule = RuleCatalogue::rule(app::utf8(ruleID), rules_)) {
        setRule(*rule, enabled);
    }
}

void AppState::resetRules() {
    settings_.enabledRuleIDs.clear();
    for (const auto& rule : rules_) {
        if (rule.defaultEnabled) {
            settings_.enabledRuleIDs.insert(rule.id);
        }
    }
    ruleModel_.refreshAll();
    persistSettings();
    setToast("Rule selection reset to the safe defaults.");
}

void AppState::addIgnore(const std::string& path) {
    const std::string standardized = path::standardize(path);
    if (std::find(settings_.ignoreList.begin(), settings_.ignoreList.end(), standardized) !=
        settings_.ignoreList.end()) {
        return;
    }
    settings_.ignoreList.push_back(standardized);
    persistSettings();
    setToast("Added " + std::string(path::lastComponent(path)) + " to the ignore list.");
}

// --- Derived values --------------------------------------------------------------------------

std::vector<CleanRule> AppState::activeRules() const {
    std::vector<CleanRule> active;
    for (const auto& rule : rules_) {
        if (settings_.enabledRuleIDs.contains(rule.id)) {
            active.push_back(rule);
        }
    }
    return active;
}

std::vector<std::pair<RuleGroup, std::vector<CleanRule>>> AppState::groupedRules() const {
    std::vector<std::pair<RuleGroup, std::vector<CleanRule>>> groups;
    for (const auto group : allCases<RuleGroup>()) {
        std::vector<CleanRule> members;
        std::copy_if(rules_.begin(), rules_.end(), std::back_inserter(members),
                     [&](const CleanRule& rule) { return rule.group == group; });
        if (!members.empty()) {
            groups.emplace_back(group, std::move(members));
        }
    }
    return groups;
}

std::optional<RuleScanResult> AppState::result(const CleanRule& rule) const {
    if (!junkResult_) {
        return std::nullopt;
    }
    for (const auto& entry : junkResult_->results) {
        if (entry.rule.id == rule.id) {
            return entry;
        }
    }
    return std::nullopt;
}

double AppState::usedFraction() const {
    if (volumeTotal_ < 1) {
        return 0;
    }
    return static_cast<double>(std::max<qint64>(volumeTotal_ - freeSpace_, 0)) /
           static_cast<double>(volumeTotal_);
}

qint64 AppState::quarantineBytes() const {
    qint64 sum = 0;
    for (const auto& batch : batches()) {
        sum = saturatingAdd(sum, batch.remainingBytes());
    }
    return sum;
}

int AppState::userStartupCount() const {
    return static_cast<int>(
        std::count_if(startupItems().begin(), startupItems().end(),
                      [](const StartupItem& item) { return item.kind == StartupKind::userAgent; }));
}

int AppState::userStartupEnabled() const {
    return static_cast<int>(
        std::count_if(startupItems().begin(), startupItems().end(), [](const StartupItem& item) {
            return item.kind == StartupKind::userAgent && item.isEnabled;
        }));
}

int AppState::lastUserStartupRow() const {
    const auto& items = startupItems();
    for (auto row = static_cast<int>(items.size()) - 1; row >= 0; --row) {
        if (items[static_cast<std::size_t>(row)].kind == StartupKind::userAgent) {
            return row;
        }
    }
    return -1;
}

bool AppState::anySystemStartupSwitchable() const {
    return std::any_of(startupItems().begin(), startupItems().end(), [](const StartupItem& item) {
        return item.kind == StartupKind::systemAgent && item.source == StartupSource::autostart &&
               item.canToggle;
    });
}

QVariantList AppState::junkGroups() const {
    QVariantList groups;
    for (const auto& [group, members] : groupedRules()) {
        qint64 bytes = 0;
        qint64 count = 0;
        QVariantList rules;
        QVariantList items;
        for (const auto& rule : members) {
            const auto found = result(rule);
            const qint64 ruleBytes = found ? found->totalBytes() : 0;
            bytes = saturatingAdd(bytes, ruleBytes);
            if (found) {
                count += static_cast<qint64>(found->items.size());
                items.append(app::itemList(found->items));
            }
            rules.append(QVariantMap{
                {"ruleID", text(rule.id)},
                {"name", text(rule.name)},
                {"note", text(rule.note)},
                {"optIn", rule.safety == SafetyLevel::optIn},
                {"requiresFullDiskAccess", rule.requiresFullDiskAccess},
                // On Linux nothing grants wider access; a rule says so only when its folder
                // is one this user cannot read.
                {"needsAccess", FileTools::isUnreadableFolder(AppPaths::expand(rule.path))},
                {"enabled", settings_.enabledRuleIDs.contains(rule.id)},
                {"bytes", QVariant::fromValue<qint64>(ruleBytes)},
                {"itemCount", found ? static_cast<int>(found->items.size()) : 0},
                {"error",
                 found && found->error ? QVariant(text(*found->error)) : QVariant(QString())},
            });
        }
        groups.append(QVariantMap{
            {"group", text(std::string(rawValue(group)))},
            {"title", text(std::string(title(group)))},
            {"summary", text(std::string(summary(group)))},
            {"bytes", QVariant::fromValue<qint64>(bytes)},
            {"itemCount", QVariant::fromValue<qint64>(count)},
            {"rules", rules},
            {"items", items},
        });
    }
    return groups;
}

QVariantList AppState::largeFileList() const {
    return largeScan_ ? app::itemList(largeScan_->items) : QVariantList{};
}

QVariantList AppState::installedAppList() const {
    QVariantList list;
    for (const auto& app : installedApps()) {
        list.append(QVariantMap{
            {"path", text(app.path)},
            {"bundleID", text(app.bundleID)},
            {"name", text(app.name)},
            {"version", text(app.version)},
            {"size", QVariant::fromValue<qint64>(app.size)},
            {"modified", dateVariant(app.modified)},
            {"lastOpened", app::dateTime(app.lastOpened)},
            {"source", text(std::string(rawValue(app.source)))},
            {"icon", app.icon ? text(*app.icon) : QString()},
        });
    }
    return list;
}

QVariantList AppState::duplicateGroupList() const {
    QVariantList groups;
    if (duplicateScan_) {
        for (const auto& group : duplicateScan_->groups) {
            groups.append(QVariantMap{
                {"id", text(group.id)},
                {"hash", text(group.hash)},
                {"size", QVariant::fromValue<qint64>(group.size)},
                {"reclaimableBytes", QVariant::fromValue<qint64>(group.reclaimableBytes())},
                {"files", app::itemList(group.files)},
            });
        }
    }
    return groups;
}

QString AppState::sectionTitle(const QString& raw) const {
    const auto section = fromRawValue<AppSection>(app::utf8(raw));
    return section ? text(std::string(title(*section))) : QString();
}

bool AppState::opensAtLogin() const {
    return OwnAutostart::isEnabled();
}

void AppState::setOpensAtLogin(bool enabled) {
    try {
        OwnAutostart::setEnabled(enabled, platform::executablePath());
    } catch (const std::exception& error) {
        setToast(error.what());
    }
    emit opensAtLoginChanged();
}

QString AppState::quarantineFolder() const {
    return text(AppPaths::quarantineDirectory());
}

QString AppState::formatBytes(qint64 count) const {
    return text(Format::bytes(count));
}

// --- Shared helpers --------------------------------------------------------------------------

QuarantineStore AppState::quarantineStore() const {
    return QuarantineStore{AppPaths::quarantineDirectory(), settings_.retentionDays};
}

std::vector<std::string> AppState::ignoreList() const {
    auto list = settings_.ignoreList;
    list.insert(list.end(), options_.extraIgnoreList.begin(), options_.extraIgnoreList.end());
    return list;
}

AppInventory AppState::inventory() const {
    return AppInventory(options_.applicationRoots, AppPaths::home(), std::nullopt);
}

void AppState::addHistory(const CleanHistoryEntry& entry) {
    const HistoryStore store{AppPaths::historyFile()};
    historyFailure_.reset();
    try {
        store.add(entry);
    } catch (const std::exception& error) {
        // The clean itself happened; the history is read back below, without the entry.
        historyFailure_ = error.what();
    }
    setHistory(store.entries());
}

}  // namespace kelvane
