// The controller's operations end to end: scans with their guards, cancels and notices,
// cleans that trim every result, the quarantine actions, login items, applications and their
// uninstall, and the scheduled scan.

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <sys/wait.h>
#include <unistd.h>
#include <csignal>
#include <filesystem>
#include <fstream>

#include "ControllerTest.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "model/Format.h"
#include "platform/FileIO.h"
#include "platform/PropertyList.h"
#include "platform/RunningProcesses.h"
#include "quarantine/HistoryStore.h"
#include "settings/ScanSchedule.h"
#include "support/Json.h"

using namespace kelvane;
using namespace std::chrono_literals;
using platform::PlistDictionary;
using platform::PlistValue;

namespace {

class FlowTest : public fixture::ControllerTest {
  protected:
    // Two old logs, a young one, two cache folders and a build folder.
    void junkFixture() {
        tree.file("Logs/old.log", 4096, 10);
        tree.file("Logs/older.log", 8192, 20);
        tree.file("Logs/young.log", 4096, 1);
        tree.file("Logs/keep.txt", 4096, 30);
        tree.file("Caches/app/blob", 16384);
        tree.file("Caches/other/blob", 4096);
        tree.file("Builds/out/a.o", 4096);
    }

    // Many small files, so the large file and duplicate scanners report progress mid-walk.
    void crowd(const std::string& folder, int count) {
        for (int i = 0; i < count; ++i) {
            tree.file(folder + "/f" + std::to_string(i), 16);
        }
    }

    void copies(const std::string& name, int count, std::size_t bytes) {
        const auto first = tree.file("Media/" + name + "0", bytes);
        for (int i = 1; i < count; ++i) {
            std::filesystem::copy_file(first, tree.path("Media/" + name + std::to_string(i)));
        }
    }

    bool waitIdle() {
        return waitUntil([&] { return idle(); });
    }

    std::vector<ScanItem> junkItems() const {
        std::vector<ScanItem> items;
        for (const auto& r : state->junkResult()->results) {
            items.insert(items.end(), r.items.begin(), r.items.end());
        }
        return items;
    }
};

std::string lastLine(const std::vector<std::string>& lines) {
    return lines.empty() ? std::string() : lines.back();
}

}  // namespace

// --- Quick scan ------------------------------------------------------------------------------

TEST_F(FlowTest, AQuickScanPublishesItsResultDateAndNotice) {
    junkFixture();
    auto& s = start();
    QSignalSpy progress(&s, &AppState::progressChanged);
    s.runScan(true);
    ASSERT_TRUE(s.isScanning());
    ASSERT_TRUE(s.progress().has_value());
    EXPECT_EQ(s.progress()->title, "Preparing");
    EXPECT_EQ(s.progress()->totalRules, 3);
    s.runScan(true);  // ignored while one runs
    ASSERT_TRUE(waitIdle());

    ASSERT_TRUE(s.junkResult().has_value());
    const auto& result = *s.junkResult();
    EXPECT_FALSE(result.cancelled);
    ASSERT_EQ(result.results.size(), 3u);
    EXPECT_EQ(result.results[0].rule.id, "logs");
    EXPECT_EQ(result.results[0].items.size(), 2u);  // the young log is under the age limit
    EXPECT_EQ(result.results[1].items.size(), 2u);
    EXPECT_FALSE(s.progress().has_value());
    EXPECT_EQ(s.section(), AppSection::junk);
    EXPECT_EQ(s.lastScanDate(), clock);
    EXPECT_EQ(SettingsStore{AppPaths::settingsFile()}.load({}).lastScanDate,
              std::optional<Date>(std::chrono::floor<std::chrono::seconds>(clock)));
    EXPECT_EQ(s.toast(), "Found " + Format::bytes(result.totalBytes()) + " in " +
                             Format::fileCount(result.itemCount()) + ".");
    EXPECT_EQ(toasts.size(), 1u);
    EXPECT_GE(progress.count(), 3);
    ASSERT_TRUE(s.result(fixtureRules()[0]).has_value());
    EXPECT_EQ(s.junkItemModel()->rowCount(), static_cast<int>(result.itemCount()));
}

TEST_F(FlowTest, WithNoRuleOnTheScanStillRunsAndFindsNothing) {
    AppSettings none = AppSettings::defaults(fixtureRules());
    none.enabledRuleIDs.clear();
    SettingsStore{AppPaths::settingsFile()}.save(none);
    junkFixture();
    auto& s = start();
    s.runScan(true);
    EXPECT_EQ(s.progress()->completedRules, 0);
    EXPECT_EQ(s.progress()->totalRules, 1);
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(s.junkResult()->results.empty());
    EXPECT_EQ(s.toast(), "Nothing to clean was found.");
    EXPECT_EQ(s.section(), AppSection::overview);
}

TEST_F(FlowTest, CancellingAQuickScanKeepsTheOldResult) {
    junkFixture();
    auto o = options();
    auto& gate = this->gate(o, {"quick"}, 0);
    auto& s = start(o);
    s.runScan(false);
    ASSERT_TRUE(waitIdle());
    const auto before = *s.junkResult();
    const auto scannedAt = s.lastScanDate();
    tree.file("Logs/later.log", 4096, 10);

    gate.arm();
    s.runScan(false);
    ASSERT_TRUE(waitUntil([&] { return gate.arrivals() == 1; }));
    s.cancelScan();
    EXPECT_FALSE(s.isScanning());
    EXPECT_FALSE(s.progress().has_value());
    gate.release(0);
    ASSERT_TRUE(waitForNotice("Scan stopped."));
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.junkResult()->itemCount(), before.itemCount());
    EXPECT_EQ(s.junkResult()->finishedAt, before.finishedAt);
    EXPECT_EQ(s.lastScanDate(), scannedAt);
}

TEST_F(FlowTest, AScanStartedRightAfterACancelKeepsItsOwnState) {
    junkFixture();
    auto o = options();
    auto& gate = this->gate(o, {"quick"});
    auto& s = start(o);
    s.runScan(false);
    ASSERT_TRUE(waitUntil([&] { return gate.arrivals() == 1; }));
    s.cancelScan();
    gate.arm();
    s.runScan(false);  // on a second thread, held at its first report too
    ASSERT_TRUE(waitUntil([&] { return gate.arrivals() == 2; }));

    gate.release(0);
    ASSERT_TRUE(waitForNotice("Scan stopped."));
    EXPECT_TRUE(s.isScanning());  // the new scan still runs
    EXPECT_TRUE(s.progress().has_value());
    s.runDeepScan();  // and still blocks a deep scan
    EXPECT_FALSE(s.isDeepScanning());

    gate.release(1);
    ASSERT_TRUE(waitIdle());
    ASSERT_TRUE(s.junkResult().has_value());
    EXPECT_FALSE(s.junkResult()->cancelled);
    EXPECT_EQ(lastLine(toasts).rfind("Found ", 0), 0u);
}

// --- Deep scan -------------------------------------------------------------------------------

TEST_F(FlowTest, ADeepScanIgnoresAgeLimitsAndReplacesAllThreeResults) {
    junkFixture();
    copies("same", 2, 11 * 1024 * 1024);
    tree.file("Media/huge", 101 * 1024 * 1024);
    auto& s = start();
    std::vector<std::pair<std::string, double>> stages;
    QObject::connect(&s, &AppState::deepProgressChanged,
                     [&] { stages.emplace_back(s.deepStage(), s.deepProgress()); });
    s.runDeepScan();
    EXPECT_TRUE(s.isScanning());
    EXPECT_TRUE(s.isDeepScanning());
    EXPECT_EQ(s.deepStage(), "Preparing deep scan");
    s.runScan(false);  // a quick scan cannot start meanwhile
    EXPECT_EQ(s.scanMode(), ScanMode::deep);
    s.setSection(AppSection::settings);
    ASSERT_TRUE(waitIdle());

    ASSERT_TRUE(s.junkResult() && s.largeScan() && s.duplicateScan());
    EXPECT_EQ(s.junkResult()->results[0].items.size(), 3u);  // the young log too
    ASSERT_EQ(s.largeScan()->items.size(), 1u);
    EXPECT_EQ(s.largeScan()->items[0].path, tree.path("Media/huge"));
    ASSERT_EQ(s.duplicateScan()->groups.size(), 1u);
    EXPECT_EQ(s.section(), AppSection::overview);
    EXPECT_EQ(s.deepStage(), "");
    EXPECT_EQ(s.deepProgress(), 0.0);
    const auto total = s.junkResult()->totalBytes() + s.largeScan()->totalBytes() +
                       s.duplicateScan()->reclaimableBytes();
    EXPECT_EQ(s.toast(), "Deep scan found " + Format::bytes(total) + ".");

    // Every stage text came with its share of the bar, rising until the end.
    double last = 0;
    bool sawLarge = false;
    bool sawDuplicates = false;
    for (const auto& [stage, fraction] : stages) {
        if (stage.empty()) {
            EXPECT_EQ(fraction, 0.0);
            continue;
        }
        EXPECT_GE(fraction, last) << stage;
        last = fraction;
        if (stage.rfind("Junk: ", 0) == 0) {
            EXPECT_LE(fraction, 0.45);
        } else if (stage.rfind("Large files: ", 0) == 0) {
            sawLarge = true;
            EXPECT_GE(fraction, 0.45);
            EXPECT_LE(fraction, 0.70);
        } else if (stage.rfind("Duplicates: ", 0) == 0) {
            sawDuplicates = true;
            EXPECT_GE(fraction, 0.72);
        }
    }
    EXPECT_TRUE(sawLarge);
    EXPECT_TRUE(sawDuplicates);
}

TEST_F(FlowTest, ADeepScanThatFindsNothingSaysSo) {
    auto o = options();
    o.rules = std::vector<CleanRule>{};
    auto& s = start(o);
    s.runDeepScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.toast(), "Deep scan found nothing to clean.");
}

TEST_F(FlowTest, CancellingADeepScanInTheLargeFileStageKeepsEveryOldResult) {
    junkFixture();
    crowd("Crowd", 450);
    auto o = options();
    auto& gate = this->gate(o, {"deep-large"});
    auto& s = start(o);
    s.runDeepScan();
    ASSERT_TRUE(waitUntil([&] { return gate.arrivals() == 1; }));
    s.cancelScan();
    EXPECT_FALSE(s.isScanning());
    EXPECT_FALSE(s.isDeepScanning());
    EXPECT_EQ(s.deepStage(), "");
    gate.releaseAll();
    ASSERT_TRUE(waitForNotice("Deep scan stopped."));
    EXPECT_FALSE(s.junkResult().has_value());  // the junk stage's result is thrown away
    EXPECT_FALSE(s.largeScan().has_value());
    EXPECT_FALSE(s.lastScanDate().has_value());
}

// --- Large file and duplicate scans ----------------------------------------------------------

TEST_F(FlowTest, TheLargeFileNoticeNamesTheThresholdAsItIsAtTheEnd) {
    crowd("Crowd", 450);
    tree.file("Crowd/big", 3 * 1024 * 1024);
    auto o = options();
    auto& gate = this->gate(o, {"large"});
    auto& s = start(o);
    s.setLargeRoot(tree.path("Crowd"));
    s.setLargeMinMB(0);  // searches from 1 MB
    s.runLargeScan();
    ASSERT_TRUE(waitUntil([&] { return gate.arrivals() == 1; }));
    s.setLargeMinMB(7);
    gate.releaseAll();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(s.largeScan()->items.size(), 1u);
    EXPECT_EQ(s.toast(), "Found 1 item over 7 MB.");
    EXPECT_EQ(s.largeProgressFiles(), s.largeScan()->scannedFiles);

    s.setLargeMinMB(50);
    s.runLargeScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.toast(), "No files over 50 MB were found.");
}

TEST_F(FlowTest, CancellingLargeAndDuplicateScansKeepsTheirOldResults) {
    crowd("Crowd", 600);
    copies("dup", 2, 2 * 1024 * 1024);
    auto o = options();
    auto& gate = this->gate(o, {"large", "duplicates"}, 0);
    auto& s = start(o);
    s.setLargeRoot(tree.root());
    s.setDuplicateRoot(tree.root());
    s.runLargeScan();
    s.runDuplicateScan();
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(shown("Found 1 duplicate group."));
    const auto large = *s.largeScan();
    const auto duplicates = *s.duplicateScan();

    gate.arm();
    s.runLargeScan();
    ASSERT_TRUE(waitUntil([&] { return gate.arrivals() == 1; }));
    s.cancelScan();
    EXPECT_FALSE(s.isScanningLarge());
    gate.release(0);
    ASSERT_TRUE(waitForNotice("Large file scan stopped."));
    // The live count shows how far the stopped scan got; the result is the old one.
    EXPECT_GE(s.largeProgressFiles(), 400);
    EXPECT_LT(s.largeProgressFiles(), large.scannedFiles);
    EXPECT_EQ(s.largeScan()->items, large.items);

    gate.arm();
    s.runDuplicateScan();
    ASSERT_TRUE(waitUntil([&] { return gate.arrivals() == 2; }));
    s.cancelScan();
    EXPECT_FALSE(s.isScanningDuplicates());
    gate.release(1);
    ASSERT_TRUE(waitForNotice("Duplicate scan stopped."));
    EXPECT_GE(s.duplicateProgressFiles(), 500);
    ASSERT_EQ(s.duplicateScan()->groups.size(), 1u);
    EXPECT_EQ(s.duplicateScan()->groups[0].files, duplicates.groups[0].files);
}

// --- Cleans ----------------------------------------------------------------------------------

TEST_F(FlowTest, ACleanTrimsAllThreeResultsAndRecordsTheHistory) {
    junkFixture();
    copies("dup", 3, 2 * 1024 * 1024);
    auto& s = start();
    s.setLargeRoot(tree.path("Media"));
    s.setLargeMinMB(1);
    s.setDuplicateRoot(tree.path("Media"));
    s.runScan(false);
    s.runLargeScan();
    s.runDuplicateScan();
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(s.duplicateScan()->groups.size(), 1u);
    ASSERT_EQ(s.largeScan()->items.size(), 3u);

    QSignalSpy removed(s.junkItemModel(), &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(s.junkItemModel(), &QAbstractItemModel::modelReset);
    const auto logs = s.junkResult()->results[0].items;
    s.clean({logs[0]}, "Junk clean");
    EXPECT_TRUE(s.isCleaning());
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.junkResult()->results[0].items.size(), 1u);
    EXPECT_EQ(removed.count(), 1);  // the row went, the list was not rebuilt
    EXPECT_EQ(reset.count(), 0);
    ASSERT_EQ(s.batches().size(), 1u);
    EXPECT_EQ(s.toast(),
              "Moved " + Format::bytes(logs[0].size) + " to quarantine. Restore it within 7 days.");
    ASSERT_EQ(s.history().size(), 1u);
    EXPECT_EQ(s.history()[0].categories, std::vector<std::string>{"System and logs"});
    EXPECT_EQ(s.history()[0].batchID, s.batches()[0].id);
    EXPECT_EQ(s.history()[0].note, "Junk clean");

    // One copy of three: the group keeps two; a second copy: the group goes.
    auto files = s.duplicateScan()->groups[0].files;
    s.clean({files[0]}, "Duplicates");
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(s.duplicateScan()->groups.size(), 1u);
    EXPECT_EQ(s.duplicateScan()->groups[0].files.size(), 2u);
    EXPECT_EQ(s.largeScan()->items.size(), 2u);
    // Through the screens' entry point: the copy is in both results and keeps the one it was
    // chosen from.
    s.cleanDuplicates({app::text(files[1].path)});
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(s.duplicateScan()->groups.empty());
    EXPECT_EQ(s.largeScan()->items.size(), 1u);
    EXPECT_EQ(s.history().size(), 3u);
    EXPECT_EQ(s.history()[0].categories, std::vector<std::string>{"Duplicates"});
    EXPECT_EQ(s.history()[0].note, "Duplicates");
}

TEST(QtText, PathsMakeTheRoundTripThroughQtByteForByte) {
    const std::string paths[] = {
        "/home/al/plain",
        "/home/al/caf\xC3\xA9",       // UTF-8 stays readable text
        "/home/al/caf\xE9",           // Latin-1
        "/home/al/\xFF\xFE\x80\x81",  // nothing valid
        "/home/al/cut\xE2\x82",       // a sequence cut short
        "/home/al/\xF0\x9F\x98\x80",  // a character outside the BMP (a surrogate pair)
        "/home/al/\xED\xB2\x80",      // an encoded surrogate, which UTF-8 forbids
    };
    for (const auto& bytes : paths) {
        EXPECT_EQ(app::utf8(app::text(bytes)), bytes);
    }
    EXPECT_EQ(app::text("/home/al/caf\xC3\xA9"), QString::fromUtf8("/home/al/caf\xC3\xA9"));
}

TEST_F(FlowTest, RefusedItemsStayListedAndStillCountInTheHistory) {
    junkFixture();
    auto& s = start();
    s.runScan(false);
    ASSERT_TRUE(waitIdle());
    auto items = junkItems();
    ScanItem secret;
    secret.path = tree.file(".ssh/id_rsa", 4096);
    secret.size = 4096;
    secret.ruleID = "large-files";
    items.push_back(secret);
    const auto moved = s.junkResult()->totalBytes();
    s.clean(items, "Large files");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.toast(),
              "Moved " + Format::bytes(moved) + " to quarantine. Restore it within 7 days.");
    EXPECT_EQ(s.junkResult()->itemCount(), 0);
    EXPECT_TRUE(FileTools::exists(secret.path));
    EXPECT_EQ(s.history()[0].categories,
              (std::vector<std::string>{"Application caches", "Developer tools", "Large files",
                                        "System and logs"}));
    EXPECT_EQ(s.history()[0].itemCount, static_cast<std::int64_t>(items.size() - 1));

    // Nothing movable at all: the store's sentence, nothing else changes.
    s.clean({secret}, "Large files");
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.toast(), "No items could be moved to quarantine.");
    EXPECT_EQ(s.history().size(), 1u);
    EXPECT_EQ(s.batches().size(), 1u);
}

TEST_F(FlowTest, AJunkCleanTakesOnlyItemsOfRulesStillOn) {
    junkFixture();
    auto& s = start();
    s.runScan(false);
    ASSERT_TRUE(waitIdle());
    const auto items = s.junkResult()->results[0].items;
    s.setRule(fixtureRules()[0], false);
    s.cleanJunk(items);
    EXPECT_EQ(s.toast(), "Those rules are off now. Run a new scan.");
    EXPECT_FALSE(s.isCleaning());
    s.cleanJunk({});
    EXPECT_EQ(s.toast(), "Those rules are off now. Run a new scan.");
    for (const auto& item : items) {
        EXPECT_TRUE(FileTools::exists(item.path));
    }
}

// --- Quarantine actions ----------------------------------------------------------------------

TEST_F(FlowTest, RestoreDeleteAndPurgeShowTheirNotices) {
    junkFixture();
    auto& s = start();
    s.runScan(false);
    ASSERT_TRUE(waitIdle());
    s.cleanJunk(junkItems());
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(s.batches().size(), 1u);
    const auto batch = s.batches()[0];
    const auto count = static_cast<std::int64_t>(batch.items.size());

    s.restore(batch);
    s.restore(batch);  // queued behind the first: never overlapping
    ASSERT_TRUE(waitForNotice("Nothing could be restored."));
    EXPECT_TRUE(shown("Restored " + Format::fileCount(count) + "."));
    EXPECT_EQ(s.batches()[0].remainingBytes(), 0);
    for (const auto& entry : batch.items) {
        EXPECT_TRUE(FileTools::exists(entry.originalPath)) << entry.originalPath;
    }

    s.deletePermanently(s.batches()[0]);
    EXPECT_EQ(s.toast(), "Quarantine batch deleted.");
    EXPECT_TRUE(s.batches().empty());

    s.purgeExpired();
    EXPECT_EQ(s.toast(), "No expired batches.");
    for (int i = 0; i < 3; ++i) {
        s.clean({ScanItem{.path = tree.file("Caches/n" + std::to_string(i), 512),
                          .size = 512,
                          .ruleID = "caches",
                          .group = RuleGroup::applications}},
                "Junk clean");
        ASSERT_TRUE(waitIdle());
    }
    ASSERT_EQ(s.batches().size(), 3u);
    clock = now() + 8 * 24h;
    s.purgeExpired();
    EXPECT_EQ(s.toast(), "Removed 3 expired batches.");
    EXPECT_TRUE(s.batches().empty());
}

// --- Login items -----------------------------------------------------------------------------

TEST_F(FlowTest, TogglingALoginItemMovesItsFileAndRereadsTheList) {
    const auto agent = tree.folder("Library/LaunchAgents") + "/org.example.sync.plist";
    std::ofstream(agent, std::ios::binary)
        << platform::writePropertyList(PlistDictionary{{"Label", PlistValue{"org.example.sync"}},
                                                       {"Program", PlistValue{"/usr/bin/true"}}},
                                       false);
    auto& s = start();
    ASSERT_EQ(s.startupItems().size(), 1u);
    const auto item = s.startupItems()[0];
    s.toggleStartup(item);
    EXPECT_EQ(s.toast(), "org.example.sync will be disabled after you sign in again.");
    ASSERT_EQ(s.startupItems().size(), 1u);
    EXPECT_FALSE(s.startupItems()[0].isEnabled);
    EXPECT_FALSE(FileTools::exists(agent));

    s.toggleStartup(s.startupItems()[0]);
    EXPECT_EQ(s.toast(), "org.example.sync will be enabled after you sign in again.");
    EXPECT_TRUE(FileTools::exists(agent));

    StartupItem machineWide = item;
    machineWide.canToggle = false;
    s.setToast(std::nullopt);
    s.toggleStartup(machineWide);
    EXPECT_FALSE(s.toast().has_value());
}

// --- Applications and uninstall --------------------------------------------------------------

class UninstallTest : public FlowTest {
  protected:
    std::string bundle(const std::string& name, const std::string& id) {
        const auto path = tree.folder("Applications/" + name + ".app");
        tree.file("Applications/" + name + ".app/Contents/Resources/data", 64 * 1024);
        std::ofstream(path + "/Contents/Info.plist", std::ios::binary)
            << platform::writePropertyList(
                   PlistDictionary{{"CFBundleIdentifier", PlistValue{id}},
                                   {"CFBundleName", PlistValue{name}},
                                   {"CFBundleExecutable", PlistValue{name}}},
                   false);
        return path;
    }

    // Runs a copy of sleep from inside the bundle, which ignores the quit request when told.
    pid_t launch(const std::string& bundlePath, const std::string& name, bool refuses) {
        const auto program = bundlePath + "/Contents/MacOS/" + name;
        std::filesystem::create_directories(bundlePath + "/Contents/MacOS");
        std::filesystem::copy_file("/bin/sleep", program);
        const pid_t child = ::fork();
        if (child == 0) {
            if (refuses) {
                ::signal(SIGTERM, SIG_IGN);  // kept across exec
            }
            ::execl(program.c_str(), name.c_str(), "60", nullptr);
            ::_exit(127);
        }
        children.push_back(child);
        for (int i = 0; i < 2000 && platform::processesInside(bundlePath).empty(); ++i) {
            ::usleep(1000);
        }
        return child;
    }

    void TearDown() override {
        for (const auto child : children) {
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
        }
        FlowTest::TearDown();
    }

    const InstalledApp& loaded(const std::string& name) {
        state->loadApplications(true);
        EXPECT_TRUE(waitIdle());
        const auto& apps = state->installedApps();
        const auto found = std::find_if(apps.begin(), apps.end(),
                                        [&](const InstalledApp& a) { return a.name == name; });
        EXPECT_NE(found, apps.end()) << name;
        return *found;
    }

    std::vector<ScanItem> leftoversOf(const InstalledApp& app) {
        std::optional<std::vector<ScanItem>> found;
        state->leftovers(app, [&](std::vector<ScanItem> items) { found = std::move(items); });
        EXPECT_TRUE(waitUntil([&] { return found.has_value(); }));
        return found.value_or(std::vector<ScanItem>{});
    }

    std::vector<pid_t> children;
};

TEST_F(UninstallTest, LoadingApplicationsOnlyAgainWhenForced) {
    bundle("Alpha", "org.example.alpha");
    auto& s = start();
    s.loadApplications(false);
    EXPECT_TRUE(s.isLoadingApps());
    s.loadApplications(false);
    ASSERT_TRUE(waitIdle());
    ASSERT_EQ(s.installedApps().size(), 1u);
    bundle("Beta", "org.example.beta");
    s.loadApplications(false);
    EXPECT_FALSE(s.isLoadingApps());
    EXPECT_EQ(s.installedApps().size(), 1u);
    s.loadApplications(true);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.installedApps().size(), 2u);
}

TEST_F(UninstallTest, WithoutLeftoversTheAppGoesToTheTrashAndTheHistory) {
    const auto path = bundle("Alpha", "org.example.alpha");
    auto& s = start();
    const auto app = loaded("Alpha");
    EXPECT_TRUE(leftoversOf(app).empty());
    s.uninstall(app, {});
    EXPECT_TRUE(s.isUninstalling());
    s.uninstall(app, {});  // ignored
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.toast(), "Alpha is in the Trash. No leftovers were found.");
    EXPECT_FALSE(FileTools::exists(path));
    EXPECT_TRUE(FileTools::exists(tree.path(".local/share/Trash/files/Alpha.app")));
    EXPECT_TRUE(s.installedApps().empty());
    ASSERT_EQ(s.history().size(), 1u);
    EXPECT_EQ(s.history()[0].itemCount, 1);
    EXPECT_EQ(s.history()[0].bytes, app.size);
    EXPECT_EQ(s.history()[0].categories, std::vector<std::string>{"Uninstall"});
    EXPECT_EQ(s.history()[0].note, "Uninstalled Alpha");
    EXPECT_FALSE(s.history()[0].batchID.has_value());
}

TEST_F(UninstallTest, LeftoversGoIntoABatchAfterTheAppQuits) {
    const auto path = bundle("Beta", "org.example.beta");
    tree.file("Library/Caches/org.example.beta/cache.db", 32 * 1024);
    tree.file("Library/Preferences/org.example.beta.plist", 1024);
    auto& s = start();
    const auto app = loaded("Beta");
    const auto leftovers = leftoversOf(app);
    ASSERT_EQ(leftovers.size(), 2u);
    const pid_t child = launch(path, "Beta", false);
    s.uninstall(app, leftovers);
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(platform::hasTerminated(child));
    EXPECT_EQ(s.toast(), "Beta is in the Trash. Leftovers can be restored for 7 days.");
    ASSERT_EQ(s.batches().size(), 1u);
    EXPECT_EQ(s.batches()[0].note, "Uninstall Beta");
    EXPECT_EQ(s.batches()[0].items.size(), 2u);
    EXPECT_EQ(s.history()[0].itemCount, 3);
    EXPECT_EQ(s.history()[0].bytes, app.size + s.batches()[0].remainingBytes());
    EXPECT_EQ(s.history()[0].batchID, s.batches()[0].id);
    EXPECT_FALSE(FileTools::exists(tree.path("Library/Caches/org.example.beta")));
}

TEST_F(UninstallTest, AnAppThatWillNotQuitIsLeftAlone) {
    const auto path = bundle("Gamma", "org.example.gamma");
    tree.file("Library/Caches/org.example.gamma/cache.db", 4096);
    auto o = options();
    o.quitPolls = 3;
    auto& s = start(o);
    const auto app = loaded("Gamma");
    const auto leftovers = leftoversOf(app);
    const pid_t child = launch(path, "Gamma", true);
    s.uninstall(app, leftovers);
    ASSERT_TRUE(waitIdle());
    EXPECT_EQ(s.toast(), "Quit Gamma first, then try again.");
    EXPECT_FALSE(platform::hasTerminated(child));
    EXPECT_TRUE(FileTools::exists(path));
    EXPECT_TRUE(FileTools::exists(tree.path("Library/Caches/org.example.gamma")));
    EXPECT_TRUE(s.history().empty());
    EXPECT_EQ(s.installedApps().size(), 1u);
}

// --- Scheduled scans -------------------------------------------------------------------------

class ScheduleTest : public FlowTest {
  protected:
    // 2026-12-10 09:30 UTC (the tests run in UTC), with yesterday's run stored.
    void dailyAtNine() {
        clock = Date{std::chrono::sys_days{std::chrono::year{2026} / 12 / 10} + 9h + 30min};
        ScanSchedule daily;
        daily.mode = ScheduleMode::daily;
        daily.hour = 9;
        daily.lastRun = clock - 24h;
        ScheduleStore{AppPaths::scheduleFile()}.save(daily);
    }
};

TEST_F(ScheduleTest, ADueScanStartsAtTheFirstCheckAfterStart) {
    dailyAtNine();
    junkFixture();
    auto o = options();
    o.firstScheduleCheck = 10ms;
    auto& s = start(o);
    ASSERT_TRUE(waitForNotice("Scheduled scan started."));
    EXPECT_EQ(s.schedule().lastRun, clock);
    EXPECT_EQ(ScheduleStore{AppPaths::scheduleFile()}.load().lastRun, clock);
    ASSERT_TRUE(waitIdle());
    EXPECT_TRUE(s.junkResult().has_value());
    EXPECT_EQ(s.section(), AppSection::overview);
    EXPECT_EQ(lastLine(toasts).rfind("Found ", 0), 0u);  // the result replaced the notice

    toasts.clear();
    s.checkSchedule(clock + 1min);  // the slot is used up
    EXPECT_TRUE(toasts.empty());
}

TEST_F(ScheduleTest, ADueSlotWaitsWhileAnotherScanRuns) {
    dailyAtNine();
    crowd("Crowd", 450);
    auto o = options();
    auto& gate = this->gate(o, {"large"});
    auto& s = start(o);
    s.setLargeRoot(tree.path("Crowd"));
    s.runLargeScan();
    ASSERT_TRUE(waitUntil([&] { return gate.arrivals() == 1; }));
    s.checkSchedule(clock);
    EXPECT_FALSE(s.isScanning());
    EXPECT_EQ(s.schedule().lastRun, clock - 24h);
    s.setToast(std::nullopt);
    s.clean({ScanItem{.path = tree.file("Caches/x", 512), .size = 512, .ruleID = "caches"}},
            "Junk clean");
    EXPECT_TRUE(s.isCleaning());  // a clean does not hold a scheduled scan back
    gate.releaseAll();
    ASSERT_TRUE(waitUntil([&] { return !s.isScanningLarge(); }));
    s.checkSchedule(clock + 10min);
    EXPECT_TRUE(s.isScanning());
    EXPECT_EQ(s.schedule().lastRun, clock + 10min);
    ASSERT_TRUE(waitIdle());
}

TEST_F(ScheduleTest, AManualScheduleNeverStartsAScan) {
    auto& s = start();
    s.checkSchedule(now());
    EXPECT_FALSE(s.isScanning());
    EXPECT_FALSE(s.toast().has_value());
}
