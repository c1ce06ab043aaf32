#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TempTree.h"
#include "files/FileTools.h"
#include "scan/CleanScanner.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

LargeFileScan scanLarge(const std::string& root, std::int64_t minSize, int olderThanDays = 0,
                        std::int64_t fileLimit = 400'000, int resultLimit = 2000,
                        std::vector<std::string> ignore = {},
                        std::vector<std::int64_t>* progress = nullptr, std::stop_token stop = {}) {
    CleanScanner scanner{SafetyPolicy{}, 8000, resultLimit};
    CleanScanner::CountCallback callback;
    if (progress) {
        callback = [progress](std::int64_t n) { progress->push_back(n); };
    }
    return scanner.scanLargeFiles(root, minSize, olderThanDays, ignore, fileLimit, callback, stop);
}

std::vector<std::string> names(const LargeFileScan& scan) {
    std::vector<std::string> out;
    for (const auto& item : scan.items) {
        out.push_back(item.name());
    }
    return out;
}

}  // namespace

TEST(LargeFiles, ThresholdByAllocatedSizeLargestFirst) {
    TempTree tree;
    tree.file("a/big.bin", 400'000);
    tree.file("a/.hidden-big.bin", 300'000);
    tree.file("a/small.bin", 1000);
    tree.package("a/Tool.app", 500'000);  // never entered
    tree.link("a/link.bin", "big.bin");
    const auto minSize = FileTools::allocatedSize(tree.path("a/.hidden-big.bin"));
    std::vector<std::int64_t> progress;
    const auto scan = scanLarge(tree.root(), minSize, 0, 400'000, 2000, {}, &progress);
    EXPECT_EQ(names(scan), (std::vector<std::string>{"big.bin", ".hidden-big.bin"}));
    EXPECT_EQ(scan.items[0].ruleID, "large-files");
    EXPECT_EQ(scan.totalBytes(), scan.items[0].size + scan.items[1].size);
    EXPECT_EQ(scan.scannedFiles, 6);  // a, four entries in it, and the package itself
    EXPECT_EQ(progress, std::vector<std::int64_t>{6});
    EXPECT_FALSE(scan.cancelled || scan.truncated);

    EXPECT_EQ(names(scanLarge(tree.root(), minSize + 1)), std::vector<std::string>{"big.bin"});
}

TEST(LargeFiles, SparseFilesCountByAllocatedSize) {
    TempTree tree;
    const auto sparse = tree.file("sparse.img", 0);
    ASSERT_EQ(::truncate(sparse.c_str(), 50'000'000), 0);
    EXPECT_TRUE(scanLarge(tree.root(), 1'000'000).items.empty());
}

TEST(LargeFiles, RootThatIsNoFolder) {
    TempTree tree;
    tree.file("plain", 10);
    for (const auto& root : {tree.path("plain"), tree.path("missing")}) {
        std::vector<std::int64_t> progress;
        const auto scan = scanLarge(root, 1, 0, 400'000, 2000, {}, &progress);
        EXPECT_TRUE(scan.items.empty());
        EXPECT_EQ(scan.scannedFiles, 0);
        EXPECT_TRUE(progress.empty());
    }
}

TEST(LargeFiles, FileBudgetCountsButDoesNotExamineTheLastEntry) {
    TempTree tree;
    for (int i = 0; i < 1100; ++i) {
        tree.file("f" + std::to_string(i), 10);
    }
    std::vector<std::int64_t> progress;
    const auto scan = scanLarge(tree.root(), 1, 0, 1000, 2000, {}, &progress);
    EXPECT_EQ(scan.scannedFiles, 1000);
    EXPECT_EQ(scan.items.size(), 999u);
    EXPECT_TRUE(scan.truncated);
    EXPECT_FALSE(scan.cancelled);
    EXPECT_EQ(progress, (std::vector<std::int64_t>{400, 800, 1000}));
}

TEST(LargeFiles, ResultBudgetKeepsTheFirstMet) {
    TempTree tree;
    for (int i = 0; i < 5; ++i) {
        tree.file("f" + std::to_string(i), 10'000 * (i + 1));
    }
    const auto scan = scanLarge(tree.root(), 1, 0, 400'000, 2);
    EXPECT_EQ(scan.items.size(), 2u);
    EXPECT_TRUE(scan.truncated);
}

TEST(LargeFiles, AgeFilter) {
    TempTree tree;
    tree.file("old.bin", 10'000, 31);
    tree.file("new.bin", 10'000, 1);
    EXPECT_EQ(names(scanLarge(tree.root(), 1, 30)), std::vector<std::string>{"old.bin"});
    EXPECT_EQ(scanLarge(tree.root(), 1, 0).items.size(), 2u);
}

TEST(LargeFiles, ProtectedAndIgnoredFilesAreWalkedButNotOffered) {
    TempTree tree;
    tree.file("keep/a.bin", 10'000);
    tree.file("repo/.git/pack.bin", 10'000);
    tree.file("disk.sparseimage", 10'000);
    tree.file("ok.bin", 10'000);
    const auto scan = scanLarge(tree.root(), 1, 0, 400'000, 2000, {tree.path("keep") + "/"});
    EXPECT_EQ(names(scan), std::vector<std::string>{"ok.bin"});
    EXPECT_EQ(scan.scannedFiles, 7);
}

TEST(LargeFiles, CancelledKeepsWhatWasFound) {
    TempTree tree;
    for (int i = 0; i < 10; ++i) {
        tree.file("f" + std::to_string(i), 10'000);
    }
    std::stop_source stop;
    stop.request_stop();
    const auto scan = scanLarge(tree.root(), 1, 0, 400'000, 2000, {}, nullptr, stop.get_token());
    EXPECT_TRUE(scan.cancelled);
    EXPECT_FALSE(scan.truncated);
    EXPECT_EQ(scan.scannedFiles, 0);
}

TEST(LargeFilesSync, AFolderHoldingSyncthingsMarkerIsNeverEntered) {
    fixture::TempTree tree;
    tree.file("media/film.mkv", 2 << 20);
    tree.file("media/phone-sync/video.mp4", 2 << 20);
    tree.folder("media/phone-sync/.stfolder");
    CleanScanner scanner{SafetyPolicy{}, 100, 100};
    const auto large = scanner.scanLargeFiles(tree.path("media"), 1 << 20, 0, {}, 10'000);
    ASSERT_EQ(large.items.size(), 1u);
    EXPECT_EQ(large.items[0].path, tree.path("media/film.mkv"));
    std::filesystem::copy_file(tree.path("media/phone-sync/video.mp4"),
                               tree.path("media/video-copy.mp4"));
    EXPECT_TRUE(scanner.scanDuplicates(tree.path("media"), 1 << 20, {}, 10'000).groups.empty());
}
