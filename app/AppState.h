#pragma once

// The one controller of the application. It holds in-memory copies of everything the screens
// show, runs every long operation on a background thread, applies the results on the main
// thread and shows one short notice at a time. Screens read its properties and call its
// operations; they never reach the stores themselves, except where a screen says so.
//
// Qt Core only, so it runs in tests and tools without a display. Everything here is called
// and changed on the main thread; background work gets copies of what it needs.

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "AppSection.h"
#include "BackgroundWork.h"
#include "RecordListModel.h"
#include "RecordValues.h"
#include "model/CleanRule.h"
#include "model/ScanRecords.h"
#include "quarantine/HistoryStore.h"
#include "quarantine/QuarantineStore.h"
#include "scan/DuplicateScan.h"
#include "scan/LargeFileScan.h"
#include "settings/ScanSchedule.h"
#include "settings/SettingsStore.h"
#include "system/AppInventory.h"
#include "system/StartupItems.h"

namespace kelvane {

using RuleModel = app::RecordListModel<CleanRule>;
using RuleResultModel = app::RecordListModel<RuleScanResult>;
using ScanItemModel = app::RecordListModel<ScanItem>;
using DuplicateGroupModel = app::RecordListModel<DuplicateGroup>;
using BatchModel = app::RecordListModel<QuarantineBatch>;
using HistoryModel = app::RecordListModel<CleanHistoryEntry>;
using InstalledAppModel = app::RecordListModel<InstalledApp>;
using StartupItemModel = app::RecordListModel<StartupItem>;

// What the controller takes from its surroundings; the defaults are the real ones. Tests
// shorten the intervals and fix the clock instead of waiting for real timers.
struct ControllerOptions {
    std::function<Date()> clock = [] { return now(); };
    std::chrono::milliseconds toastLife{4000};
    std::chrono::milliseconds volumeInterval{30000};
    std::chrono::milliseconds scheduleInterval{30000};
    std::chrono::milliseconds firstScheduleCheck{8000};
    std::chrono::milliseconds quitPollInterval{200};
    int quitPolls = 25;
    // The shipped catalogue when absent.
    std::optional<std::vector<CleanRule>> rules;
    // Where applications are looked for; the inventory's own places when absent.
    std::optional<std::vector<std::string>> applicationRoots;
    // Runs the desktop's own tools (flatpak, snap, systemctl); tests stand in for them.
    platform::CommandRunner runCommand = platform::runCommand;
    // Folders every scan and clean of this controller also skips, never saved (a command
    // line's --ignore).
    std::vector<std::string> extraIgnoreList;
    // False keeps the settings file as it is: a controller over a catalogue other than the
    // shipped one would otherwise save away the user's rule choices.
    bool saveSettings = true;
    // The large file and duplicate scans' budgets; the deep scan keeps its own.
    int largeOlderThanDays = 0;
    std::int64_t largeFileLimit = 400'000;
    int largeResultLimit = 2'000;
    std::int64_t duplicateFileLimit = 120'000;
    // Called on the background thread at every progress report of a scan, before the report
    // is queued, with the scan's kind ("quick", "deep-junk", "deep-large", "deep-duplicates",
    // "large", "duplicates"); lets a test hold a scan at a known point.
    std::function<void(std::string_view kind)> progressProbe;
};

class AppState : public QObject {
    Q_OBJECT
    Q_PROPERTY(RuleModel* rules READ ruleModel CONSTANT)
    Q_PROPERTY(kelvane::app::SettingsValue settings READ settingsValue NOTIFY settingsChanged)
    Q_PROPERTY(QString section READ sectionText WRITE setSectionText NOTIFY sectionChanged)
    // Where the quarantine lives, for the screens' texts that name it.
    Q_PROPERTY(QString quarantineFolder READ quarantineFolder CONSTANT)
    // Whether Kelvane's own autostart entry starts it in the tray at login.
    Q_PROPERTY(bool opensAtLogin READ opensAtLogin WRITE setOpensAtLogin NOTIFY opensAtLoginChanged)
    Q_PROPERTY(QString scanMode READ scanModeText WRITE setScanModeText NOTIFY scanModeChanged)
    Q_PROPERTY(bool isScanning READ isScanning NOTIFY isScanningChanged)
    Q_PROPERTY(kelvane::app::ProgressValue progress READ progressValue NOTIFY progressChanged)
    Q_PROPERTY(kelvane::app::JunkSummaryValue junkResult READ junkValue NOTIFY junkResultChanged)
    Q_PROPERTY(RuleResultModel* ruleResults READ ruleResultModel CONSTANT)
    Q_PROPERTY(ScanItemModel* junkItems READ junkItemModel CONSTANT)
    Q_PROPERTY(QDateTime lastScanDate READ lastScanDateValue NOTIFY lastScanDateChanged)
    Q_PROPERTY(bool isDeepScanning READ isDeepScanning NOTIFY isDeepScanningChanged)
    Q_PROPERTY(QString deepStage READ deepStageText NOTIFY deepStageChanged)
    Q_PROPERTY(double deepProgress READ deepProgress NOTIFY deepProgressChanged)
    Q_PROPERTY(bool isScanningLarge READ isScanningLarge NOTIFY isScanningLargeChanged)
    Q_PROPERTY(qint64 largeProgressFiles READ largeProgressFiles NOTIFY largeProgressFilesChanged)
    Q_PROPERTY(kelvane::app::LargeScanValue largeScan READ largeValue NOTIFY largeScanChanged)
    Q_PROPERTY(ScanItemModel* largeItems READ largeItemModel CONSTANT)
    Q_PROPERTY(QString largeRoot READ largeRootText WRITE setLargeRootText NOTIFY largeRootChanged)
    Q_PROPERTY(int largeMinMB READ largeMinMB WRITE setLargeMinMB NOTIFY largeMinMBChanged)
    Q_PROPERTY(
        bool isScanningDuplicates READ isScanningDuplicates NOTIFY isScanningDuplicatesChanged)
    Q_PROPERTY(qint64 duplicateProgressFiles READ duplicateProgressFiles NOTIFY
                   duplicateProgressFilesChanged)
    Q_PROPERTY(kelvane::app::DuplicateScanValue duplicateScan READ duplicateValue NOTIFY
                   duplicateScanChanged)
    Q_PROPERTY(DuplicateGroupModel* duplicateGroups READ duplicateGroupModel CONSTANT)
    Q_PROPERTY(QString duplicateRoot READ duplicateRootText WRITE setDuplicateRootText NOTIFY
                   duplicateRootChanged)
    Q_PROPERTY(
        int duplicateMinMB READ duplicateMinMB WRITE setDuplicateMinMB NOTIFY duplicateMinMBChanged)
    Q_PROPERTY(InstalledAppModel* installedApps READ installedAppModel CONSTANT)
    Q_PROPERTY(bool isLoadingApps READ isLoadingApps NOTIFY isLoadingAppsChanged)
    Q_PROPERTY(bool isUninstalling READ isUninstalling NOTIFY isUninstallingChanged)
    Q_PROPERTY(StartupItemModel* startupItems READ startupItemModel CONSTANT)
    Q_PROPERTY(BatchModel* batches READ batchModel CONSTANT)
    Q_PROPERTY(HistoryModel* history READ historyModel CONSTANT)
    Q_PROPERTY(kelvane::app::ScheduleValue schedule READ scheduleValue NOTIFY scheduleChanged)
    Q_PROPERTY(QString toast READ toastText NOTIFY toastChanged)
    Q_PROPERTY(bool isCleaning READ isCleaning NOTIFY isCleaningChanged)
    // How many items the clean under way moves.
    Q_PROPERTY(int cleaningCount READ cleaningCount NOTIFY isCleaningChanged)
    Q_PROPERTY(qint64 freeSpace READ freeSpace NOTIFY freeSpaceChanged)
    Q_PROPERTY(qint64 volumeTotal READ volumeTotal NOTIFY volumeTotalChanged)
    Q_PROPERTY(double usedFraction READ usedFraction NOTIFY volumeChanged)
    Q_PROPERTY(qint64 quarantineBytes READ quarantineBytes NOTIFY batchesChanged)
    Q_PROPERTY(int batchCount READ batchCount NOTIFY batchesChanged)
    // The user's login agents and how many of them are on, for the overview.
    Q_PROPERTY(int userStartupCount READ userStartupCount NOTIFY startupItemsChanged)
    Q_PROPERTY(int userStartupEnabled READ userStartupEnabled NOTIFY startupItemsChanged)
    Q_PROPERTY(int systemStartupCount READ systemStartupCount NOTIFY startupItemsChanged)
    // The row of the last user item in startupItems, -1 when none: the list draws no divider
    // after it.
    Q_PROPERTY(int lastUserStartupRow READ lastUserStartupRow NOTIFY startupItemsChanged)
    // A machine-wide item this user can switch (an autostart entry): the list is not all
    // read-only.
    Q_PROPERTY(
        bool anySystemStartupSwitchable READ anySystemStartupSwitchable NOTIFY startupItemsChanged)
    Q_PROPERTY(int activeRuleCount READ activeRuleCount NOTIFY settingsChanged)
    Q_PROPERTY(int ruleCount READ ruleCount CONSTANT)

  public:
    // The process's controller, made on first use on the main thread.
    static AppState& shared();
    // The options `shared()` makes the controller with; only before its first use.
    static void setSharedOptions(ControllerOptions options);

    explicit AppState(ControllerOptions options = {}, QObject* parent = nullptr);
    // Stops every running task and waits for it; results still on their way are dropped.
    ~AppState() override;
    AppState(const AppState&) = delete;
    AppState& operator=(const AppState&) = delete;

    // --- Published state, as core records -------------------------------------------------
    const std::vector<CleanRule>& rules() const { return rules_; }
    const AppSettings& settings() const { return settings_; }
    // The settings screens change the settings through this, then call persistSettings().
    void updateSettings(const std::function<void(AppSettings&)>& change);
    AppSection section() const { return section_; }
    void setSection(AppSection section);
    ScanMode scanMode() const { return scanMode_; }
    void setScanMode(ScanMode mode);
    bool isScanning() const { return isScanning_; }
    const std::optional<ScanProgress>& progress() const { return progress_; }
    const std::optional<JunkScanResult>& junkResult() const { return junkResult_; }
    const std::optional<Date>& lastScanDate() const { return lastScanDate_; }
    bool isDeepScanning() const { return isDeepScanning_; }
    const std::string& deepStage() const { return deepStage_; }
    double deepProgress() const { return deepProgress_; }
    bool isScanningLarge() const { return isScanningLarge_; }
    qint64 largeProgressFiles() const { return largeProgressFiles_; }
    const std::optional<LargeFileScan>& largeScan() const { return largeScan_; }
    const std::string& largeRoot() const { return largeRoot_; }
    void setLargeRoot(const std::string& root);
    int largeMinMB() const { return largeMinMB_; }
    void setLargeMinMB(int megabytes);
    bool isScanningDuplicates() const { return isScanningDuplicates_; }
    qint64 duplicateProgressFiles() const { return duplicateProgressFiles_; }
    const std::optional<DuplicateScan>& duplicateScan() const { return duplicateScan_; }
    const std::string& duplicateRoot() const { return duplicateRoot_; }
    void setDuplicateRoot(const std::string& root);
    int duplicateMinMB() const { return duplicateMinMB_; }
    void setDuplicateMinMB(int megabytes);
    const std::vector<InstalledApp>& installedApps() const { return installedAppModel_.rows(); }
    bool isLoadingApps() const { return isLoadingApps_; }
    bool isUninstalling() const { return isUninstalling_; }
    const std::vector<StartupItem>& startupItems() const { return startupItemModel_.rows(); }
    const std::vector<QuarantineBatch>& batches() const { return batchModel_.rows(); }
    const std::vector<CleanHistoryEntry>& history() const { return historyModel_.rows(); }
    // What the latest clean moved, for callers that need more than its notice (the command
    // line); why its history entry could not be written, when it could not; and the failure
    // sentences of the latest restore.
    const std::optional<QuarantineBatch>& lastCleanBatch() const { return lastCleanBatch_; }
    const std::optional<std::string>& historyFailure() const { return historyFailure_; }
    const std::vector<std::string>& lastRestoreFailures() const { return lastRestoreFailures_; }
    const ScanSchedule& schedule() const { return schedule_; }
    // The settings screen changes the schedule through this and saves the file itself.
    void setSchedule(const ScanSchedule& schedule);
    const std::optional<std::string>& toast() const { return toast_; }
    void setToast(std::optional<std::string> notice);
    bool isCleaning() const { return isCleaning_; }
    int cleaningCount() const { return cleaningCount_; }
    qint64 freeSpace() const { return freeSpace_; }
    qint64 volumeTotal() const { return volumeTotal_; }

    // --- Derived values, computed on every read -------------------------------------------
    std::vector<CleanRule> activeRules() const;
    std::vector<std::pair<RuleGroup, std::vector<CleanRule>>> groupedRules() const;
    std::optional<RuleScanResult> result(const CleanRule& rule) const;
    double usedFraction() const;
    qint64 quarantineBytes() const;

    // --- Operations --------------------------------------------------------------------------
    void refreshVolume();
    // Writes the settings: what this controller changed since it last read or wrote them is
    // merged into what is stored now, under the store's lock, and the result becomes the
    // controller's copy. The reason when the save failed, nothing when it worked.
    std::optional<std::string> persistSettings();
    void setRule(const CleanRule& rule, bool enabled);
    void resetRules();
    // `path` as the folder chooser gave it.
    void addIgnore(const std::string& path);

    void runScan(bool openWhenDone);
    void cancelScan();
    void cleanJunk(const std::vector<ScanItem>& items);
    void clean(const std::vector<ScanItem>& items, const std::string& note);
    void runDeepScan();
    void runLargeScan();
    void runDuplicateScan();

    void restore(const QuarantineBatch& batch);
    void deletePermanently(const QuarantineBatch& batch);
    void purgeExpired();
    void toggleStartup(const StartupItem& item);
    // The startup screen's refresh: the login items read again.
    void reloadStartupItems();
    void loadApplications(bool force);
    // The leftovers are searched off the main thread; `done` gets them on the main thread,
    // unless the controller is gone by then.
    void leftovers(const InstalledApp& app, std::function<void(std::vector<ScanItem>)> done);
    void uninstall(const InstalledApp& app, const std::vector<ScanItem>& leftovers);

    // The schedule timer's check, with the time of the check.
    void checkSchedule(Date now);

    // --- The same operations for QML, naming records by their identifiers ------------------
    Q_INVOKABLE void startScan(bool openWhenDone) { runScan(openWhenDone); }
    Q_INVOKABLE void stopScan() { cancelScan(); }
    Q_INVOKABLE void startDeepScan() { runDeepScan(); }
    Q_INVOKABLE void startLargeScan() { runLargeScan(); }
    Q_INVOKABLE void startDuplicateScan() { runDuplicateScan(); }
    Q_INVOKABLE void setRuleEnabled(const QString& ruleID, bool enabled);
    Q_INVOKABLE void resetRuleSelection() { resetRules(); }
    Q_INVOKABLE void addIgnorePath(const QString& path) { addIgnore(app::utf8(path)); }
    // Every item of the last junk result, as the junk screen's clean offers them.
    Q_INVOKABLE void cleanAllJunk();
    // Items of the large file or duplicate results, by path.
    // The ticked files of one result, taken from that result only: a file that is also in the
    // other result keeps the result it was chosen from (its rule and history category).
    Q_INVOKABLE void cleanLargeFiles(const QStringList& paths);
    Q_INVOKABLE void cleanDuplicates(const QStringList& paths);
    Q_INVOKABLE void restoreBatch(const QString& batchID);
    Q_INVOKABLE void deleteBatch(const QString& batchID);
    Q_INVOKABLE void purgeExpiredBatches() { purgeExpired(); }
    Q_INVOKABLE void toggleStartupItem(const QString& path);
    Q_INVOKABLE void refreshStartupItems() { reloadStartupItems(); }
    Q_INVOKABLE void loadApps(bool force) { loadApplications(force); }
    // Answers through leftoversFound.
    Q_INVOKABLE void findLeftovers(const QString& appPath);
    Q_INVOKABLE void uninstallApp(const QString& appPath, const QStringList& leftoverPaths);
    Q_INVOKABLE QString formatBytes(qint64 count) const;
    QString quarantineFolder() const;
    bool opensAtLogin() const;
    void setOpensAtLogin(bool enabled);
    // The sidebar and Go-menu title of a section, by raw value.
    Q_INVOKABLE QString sectionTitle(const QString& raw) const;
    // The settings screen's edits, each saved at once as the screen saves them.
    Q_INVOKABLE void setRetentionDays(int days);
    Q_INVOKABLE void removeIgnorePath(const QString& path);
    Q_INVOKABLE void setScheduleMode(const QString& mode);
    Q_INVOKABLE void setScheduleTime(int hour, int minute);
    Q_INVOKABLE void setScheduleWeekday(int weekday);
    // The large files and duplicates screens' folder and size choices, kept in the settings.
    Q_INVOKABLE void chooseLargeRoot(const QString& path);
    Q_INVOKABLE void chooseLargeMinMB(int megabytes);
    Q_INVOKABLE void chooseDuplicateRoot(const QString& path);
    Q_INVOKABLE void chooseDuplicateMinMB(int megabytes);
    // The schedule's next slot after now, invalid when there is none.
    Q_INVOKABLE QDateTime nextScheduledRun() const;

    // --- Models and value types for QML ----------------------------------------------------
    RuleModel* ruleModel() { return &ruleModel_; }
    RuleResultModel* ruleResultModel() { return &ruleResultModel_; }
    ScanItemModel* junkItemModel() { return &junkItemModel_; }
    ScanItemModel* largeItemModel() { return &largeItemModel_; }
    DuplicateGroupModel* duplicateGroupModel() { return &duplicateGroupModel_; }
    InstalledAppModel* installedAppModel() { return &installedAppModel_; }
    StartupItemModel* startupItemModel() { return &startupItemModel_; }
    BatchModel* batchModel() { return &batchModel_; }
    HistoryModel* historyModel() { return &historyModel_; }
    app::SettingsValue settingsValue() const { return {settings_}; }
    app::ProgressValue progressValue() const { return {progress_}; }
    app::JunkSummaryValue junkValue() const { return {junkResult_}; }
    app::LargeScanValue largeValue() const { return {largeScan_}; }
    app::DuplicateScanValue duplicateValue() const { return {duplicateScan_}; }
    app::ScheduleValue scheduleValue() const { return {schedule_}; }
    QString sectionText() const;
    void setSectionText(const QString& raw);
    QString scanModeText() const;
    void setScanModeText(const QString& raw);
    QDateTime lastScanDateValue() const { return app::dateTime(lastScanDate_); }
    QString deepStageText() const { return app::text(deepStage_); }
    QString largeRootText() const { return app::text(largeRoot_); }
    void setLargeRootText(const QString& root) { setLargeRoot(app::utf8(root)); }
    QString duplicateRootText() const { return app::text(duplicateRoot_); }
    void setDuplicateRootText(const QString& root) { setDuplicateRoot(app::utf8(root)); }
    QString toastText() const { return toast_ ? app::text(*toast_) : QString(); }
    int batchCount() const { return static_cast<int>(batches().size()); }
    int userStartupCount() const;
    int userStartupEnabled() const;
    int lastUserStartupRow() const;
    bool anySystemStartupSwitchable() const;
    int systemStartupCount() const {
        return static_cast<int>(startupItems().size()) - userStartupCount();
    }
    int activeRuleCount() const { return static_cast<int>(activeRules().size()); }
    int ruleCount() const { return static_cast<int>(rules_.size()); }
    // The junk screen's groups: for every rule group with a rule, its raw value, title,
    // summary, bytes, item count, its rules (with their switch, result bytes, error) and its
    // items, rule after rule.
    Q_INVOKABLE QVariantList junkGroups() const;
    // The last large file result's items and the last duplicate result's groups ({ id, hash,
    // size, reclaimableBytes, files }), in their result order; empty without a result.
    Q_INVOKABLE QVariantList largeFileList() const;
    Q_INVOKABLE QVariantList duplicateGroupList() const;
    // The installed applications, as the list model's rows.
    Q_INVOKABLE QVariantList installedAppList() const;

  signals:
    void opensAtLoginChanged();
    void settingsChanged();
    void sectionChanged();
    void scanModeChanged();
    void isScanningChanged();
    void progressChanged();
    void junkResultChanged();
    void lastScanDateChanged();
    void isDeepScanningChanged();
    void deepStageChanged();
    void deepProgressChanged();
    void isScanningLargeChanged();
    void largeProgressFilesChanged();
    void largeScanChanged();
    void largeRootChanged();
    void largeMinMBChanged();
    void isScanningDuplicatesChanged();
    void duplicateProgressFilesChanged();
    void duplicateScanChanged();
    void duplicateRootChanged();
    void duplicateMinMBChanged();
    void installedAppsChanged();
    void isLoadingAppsChanged();
    void isUninstallingChanged();
    void startupItemsChanged();
    void batchesChanged();
    void historyChanged();
    void scheduleChanged();
    void toastChanged();
    void isCleaningChanged();
    void freeSpaceChanged();
    void volumeTotalChanged();
    void volumeChanged();
    void leftoversFound(const QString& appPath, const QVariantList& items);
    // Anything the junk screen's groups read changed.
    void junkGroupsChanged();

  private:
    // Runs `work` on a pool thread with a copy of everything it needs, then `done` with its
    // result on the main thread, unless the controller is gone by then.
    template <class Work, class Done>
    void inBackground(app::WorkerPool& pool, Work work, Done done);
    // Queues `update` for the main thread from a background thread.
    void onMain(std::function<void(AppState&)> update);
    app::TaskHandle newTask();

    void finishJunk(std::uint64_t task, const JunkScanResult& result, bool openWhenDone);
    void removeCleanedItems(const std::set<std::string>& paths);
    std::vector<std::string> categories(const std::vector<ScanItem>& items) const;
    void stopDeepScan(std::uint64_t task);
    void finishDeepScan(std::uint64_t task, const std::optional<JunkScanResult>& junk,
                        const std::optional<LargeFileScan>& large,
                        const std::optional<DuplicateScan>& duplicates);
    void finishLargeScan(std::uint64_t task, const LargeFileScan& result);
    void finishDuplicateScan(std::uint64_t task, const DuplicateScan& result);
    void finishUninstall(const InstalledApp& app, const std::vector<ScanItem>& leftovers,
                         std::vector<pid_t> running, int pollsLeft);
    // Lowers isScanning unless a quick or deep scan that was not stopped still runs.
    void settleScanningFlag();
    void startVolumeTimer();
    void startScheduleTimer();
    QuarantineStore quarantineStore() const;
    // The settings' ignore list with this controller's extra folders.
    std::vector<std::string> ignoreList() const;
    AppInventory inventory() const;
    void addHistory(const CleanHistoryEntry& entry);

    void setJunkResult(std::optional<JunkScanResult> result);
    void setLargeScan(std::optional<LargeFileScan> result);
    void setDuplicateScan(std::optional<DuplicateScan> result);
    void setBatches(std::vector<QuarantineBatch> list);
    void setHistory(std::vector<CleanHistoryEntry> list);
    void setStartupItems(std::vector<StartupItem> list);
    void setInstalledApps(std::vector<InstalledApp> list);
    void setProgress(std::optional<ScanProgress> value);
    void setDeep(std::string stage, double fraction);
    void setFlag(bool AppState::*flag, bool value, void (AppState::*changed)());

    ControllerOptions options_;

    std::vector<CleanRule> rules_;
    AppSettings settings_;
    AppSettings settingsBase_;  // the settings as last read or written, for merging
    AppSection section_ = AppSection::overview;
    ScanMode scanMode_ = ScanMode::quick;
    bool isScanning_ = false;
    std::optional<ScanProgress> progress_;
    std::optional<JunkScanResult> junkResult_;
    std::optional<Date> lastScanDate_;
    bool isDeepScanning_ = false;
    std::string deepStage_;
    double deepProgress_ = 0;
    bool isScanningLarge_ = false;
    qint64 largeProgressFiles_ = 0;
    std::optional<LargeFileScan> largeScan_;
    std::string largeRoot_;
    int largeMinMB_ = 0;
    bool isScanningDuplicates_ = false;
    qint64 duplicateProgressFiles_ = 0;
    std::optional<DuplicateScan> duplicateScan_;
    std::string duplicateRoot_;
    int duplicateMinMB_ = 0;
    bool isLoadingApps_ = false;
    bool isUninstalling_ = false;
    ScanSchedule schedule_;
    std::optional<std::string> toast_;
    bool isCleaning_ = false;
    int cleaningCount_ = 0;
    qint64 freeSpace_ = 0;
    qint64 volumeTotal_ = 0;

    RuleModel ruleModel_;
    RuleResultModel ruleResultModel_;
    ScanItemModel junkItemModel_;
    ScanItemModel largeItemModel_;
    DuplicateGroupModel duplicateGroupModel_;
    InstalledAppModel installedAppModel_;
    StartupItemModel startupItemModel_;
    BatchModel batchModel_;
    HistoryModel historyModel_;
    std::optional<QuarantineBatch> lastCleanBatch_;
    std::optional<std::string> historyFailure_;
    std::vector<std::string> lastRestoreFailures_;

    std::optional<app::TaskHandle> scanTask_;
    std::optional<app::TaskHandle> deepTask_;
    std::optional<app::TaskHandle> largeTask_;
    std::optional<app::TaskHandle> duplicateTask_;
    std::uint64_t lastTaskID_ = 0;
    QTimer toastTimer_;
    QTimer refreshTimer_;
    QTimer scheduleTimer_;
    QTimer firstScheduleCheck_;
    QTimer quitPoll_;
    // Stops uninstall work and inventories when the controller goes.
    std::stop_source lifetime_;

    // Declared last so they go first: the pools wait for their running jobs, whose results
    // still have a queue to land in (and are dropped with it).
    app::MainThreadQueue mainQueue_;
    // Scans, inventories, leftover searches.
    app::WorkerPool workers_{16};
    // Everything that rewrites the quarantine index (cleans, restores, the uninstall's move),
    // one job at a time in the order started.
    app::WorkerPool indexWriter_{1};
};

}  // namespace kelvane

Q_DECLARE_METATYPE(kelvane::app::ProgressValue)
Q_DECLARE_METATYPE(kelvane::app::SettingsValue)
Q_DECLARE_METATYPE(kelvane::app::ScheduleValue)
Q_DECLARE_METATYPE(kelvane::app::JunkSummaryValue)
Q_DECLARE_METATYPE(kelvane::app::LargeScanValue)
Q_DECLARE_METATYPE(kelvane::app::DuplicateScanValue)
