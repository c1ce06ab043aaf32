// Odd names, deep paths and loops never break a scan: every scanner still finds the files it
// should, with their names intact.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <unistd.h>

#include <fstream>

#include "TempTree.h"
#include "files/FileTools.h"
#include "files/SafetyPolicy.h"
#include "platform/DirectoryWalker.h"
#include "scan/CleanScanner.h"
#include "scan/DiskMapBuilder.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

const std::vector<std::string>& oddNames() {
    static const std::vector<std::string> names{
        "with space.bin",
        "line\nbreak.bin",
        std::string("bad-utf8-\xff\xfe.bin"),
        std::string(251, 'L') + ".bin",  // 255 bytes
        "-dash-first.bin",
        "quote\"and'apostrophe.bin",
        "日本語.bin",
    };
    return names;
}

void writeSame(const std::string& path, std::size_t bytes) {
    std::ofstream out(path, std::ios::binary);
    out << std::string(bytes, 'q');
}

}  // namespace

TEST(ScannerRobustness, OddNamesAreFoundIntact) {
    TempTree tree;
    tree.folder("odd");
    for (const auto& name : oddNames()) {
        writeSame(tree.path("odd/" + name), 300'000);
    }
    tree.link("odd/loop", ".");
    tree.link("odd/dangling", "nowhere");

    CleanScanner scanner{SafetyPolicy{}, 8000, 2000};
    const auto large = scanner.scanLargeFiles(tree.path("odd"), 1, 0, {}, 400'000);
    EXPECT_EQ(large.items.size(), oddNames().size());

    const auto duplicates = scanner.scanDuplicates(tree.path("odd"), 1, {}, 120'000);
    ASSERT_EQ(duplicates.groups.size(), 1u);
    std::set<std::string> grouped;
    for (const auto& file : duplicates.groups[0].files) {
        grouped.insert(file.name());
    }
    EXPECT_EQ(grouped, std::set<std::string>(oddNames().begin(), oddNames().end()));

    CleanRule rule;
    rule.id = "odd";
    rule.path = tree.path("odd");
    std::int64_t seen = 0;
    EXPECT_EQ(scanner.scan(rule, {}, seen).items.size(), oddNames().size());
    rule.granularity = RuleGranularity::tree;
    EXPECT_EQ(scanner.scan(rule, {}, seen).items.size(), oddNames().size());

    const auto map = DiskMapBuilder{60}.node(tree.path("odd"));
    ASSERT_TRUE(map);
    EXPECT_EQ(map->children.size(), oddNames().size());
}

TEST(ScannerRobustness, FilesBelowPathMaxAreScanned) {
    TempTree tree;
    const std::string name(250, 'd');
    int fd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
    for (int i = 0; i < 18; ++i) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    const int file = ::openat(fd, "deep.bin", O_CREAT | O_WRONLY, 0644);
    const std::string data(100'000, 'x');
    ASSERT_EQ(::write(file, data.data(), data.size()), static_cast<ssize_t>(data.size()));
    ::close(file);
    ::close(fd);

    CleanScanner scanner{SafetyPolicy{}, 8000, 2000};
    const auto large = scanner.scanLargeFiles(tree.root(), 1, 0, {}, 400'000);
    ASSERT_EQ(large.items.size(), 1u);
    EXPECT_GT(large.items[0].path.size(), 4096u);
    const auto map = DiskMapBuilder{60}.node(tree.root());
    ASSERT_TRUE(map);
    // The subtree is measured through relative lookups even past PATH_MAX.
    EXPECT_GE(map->size, 100'000);
}

TEST(OneFileSystem, WalksMeasureAndOfferOnlyWhatIsOnTheRootsFileSystem) {
    fixture::TempTree tree;
    tree.file("local/big.bin", 3 << 20);
    const auto share = tree.folder("local/share");
    if (::mount("kelvane-test", share.c_str(), "tmpfs", 0, "size=16m") != 0) {
        GTEST_SKIP() << "mounting a tmpfs needs privileges this run does not have";
    }
    struct Unmount {
        std::string path;
        ~Unmount() { ::umount2(path.c_str(), MNT_DETACH); }
    } unmount{share};
    fixture::TempTree::writeFile(share + "/remote.bin", 4 << 20, std::nullopt);

    bool sawMountPoint = false;
    bool entered = false;
    platform::walkDirectory(tree.path("local"), {}, [&](const platform::WalkEntry& entry) {
        sawMountPoint = sawMountPoint || (entry.name == "share" && entry.isMountPoint);
        entered = entered || entry.name == "remote.bin";
        return platform::WalkAction::proceed;
    });
    EXPECT_TRUE(sawMountPoint);
    EXPECT_FALSE(entered);
    EXPECT_LT(FileTools::allocatedSize(tree.path("local")), 4 << 20);

    CleanScanner scanner{SafetyPolicy{}, 100, 100};
    const auto large = scanner.scanLargeFiles(tree.path("local"), 1 << 20, 0, {}, 10'000);
    ASSERT_EQ(large.items.size(), 1u);
    EXPECT_EQ(large.items[0].path, tree.path("local/big.bin"));

    const auto node = DiskMapBuilder{60}.node(tree.path("local"));
    ASSERT_TRUE(node.has_value());
    ASSERT_EQ(node->children.size(), 2u);
    const auto& mount = node->children.back();
    EXPECT_EQ(mount.name, "share");
    EXPECT_TRUE(mount.isMountPoint) << "the map shows what is mounted there as not measured";
    EXPECT_EQ(mount.size, 0);
    EXPECT_EQ(node->size, node->children.front().size);
}

TEST(HardLinks, AFileWithSeveralNamesTakesItsSpaceOnce) {
    fixture::TempTree tree;
    tree.file("data/one.bin", 1 << 20);
    tree.hardlink("data/two.bin", "data/one.bin");
    tree.hardlink("data/sub/three.bin", "data/one.bin");
    const auto once = FileTools::allocatedSize(tree.path("data/one.bin"));
    EXPECT_EQ(FileTools::allocatedSize(tree.path("data")), once);
    EXPECT_EQ(FileTools::summarize(tree.path("data")).freeableSize, once);
    EXPECT_EQ(FileTools::summarize(tree.path("data/sub")).freeableSize, 0)
        << "moving the folder away leaves the data under its other names";

    // Across the map's children, too: the names in "data" and "elsewhere" are one file.
    tree.hardlink("elsewhere/four.bin", "data/one.bin");
    const auto node = DiskMapBuilder{60}.node(tree.root());
    ASSERT_TRUE(node);
    EXPECT_EQ(node->size, once);

    // Neither the large-file list nor a junk rule offers space that would not be freed.
    CleanScanner scanner{SafetyPolicy{}, 100, 100};
    EXPECT_TRUE(scanner.scanLargeFiles(tree.root(), 1, 0, {}, 10'000).items.empty());
    for (const auto granularity : {RuleGranularity::files, RuleGranularity::tree}) {
        CleanRule rule;
        rule.id = "linked";
        rule.path = tree.path("data");
        rule.includes = {"*"};
        rule.granularity = granularity;
        std::int64_t seen = 0;
        const auto offered = scanner.scan(rule, {}, seen).items;
        EXPECT_TRUE(offered.empty()) << offered.front().path;
    }
}

TEST(UnreadableFolders, AreCountedByEveryScanThatWalks) {
    TempTree tree;
    tree.file("root/locked/hidden.bin", 2 << 20);
    tree.file("root/open/seen.bin", 2 << 20);
    fixture::openUpForOthers(tree.path("root"));
    tree.chmod("root/locked", 0000);
    const auto counts = fixture::runUnprivileged([&] {
        CleanScanner scanner{SafetyPolicy{}, 100, 100};
        const auto large = scanner.scanLargeFiles(tree.path("root"), 1, 0, {}, 10'000);
        const auto duplicates = scanner.scanDuplicates(tree.path("root"), 1, {}, 10'000);
        const auto map = DiskMapBuilder{60}.node(tree.path("root"));
        return large.unreadableFolders * 100 + duplicates.unreadableFolders * 10 +
               (map ? map->unreadableFolders : 5);
    });
    if (!counts) {
        GTEST_SKIP() << "cannot drop privileges to the unprivileged user here";
    }
    EXPECT_EQ(*counts, 111);
}
