// The controller's other actions: the quarantine, login items, applications and their
// uninstall, the scheduled scan, and the QML entry points that name records by identifier.

#include <QTimer>
#include <QVariantMap>

#include <algorithm>
#include <variant>

#include "AppState.h"
#include "AppStateWork.h"
#include "files/AppPaths.h"
#include "model/Format.h"
#include "platform/RunningProcesses.h"
#include "platform/Uuid.h"
#include "scan/CleanScanner.h"
#include "system/StartupItems.h"

namespace kelvane {

// --- Quarantine ------------------------------------------------------------------------------

void AppState::restore(const QuarantineBatch& batch) {
    const auto store = quarantineStore();
    inBackground(
        indexWriter_, [store, id = batch.id] { return store.restore(std::set<std::string>{id}); },
        [store](AppState& self, RestoreResult result) {
            self.setBatches(store.batches());
            self.refreshVolume();
            self.lastRestoreFailures_ = result.failed;
            if (result.restored == 0) {
                self.setToast(result.failed.empty() ? "Nothing could be restored."
                                                    : result.failed.front());
            } else if (result.failed.empty()) {
                self.setToast("Restored " + Format::fileCount(result.restored) + ".");
            } else {
                // Part of the batch stayed: saying only "Restored" would report it as done.
                self.setToast("Restored " + Format::fileCount(result.restored) + ". " +
                              Format::fileCount(std::ssize(result.failed)) +
                              " could not be restored.");
            }
        });
}

void AppState::deletePermanently(const QuarantineBatch& batch) {
    const auto store = quarantineStore();
    try {
        store.deletePermanently(batch.id);
    } catch (const std::exception& error) {
        setToast(std::string(error.what()));
        return;
    }
    setBatches(store.batches());
    setToast("Quarantine batch deleted.");
}

void AppState::purgeExpired() {
    const auto store = quarantineStore();
    const auto removed = store.purgeExpired(options_.clock());
    setBatches(store.batches());
    setToast(removed != 0 ? "Removed " + std::to_string(removed) + " expired batches."
                          : std::string("No expired batches."));
}

// --- Login items -----------------------------------------------------------------------------

void AppState::toggleStartup(const StartupItem& chosen) {
    // A copy: the caller's item may be a row of the list that is about to be replaced.
    const StartupItem item = chosen;
    if (!item.canToggle) {
        return;
    }
    const bool enable = !item.isEnabled;
    try {
        StartupItems::setStartupItem(item, enable, StartupSources::current(), options_.runCommand);
    } catch (const std::exception& error) {
        setToast(std::string(error.what()));
        return;
    }
    setStartupItems(StartupItems::startupItems());
    setToast(item.label + (enable ? " will be enabled after you sign in again."
                                  : " will be disabled after you sign in again."));
}

void AppState::reloadStartupItems() {
    setStartupItems(StartupItems::startupItems());
    setToast("Startup list refreshed.");
}

// --- Applications ----------------------------------------------------------------------------

void AppState::loadApplications(bool force) {
    if (isLoadingApps_ || (!force && !installedApps().empty())) {
        return;
    }
    setFlag(&AppState::isLoadingApps_, true, &AppState::isLoadingAppsChanged);
    inBackground(
        workers_,
        [inventory = inventory(), stop = lifetime_.get_token()] {
            return inventory.applications(stop);
        },
        [](AppState& self, std::vector<InstalledApp> list) {
            self.setInstalledApps(std::move(list));
            self.setFlag(&AppState::isLoadingApps_, false, &AppState::isLoadingAppsChanged);
        });
}

void AppState::leftovers(const InstalledApp& app, std::function<void(std::vector<ScanItem>)> done) {
    inBackground(
        workers_,
        [inventory = inventory(), app, others = installedApps()] {
            return inventory.leftovers(app, others);
        },
        [done = std::move(done)](AppState&, std::vector<ScanItem> items) {
            done(std::move(items));
        });
}

void AppState::uninstall(const InstalledApp& app, const std::vector<ScanItem>& leftovers) {
    if (isUninstalling_) {
        return;
    }
    setFlag(&AppState::isUninstalling_, true, &AppState::isUninstallingChanged);
    // Each kind runs in its own way: an AppImage from a mount of its own, a Flatpak in a
    // sandbox whose executables are not under the app's folder.
    auto running = app.source == AppSource::appImage  ? platform::processesOfAppImage(app.path)
                   : app.source == AppSource::flatpak ? platform::processesOfFlatpak(app.bundleID)
                                                      : platform::processesInside(app.path);
    for (const auto pid : running) {
        platform::requestQuit(pid);
    }
    finishUninstall(app, leftovers, std::move(running), options_.quitPolls);
}

void AppState::finishUninstall(const InstalledApp& app, const std::vector<ScanItem>& leftovers,
                               std::vector<pid_t> running, int pollsLeft) {
    std::erase_if(running, [](pid_t pid) { return platform::hasTerminated(pid); });
    if (!running.empty() && pollsLeft > 0) {
        // The timer belongs to the controller, so a wait outlived by it does nothing.
        quitPoll_.disconnect();
        connect(&quitPoll_, &QTimer::timeout, this,
                [this, app, leftovers, running = std::move(running), pollsLeft]() mutable {
                    finishUninstall(app, leftovers, std::move(running), pollsLeft - 1);
                });
        quitPoll_.start(options_.quitPollInterval);
        return;
    }
    if (!running.empty()) {
        setFlag(&AppState::isUninstalling_, false, &AppState::isUninstallingChanged);
        setToast("Quit " + app.name + " first, then try again.");
        return;
    }

    using Outcome = std::variant<std::optional<QuarantineBatch>, std::string>;
    const auto store = quarantineStore();
    inBackground(
        indexWriter_,
        [store, app, leftovers, inventory = inventory(), run = options_.runCommand,
         stop = lifetime_.get_token()]() -> Outcome {
            try {
                inventory.uninstall(app, run);
                if (leftovers.empty()) {
                    return std::optional<QuarantineBatch>{};
                }
                return std::optional<QuarantineBatch>{
                    store.quarantine(leftovers, {}, {}, "Uninstall " + app.name, stop)};
            } catch (const std::exception& error) {
                return std::string(error.what());
            }
        },
        [store, app](AppState& self, Outcome outcome) {
            self.setFlag(&AppState::isUninstalling_, false, &AppState::isUninstallingChanged);
            if (const auto* error = std::get_if<std::string>(&outcome)) {
                self.setToast(*error);
                return;
            }
            const auto& batch = std::get<std::optional<QuarantineBatch>>(outcome);
            auto apps = self.installedApps();
            std::erase_if(apps, [&](const InstalledApp& a) { return a.path == app.path; });
            self.setInstalledApps(std::move(apps));
            if (batch) {
                self.setBatches(store.batches());
            }
            self.refreshVolume();
            self.addHistory(CleanHistoryEntry{
                .id = platform::makeUUID(),
                .date = self.options_.clock(),
                .bytes = app.size + (batch ? batch->remainingBytes() : 0),
                .itemCount = (batch ? static_cast<std::int64_t>(batch->items.size()) : 0) + 1,
                .categories = {"Uninstall"},
                .note = "Uninstalled " + app.name,
                .batchID = batch ? std::optional<std::string>(batch->id) : std::nullopt,
            });
            if (batch) {
                self.setToast(app.name + " is in the Trash. Leftovers can be restored for " +
                              std::to_string(self.settings_.retentionDays) + " days.");
            } else {
                self.setToast(app.name + " is in the Trash. No leftovers were found.");
            }
        });
}

// --- Scheduled scans -------------------------------------------------------------------------

void AppState::checkSchedule(Date now) {
    if (isScanning_ || isDeepScanning_ || isScanningLarge_ || isScanningDuplicates_) {
        return;  // postponed: the next check tries again
    }
    if (!schedule_.isDue(now, Calendar::current())) {
        return;
    }
    schedule_.lastRun = now;
    emit scheduleChanged();
    try {
        ScheduleStore{AppPaths::scheduleFile()}.save(schedule_);
    } catch (const std::exception&) {
        // Ignored: the in-memory lastRun still keeps this slot from running twice.
    }
    setToast("Scheduled scan started.");
    runScan(false);
}

// --- QML entry points ------------------------------------------------------------------------

void AppState::setRetentionDays(int days) {
    updateSettings([&](AppSettings& settings) { settings.retentionDays = days; });
    persistSettings();
}

void AppState::removeIgnorePath(const QString& path) {
    const auto text = app::utf8(path);
    updateSettings([&](AppSettings& settings) { std::erase(settings.ignoreList, text); });
    persistSettings();
}

namespace {

void saveSchedule(const ScanSchedule& schedule) {
    try {
        ScheduleStore{AppPaths::scheduleFile()}.save(schedule);
    } catch (const std::exception&) {
        // Ignored, as the settings screen ignores it: the in-memory schedule stands.
    }
}

}  // namespace

void AppState::setScheduleMode(const QString& mode) {
    if (const auto value = fromRawValue<ScheduleMode>(app::utf8(mode))) {
        auto edited = schedule_;
        edited.mode = *value;
        setSchedule(edited);
        saveSchedule(edited);
    }
}

void AppState::setScheduleTime(int hour, int minute) {
    auto edited = schedule_;
    edited.hour = hour;
    edited.minute = minute;
    setSchedule(edited);
    saveSchedule(edited);
}

void AppState::setScheduleWeekday(int weekday) {
    auto edited = schedule_;
    edited.weekday = weekday;
    setSchedule(edited);
    saveSchedule(edited);
}

void AppState::chooseLargeRoot(const QString& path) {
    setLargeRoot(app::utf8(path));
    updateSettings([&](AppSettings& settings) { settings.largeFileRoot = largeRoot_; });
    persistSettings();
}

void AppState::chooseLargeMinMB(int megabytes) {
    setLargeMinMB(megabytes);
    updateSettings([&](AppSettings& settings) { settings.minLargeFileMB = megabytes; });
    persistSettings();
}

void AppState::chooseDuplicateRoot(const QString& path) {
    setDuplicateRoot(app::utf8(path));
    updateSettings([&](AppSettings& settings) { settings.duplicateRoot = duplicateRoot_; });
    persistSettings();
}

void AppState::chooseDuplicateMinMB(int megabytes) {
    setDuplicateMinMB(megabytes);
    updateSettings([&](AppSettings& settings) { settings.minDuplicateMB = megabytes; });
    persistSettings();
}

QDateTime AppState::nextScheduledRun() const {
    return app::dateTime(schedule_.nextDue(options_.clock(), Calendar::current()));
}

void AppState::cleanAllJunk() {
    cleanJunk(junkResult_ ? junkResult_->allItems() : std::vector<ScanItem>{});
}

namespace {

std::set<std::string> pathSet(const QStringList& paths) {
    std::set<std::string> wanted;
    for (const auto& path : paths) {
        wanted.insert(app::utf8(path));
    }
    return wanted;
}

}  // namespace

void AppState::cleanLargeFiles(const QStringList& paths) {
    auto wanted = pathSet(paths);
    std::vector<ScanItem> items;
    if (largeScan_) {
        for (const auto& item : largeScan_->items) {
            if (wanted.erase(item.path) != 0) {
                items.push_back(item);
            }
        }
    }
    clean(items, "Large files");
}

void AppState::cleanDuplicates(const QStringList& paths) {
    auto wanted = pathSet(paths);
    std::vector<ScanItem> items;
    if (duplicateScan_) {
        for (const auto& group : duplicateScan_->groups) {
            for (const auto& item : group.files) {
                if (wanted.erase(item.path) != 0) {
                    items.push_back(item);
                }
            }
        }
    }
    clean(items, "Duplicates");
}

namespace {

// A copy of the record whose identifier is `id`: the caller's next step may replace the list
// it came from.
template <class Record>
std::optional<Record> byID(const std::vector<Record>& records, const QString& id) {
    const auto wanted = app::utf8(id);
    const auto found = std::find_if(records.begin(), records.end(), [&](const Record& record) {
        if constexpr (requires { record.id(); }) {
            return record.id() == wanted;
        } else {
            return record.id == wanted;
        }
    });
    return found == records.end() ? std::nullopt : std::optional<Record>(*found);
}

}  // namespace

void AppState::restoreBatch(const QString& batchID) {
    if (const auto batch = byID(batches(), batchID)) {
        restore(*batch);
    }
}

void AppState::deleteBatch(const QString& batchID) {
    if (const auto batch = byID(batches(), batchID)) {
        deletePermanently(*batch);
    }
}

void AppState::toggleStartupItem(const QString& path) {
    if (const auto item = byID(startupItems(), path)) {
        toggleStartup(*item);
    }
}

void AppState::findLeftovers(const QString& appPath) {
    if (const auto app = byID(installedApps(), appPath)) {
        leftovers(*app, [this, appPath](const std::vector<ScanItem>& items) {
            emit leftoversFound(appPath, app::itemList(items));
        });
    } else {
        // Gone from the list meanwhile: the screen still gets its answer instead of waiting.
        emit leftoversFound(appPath, QVariantList{});
    }
}

void AppState::uninstallApp(const QString& appPath, const QStringList& leftoverPaths) {
    const auto app = byID(installedApps(), appPath);
    if (!app) {
        return;
    }
    // The leftovers are searched again so that only real support files are moved; the
    // user's choice picks among them.
    std::set<std::string> chosen;
    for (const auto& path : leftoverPaths) {
        chosen.insert(app::utf8(path));
    }
    leftovers(*app, [this, app = *app, chosen](std::vector<ScanItem> found) {
        std::erase_if(found, [&](const ScanItem& item) { return !chosen.contains(item.path); });
        uninstall(app, found);
    });
}

}  // namespace kelvane
