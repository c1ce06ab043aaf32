#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>
#include <map>

#include "TempTree.h"
#include "files/FileTools.h"
#include "platform/Sha256.h"
#include "scan/CleanScanner.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

// A file of `bytes` bytes whose content is decided by `seed`; `changeAt` flips one byte.
std::string writeContent(TempTree& tree, const std::string& relative, std::size_t bytes, int seed,
                         std::optional<std::size_t> changeAt = std::nullopt, double daysOld = 1) {
    std::string data(bytes, '\0');
    for (std::size_t i = 0; i < bytes; ++i) {
        data[i] = static_cast<char>((i * 31 + static_cast<std::size_t>(seed) * 7) % 251);
    }
    if (changeAt) {
        data[*changeAt] ^= 0x5A;
    }
    const auto path = tree.file(relative, 0);
    std::ofstream(path, std::ios::binary) << data;
    tree.age(relative, daysOld);
    return path;
}

DuplicateScan scanDuplicates(const std::string& root, std::int64_t minSize = 1,
                             std::vector<std::string> ignore = {}, std::int64_t fileLimit = 120'000,
                             std::stop_token stop = {}) {
    CleanScanner scanner{SafetyPolicy{}, 8000, 2000};
    return scanner.scanDuplicates(root, minSize, ignore, fileLimit, {}, stop);
}

}  // namespace

TEST(DuplicateHashes, HeadAndWholeFile) {
    TempTree tree;
    const auto empty = tree.file("empty", 0);
    const auto abc = tree.file("abc", 0);
    std::ofstream(abc) << "abc";
    EXPECT_EQ(CleanScanner::fullHash(abc),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(CleanScanner::partialHash(abc), CleanScanner::fullHash(abc));
    EXPECT_EQ(CleanScanner::partialHash(empty), std::nullopt);
    EXPECT_EQ(CleanScanner::fullHash(empty),
              "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(CleanScanner::fullHash(tree.path("missing")), std::nullopt);
    EXPECT_EQ(CleanScanner::fullHash(tree.root()), std::nullopt);  // a folder cannot be read
}

TEST(DuplicateHashes, TheWholeDigestGoesOnFromTheHeadAndOnlyForTheSameFile) {
    TempTree tree;
    const auto big = writeContent(tree, "big", headHashBytes * 3 + 123, 1);
    const auto small = writeContent(tree, "small", 1000, 2);
    auto head = platform::sha256OfHeadKept(big, headHashBytes);
    ASSERT_TRUE(head);
    EXPECT_FALSE(head->wholeFile);
    EXPECT_EQ(head->digest, CleanScanner::partialHash(big));
    EXPECT_EQ(platform::sha256OfRest(big, *head, 65'536), CleanScanner::fullHash(big));
    // Twice from the same head: the kept state is copied, never used up.
    EXPECT_EQ(platform::sha256OfRest(big, *head, hashChunkBytes), CleanScanner::fullHash(big));

    const auto whole = platform::sha256OfHeadKept(small, headHashBytes);
    ASSERT_TRUE(whole);
    EXPECT_TRUE(whole->wholeFile);
    EXPECT_EQ(platform::sha256OfRest(small, *whole, 65'536), CleanScanner::fullHash(small));

    // Rewritten after its head was read (a byte beyond the head, a new modification time):
    // no digest that would mix two contents.
    writeContent(tree, "big", headHashBytes * 3 + 123, 1, headHashBytes * 2, 0.5);
    EXPECT_EQ(platform::sha256OfRest(big, *head, 65'536), std::nullopt);
    // Another file at the same name, longer by a byte.
    const auto fresh = platform::sha256OfHeadKept(big, headHashBytes);
    ASSERT_TRUE(fresh);
    ::unlink(big.c_str());
    writeContent(tree, "big", headHashBytes * 3 + 124, 1, headHashBytes * 2, 0.5);
    EXPECT_EQ(platform::sha256OfRest(big, *fresh, 65'536), std::nullopt);
}

TEST(Duplicates, IdenticalCopiesNewestFirstAndDecoysApart) {
    TempTree tree;
    const std::size_t size = 600'000;
    writeContent(tree, "a/copy1", size, 1, std::nullopt, 3);
    writeContent(tree, "b/copy2", size, 1, std::nullopt, 1);
    writeContent(tree, "c/copy3", size, 1, std::nullopt, 2);
    writeContent(tree, "decoy-head", size, 1, 100);      // differs in the first 256 KiB
    writeContent(tree, "decoy-tail", size, 1, 500'000);  // same head, differs later
    writeContent(tree, "other-size", size + 10'000, 1);
    const auto scan = scanDuplicates(tree.root());
    ASSERT_EQ(scan.groups.size(), 1u);
    const auto& group = scan.groups[0];
    ASSERT_EQ(group.files.size(), 3u);
    EXPECT_EQ(group.files[0].name(), "copy2");
    EXPECT_EQ(group.files[1].name(), "copy3");
    EXPECT_EQ(group.files[2].name(), "copy1");
    EXPECT_EQ(group.id, group.hash);
    EXPECT_EQ(group.hash, CleanScanner::fullHash(tree.path("a/copy1")));
    EXPECT_EQ(group.reclaimableBytes(), 2 * group.size);
    EXPECT_EQ(scan.reclaimableBytes(), group.reclaimableBytes());
    EXPECT_EQ(group.files[0].ruleID, "duplicates");
}

TEST(Duplicates, CopiesBesideAFirstThatDiffersAndMoreCopiesThanABatch) {
    TempTree tree;
    const std::size_t length = headHashBytes + 5000;
    // "a" sorts first and differs from the others only past the head.
    writeContent(tree, "set/a", length, 3, length - 10);
    writeContent(tree, "set/b", length, 3);
    writeContent(tree, "set/c", length, 3);
    for (int i = 0; i < 40; ++i) {
        writeContent(tree, "many/" + std::to_string(100 + i), length, 4);
    }
    const auto scan = scanDuplicates(tree.root());
    ASSERT_EQ(scan.groups.size(), 2u);
    std::map<std::size_t, std::vector<std::string>> bySize;
    for (const auto& group : scan.groups) {
        for (const auto& file : group.files) {
            bySize[group.files.size()].push_back(file.path);
        }
        EXPECT_EQ(group.hash, CleanScanner::fullHash(group.files.front().path));
    }
    ASSERT_TRUE(bySize.contains(2));
    std::sort(bySize[2].begin(), bySize[2].end());
    EXPECT_EQ(bySize[2], (std::vector<std::string>{tree.path("set/b"), tree.path("set/c")}));
    EXPECT_TRUE(bySize.contains(40));
}

TEST(Duplicates, HardLinksAndSkipCountersForAnySize) {
    TempTree tree;
    writeContent(tree, "one", 10'000, 2);
    tree.hardlink("one-again", "one");
    writeContent(tree, "ignored/x", 10, 3);
    writeContent(tree, "repo/.git/objects/y", 10, 4);
    writeContent(tree, "small-a", 10, 5);
    writeContent(tree, "small-b", 10, 5);
    const auto scan = scanDuplicates(tree.root(), 1'000'000, {tree.path("ignored")});
    EXPECT_TRUE(scan.groups.empty());
    EXPECT_EQ(scan.skippedHardLinks, 2);  // each name counts
    EXPECT_EQ(scan.skippedProtected, 2);
}

TEST(Duplicates, LargerReclaimableFirst) {
    TempTree tree;
    writeContent(tree, "big1", 2'000'000, 6);
    writeContent(tree, "big2", 2'000'000, 6);
    for (int i = 0; i < 5; ++i) {
        writeContent(tree, "small" + std::to_string(i), 300'000, 7);
    }
    const auto scan = scanDuplicates(tree.root());
    ASSERT_EQ(scan.groups.size(), 2u);
    EXPECT_EQ(scan.groups[0].files.size(), 2u);  // 2 MB reclaimable beats 4 × 300 KB
    EXPECT_EQ(scan.groups[1].files.size(), 5u);
}

TEST(Duplicates, AtMostTwoHundredGroups) {
    TempTree tree;
    for (int i = 0; i < 250; ++i) {
        // One size for all; the content differs from pair to pair.
        writeContent(tree, "p" + std::to_string(i) + "a", 3000, i);
        writeContent(tree, "p" + std::to_string(i) + "b", 3000, i);
    }
    const auto scan = scanDuplicates(tree.root());
    EXPECT_EQ(scan.groups.size(), 200u);
    EXPECT_TRUE(scan.truncated);
}

TEST(Duplicates, CancelledAndRootsThatAreNoFolder) {
    TempTree tree;
    writeContent(tree, "a", 5000, 8);
    writeContent(tree, "b", 5000, 8);
    std::stop_source stop;
    stop.request_stop();
    const auto cancelled = scanDuplicates(tree.root(), 1, {}, 120'000, stop.get_token());
    EXPECT_TRUE(cancelled.cancelled);
    EXPECT_TRUE(cancelled.groups.empty());

    const auto file = scanDuplicates(tree.path("a"));
    EXPECT_FALSE(file.cancelled || file.truncated);
    EXPECT_EQ(file.scannedFiles, 0);
}

TEST(Duplicates, AnUnreadableCopyIsNeverGrouped) {
    TempTree tree;
    writeContent(tree, "readable", 5000, 9);
    writeContent(tree, "locked", 5000, 9);
    writeContent(tree, "third", 5000, 9);
    fixture::openUpForOthers(tree.root());
    ::chmod(tree.path("readable").c_str(), 0644);
    ::chmod(tree.path("third").c_str(), 0644);
    tree.chmod("locked", 0000);
    const auto files = fixture::runUnprivileged([&]() -> std::int64_t {
        const auto scan = scanDuplicates(tree.root());
        return scan.groups.size() == 1 ? static_cast<std::int64_t>(scan.groups[0].files.size())
                                       : -1;
    });
    if (!files) {
        GTEST_SKIP() << "cannot drop privileges to the unprivileged user here";
    }
    EXPECT_EQ(*files, 2);
}

TEST(Duplicates, ASparseCopyAndItsDenseOriginalAreOneGroup) {
    TempTree tree;
    const std::size_t length = 8 << 20;
    std::string data(length, '\0');
    data.replace(0, 5, "start");
    data.replace(length - 3, 3, "end");
    std::ofstream(tree.file("dense.img", 0), std::ios::binary) << data;
    // The same bytes with the zeros in the middle left as a hole.
    const int fd = ::open(tree.file("sparse.img", 0).c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "start", 5, 0), 5);
    ASSERT_EQ(::pwrite(fd, "end", 3, static_cast<off_t>(length - 3)), 3);
    ::close(fd);
    const auto dense = FileTools::allocatedSize(tree.path("dense.img"));
    const auto sparse = FileTools::allocatedSize(tree.path("sparse.img"));
    if (dense == sparse) {
        GTEST_SKIP() << "this file system does not keep holes";
    }

    const auto scan = scanDuplicates(tree.root(), 1 << 20);
    ASSERT_EQ(scan.groups.size(), 1u);
    EXPECT_EQ(scan.groups[0].files.size(), 2u);
    // What removing one copy surely frees, never more.
    EXPECT_EQ(scan.groups[0].size, std::min(dense, sparse));
}
