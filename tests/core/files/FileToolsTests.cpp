#include <fnmatch.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TempTree.h"
#include "files/FileTools.h"
#include "platform/FileSystem.h"
#include "platform/PathText.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

std::int64_t blocksOf(const std::string& path) {
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return static_cast<std::int64_t>(st.st_blocks) * 512;
}

}  // namespace

TEST(FileToolsGlob, BehavesAsFnmatchWithNoFlags) {
    struct Case {
        const char* pattern;
        const char* text;
        bool matches;
    };
    const Case cases[] = {
        {"*", "anything", true},      {"*", "a/b/c", true},  // "*" crosses "/"
        {"*", ".hidden", true},                              // a leading "." needs no special match
        {"*.log", "x/y/z.log", true},                        // any folders before the name
        {"*.log", "z.log.1", false},  {"*.LOG", "z.log", false},  // case-sensitive
        {"?.txt", "a.txt", true},     {"[ab]*", "beta", true},
        {"[!ab]*", "beta", false},    {"\\*", "*", true},  // backslash escapes
        {"\\*", "x", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FileTools::glob(c.pattern, c.text), c.matches) << c.pattern << " ~ " << c.text;
    }
}

TEST(FileToolsGlob, ItsShortcutsAgreeWithFnmatchInBothModes) {
    const char* patterns[] = {"name", "*.log",  "Cache*",  "*",  "a*", "*a", "",      "*/",
                              "x/*",  "*.log*", "Cache*/", ".*", "*.", "?",  "name*", "*name"};
    const char* texts[] = {"name",   "a/b.log", "Cache/x",    "CacheData", "",
                           "x/name", ".hidden", "b.log",      "a",         "x/",
                           "a/",     "name/x",  "Cachex.log", "/"};
    for (const auto* pattern : patterns) {
        for (const auto* text : texts) {
            for (const auto slash :
                 {FileTools::GlobSlash::wildcard, FileTools::GlobSlash::literal}) {
                const bool expected =
                    ::fnmatch(pattern, text,
                              slash == FileTools::GlobSlash::literal ? FNM_PATHNAME : 0) == 0;
                EXPECT_EQ(FileTools::glob(pattern, text, slash), expected)
                    << pattern << " ~ " << text;
            }
        }
    }
}

class FileToolsTree : public ::testing::Test {
  protected:
    void SetUp() override {
        big = tree.file("big/data.bin", 300'000);
        tree.file("big/nested/more.bin", 50'000);
        tree.file("big/.hidden", 20'000);
        tree.package("big/Tool.app", 40'000);
        tree.link("big/loop", "..");
        tree.link("big/dangling", "no-such-target");
        tree.folder("empty");
        tree.link("to-big", "big");
        expectedBig = blocksOf(big) + blocksOf(tree.path("big/nested/more.bin")) +
                      blocksOf(tree.path("big/.hidden"));
    }

    TempTree tree;
    std::string big;
    std::int64_t expectedBig = 0;
};

TEST_F(FileToolsTree, AllocatedSizeCountsRegularFilesOnceAndNoLinksOrPackages) {
    EXPECT_EQ(FileTools::allocatedSize(big), blocksOf(big));
    EXPECT_GT(blocksOf(big), 0);
    EXPECT_EQ(FileTools::allocatedSize(tree.path("big")), expectedBig);
    EXPECT_EQ(FileTools::allocatedSize(tree.path("to-big")), 0);
    EXPECT_EQ(FileTools::allocatedSize(tree.path("big/dangling")), 0);
    EXPECT_EQ(FileTools::allocatedSize(tree.path("big/loop")), 0);
    EXPECT_EQ(FileTools::allocatedSize(tree.path("empty")), 0);
    EXPECT_EQ(FileTools::allocatedSize(tree.path("missing")), 0);
}

TEST_F(FileToolsTree, APackageMeasuredDirectlyCountsItsFilesButNotNestedPackages) {
    tree.package("big/Tool.app/Contents/PlugIns/Helper.plugin", 100'000);
    EXPECT_EQ(FileTools::allocatedSize(tree.path("big/Tool.app")),
              blocksOf(tree.path("big/Tool.app/Contents/Info.bin")));
}

TEST_F(FileToolsTree, AStopRequestEndsTheWalk) {
    std::stop_source stop;
    stop.request_stop();
    EXPECT_EQ(FileTools::allocatedSize(tree.path("big"), stop.get_token()), 0);
}

TEST_F(FileToolsTree, FileCount) {
    EXPECT_EQ(FileTools::fileCount(tree.path("big")), 3);  // data, more, .hidden; not the package
    EXPECT_EQ(FileTools::fileCount(big), 1);
    EXPECT_EQ(FileTools::fileCount(tree.path("missing")), 1);
    EXPECT_EQ(FileTools::fileCount(tree.path("empty")), 0);
    EXPECT_EQ(FileTools::fileCount(tree.path("to-big")), 3);  // a link to a folder is followed here
}

TEST_F(FileToolsTree, SinglePathQuestions) {
    tree.hardlink("big/second-name.bin", "big/data.bin");
    EXPECT_EQ(FileTools::linkCount(big), 2);
    EXPECT_EQ(FileTools::linkCount(tree.path("missing")), 1);

    tree.age("big/data.bin", 10);
    const auto age = now() - FileTools::modificationDate(big);
    EXPECT_NEAR(std::chrono::duration<double>(age).count() / 86400.0, 10.0, 0.01);
    EXPECT_EQ(FileTools::modificationDate(tree.path("missing")), distantPast());

    EXPECT_TRUE(FileTools::isSymbolicLink(tree.path("big/dangling")));
    EXPECT_FALSE(FileTools::isSymbolicLink(big));
    EXPECT_FALSE(FileTools::isSymbolicLink(tree.path("missing")));

    EXPECT_TRUE(FileTools::isPackage(tree.path("big/Tool.app")));
    tree.folder("Upper.APP");
    EXPECT_TRUE(FileTools::isPackage(tree.path("Upper.APP")));
    tree.file("plain.app", 10);
    EXPECT_FALSE(FileTools::isPackage(tree.path("plain.app")));
    tree.link("linked.app", "big/Tool.app");
    EXPECT_FALSE(FileTools::isPackage(tree.path("linked.app")));

    EXPECT_FALSE(FileTools::exists(tree.path("big/dangling")));
    EXPECT_TRUE(FileTools::exists(tree.path("to-big")));
    EXPECT_TRUE(FileTools::isDirectory(tree.path("to-big")));
    EXPECT_FALSE(FileTools::isDirectory(big));
}

TEST(FileToolsPermissions, AnUnreadableFolderIsSkippedAndTheRestCounted) {
    TempTree tree;
    const auto readable = tree.file("root/readable.bin", 100'000);
    tree.file("root/locked/secret.bin", 100'000);
    fixture::openUpForOthers(tree.path("root"));
    ::chmod(readable.c_str(), 0644);
    tree.chmod("root/locked", 0000);

    const auto size =
        fixture::runUnprivileged([&] { return FileTools::allocatedSize(tree.path("root")); });
    const auto count =
        fixture::runUnprivileged([&] { return FileTools::fileCount(tree.path("root")); });
    if (!size || !count) {
        GTEST_SKIP() << "cannot drop privileges to the unprivileged user here";
    }
    EXPECT_EQ(*size, blocksOf(readable));
    EXPECT_EQ(*count, 1);
}

TEST(LinkResolution, ResolvesTheExistingPrefixAndAppendsTheRest) {
    TempTree tree;
    tree.folder("real/inner");
    tree.link("alias", "real");
    tree.link("abs", tree.path("real/inner"));
    tree.link("chain", "alias/inner");
    tree.link("self", "self");
    const auto real = platform::resolveSymbolicLinks(tree.root());
    struct Case {
        std::string path, expected;
    };
    const Case cases[] = {
        {tree.path("alias/inner/file.txt"), real + "/real/inner/file.txt"},
        {tree.path("alias/not/there/yet"), real + "/real/not/there/yet"},
        {tree.path("abs/../x"), real + "/real/x"},  // ".." applies to the link's target
        {tree.path("chain"), real + "/real/inner"},
        {tree.path("./real//inner/"), real + "/real/inner"},
        {tree.path("self/x"), real + "/self/x"},  // a loop stays unresolved
        {"/", "/"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(platform::resolveSymbolicLinks(c.path), c.expected) << c.path;
    }
}

TEST(PathText, ComponentsAndExtensions) {
    EXPECT_EQ(path::lastComponent("/a/b.txt"), "b.txt");
    EXPECT_EQ(path::lastComponent("/"), "/");
    EXPECT_EQ(path::deletingLastComponent("/a/b"), "/a");
    EXPECT_EQ(path::deletingLastComponent("/a"), "/");
    EXPECT_EQ(path::extension("/x/archive.tar.GZ"), "GZ");
    EXPECT_EQ(path::extension("/x/.bashrc"), "");
    EXPECT_EQ(path::extension("/x.app/file"), "");
    EXPECT_EQ(path::appending("/", "etc"), "/etc");
}
