#include <gtest/gtest.h>
#include <unistd.h>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "model/RuleCatalogue.h"
#include "platform/DirectoryWalker.h"
#include "platform/Environment.h"
#include "scan/CleanScanner.h"

#include <algorithm>

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

CleanRule rule(std::string id, std::string path, RuleGranularity granularity,
               std::vector<std::string> includes = {"*"}, std::vector<std::string> excludes = {},
               std::int64_t minAgeDays = 0) {
    CleanRule r;
    r.id = std::move(id);
    r.name = "Rule " + r.id;
    r.group = RuleGroup::applications;
    r.path = std::move(path);
    r.includes = std::move(includes);
    r.excludes = std::move(excludes);
    r.minAgeDays = minAgeDays;
    r.granularity = granularity;
    return r;
}

CleanScanner scanner(int limit = 8000) {
    return CleanScanner{SafetyPolicy{}, limit, 2000};
}

std::vector<std::string> names(const RuleScanResult& result) {
    std::vector<std::string> out;
    for (const auto& item : result.items) {
        out.push_back(item.name());
    }
    return out;
}

RuleScanResult scanOne(const CleanRule& r, int limit = 8000, std::vector<std::string> ignore = {}) {
    std::int64_t seen = 0;
    return scanner(limit).scan(r, ignore, seen);
}

}  // namespace

TEST(MatchesFilters, IncludesOnNameOrRelativePathExcludesOnAnyComponent) {
    const std::string root = "/r";
    struct Case {
        std::vector<std::string> includes, excludes;
        std::string path;
        bool expected;
    };
    const Case cases[] = {
        {{}, {}, "/r/a/b.txt", true},
        {{"*.log"}, {}, "/r/deep/x.log", true},
        {{"*.log"}, {}, "/r/deep/x.txt", false},
        {{"deep/*"}, {}, "/r/deep/x.txt", true},    // whole relative path
        {{"deep"}, {}, "/r/deep/x.txt", false},     // includes never look at components
        {{"*"}, {"deep"}, "/r/deep/x.txt", false},  // excludes do
        {{"*"}, {"deep"}, "/r/other/x.txt", true},
        {{"*"}, {"*.tmp"}, "/r/a/b.tmp", false},
        {{"*"}, {"a/b.txt"}, "/r/a/b.txt", false},
        {{"*"}, {"A"}, "/r/a/b.txt", true},  // case-sensitive
        // A pattern with a "/" is anchored, one part per level, and covers what is below.
        {{"*/cache/*"}, {}, "/r/app/cache/a/b.bin", true},
        {{"*/cache/*"}, {}, "/r/app/.mozilla/profile/storage/cache/a.bin", false},
        {{"*/cache/*"}, {}, "/r/app/cache", false},
        {{"*/Service Worker/CacheStorage/*"}, {}, "/r/Code/Service Worker/CacheStorage/a/b", true},
        {{"*"}, {"app/keep"}, "/r/app/keep/x", false},
        {{"*"}, {"app/keep"}, "/r/other/app/keep/x", true},
        {{"*"}, {"*/keep/"}, "/r/app/keep/x", false},
    };
    for (const auto& c : cases) {
        auto r = rule("f", root, RuleGranularity::files, c.includes, c.excludes);
        const auto name = c.path.substr(c.path.rfind('/') + 1);
        EXPECT_EQ(CleanScanner::matchesFilters(c.path, name, r, root), c.expected) << c.path;
    }
}

TEST(JunkScanFiles, OffersOldMatchingFilesLargestFirstAndCountsTheRest) {
    TempTree tree;
    tree.file("cache/small.log", 5000, 10);
    tree.file("cache/deep/big.log", 50000, 10);
    tree.file("cache/deep/equal-a.log", 20000, 10);
    tree.file("cache/deep/equal-b.log", 20000, 10);
    tree.file("cache/young.log", 5000, 0.5);  // too young: skipped
    tree.file("cache/empty.log", 0, 10);      // never offered, not counted
    tree.file("cache/.hidden.log", 5000, 10);
    tree.file("cache/note.txt", 5000, 10);     // not matched: not counted
    tree.link("cache/link.log", "small.log");  // links are passed over silently
    tree.package("cache/Tool.app");
    tree.age("cache/Tool.app/Contents/Info.bin", 10);

    const auto result =
        scanOne(rule("c", tree.path("cache"), RuleGranularity::files, {"*.log"}, {}, 1));
    auto found = names(result);
    ASSERT_EQ(found.size(), 5u);
    EXPECT_EQ(found[0], "big.log");
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found, (std::vector<std::string>{".hidden.log", "big.log", "equal-a.log",
                                               "equal-b.log", "small.log"}));
    // Largest first; equal sizes in the order the walk met them.
    std::vector<std::string> walkOrder;
    platform::walkDirectory(tree.path("cache"), {}, [&](const platform::WalkEntry& entry) {
        walkOrder.emplace_back(entry.name);
        return platform::WalkAction::proceed;
    });
    auto position = [&](const std::string& name) {
        return std::find(walkOrder.begin(), walkOrder.end(), name) - walkOrder.begin();
    };
    for (std::size_t i = 1; i < result.items.size(); ++i) {
        const auto& a = result.items[i - 1];
        const auto& b = result.items[i];
        EXPECT_GE(a.size, b.size);
        if (a.size == b.size) {
            EXPECT_LT(position(a.name()), position(b.name()));
        }
    }
    EXPECT_EQ(result.skipped, 1);
    EXPECT_FALSE(result.truncated);
    EXPECT_FALSE(result.error);
    EXPECT_EQ(result.items[0].kind, ScanItem::Kind::file);
    EXPECT_EQ(result.items[0].ruleID, "c");
    EXPECT_EQ(result.items[0].group, RuleGroup::applications);
}

TEST(JunkScanFiles, AnExcludedFolderKeepsEverythingBelowIt) {
    TempTree tree;
    tree.file("cache/keep/a.bin", 100);
    tree.file("cache/other/b.bin", 100);
    EXPECT_EQ(
        names(scanOne(rule("c", tree.path("cache"), RuleGranularity::files, {"*"}, {"keep"}))),
        std::vector<std::string>{"b.bin"});
    EXPECT_TRUE(
        names(scanOne(rule("c", tree.path("cache"), RuleGranularity::files, {"keep"}))).empty());
}

TEST(JunkScanFiles, SafetyRefusalsAreCounted) {
    TempTree tree;
    tree.file("cache/repo/.git/objects/pack.bin", 100);
    tree.file("cache/ignored/x.bin", 100);
    tree.file("cache/fine.bin", 100);
    const auto result = scanOne(rule("c", tree.path("cache"), RuleGranularity::files), 8000,
                                {tree.path("cache/ignored")});
    EXPECT_EQ(names(result), std::vector<std::string>{"fine.bin"});
    EXPECT_EQ(result.skipped, 2);
}

TEST(JunkScanTree, EachChildOnceWithFoldersMeasuredWhole) {
    TempTree tree;
    tree.file("Trash/old.txt", 5000);
    tree.file("Trash/Folder/a.bin", 30000);
    tree.file("Trash/Folder/b/c.bin", 30000);
    tree.package("Trash/Old.app");
    tree.link("Trash/link", "old.txt");
    tree.folder("Trash/empty");
    const auto result = scanOne(rule("t", tree.path("Trash"), RuleGranularity::tree, {}));
    EXPECT_EQ(names(result), (std::vector<std::string>{"Folder", "old.txt"}));
    EXPECT_EQ(result.items[0].kind, ScanItem::Kind::folder);
    EXPECT_EQ(result.items[0].size, FileTools::allocatedSize(tree.path("Trash/Folder")));
    EXPECT_EQ(result.skipped, 2);  // the package and the link; the empty folder is not counted
}

TEST(JunkScanTree, AnOldChildIsOfferedAndPolicyComesFirst) {
    TempTree tree;
    tree.file("t/old-folder/old-file.bin", 100, 30);
    tree.age("t/old-folder", 30);
    tree.file("t/new.bin", 100, 0.1);
    tree.link("t/young-link", "new.bin");  // refused by the policy, and counted once
    const auto result = scanOne(rule("t", tree.path("t"), RuleGranularity::tree, {}, {}, 7));
    EXPECT_EQ(names(result), std::vector<std::string>{"old-folder"});
    EXPECT_EQ(result.skipped, 2);
}

TEST(JunkScanLimits, TruncatedAtExactlyTheLimit) {
    TempTree tree;
    for (int i = 0; i < 5; ++i) {
        tree.file("c/f" + std::to_string(i), 100);
    }
    for (const auto granularity : {RuleGranularity::files, RuleGranularity::tree}) {
        const auto atLimit = scanOne(rule("c", tree.path("c"), granularity), 5);
        EXPECT_EQ(atLimit.items.size(), 5u);
        EXPECT_TRUE(atLimit.truncated);
        const auto below = scanOne(rule("c", tree.path("c"), granularity), 3);
        EXPECT_EQ(below.items.size(), 3u);
        EXPECT_TRUE(below.truncated);
        EXPECT_FALSE(scanOne(rule("c", tree.path("c"), granularity), 6).truncated);
    }
}

TEST(JunkScanRuleFolder, MissingIsEmptyAFileIsAnError) {
    TempTree tree;
    tree.file("plain", 10);
    const auto missing = scanOne(rule("m", tree.path("missing"), RuleGranularity::files));
    EXPECT_TRUE(missing.items.empty());
    EXPECT_FALSE(missing.error);
    const auto file = scanOne(rule("f", tree.path("plain"), RuleGranularity::tree));
    EXPECT_EQ(file.error, "The rule path is not a folder.");
}

TEST(JunkScanRuleFolder, UnreadableFolderOfAFilesRule) {
    TempTree tree;
    tree.file("locked/x.bin", 100);
    fixture::openUpForOthers(tree.root());
    tree.chmod("locked", 0000);
    const auto r = rule("l", tree.path("locked"), RuleGranularity::files);
    const auto outcome = fixture::runUnprivileged([&]() -> std::int64_t {
        const auto result = scanOne(r);
        return result.error == "The folder could not be read." ? 1 : 0;
    });
    if (!outcome) {
        GTEST_SKIP() << "cannot drop privileges to the unprivileged user here";
    }
    EXPECT_EQ(*outcome, 1);
}

TEST(JunkScanFallback, TemporaryFilesOlderThanADay) {
    const auto tmp = AppPaths::expand("$TMPDIR");
    fixture::TempTree tree(tmp);
    tree.file("two-days.bin", 1000, 2);
    tree.file("an-hour.bin", 1000, 1.0 / 24);
    const auto userTemp = *RuleCatalogue::rule("user-temp", RuleCatalogue::fallback());
    const auto result = scanOne(userTemp);
    EXPECT_EQ(names(result), std::vector<std::string>{"two-days.bin"});
    EXPECT_EQ(result.skipped, 1);
}

TEST(JunkScan, NoEnabledRules) {
    std::vector<ScanProgress> reports;
    const auto result = scanner().scanJunk(RuleCatalogue::fallback(), {}, {},
                                           [&](const ScanProgress& p) { reports.push_back(p); });
    EXPECT_TRUE(result.results.empty());
    EXPECT_FALSE(result.cancelled);
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].title, "Finishing");
    EXPECT_EQ(reports[0].totalRules, 0);
}

TEST(JunkScan, RulesInCatalogueOrderWithProgressAtBoundaries) {
    TempTree tree;
    tree.file("a/1", 100);
    tree.file("b/2", 100);
    tree.file("b/3", 100);
    const std::vector<CleanRule> rules{rule("a", tree.path("a"), RuleGranularity::files),
                                       rule("off", tree.path("a"), RuleGranularity::files),
                                       rule("b", tree.path("b"), RuleGranularity::files)};
    std::vector<ScanProgress> reports;
    const auto result = scanner().scanJunk(rules, {"b", "a", "unknown"}, {},
                                           [&](const ScanProgress& p) { reports.push_back(p); });
    ASSERT_EQ(result.results.size(), 2u);
    EXPECT_EQ(result.results[0].id(), "a");
    EXPECT_EQ(result.results[1].id(), "b");
    EXPECT_EQ(result.itemCount(), 3);
    EXPECT_LE(result.startedAt, result.finishedAt);
    ASSERT_EQ(reports.size(), 3u);
    EXPECT_EQ(reports[0].title, "Rule a");
    EXPECT_EQ(reports[1].title, "Rule b");
    EXPECT_EQ(reports[1].completedRules, 1);
    EXPECT_EQ(reports[1].filesSeen, 1);  // the one entry of rule a
    EXPECT_EQ(reports[2].title, "Finishing");
    EXPECT_EQ(reports[2].completedRules, 2);
    EXPECT_EQ(reports[2].filesSeen, 3);
}

TEST(JunkScanCancel, DuringAnEarlierRuleVersusTheLast) {
    TempTree tree;
    for (const auto* folder : {"a", "b", "c"}) {
        for (int i = 0; i < 3; ++i) {
            tree.file(std::string(folder) + "/f" + std::to_string(i), 100);
        }
    }
    const std::vector<CleanRule> rules{rule("a", tree.path("a"), RuleGranularity::files),
                                       rule("b", tree.path("b"), RuleGranularity::files),
                                       rule("c", tree.path("c"), RuleGranularity::files)};
    const std::set<std::string> all{"a", "b", "c"};
    for (const auto& [cancelIn, expectCancelled, expectResults, finalTitle] :
         {std::tuple{"Rule b", true, 2u, "Stopping"},
          std::tuple{"Rule c", false, 3u, "Finishing"}}) {
        std::stop_source stop;
        std::string last;
        // Cancelling when the rule's own report arrives stops its walk before the first entry.
        const auto result = scanner().scanJunk(
            rules, all, {},
            [&](const ScanProgress& p) {
                last = p.title;
                if (p.title == cancelIn) {
                    stop.request_stop();
                }
            },
            stop.get_token());
        EXPECT_EQ(result.cancelled, expectCancelled) << cancelIn;
        ASSERT_EQ(result.results.size(), expectResults) << cancelIn;
        EXPECT_TRUE(result.results.back().items.empty()) << cancelIn;  // the partial rule
        EXPECT_FALSE(result.results.back().truncated);
        EXPECT_EQ(last, finalTitle);
    }
}

using HomeJunkTest = fixture::HomeTest;

TEST_F(HomeJunkTest, ARuleWhoseFolderNamesNoPlaceNeverScansTheWorkingFolder) {
    const std::string savedTmp = std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "";
    tree.file(".bashrc", 100, 10);
    tree.file("projects/src/main.c", 100, 10);
    const auto cwd = platform::currentDirectory();
    ASSERT_EQ(::chdir(tree.root().c_str()), 0);  // as `cd ~ && kelvane-cli scan` does
    struct Restore {
        std::string cwd, tmp;
        ~Restore() {
            (void)!::chdir(cwd.c_str());
            ::setenv("TMPDIR", tmp.c_str(), 1);
        }
    } restore{cwd, savedTmp};
    for (const char* tmpdir : {"", "relative"}) {
        ::setenv("TMPDIR", tmpdir, 1);
        for (const auto* path : {"$NOT_SET_ANYWHERE", "relative/folder", ""}) {
            const auto result = scanOne(rule("r", path, RuleGranularity::files));
            EXPECT_TRUE(result.items.empty()) << path;
            EXPECT_TRUE(result.error.has_value()) << path;
        }
        // The temporary folder is /tmp then, with its runtime files left alone.
        const auto temp = scanOne(rule("t", "$TMPDIR", RuleGranularity::files));
        for (const auto& item : temp.items) {
            EXPECT_TRUE(item.path.starts_with("/tmp/")) << item.path;
        }
    }
}

TEST_F(HomeJunkTest, APlaceTwoRulesReachIsOfferedOnceAndCountedOnce) {
    tree.file("shared/a.log", 4096);
    tree.file("shared/sub/b.log", 4096);
    const std::vector<CleanRule> rules{
        rule("files", "~/shared", RuleGranularity::files),
        rule("same", "~/shared/", RuleGranularity::files),
        rule("tree", "~/shared", RuleGranularity::tree),
    };
    const auto result = scanner().scanJunk(rules, {"files", "same", "tree"}, {});
    ASSERT_EQ(result.results.size(), 3u);
    EXPECT_EQ(result.results[0].items.size(), 2u);
    EXPECT_TRUE(result.results[1].items.empty());  // the same files again
    EXPECT_TRUE(result.results[2].items.empty());  // folders holding what was offered
    EXPECT_EQ(result.itemCount(), 2);
    EXPECT_EQ(result.totalBytes(), result.results[0].totalBytes());
}

TEST_F(HomeJunkTest, AFolderIsAsOldAsTheNewestThingInIt) {
    tree.file("apps/idle/old.bin", 4096, 40);
    tree.age("apps/idle", 40);
    tree.file("apps/busy/old.bin", 4096, 40);
    tree.file("apps/busy/deep/written-today.bin", 4096, 0);
    tree.age("apps/busy/deep", 40);
    tree.age("apps/busy", 40);  // the folder's own date says 40 days
    const auto result = scanOne(rule("t", "~/apps", RuleGranularity::tree, {"*"}, {}, 30));
    EXPECT_EQ(names(result), std::vector<std::string>{"idle"});
    EXPECT_EQ(result.skipped, 1);
}

TEST_F(HomeJunkTest, ATrashRecordGoesOnlyWithItsItem) {
    tree.file("Trash/files/photo.jpg", 4096);
    tree.file("Trash/info/photo.jpg.trashinfo", 100);
    tree.package("Trash/files/Tool.app", 4096);  // refused by the trash rule
    tree.file("Trash/info/Tool.app.trashinfo", 100);
    tree.file("Trash/info/gone.txt.trashinfo", 100);  // its item is no longer there
    const std::vector<CleanRule> rules{
        rule("trash", "~/Trash/files", RuleGranularity::tree, {}),
        rule("trash-info", "~/Trash/info", RuleGranularity::tree, {"*.trashinfo"}),
    };
    const auto both = scanner().scanJunk(rules, {"trash", "trash-info"}, {});
    ASSERT_EQ(both.results.size(), 2u);
    EXPECT_EQ(names(both.results[0]), std::vector<std::string>{"photo.jpg"});
    auto records = names(both.results[1]);
    std::sort(records.begin(), records.end());
    EXPECT_EQ(records, (std::vector<std::string>{"gone.txt.trashinfo", "photo.jpg.trashinfo"}));
    EXPECT_EQ(both.results[1].skipped, 1);

    // With the trash rule off, only the record of the item already gone is offered.
    const auto alone = scanner().scanJunk(rules, {"trash-info"}, {});
    EXPECT_EQ(names(alone.results[0]), std::vector<std::string>{"gone.txt.trashinfo"});
}

TEST_F(HomeJunkTest, NothingKeptInStepBySyncthingIsOffered) {
    tree.file("sync/.stfolder/.keep", 0);
    tree.file("sync/old.log", 4096, 40);
    tree.file("logs/plain/old.log", 4096, 40);
    tree.file("logs/shared/.stfolder/.keep", 0, 40);
    tree.file("logs/shared/old.log", 4096, 40);
    tree.file("apps/plain/a.bin", 4096, 40);
    tree.file("apps/holds/deep/.stfolder/.keep", 0, 40);
    tree.file("apps/holds/deep/a.bin", 4096, 40);

    EXPECT_TRUE(scanOne(rule("f", "~/sync", RuleGranularity::files)).items.empty());
    EXPECT_EQ(names(scanOne(rule("f", "~/logs", RuleGranularity::files, {"*.log"}))),
              std::vector<std::string>{"old.log"});
    EXPECT_EQ(names(scanOne(rule("t", "~/apps", RuleGranularity::tree))),
              std::vector<std::string>{"plain"});

    // The check before a move asks the same question.
    const auto r = rule("f", "~/logs", RuleGranularity::files, {"*.log"});
    EXPECT_EQ(SafetyPolicy{}.rejectionReason(tree.path("logs/shared/old.log"), r, {}),
              "The item is in a synced folder.");
    EXPECT_EQ(SafetyPolicy{}.rejectionReason(tree.path("logs/plain/old.log"), r, {}), std::nullopt);
}
