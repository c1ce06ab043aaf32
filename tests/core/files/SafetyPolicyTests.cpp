#include <gtest/gtest.h>

#include <fstream>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/SafetyPolicy.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

CleanRule ruleAt(std::string path, bool allowsUserContent = false) {
    CleanRule rule;
    rule.id = "r";
    rule.name = "Rule";
    rule.path = std::move(path);
    rule.includes = {"*"};
    rule.allowsUserContent = allowsUserContent;
    return rule;
}

constexpr const char* wholeFolder = "Kelvane never removes a whole rule folder.";
constexpr const char* outside = "The item is outside the folder this rule protects.";
constexpr const char* resolvesOutside =
    "The item resolves outside the rule folder. It may be a symbolic link.";
constexpr const char* symbolicLink = "The item is a symbolic link.";
constexpr const char* package = "The item is an app or package bundle.";
constexpr const char* git = "The item is inside a Git repository.";
constexpr const char* synced = "The item is in a synced folder.";
constexpr const char* personal = "The item is in a personal or system folder.";
constexpr const char* ignored = "The folder is on your ignore list.";

}  // namespace

TEST(SafetyContains, TextualInsideRelation) {
    struct Case {
        const char* path;
        const char* folder;
        bool inside;
    };
    const Case cases[] = {
        {"/a/b", "/a/b", true},   {"/a/b/c", "/a/b", true}, {"/a/b/c", "/a/b/", true},
        {"/a/bc", "/a/b", false}, {"/a", "/a/b", false},    {"/A/b/c", "/a/b", false},
        {"/anything", "/", true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafetyPolicy::contains(c.path, c.folder), c.inside)
            << c.path << " in " << c.folder;
    }
}

class SafetyRejection : public ::testing::Test {
  protected:
    void SetUp() override {
        home = AppPaths::home();
        tree.file("cache/plain.bin", 10);
        tree.file("cache/sub/deep.bin", 10);
        tree.file("cache/repo/.git/config", 10);
        tree.file("cache/.gitignore", 10);
        tree.file("other/target.bin", 10);
        tree.package("cache/Tool.app");
        tree.link("cache/out-link", tree.path("other/target.bin"));
        tree.link("cache/in-link", "plain.bin");
        tree.link("via-link", "cache");
        tree.folder("cache-sibling");
    }

    std::optional<std::string> reason(const std::string& path, const CleanRule& rule,
                                      const std::vector<std::string>& ignoreList = {},
                                      const SafetyPolicy& policy = {}) {
        return policy.rejectionReason(path, rule, ignoreList);
    }

    TempTree tree;
    std::string home;
};

TEST_F(SafetyRejection, EachCheckWithItsMessage) {
    const auto rule = ruleAt(tree.path("cache"));
    struct Case {
        std::string path;
        std::optional<std::string> expected;
    };
    const Case cases[] = {
        {"", "The path is empty."},
        {tree.path("cache"), wholeFolder},
        {tree.path("cache") + "/", wholeFolder},
        {tree.path("cache-sibling"), outside},
        {tree.path("cache/../other/target.bin"), outside},
        {tree.path("cache/out-link"), resolvesOutside},  // before the link check
        {tree.path("cache/in-link"), symbolicLink},
        {tree.path("cache/Tool.app"), package},
        {tree.path("cache/repo/.git/config"), git},
        {tree.path("cache/repo/.git"), git},
        {tree.path("cache/.gitignore"), std::nullopt},
        {tree.path("cache/plain.bin"), std::nullopt},
        {tree.path("cache/./sub/deep.bin"), std::nullopt},
        {tree.path("cache/not-there-yet/file"), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(reason(c.path, rule), c.expected) << c.path;
    }
}

TEST_F(SafetyRejection, RuleFolderWrittenWithTildeOrTrailingSlash) {
    const auto relative = tree.path("cache").substr(home.size() + 1);
    EXPECT_EQ(reason(tree.path("cache"), ruleAt("~/" + relative + "/")), wholeFolder);
    EXPECT_EQ(reason(tree.path("cache/plain.bin"), ruleAt("$HOME/" + relative)), std::nullopt);
}

TEST_F(SafetyRejection, ARuleFolderReachedThroughALinkStillOffersItsItems) {
    const auto rule = ruleAt(tree.path("via-link"));
    EXPECT_EQ(reason(tree.path("via-link/plain.bin"), rule), std::nullopt);
    EXPECT_EQ(reason(tree.path("cache"), rule), wholeFolder);  // resolves to the rule folder
}

TEST_F(SafetyRejection, PersonalAndSyncedFolders) {
    tree.file("../Documents/notes.txt", 10);
    tree.file("../Library/Mobile Documents/doc.txt", 10);
    tree.file("../documents/lower.txt", 10);
    const auto everywhere = ruleAt(home);
    const auto userContent = ruleAt(home, true);
    EXPECT_EQ(reason(home + "/Documents/notes.txt", everywhere), personal);
    EXPECT_EQ(reason(home + "/documents/lower.txt", everywhere), std::nullopt);
    EXPECT_EQ(reason(home + "/Documents/notes.txt", userContent), std::nullopt);
    EXPECT_EQ(reason(home + "/Library/Mobile Documents/doc.txt", userContent), synced);
    EXPECT_EQ(reason(home + "/Library/Mobile Documents/doc.txt", everywhere), personal);
}

TEST_F(SafetyRejection, IgnoreListsFromThePolicyAndTheCall) {
    const auto rule = ruleAt(tree.path("cache"));
    const auto item = tree.path("cache/sub/deep.bin");
    const auto relativeSub = tree.path("cache/sub").substr(home.size() + 1);
    EXPECT_EQ(reason(item, rule, {"~/" + relativeSub + "/"}), ignored);
    EXPECT_EQ(reason(item, rule, {}, SafetyPolicy{{"$HOME/" + relativeSub}}), ignored);
    EXPECT_EQ(reason(item, rule, {"/"}), ignored);
    EXPECT_EQ(reason(item, rule, {tree.path("cache/su")}), std::nullopt);
    EXPECT_EQ(reason(item, rule, {}), std::nullopt);
}

TEST(SafetyProtected, PlacesExtensionsAndLinks) {
    TempTree tree;
    const auto home = AppPaths::home();
    tree.link("docs-link", home + "/Documents");
    struct Case {
        std::string path;
        bool expected;
    };
    const Case cases[] = {
        {"/", true},
        {home, true},
        {home + "/", true},
        {home + "/Documents/a.txt", true},
        {home + "/documents/a.txt", false},  // personal folders are case-sensitive
        {home + "/Library", false},          // holding a protected folder is not enough
        {home + "/Library/Keychains/login.db", true},
        {home + "/.ssh/id_ed25519", true},
        {"/usr/lib/x.so", true},
        {"/etc/passwd", true},
        {"/home", false},
        {"/tmp/Big.APP", true},  // extensions compare in lower case
        {"/tmp/disk.sparseimage", true},
        {"/tmp/.app", false},  // only begins with "."
        {"/tmp/src/.git/HEAD", true},
        {"/tmp/src/.gitkeep", false},
        {tree.path("docs-link/x.txt"), true},  // the resolved candidate counts too
        {tree.path("plain.txt"), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(SafetyPolicy::isProtected(c.path), c.expected) << c.path;
    }
}

TEST(SafetyHardLinks, LinkCountAboveOne) {
    TempTree tree;
    tree.file("a", 10);
    tree.file("single", 10);
    tree.hardlink("b", "a");
    EXPECT_TRUE(SafetyPolicy::isHardLinked(tree.path("a")));
    EXPECT_FALSE(SafetyPolicy::isHardLinked(tree.path("single")));
    EXPECT_FALSE(SafetyPolicy::isHardLinked(tree.path("missing")));
}

using SafetyHomeTest = fixture::HomeTest;

TEST_F(SafetyHomeTest, TheUsersRealFoldersAndSyncedFoldersAreProtected) {
    tree.file(".config/user-dirs.dirs", 0);
    std::ofstream(tree.path(".config/user-dirs.dirs"))
        << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n";
    tree.file(".config/Nextcloud/nextcloud.cfg", 0);
    std::ofstream(tree.path(".config/Nextcloud/nextcloud.cfg"))
        << "[Accounts]\n0\\Folders\\1\\localPath=" << tree.path("Wolke") << "/\n";
    for (const auto* inside :
         {"Dokumente/brief.odt", "Bilder/urlaub.jpg", "Dropbox/notes.txt", "Wolke/shared.ods"}) {
        EXPECT_TRUE(SafetyPolicy::isProtected(tree.path(inside))) << inside;
    }
    EXPECT_FALSE(SafetyPolicy::isProtected(tree.path(".cache/thing")));
    CleanRule everything;
    everything.id = "all";
    everything.name = "All";
    everything.path = "~";
    everything.allowsUserContent = true;  // like the large-file and duplicate cleans
    EXPECT_EQ(SafetyPolicy{}.rejectionReason(tree.file("Wolke/big.iso", 10), everything, {}),
              "The item is in a synced folder.");
}

TEST(SafetyPolicyHome, AHomeInsideASystemFolderIsStillTheUsersOwn) {
    for (const char* home : {"/root", "/var/lib/kelvane-service"}) {
        fixture::ScopedHome scoped(home);
        const std::string inside = std::string(home) + "/.cache/big.bin";
        EXPECT_FALSE(SafetyPolicy::isProtected(inside)) << home;
        EXPECT_TRUE(SafetyPolicy::isProtected(home)) << "the home folder itself stays protected";
        EXPECT_TRUE(SafetyPolicy::isProtected("/var/lib/dpkg/status")) << home;
        EXPECT_TRUE(SafetyPolicy::isProtected("/etc/passwd")) << home;
    }
}

TEST(SafetyPolicyHome, ARuleForAFolderHoldingTheHomeNeverReachesIntoIt) {
    TempTree tree;  // stands for /tmp, with a live session's home inside
    const auto home = tree.folder("session-home");
    fixture::ScopedHome scoped(home);
    CleanRule temporary;
    temporary.id = "temp";
    temporary.path = tree.root();
    temporary.includes = {"*"};
    EXPECT_EQ(SafetyPolicy{}.rejectionReason(tree.file("session-home/.bashrc", 10), temporary, {}),
              "The item is in your home folder, which this rule does not cover.");
    EXPECT_EQ(SafetyPolicy{}.rejectionReason(tree.file("old-build.o", 10), temporary, {}),
              std::nullopt);
    CleanRule cache = temporary;
    cache.path = "~/.cache";
    EXPECT_EQ(SafetyPolicy{}.rejectionReason(tree.file("session-home/.cache/x", 10), cache, {}),
              std::nullopt);
}
