#include <gtest/gtest.h>

#include <unordered_set>

#include "model/CleanRule.h"
#include "model/ScanRecords.h"

using namespace kelvane;

namespace {

CleanRule sampleRule() {
    return CleanRule{"logs", "Logs", RuleGroup::system,      "~/logs",          {"*.log"}, {"keep"},
                     7,      true,   RuleGranularity::files, SafetyLevel::safe, "",        false,
                     false};
}

json::Json sampleRuleJson() {
    return sampleRule().toJson();
}

}  // namespace

TEST(RawEnums, RoundTripEveryCaseAndRejectOtherSpellings) {
    for (const auto group : allCases<RuleGroup>()) {
        EXPECT_EQ(fromRawValue<RuleGroup>(rawValue(group)), group);
    }
    EXPECT_EQ(fromRawValue<SafetyLevel>("optIn"), SafetyLevel::optIn);
    EXPECT_EQ(fromRawValue<RuleGranularity>("Files"), std::nullopt);
    EXPECT_EQ(fromRawValue<RuleGroup>("System"), std::nullopt);
    EXPECT_EQ(fromRawValue<RuleGroup>(""), std::nullopt);
    EXPECT_EQ(fromRawValue<ScanItem::Kind>("folder"), ScanItem::Kind::folder);
}

TEST(RawEnums, GroupsListInDeclarationOrderWithTitles) {
    const auto groups = allCases<RuleGroup>();
    ASSERT_EQ(groups.size(), 6u);
    EXPECT_EQ(groups.front(), RuleGroup::system);
    EXPECT_EQ(groups.back(), RuleGroup::downloads);
    EXPECT_EQ(title(RuleGroup::developer), "Developer tools");
    EXPECT_EQ(summary(RuleGroup::trash), "Items already in the Trash.");
}

TEST(CleanRuleJson, RoundTripsAllThirteenKeys) {
    const auto encoded = sampleRuleJson();
    EXPECT_EQ(encoded.size(), 13u);
    EXPECT_EQ(CleanRule::fromJson(encoded), sampleRule());
}

TEST(CleanRuleJson, IgnoresExtraKeys) {
    auto encoded = sampleRuleJson();
    encoded["comment"] = "not part of the rule";
    EXPECT_EQ(CleanRule::fromJson(encoded), sampleRule());
}

struct BadRuleCase {
    const char* name;
    std::function<void(json::Json&)> damage;
};

class CleanRuleRejects : public ::testing::TestWithParam<BadRuleCase> {};

TEST_P(CleanRuleRejects, DamagedRule) {
    auto encoded = sampleRuleJson();
    GetParam().damage(encoded);
    EXPECT_THROW(CleanRule::fromJson(encoded), json::DecodeError);
}

INSTANTIATE_TEST_SUITE_P(
    Decoding, CleanRuleRejects,
    ::testing::Values(
        BadRuleCase{"missingAllowsUserContent",
                    [](json::Json& j) { j.erase("allowsUserContent"); }},
        BadRuleCase{"missingNote", [](json::Json& j) { j.erase("note"); }},
        BadRuleCase{"minAgeAsString", [](json::Json& j) { j["minAgeDays"] = "7"; }},
        BadRuleCase{"minAgeAsFraction", [](json::Json& j) { j["minAgeDays"] = 7.5; }},
        BadRuleCase{"minAgeWrittenAsFloat", [](json::Json& j) { j["minAgeDays"] = 7.0; }},
        BadRuleCase{"unknownGroup", [](json::Json& j) { j["group"] = "caches"; }},
        BadRuleCase{"capitalisedGranularity", [](json::Json& j) { j["granularity"] = "Files"; }},
        BadRuleCase{"nullNote", [](json::Json& j) { j["note"] = nullptr; }},
        BadRuleCase{"flagAsNumber", [](json::Json& j) { j["defaultEnabled"] = 1; }},
        BadRuleCase{"includesNotStrings",
                    [](json::Json& j) {
                        j["includes"] = {1, 2};
                    }},
        BadRuleCase{"excludesAsString", [](json::Json& j) { j["excludes"] = "*.tmp"; }},
        BadRuleCase{"notAnObject", [](json::Json& j) { j = json::Json::array({1}); }}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(CleanRuleHashing, EveryFieldTakesPart) {
    auto other = sampleRule();
    other.allowsUserContent = true;
    EXPECT_NE(other, sampleRule());
    std::unordered_set<CleanRule> rules{sampleRule(), other, sampleRule()};
    EXPECT_EQ(rules.size(), 2u);
}

TEST(ScanItemRecord, SamePathDifferentDatesAreDifferentValuesWithOneId) {
    const ScanItem a{
        "/h/cache/a b.bin",  10, Date{std::chrono::seconds{100}}, "r", RuleGroup::system,
        ScanItem::Kind::file};
    ScanItem b = a;
    b.modified = Date{std::chrono::seconds{200}};
    EXPECT_NE(a, b);
    EXPECT_EQ(a.id(), b.id());
    EXPECT_EQ(std::unordered_set<ScanItem>({a, b, a}).size(), 2u);
    EXPECT_EQ(a.name(), "a b.bin");
    EXPECT_EQ(a.parentPath(), "/h/cache");
    EXPECT_EQ(a.url(), "file:///h/cache/a%20b.bin");
}

TEST(ScanResults, TotalsAndCounts) {
    RuleScanResult empty{sampleRule(), {}, 0, std::nullopt, false};
    EXPECT_EQ(empty.totalBytes(), 0);
    EXPECT_EQ(empty.id(), "logs");
    EXPECT_EQ(JunkScanResult{}.itemCount(), 0);

    RuleScanResult full = empty;
    full.items = {ScanItem{"/a", 5, {}, "r", RuleGroup::system, ScanItem::Kind::file},
                  ScanItem{"/b", 7, {}, "r", RuleGroup::system, ScanItem::Kind::file}};
    const JunkScanResult scan{{empty, full, full}, {}, {}, false};
    EXPECT_EQ(scan.totalBytes(), 24);
    EXPECT_EQ(scan.itemCount(), 4);
}

TEST(ScanProgressRecord, FractionIsGuardedAndCapped) {
    struct Case {
        std::int64_t completed, total;
        double expected;
    };
    for (const auto& c : {Case{3, 0, 0.0}, Case{5, 4, 1.0}, Case{1, 4, 0.25}, Case{0, -2, 0.0}}) {
        EXPECT_DOUBLE_EQ((ScanProgress{"", c.completed, c.total, 0}.fraction()), c.expected)
            << c.completed << " of " << c.total;
    }
}

TEST(ScanErrorRecord, Descriptions) {
    EXPECT_STREQ(ScanError::unreadable("/var/x").what(), "Kelvane could not read /var/x.");
    EXPECT_EQ(ScanError::cancelled().description(), "The scan was cancelled.");
}

TEST(JsonDates, WholeSecondsWithZAndNothingElse) {
    const auto date = json::parseDate("2026-12-10T04:36:07Z");
    ASSERT_TRUE(date);
    EXPECT_EQ(json::formatDate(*date), "2026-12-10T04:36:07Z");
    EXPECT_EQ(json::formatDate(*date + std::chrono::milliseconds(900)), "2026-12-10T04:36:07Z");
    EXPECT_EQ(json::formatDate(distantPast()), "0001-01-01T00:00:00Z");
    for (const char* bad :
         {"2026-12-10T04:36:07.5Z", "2026-12-10T04:36:07+00:00", "2026-02-30T00:00:00Z",
          "2026-12-10 04:36:07Z", "2026-12-10T24:00:00Z", ""}) {
        EXPECT_EQ(json::parseDate(bad), std::nullopt) << bad;
    }
}
