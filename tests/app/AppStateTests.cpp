// The controller's object: start-up, settings and rules, derived values, notices and the
// models QML reads.

#include <gtest/gtest.h>

#include <QSignalSpy>

#include <fstream>

#include "ControllerTest.h"
#include "DeepScanProgress.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/FileIO.h"
#include "quarantine/HistoryStore.h"
#include "quarantine/QuarantineStore.h"
#include "settings/SettingsStore.h"
#include "support/Json.h"

using namespace kelvane;
using namespace std::chrono_literals;

namespace {

class StartupTest : public fixture::ControllerTest {};

json::Json readJson(const std::string& path) {
    return json::Json::parse(platform::readFile(path));
}

}  // namespace

TEST_F(StartupTest, LoadsSettingsDropsUnknownRulesAndForgetsTheLastScanDate) {
    AppSettings stored = AppSettings::defaults(fixtureRules());
    stored.enabledRuleIDs = {"logs", "gone-rule"};
    stored.lastScanDate = clock - 24h;
    stored.minLargeFileMB = 250;
    stored.duplicateRoot = tree.path("Media");
    SettingsStore{AppPaths::settingsFile()}.save(stored);

    auto& s = start();
    EXPECT_EQ(s.settings().enabledRuleIDs, (std::set<std::string>{"logs"}));
    EXPECT_FALSE(s.lastScanDate().has_value());
    EXPECT_EQ(s.largeMinMB(), 250);
    EXPECT_EQ(s.duplicateRoot(), tree.path("Media"));
    EXPECT_EQ(s.section(), AppSection::overview);
    EXPECT_EQ(s.scanMode(), ScanMode::quick);
    EXPECT_FALSE(s.toast().has_value());
    // Not saved at start: the file keeps the unknown ID until the next save.
    EXPECT_EQ(readJson(AppPaths::settingsFile())["enabledRuleIDs"].size(), 2u);

    // A save before any scan writes no last-scan date.
    s.persistSettings();
    const auto saved = readJson(AppPaths::settingsFile());
    EXPECT_FALSE(saved.contains("lastScanDate"));
    EXPECT_EQ(saved["enabledRuleIDs"], json::Json::array({"logs"}));
}

TEST_F(StartupTest, PurgesExpiredBatchesBeforeListingTheRestAndMeasuresTheVolume) {
    const QuarantineStore store{AppPaths::quarantineDirectory(), 7};
    const auto make = [&](const std::string& name) {
        ScanItem item;
        item.path = tree.file("Caches/" + name, 2048);
        item.size = 2048;
        item.ruleID = "caches";
        item.group = RuleGroup::applications;
        return store.quarantine({item}, fixtureRules(), {}, name);
    };
    make("old");
    clock = now() + 8 * 24h;  // the batch's week is over by then
    auto& s = start();
    EXPECT_TRUE(s.batches().empty());
    EXPECT_EQ(s.quarantineBytes(), 0);
    EXPECT_GT(s.volumeTotal(), 0);
    EXPECT_GT(s.freeSpace(), 0);
    EXPECT_GT(s.usedFraction(), 0.0);
    EXPECT_LE(s.usedFraction(), 1.0);
}

TEST_F(StartupTest, DamagedStoresGiveDefaultsWithoutANotice) {
    AppPaths::ensureSupportDirectory();
    for (const auto& file : {AppPaths::settingsFile(), AppPaths::scheduleFile(),
                             AppPaths::historyFile(), AppPaths::quarantineIndexFile()}) {
        std::ofstream(file) << "{ not json";
    }
    auto& s = start();
    EXPECT_EQ(s.settings(), AppSettings::defaults(fixtureRules()));
    EXPECT_EQ(s.schedule(), ScanSchedule{});
    EXPECT_TRUE(s.history().empty());
    EXPECT_TRUE(s.batches().empty());
    EXPECT_FALSE(s.toast().has_value());
}

TEST_F(StartupTest, RuleSwitchesAreSavedAndResetToTheDefaults) {
    auto& s = start();
    const auto rules = fixtureRules();
    s.setRule(rules[2], true);
    s.setRule(rules[0], false);
    EXPECT_EQ(s.settings().enabledRuleIDs, (std::set<std::string>{"browser", "caches", "builds"}));
    EXPECT_EQ(SettingsStore{AppPaths::settingsFile()}.load({}).enabledRuleIDs,
              s.settings().enabledRuleIDs);
    EXPECT_FALSE(s.toast().has_value());
    std::vector<std::string> active;
    for (const auto& rule : s.activeRules()) {
        active.push_back(rule.id);
    }
    EXPECT_EQ(active, (std::vector<std::string>{"caches", "browser", "builds"}));

    // The rule model's switch role follows.
    auto* model = s.ruleModel();
    const int enabledRole = model->roleNames().key("enabled");
    EXPECT_FALSE(model->data(model->index(0), enabledRole).toBool());
    EXPECT_TRUE(model->data(model->index(2), enabledRole).toBool());

    s.resetRules();
    EXPECT_EQ(s.settings().enabledRuleIDs, (std::set<std::string>{"logs", "caches", "builds"}));
    EXPECT_EQ(s.toast(), "Rule selection reset to the safe defaults.");
}

TEST_F(StartupTest, IgnoreListTakesStandardisedPathsOnce) {
    auto& s = start();
    s.addIgnore(tree.root() + "/a/b/../c");
    EXPECT_EQ(s.settings().ignoreList, std::vector<std::string>{tree.root() + "/a/c"});
    EXPECT_EQ(s.toast(), "Added c to the ignore list.");
    s.setToast(std::nullopt);
    s.addIgnore(tree.root() + "/a/./c");
    EXPECT_EQ(s.settings().ignoreList.size(), 1u);
    EXPECT_FALSE(s.toast().has_value());
    EXPECT_EQ(SettingsStore{AppPaths::settingsFile()}.load({}).ignoreList, s.settings().ignoreList);
}

TEST_F(StartupTest, AChangeHereNeverWritesAStaleCopyOverAnotherProcesssChange) {
    auto& s = start();
    // Meanwhile a command in another process adds an ignore entry and switches a rule off.
    const SettingsStore store{AppPaths::settingsFile()};
    store.update(s.settings(), [&](AppSettings& settings) {
        settings.ignoreList.push_back(tree.root() + "/theirs");
        settings.enabledRuleIDs.erase("logs");
    });
    s.addIgnore(tree.root() + "/mine");
    const auto stored = store.load({});
    EXPECT_EQ(stored.ignoreList,
              (std::vector<std::string>{tree.root() + "/theirs", tree.root() + "/mine"}));
    EXPECT_FALSE(stored.enabledRuleIDs.contains("logs"));
    EXPECT_EQ(s.settings(), stored);  // and the window now shows both
}

TEST_F(StartupTest, GroupsRulesInGroupOrderLeavingOutEmptyGroups) {
    auto o = options();
    auto rules = fixtureRules();
    rules.erase(rules.begin() + 3);  // no developer rule
    std::swap(rules[0], rules[2]);   // catalogue order: browser, caches, logs
    o.rules = rules;
    auto& s = start(o);
    const auto groups = s.groupedRules();
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].first, RuleGroup::system);
    EXPECT_EQ(groups[1].first, RuleGroup::applications);
    EXPECT_EQ(groups[2].first, RuleGroup::browsers);
    EXPECT_FALSE(s.result(rules[0]).has_value());
}

TEST_F(StartupTest, ANoticeLivesItsTimeAndANewOneReplacesItAndStartsAgain) {
    auto o = options();
    o.toastLife = 600ms;
    auto& s = start(o);
    s.setToast("First.");
    QTest::qWait(350);
    s.setToast("Second.");
    EXPECT_EQ(s.toast(), "Second.");
    QTest::qWait(400);  // past the first notice's end
    EXPECT_EQ(s.toast(), "Second.");
    EXPECT_TRUE(waitUntil([&] { return !s.toast().has_value(); }));
    EXPECT_EQ(toasts, (std::vector<std::string>{"First.", "Second."}));
}

TEST_F(StartupTest, TheVolumeTimerMeasuresAgain) {
    auto o = options();
    o.volumeInterval = 20ms;
    auto& s = start(o);
    QSignalSpy spy(&s, &AppState::freeSpaceChanged);
    tree.file("filler", 8 * 1024 * 1024);
    ::sync();
    EXPECT_TRUE(waitUntil([&] { return spy.count() > 0; }, 5000));
}

TEST(DeepScanProgress, MapsEachStageOntoItsShareOfTheBar) {
    struct Case {
        const char* name;
        double got;
        double expected;
    };
    const Case cases[] = {
        {"no rules", deepScan::junkFraction({"x", 0, 0, 0}), 0.0},
        {"half the rules", deepScan::junkFraction({"x", 2, 4, 0}), 0.225},
        {"rules beyond the total", deepScan::junkFraction({"x", 9, 4, 0}), 0.45},
        {"first large file", deepScan::largeFraction(0), 0.45},
        {"100,000 large candidates", deepScan::largeFraction(100'000), 0.575},
        {"200,000 large candidates", deepScan::largeFraction(200'000), 0.70},
        {"300,000 large candidates", deepScan::largeFraction(300'000), 0.70},
        {"first duplicate candidate", deepScan::duplicateFraction(0), 0.72},
        {"150,000 duplicate candidates", deepScan::duplicateFraction(150'000), 0.98},
        {"a million duplicate candidates", deepScan::duplicateFraction(1'000'000), 0.98},
    };
    for (const auto& c : cases) {
        EXPECT_NEAR(c.got, c.expected, 1e-12) << c.name;
    }
    EXPECT_EQ(deepScan::checkedText("Large files", 12345), "Large files: 12,345 checked");
    EXPECT_EQ(deepScan::checkedText("Duplicates", 7), "Duplicates: 7 checked");
}
