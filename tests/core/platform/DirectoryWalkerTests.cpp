#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>

#include "TempTree.h"
#include "platform/DirectoryWalker.h"

using namespace kelvane;
using namespace kelvane::platform;
using kelvane::fixture::TempTree;

namespace {

// Both walks must give the same visits; the parallel one is run on four workers with the
// visitor under a lock, so the cases below read the same for both.
enum class Walker { serial, parallel };

WalkOutcome walk(Walker kind, std::string_view root, const WalkOptions& options,
                 const WalkVisitor& visit, const WalkErrorHandler& onError = {}) {
    if (kind == Walker::serial) {
        return walkDirectory(root, options, visit, onError);
    }
    std::mutex lock;
    return walkDirectoryInParallel(
        root, options, 4,
        [&](const WalkEntry& entry, unsigned) {
            const std::lock_guard guard(lock);
            return visit(entry);
        },
        onError);
}

// Relative path → whether the walk reported it as a folder.
std::map<std::string, bool> walkAll(const std::string& root, WalkOptions options = {},
                                    Walker kind = Walker::serial) {
    std::map<std::string, bool> seen;
    walk(kind, root, options, [&](const WalkEntry& entry) {
        seen[std::string(entry.path.substr(root.size() + 1))] = entry.values.isDirectory();
        return WalkAction::proceed;
    });
    return seen;
}

class EveryWalker : public ::testing::TestWithParam<Walker> {};

}  // namespace

INSTANTIATE_TEST_SUITE_P(Walks, EveryWalker, ::testing::Values(Walker::serial, Walker::parallel),
                         [](const auto& param) {
                             return param.param == Walker::serial ? "serial" : "parallel";
                         });

TEST_P(EveryWalker, VisitsEverythingOnceWithoutFollowingLinksOrEnteringPackages) {
    TempTree tree;
    tree.file("a/one.txt", 10);
    tree.file("a/.hidden/two.txt", 10);
    tree.package("a/Thing.bundle");
    tree.link("a/up", "..");
    tree.link("elsewhere", "/usr");

    const auto seen = walkAll(tree.root(), {}, GetParam());
    const std::set<std::string> expected{
        "a", "a/one.txt", "a/.hidden", "a/.hidden/two.txt", "a/Thing.bundle", "a/up", "elsewhere"};
    std::set<std::string> names;
    for (const auto& [name, isFolder] : seen) {
        names.insert(name);
    }
    EXPECT_EQ(names, expected);
    EXPECT_TRUE(seen.at("a/Thing.bundle"));
    EXPECT_FALSE(seen.at("a/up"));
}

TEST_P(EveryWalker, PrefetchedValuesAndPackageFlag) {
    TempTree tree;
    tree.file("f.bin", 5000, 3.0);
    tree.hardlink("g.bin", "f.bin");
    tree.package("P.app");
    std::map<std::string, WalkEntry> entries;
    std::map<std::string, std::string> keep;  // WalkEntry views die with the visit
    walk(GetParam(), tree.root(), {}, [&](const WalkEntry& entry) {
        auto copy = entry;
        keep[std::string(entry.name)] = std::string(entry.name);
        copy.path = copy.name = keep[std::string(entry.name)];
        entries[std::string(entry.name)] = copy;
        return WalkAction::proceed;
    });
    const auto& f = entries.at("f.bin");
    EXPECT_TRUE(f.valuesRead);
    EXPECT_TRUE(f.values.isRegularFile());
    EXPECT_EQ(f.values.logicalSize, 5000);
    EXPECT_GE(f.values.allocatedSize, 4096);
    EXPECT_EQ(f.values.linkCount, 2u);
    EXPECT_NEAR(std::chrono::duration<double>(now() - f.values.modified).count() / 86400.0, 3.0,
                0.01);
    EXPECT_TRUE(entries.at("P.app").isPackage);
    EXPECT_FALSE(entries.contains("Info.bin"));
}

TEST_P(EveryWalker, TheVisitorSkipsOrStops) {
    TempTree tree;
    tree.file("skip/inside.txt", 1);
    tree.file("keep/inside.txt", 1);
    std::set<std::string> seen;
    walk(GetParam(), tree.root(), {}, [&](const WalkEntry& entry) {
        seen.insert(std::string(entry.name));
        return entry.name == "skip" ? WalkAction::skipDescendants : WalkAction::proceed;
    });
    EXPECT_EQ(seen, (std::set<std::string>{"skip", "keep", "inside.txt"}));

    int visits = 0;
    const auto outcome = walk(GetParam(), tree.root(), {}, [&](const WalkEntry&) {
        ++visits;
        return WalkAction::stop;
    });
    EXPECT_EQ(outcome, WalkOutcome::stopped);
    EXPECT_EQ(visits, 1);
}

TEST_P(EveryWalker, CancellationIsCheckedBeforeEveryEntry) {
    TempTree tree;
    for (int i = 0; i < 10; ++i) {
        tree.file("f" + std::to_string(i), 1);
    }
    std::stop_source stop;
    WalkOptions options;
    options.stop = stop.get_token();
    int visits = 0;
    const auto outcome = walk(GetParam(), tree.root(), options, [&](const WalkEntry&) {
        if (++visits == 3) {
            stop.request_stop();
        }
        return WalkAction::proceed;
    });
    EXPECT_EQ(outcome, WalkOutcome::cancelled);
    EXPECT_EQ(visits, 3);
}

TEST_P(EveryWalker, HiddenEntriesCanBeLeftOut) {
    TempTree tree;
    tree.file(".secret/a", 1);
    tree.file("b", 1);
    WalkOptions options;
    options.skipHidden = true;
    EXPECT_EQ(walkAll(tree.root(), options, GetParam()).size(), 1u);
}

TEST_P(EveryWalker, UnreadableRootAndUnreadableFolders) {
    std::vector<std::string> errors;
    const auto outcome = walk(
        GetParam(), "/no/such/folder", {}, [](const WalkEntry&) { return WalkAction::proceed; },
        [&](std::string_view p, int) { errors.emplace_back(p); });
    EXPECT_EQ(outcome, WalkOutcome::unreadableRoot);
    EXPECT_EQ(errors, std::vector<std::string>{"/no/such/folder"});

    TempTree tree;
    tree.file("root/locked/hidden.txt", 1);
    tree.file("root/open.txt", 1);
    fixture::openUpForOthers(tree.path("root"));
    ::chmod(tree.path("root/open.txt").c_str(), 0644);
    tree.chmod("root/locked", 0000);
    const auto result = fixture::runUnprivileged([&] {
        std::int64_t visits = 0, reportedErrors = 0, unreadable = 0;
        WalkOptions options;
        options.unreadableFolders = &unreadable;
        walk(
            GetParam(), tree.path("root"), options,
            [&](const WalkEntry&) { return ++visits, WalkAction::proceed; },
            [&](std::string_view p, int error) {
                reportedErrors += (p.ends_with("/locked") && error == EACCES) ? 1 : 100;
            });
        return visits * 1000 + reportedErrors * 10 + unreadable;
    });
    if (!result) {
        GTEST_SKIP() << "cannot drop privileges to the unprivileged user here";
    }
    // "locked" and "open.txt" visited, one error reported, one folder counted as unreadable
    EXPECT_EQ(*result, 2 * 1000 + 10 + 1);
}

namespace {

// A chain of `depth` folders "d", each holding one file "f", built relative to open folders.
void makeChain(const std::string& root, int depth) {
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int file = ::openat(fd, "f", O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(file, 0);
        ::close(file);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        ASSERT_GE(next, 0);
        fd = next;
    }
    ::close(fd);
}

class DescriptorLimit {
  public:
    explicit DescriptorLimit(rlim_t soft) {
        ::getrlimit(RLIMIT_NOFILE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = soft;
        ::setrlimit(RLIMIT_NOFILE, &lowered);
    }
    ~DescriptorLimit() { ::setrlimit(RLIMIT_NOFILE, &saved_); }
    DescriptorLimit(const DescriptorLimit&) = delete;
    DescriptorLimit& operator=(const DescriptorLimit&) = delete;

  private:
    rlimit saved_{};
};

}  // namespace

TEST_P(EveryWalker, DepthDoesNotDependOnTheDescriptorLimit) {
    TempTree tree;
    const int depth = 1'500;  // deeper than the usual limit of 1,024 open files
    makeChain(tree.root(), depth);
    std::int64_t files = 0, folders = 0, unreadable = 0;
    int deepest = 0;
    {
        const DescriptorLimit limit(200);
        WalkOptions options;
        options.unreadableFolders = &unreadable;
        walk(GetParam(), tree.root(), options, [&](const WalkEntry& entry) {
            (entry.values.isDirectory() ? folders : files) += 1;
            deepest = std::max(deepest, entry.depth);
            return WalkAction::proceed;
        });
    }
    EXPECT_EQ(folders, depth);
    EXPECT_EQ(files, depth);
    EXPECT_EQ(deepest, depth);
    EXPECT_EQ(unreadable, 0);
}

TEST(DirectoryWalker, FoldersGivenUpAndOpenedAgainGiveTheSameWalk) {
    TempTree tree;
    for (const auto* file : {"a/b/c/d/e/1", "a/b/c/d/2", "a/b/3", "a/x/y/z/4", "a/5", "q/r/s/6"}) {
        tree.file(file, 1);
    }
    WalkOptions tight;
    tight.maxOpenFolders = 2;  // the root and the folder being listed
    EXPECT_EQ(walkAll(tree.root(), tight), walkAll(tree.root()));
}

TEST(DirectoryWalker, AFolderSwappedForALinkWhileGivenUpIsNotFollowed) {
    TempTree tree;
    tree.file("a/b/c/deep.txt", 1);
    tree.file("a/later.txt", 1);
    tree.file("elsewhere/secret.txt", 1);
    WalkOptions tight;
    tight.maxOpenFolders = 2;
    std::multiset<std::string> seen;
    bool swapped = false;
    walkDirectory(tree.root(), tight, [&](const WalkEntry& entry) {
        seen.insert(std::string(entry.name));
        if (entry.name == "deep.txt" && !swapped) {
            // "a" has given up its descriptor by now; put a link where it was.
            swapped = ::rename(tree.path("a").c_str(), tree.path("a-moved").c_str()) == 0 &&
                      ::symlink(tree.path("elsewhere").c_str(), tree.path("a").c_str()) == 0;
        }
        return WalkAction::proceed;
    });
    ASSERT_TRUE(swapped);
    // The walk went on in the folder it listed (now "a-moved"), never in the link's target.
    EXPECT_TRUE(seen.contains("later.txt"));
    EXPECT_EQ(seen.count("secret.txt"), 1u);  // once, from the root's own listing
}

TEST_P(EveryWalker, PathsLongerThanPathMax) {
    TempTree tree;
    const std::string name(250, 'n');
    int fd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    const int depth = 20;  // about 5,000 bytes of path below the root
    for (int i = 0; i < depth; ++i) {
        ASSERT_EQ(::mkdirat(fd, name.c_str(), 0755), 0);
        const int next = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    const int file = ::openat(fd, "deep.txt", O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(file, 0);
    ASSERT_EQ(::write(file, "x", 1), 1);
    ::close(file);
    ::close(fd);

    std::size_t longest = 0;
    bool sawFile = false;
    walk(GetParam(), tree.root(), {}, [&](const WalkEntry& entry) {
        longest = std::max(longest, entry.path.size());
        sawFile |= entry.name == "deep.txt" && entry.valuesRead && entry.values.logicalSize == 1;
        return WalkAction::proceed;
    });
    EXPECT_TRUE(sawFile);
    EXPECT_GT(longest, 4096u);

    // Remove it the same way, from the bottom, relative to open folders.
    std::function<void(int)> removeBelow = [&](int parent) {
        const int child = ::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY);
        if (child < 0) {
            return;
        }
        removeBelow(child);
        ::unlinkat(child, "deep.txt", 0);
        ::close(child);
        ::unlinkat(parent, name.c_str(), AT_REMOVEDIR);
    };
    const int rootFd = ::open(tree.root().c_str(), O_RDONLY | O_DIRECTORY);
    removeBelow(rootFd);
    ::close(rootFd);
}

TEST_P(EveryWalker, ABindMountLoopIsNotEnteredTwice) {
    TempTree tree;
    tree.file("outer/file.txt", 1);
    tree.folder("outer/mirror");
    if (::mount(tree.path("outer").c_str(), tree.path("outer/mirror").c_str(), nullptr, MS_BIND,
                nullptr) != 0) {
        GTEST_SKIP() << "bind mounts need privileges this run does not have";
    }
    int visits = 0;
    std::vector<int> loopErrors;
    walk(
        GetParam(), tree.path("outer"), {},
        [&](const WalkEntry&) { return ++visits, WalkAction::proceed; },
        [&](std::string_view, int error) { loopErrors.push_back(error); });
    ::umount2(tree.path("outer/mirror").c_str(), MNT_DETACH);
    EXPECT_EQ(visits, 2);  // file.txt and mirror, whose contents are outer again
    EXPECT_EQ(loopErrors, std::vector<int>{ELOOP});
}

TEST(ParallelWalk, AWideTreeIsVisitedOnceWhicheverWorkerListsIt) {
    TempTree tree;
    for (int folder = 0; folder < 60; ++folder) {
        for (int file = 0; file < 15; ++file) {
            tree.file("top" + std::to_string(folder % 6) + "/f" + std::to_string(folder) + "/" +
                          std::to_string(file),
                      1);
        }
    }
    std::mutex lock;
    std::multiset<std::string> seen;
    std::set<unsigned> workers;
    const auto outcome =
        walkDirectoryInParallel(tree.root(), {}, 8, [&](const WalkEntry& entry, unsigned worker) {
            const std::lock_guard guard(lock);
            seen.insert(std::string(entry.path));
            workers.insert(worker);
            return WalkAction::proceed;
        });
    EXPECT_EQ(outcome, WalkOutcome::completed);
    EXPECT_EQ(seen.size(), 6u + 60u + 60u * 15u);
    EXPECT_EQ(std::set<std::string>(seen.begin(), seen.end()).size(), seen.size());
    EXPECT_LT(*workers.rbegin(), parallelWalkWorkers(8));
}

TEST(ParallelWalk, AFolderSwappedForALinkBeforeItIsOpenedIsNotFollowed) {
    TempTree tree;
    tree.file("a/inside.txt", 1);
    tree.file("elsewhere/secret.txt", 1);
    std::mutex lock;
    std::multiset<std::string> seen;
    bool swapped = false;
    std::int64_t unreadable = 0;
    WalkOptions options;
    options.unreadableFolders = &unreadable;
    walkDirectoryInParallel(tree.root(), options, 4, [&](const WalkEntry& entry, unsigned) {
        const std::lock_guard guard(lock);
        seen.insert(std::string(entry.name));
        // "a" is listed in the root but opened only after the root's listing is done.
        if (entry.name == "a" && !swapped) {
            swapped = ::rename(tree.path("a").c_str(), tree.path("a-moved").c_str()) == 0 &&
                      ::symlink(tree.path("elsewhere").c_str(), tree.path("a").c_str()) == 0;
        }
        return WalkAction::proceed;
    });
    ASSERT_TRUE(swapped);
    EXPECT_EQ(seen.count("secret.txt"), 1u);  // from "elsewhere" itself, never through "a"
    EXPECT_FALSE(seen.contains("inside.txt"));
    EXPECT_EQ(unreadable, 1);
}

TEST(ParallelWalk, AStopEndsTheWalkWithinAnEntryPerWorker) {
    TempTree tree;
    for (int folder = 0; folder < 40; ++folder) {
        for (int file = 0; file < 25; ++file) {
            tree.file("f" + std::to_string(folder) + "/" + std::to_string(file), 1);
        }
    }
    std::stop_source stop;
    WalkOptions options;
    options.stop = stop.get_token();
    std::atomic<int> visits{0};
    const auto outcome =
        walkDirectoryInParallel(tree.root(), options, 8, [&](const WalkEntry&, unsigned) {
            if (++visits == 100) {
                stop.request_stop();
            }
            return WalkAction::proceed;
        });
    EXPECT_EQ(outcome, WalkOutcome::cancelled);
    EXPECT_LE(visits.load(), 100 + static_cast<int>(parallelWalkWorkers(8)));

    visits = 0;
    const auto stopped =
        walkDirectoryInParallel(tree.root(), {}, 8, [&](const WalkEntry&, unsigned) {
            return ++visits == 50 ? WalkAction::stop : WalkAction::proceed;
        });
    EXPECT_EQ(stopped, WalkOutcome::stopped);
    EXPECT_LE(visits.load(), 50 + static_cast<int>(parallelWalkWorkers(8)));
}

TEST(ParallelWalk, AVisitorsExceptionReachesTheCallerAndNoFolderStaysOpen) {
    TempTree tree;
    for (int folder = 0; folder < 20; ++folder) {
        tree.file("f" + std::to_string(folder) + "/inner/file", 1);
    }
    const auto openDescriptors = [] {
        return std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator{});
    };
    const auto before = openDescriptors();
    std::atomic<int> visits{0};
    EXPECT_THROW(walkDirectoryInParallel(tree.root(), {}, 4,
                                         [&](const WalkEntry& entry, unsigned) {
                                             if (++visits > 10 && entry.name == "file") {
                                                 throw std::runtime_error("visitor failed");
                                             }
                                             return WalkAction::proceed;
                                         }),
                 std::runtime_error);
    EXPECT_EQ(openDescriptors(), before);
}

TEST(DirectoryListing, ShallowNamesOrNothing) {
    TempTree tree;
    tree.file("a/b", 1);
    tree.file(".c", 1);
    auto names = listDirectory(tree.root());
    ASSERT_TRUE(names);
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{".c", "a"}));
    EXPECT_EQ(listDirectory(tree.path("missing")), std::nullopt);
}
