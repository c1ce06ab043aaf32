// Odd names, deep paths and loops never break a scan: every scanner still finds the files it
// should, with their names intact.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "TempTree.h"
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
