#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "TempTree.h"
#include "model/RuleCatalogue.h"
#include "platform/FileSystemError.h"
#include "platform/ResourceBundle.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

std::string ruleJson(const std::string& id, const std::string& omit = {}) {
    CleanRule rule;
    rule.id = id;
    rule.name = "Rule " + id;
    rule.path = "~/x";
    auto encoded = rule.toJson();
    if (!omit.empty()) {
        encoded.erase(omit);
    }
    return encoded.dump();
}

std::vector<std::string> ids(const std::vector<CleanRule>& rules) {
    std::vector<std::string> result;
    for (const auto& rule : rules) {
        result.push_back(rule.id);
    }
    return result;
}

const std::vector<std::string> fallbackIDs{"user-temp", "user-logs", "trash"};

}  // namespace

TEST(RuleCatalogueFallback, TheThreeBuiltInRules) {
    const auto& rules = RuleCatalogue::fallback();
    EXPECT_EQ(ids(rules), fallbackIDs);
    EXPECT_EQ(rules[0].path, "$TMPDIR");
    EXPECT_EQ(rules[0].minAgeDays, 1);
    EXPECT_EQ(rules[1].minAgeDays, 7);
    EXPECT_EQ(rules[2].granularity, RuleGranularity::tree);
    EXPECT_EQ(rules[2].safety, SafetyLevel::caution);
    for (const auto& rule : rules) {
        EXPECT_EQ(rule.includes, std::vector<std::string>{"*"});
        EXPECT_TRUE(rule.excludes.empty());
        EXPECT_TRUE(rule.defaultEnabled);
        EXPECT_FALSE(rule.requiresFullDiskAccess || rule.allowsUserContent);
    }
}

TEST(RuleCatalogueFile, StrictDecodingFallsBackAsAWhole) {
    TempTree tree;
    struct Case {
        const char* name;
        std::string contents;
        std::vector<std::string> expected;
    };
    const Case cases[] = {
        {"two good rules",
         R"({"version": 1, "rules": [)" + ruleJson("a") + "," + ruleJson("b") + "]}",
         {"a", "b"}},
        {"extra keys", R"({"version": 2, "extra": true, "rules": [)" + ruleJson("a") + "]}", {"a"}},
        {"empty rule list", R"({"version": 1, "rules": []})", fallbackIDs},
        {"second rule lacks note",
         R"({"version": 1, "rules": [)" + ruleJson("a") + "," + ruleJson("b", "note") + "]}",
         fallbackIDs},
        {"no version", R"({"rules": [)" + ruleJson("a") + "]}", fallbackIDs},
        {"version as text", R"({"version": "1", "rules": [)" + ruleJson("a") + "]}", fallbackIDs},
        {"rules not a list", R"({"version": 1, "rules": {}})", fallbackIDs},
        {"not JSON", "version: 1", fallbackIDs},
        {"a list at the top", "[]", fallbackIDs},
    };
    for (const auto& c : cases) {
        const auto file = tree.path("rules.json");
        std::ofstream(file) << c.contents;
        EXPECT_EQ(ids(RuleCatalogue::rulesOrFallback(file)), c.expected) << c.name;
    }
    EXPECT_EQ(ids(RuleCatalogue::rulesOrFallback(tree.path("missing.json"))), fallbackIDs);
}

TEST(RuleCatalogueFile, LoadReportsErrorsAndKeepsAnEmptyList) {
    TempTree tree;
    const auto file = tree.path("rules.json");
    std::ofstream(file) << R"({"version": 1, "rules": []})";
    EXPECT_TRUE(RuleCatalogue::load(file).empty());

    std::ofstream(file) << R"({"version": 1, "rules": [)" << ruleJson("a", "group") << "]}";
    EXPECT_THROW(RuleCatalogue::load(file), json::DecodeError);

    try {
        RuleCatalogue::load(tree.path("missing.json"));
        FAIL() << "expected a FileSystemError";
    } catch (const FileSystemError& error) {
        EXPECT_STREQ(error.what(),
                     "The file “missing.json” could not be read: No such file or directory.");
    }
}

TEST(RuleCatalogueLookup, FirstExactMatch) {
    const auto& rules = RuleCatalogue::fallback();
    EXPECT_EQ(RuleCatalogue::rule("trash", rules)->name, "Trash");
    EXPECT_EQ(RuleCatalogue::rule("Trash", rules), std::nullopt);
    auto twins = rules;
    twins.push_back(rules[2]);
    twins.back().name = "Second trash";
    EXPECT_EQ(RuleCatalogue::rule("trash", twins)->name, "Trash");
}

TEST(RuleCatalogueBundled, TheShippedCatalogueLoads) {
    const auto rules = RuleCatalogue::bundled();
    EXPECT_GE(rules.size(), 25u);
    EXPECT_NE(ids(rules), fallbackIDs);
    std::set<std::string> unique;
    std::set<RuleGroup> groups;
    for (const auto& rule : rules) {
        EXPECT_TRUE(unique.insert(rule.id).second) << "duplicate id " << rule.id;
        groups.insert(rule.group);
        const bool anchored = rule.path.starts_with("/") || rule.path.starts_with("~") ||
                              rule.path.starts_with("$HOME") || rule.path.starts_with("${HOME}") ||
                              rule.path.starts_with("$TMPDIR") || rule.path.starts_with("$XDG_");
        EXPECT_TRUE(anchored) << rule.id << ": " << rule.path;
        if (rule.group == RuleGroup::developer) {
            EXPECT_FALSE(rule.defaultEnabled) << rule.id;
        }
    }
    EXPECT_EQ(groups.size(), 6u);
}

TEST(ResourceBundleDeathTest, MissingFromBothPlacesStopsTheProgram) {
    TempTree tree;
    EXPECT_EQ(platform::locateBundle(tree.path("a"), tree.root()), tree.root());
    EXPECT_DEATH(platform::bundleOrDie("/nowhere/one", "/nowhere/two"),
                 "could not load resource bundle: from /nowhere/one or /nowhere/two");
}
