#include <gtest/gtest.h>

#include <fstream>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "model/RuleCatalogue.h"
#include "platform/FileIO.h"
#include "settings/ScanSchedule.h"
#include "settings/SettingsStore.h"

using namespace kelvane;

namespace {

// Each test gets a fresh home folder of its own, so the support folder starts absent.
class StoreTest : public fixture::HomeTest {
  protected:
    void write(const std::string& file, const std::string& text) {
        AppPaths::ensureSupportDirectory();
        std::ofstream(file) << text;
    }
};

}  // namespace

using SettingsStoreTest = StoreTest;

TEST_F(SettingsStoreTest, DefaultsFromTheCatalogue) {
    auto rules = RuleCatalogue::fallback();
    rules.push_back(rules[0]);  // a repeated id collapses
    rules.back().defaultEnabled = true;
    auto off = rules[1];
    off.id = "off";
    off.defaultEnabled = false;
    rules.push_back(off);
    const auto settings = AppSettings::defaults(rules);
    EXPECT_EQ(settings.enabledRuleIDs, (std::set<std::string>{"trash", "user-logs", "user-temp"}));
    EXPECT_EQ(settings.retentionDays, 7);
    EXPECT_EQ(settings.largeFileRoot, AppPaths::home() + "/Downloads");
    EXPECT_EQ(settings.duplicateRoot, settings.largeFileRoot);
    EXPECT_EQ(settings.minLargeFileMB, 100);
    EXPECT_EQ(settings.minDuplicateMB, 1);
    EXPECT_FALSE(settings.lastScanDate);
    EXPECT_FALSE(settings.hasCompletedOnboarding);
    EXPECT_TRUE(AppSettings::defaults({}).enabledRuleIDs.empty());
}

TEST_F(SettingsStoreTest, RoundTripWithOutOfRangeValuesKeptAsTheyAre) {
    const SettingsStore store{AppPaths::settingsFile()};
    auto settings = AppSettings::defaults(RuleCatalogue::fallback());
    settings.retentionDays = -3;
    settings.minLargeFileMB = 0;
    settings.ignoreList = {"~/b", "~/a"};
    settings.lastScanDate = json::parseDate("2025-03-01T09:30:00Z");
    store.save(settings);
    EXPECT_EQ(store.load(AppSettings{}), settings);
}

TEST_F(SettingsStoreTest, StrictDecodingFallsBackWhole) {
    const SettingsStore store{AppPaths::settingsFile()};
    const auto fallback = AppSettings::defaults(RuleCatalogue::fallback());
    EXPECT_EQ(store.load(fallback), fallback);  // no file

    auto good = fallback;
    good.retentionDays = 30;
    const auto base = good.toJson();
    struct Case {
        const char* name;
        std::function<void(json::Json&)> change;
        bool loads;
    };
    const Case cases[] = {
        {"as written", [](json::Json&) {}, true},
        {"no lastScanDate", [](json::Json& j) { j.erase("lastScanDate"); }, true},
        {"extra key", [](json::Json& j) { j["theme"] = "dark"; }, true},
        {"no minDuplicateMB", [](json::Json& j) { j.erase("minDuplicateMB"); }, false},
        {"no hasCompletedOnboarding", [](json::Json& j) { j.erase("hasCompletedOnboarding"); },
         false},
        {"fractional seconds",
         [](json::Json& j) { j["lastScanDate"] = "2025-03-01T09:30:00.250Z"; }, false},
        {"retention as text", [](json::Json& j) { j["retentionDays"] = "30"; }, false},
        {"ids as object", [](json::Json& j) { j["enabledRuleIDs"] = json::Json::object(); }, false},
    };
    for (const auto& c : cases) {
        auto document = base;
        c.change(document);
        write(AppPaths::settingsFile(), document.dump());
        const auto loaded = store.load(fallback);
        EXPECT_EQ(loaded.retentionDays, c.loads ? 30 : 7) << c.name;
    }
    write(AppPaths::settingsFile(), "{ not json");
    EXPECT_EQ(store.load(fallback), fallback);
}

TEST_F(SettingsStoreTest, SavingWithoutLastScanDateWritesNoKey) {
    const SettingsStore store{AppPaths::settingsFile()};
    store.save(AppSettings::defaults({}));
    EXPECT_EQ(platform::readFile(AppPaths::settingsFile()).find("lastScanDate"), std::string::npos);
}

// Schedules are computed in a fixed zone with a daylight-saving change, so results do not
// depend on the machine.
class ScheduleTest : public StoreTest {
  protected:
    static Date at(const char* isoUTC) { return *json::parseDate(isoUTC); }
    Calendar berlin = Calendar::inTimeZone("Europe/Berlin");
};

TEST_F(ScheduleTest, DailyAtNine) {
    // 2026-12-10 is a Thursday; Berlin is UTC+1 in winter, so 09:00 there is 08:00Z.
    ScanSchedule daily{ScheduleMode::daily, 9, 0, 2, at("2026-12-08T08:00:00Z")};
    EXPECT_FALSE(daily.isDue(at("2026-12-10T07:59:00Z"), berlin));  // yesterday's slot missed
    EXPECT_EQ(daily.nextDue(at("2026-12-10T07:59:00Z"), berlin), at("2026-12-10T08:00:00Z"));
    EXPECT_TRUE(daily.isDue(at("2026-12-10T08:00:00Z"), berlin));
    EXPECT_EQ(daily.nextDue(at("2026-12-10T08:00:00Z"), berlin), at("2026-12-11T08:00:00Z"));
    daily.lastRun = at("2026-12-10T08:00:05Z");
    EXPECT_FALSE(daily.isDue(at("2026-12-10T22:59:00Z"), berlin));
    EXPECT_TRUE(daily.isDue(at("2026-12-11T08:00:00Z"), berlin));
}

TEST_F(ScheduleTest, WeeklyOnMonday) {
    ScanSchedule weekly{ScheduleMode::weekly, 9, 0, 2, at("2026-12-01T12:00:00Z")};
    // Wednesday: this week's Monday slot has passed and was not run.
    EXPECT_TRUE(weekly.isDue(at("2026-12-09T10:00:00Z"), berlin));
    EXPECT_EQ(weekly.nextDue(at("2026-12-09T10:00:00Z"), berlin), at("2026-12-14T08:00:00Z"));
    weekly.lastRun = at("2026-12-07T08:30:00Z");
    EXPECT_FALSE(weekly.isDue(at("2026-12-09T10:00:00Z"), berlin));
    // On Monday before the slot: not due (last week's slot is not considered).
    weekly.lastRun.reset();
    EXPECT_FALSE(weekly.isDue(at("2026-12-14T07:00:00Z"), berlin));
    EXPECT_EQ(weekly.nextDue(at("2026-12-14T07:00:00Z"), berlin), at("2026-12-14T08:00:00Z"));
}

TEST_F(ScheduleTest, ManualNeverRuns) {
    const ScanSchedule manual;
    EXPECT_FALSE(manual.isDue(at("2026-12-10T12:00:00Z"), berlin));
    EXPECT_EQ(manual.nextDue(at("2026-12-10T12:00:00Z"), berlin), std::nullopt);
}

TEST_F(ScheduleTest, SlotsKeepTheirWallClockTimeAcrossDaylightSaving) {
    // Berlin springs forward on 2026-03-29 at 02:00: 09:00 is 08:00Z before, 07:00Z after.
    const ScanSchedule daily{ScheduleMode::daily, 9, 0, 2, std::nullopt};
    EXPECT_EQ(daily.nextDue(at("2026-03-28T12:00:00Z"), berlin), at("2026-03-29T07:00:00Z"));
    EXPECT_EQ(daily.nextDue(at("2026-03-29T12:00:00Z"), berlin), at("2026-03-30T07:00:00Z"));
    // A slot inside the skipped hour moves on by that hour.
    const ScanSchedule skipped{ScheduleMode::daily, 2, 30, 2, std::nullopt};
    EXPECT_EQ(skipped.nextDue(at("2026-03-28T12:00:00Z"), berlin), at("2026-03-29T01:30:00Z"));
    // And back in autumn: 09:00 on 2026-10-25 is 08:00Z again.
    EXPECT_EQ(daily.nextDue(at("2026-10-24T12:00:00Z"), berlin), at("2026-10-25T08:00:00Z"));
}

TEST_F(ScheduleTest, StoreDefaultsAndStrictness) {
    const ScheduleStore store{AppPaths::scheduleFile()};
    EXPECT_EQ(store.load(), ScanSchedule{});
    EXPECT_EQ(store.load(), (ScanSchedule{ScheduleMode::manual, 9, 0, 2, std::nullopt}));
    const ScanSchedule weekly{ScheduleMode::weekly, 18, 45, 6, at("2026-12-04T17:45:00Z")};
    store.save(weekly);
    EXPECT_EQ(store.load(), weekly);
    auto document = weekly.toJson();
    document["mode"] = "hourly";
    write(AppPaths::scheduleFile(), document.dump());
    EXPECT_EQ(store.load(), ScanSchedule{});
    document = weekly.toJson();
    document.erase("minute");
    write(AppPaths::scheduleFile(), document.dump());
    EXPECT_EQ(store.load(), ScanSchedule{});
    EXPECT_EQ(title(ScheduleMode::weekly), "Weekly");
}

TEST(SettingsMerge, WhatThisProcessChangedWinsAndTheRestStaysAsStored) {
    AppSettings base;
    base.enabledRuleIDs = {"a", "b"};
    base.ignoreList = {"/x", "/y"};
    base.retentionDays = 7;
    base.lastScanDate = Date{std::chrono::seconds{100}};
    auto ours = base;
    ours.enabledRuleIDs.erase("a");
    ours.enabledRuleIDs.insert("c");
    ours.ignoreList = {"/y", "/mine"};
    ours.retentionDays = 14;
    auto theirs = base;
    theirs.enabledRuleIDs.insert("d");
    theirs.ignoreList.push_back("/theirs");
    theirs.minLargeFileMB = 500;
    theirs.lastScanDate = Date{std::chrono::seconds{200}};

    const auto merged = AppSettings::merged(base, ours, theirs);
    EXPECT_EQ(merged.enabledRuleIDs, (std::set<std::string>{"b", "c", "d"}));
    EXPECT_EQ(merged.ignoreList, (std::vector<std::string>{"/y", "/theirs", "/mine"}));
    EXPECT_EQ(merged.retentionDays, 14);
    EXPECT_EQ(merged.minLargeFileMB, 500);
    EXPECT_EQ(merged.lastScanDate, Date{std::chrono::seconds{200}});
    EXPECT_EQ(AppSettings::merged(base, base, theirs), theirs);
}

TEST_F(SettingsStoreTest, TwoProcessesChangingSettingsAtOnceKeepEveryChange) {
    const SettingsStore store{AppPaths::settingsFile()};
    const auto defaults = AppSettings::defaults(RuleCatalogue::fallback());
    constexpr int perProcess = 30;
    const int childStatus = fixture::inTwoProcesses([&](bool inChild) {
        for (int i = 0; i < perProcess; ++i) {
            store.update(defaults, [&](AppSettings& settings) {
                settings.ignoreList.push_back((inChild ? "/child/" : "/parent/") +
                                              std::to_string(i));
            });
        }
    });
    EXPECT_EQ(childStatus, 0);
    EXPECT_EQ(store.load(defaults).ignoreList.size(), 2u * perProcess);
}
