#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "HomeTest.h"
#include "ScratchMount.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystemError.h"
#include "platform/SafeMove.h"
#include "quarantine/QuarantineJournal.h"
#include "quarantine/QuarantineStore.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

class QuarantineTest : public fixture::HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        store = QuarantineStore{AppPaths::quarantineDirectory(), 7};
    }

    ScanItem item(const std::string& relative, std::size_t bytes = 100, std::string rule = "none") {
        const auto path = tree.file(relative, bytes);
        return ScanItem{path,
                        static_cast<std::int64_t>(bytes),
                        FileTools::modificationDate(path),
                        std::move(rule),
                        RuleGroup::system,
                        ScanItem::Kind::file};
    }

    static std::string contents(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream out;
        out << in.rdbuf();
        return out.str();
    }

    QuarantineStore store;

  private:
    std::string saved_;
};

CleanRule ruleFor(const std::string& id, const std::string& folder) {
    CleanRule rule;
    rule.id = id;
    rule.name = id;
    rule.path = folder;
    return rule;
}

}  // namespace

TEST_F(QuarantineTest, SameNamesGetNumberedStoredNamesAndBothSurvive) {
    const auto a = item("x/cache.db", 100);
    const auto b = item("y/cache.db", 200);
    const auto batch = store.quarantine({a, b}, {}, {}, "Junk clean");
    ASSERT_EQ(batch.items.size(), 2u);
    EXPECT_TRUE(batch.items[0].storedName.starts_with("0-"));
    EXPECT_TRUE(batch.items[1].storedName.starts_with("1-"));
    EXPECT_TRUE(batch.items[1].storedName.ends_with("-cache.db"));
    EXPECT_EQ(batch.items[0].storedName.size(), std::string("0-12345678-cache.db").size());
    EXPECT_FALSE(FileTools::exists(a.path));
    EXPECT_EQ(batch.remainingBytes(), 300);
    EXPECT_EQ(store.batches(), std::vector<QuarantineBatch>{batch});
    EXPECT_EQ(batch.expiresAt - batch.createdAt, std::chrono::hours(24 * 7));
}

TEST_F(QuarantineTest, RefusalsTakeNoNumberAndFixedChecksUseTheIgnoreList) {
    const auto home = AppPaths::home();
    const auto work = item("Work/report.txt");
    const auto workshop = item("Workshop/tool.txt");
    const auto protectedItem = item("Documents/letter.txt");
    const auto gone =
        ScanItem{home + "/nothing-here", 1, {}, "none", RuleGroup::system, ScanItem::Kind::file};
    const auto batch =
        store.quarantine({work, protectedItem, gone, workshop}, {}, {"~/Work/"}, "Large files");
    ASSERT_EQ(batch.items.size(), 1u);
    EXPECT_EQ(batch.items[0].originalPath, workshop.path);
    EXPECT_TRUE(batch.items[0].storedName.starts_with("0-"));
    EXPECT_EQ(platform::readFile(store.batchFolder(batch.id) + "/skipped.txt"),
              "report.txt: the folder is on your ignore list.\n"
              "letter.txt: the item is protected.\n"
              "nothing-here: the item is already gone.");
}

TEST_F(QuarantineTest, RulesJudgeTheirItemsWithTheSafetyPolicy) {
    const auto inside = item("cache/a.bin", 100, "cache");
    const auto outside = item("elsewhere/b.bin", 100, "cache");
    const auto rules = std::vector<CleanRule>{ruleFor("cache", tree.path("cache"))};
    const auto batch = store.quarantine({inside, outside}, rules, {}, "Junk clean");
    ASSERT_EQ(batch.items.size(), 1u);
    EXPECT_EQ(platform::readFile(store.batchFolder(batch.id) + "/skipped.txt"),
              "b.bin: The item is outside the folder this rule protects.");
}

TEST_F(QuarantineTest, NothingMovedLeavesNoFolderAndTheIndexUntouched) {
    const auto first = store.quarantine({item("a.txt")}, {}, {}, "first");
    const auto indexBefore = platform::readFile(store.indexFile());
    try {
        store.quarantine({item("Documents/x.txt")}, {}, {}, "second");
        FAIL() << "expected nothingMoved";
    } catch (const QuarantineError& error) {
        EXPECT_EQ(error.kind(), QuarantineError::Kind::nothingMoved);
        EXPECT_STREQ(error.what(), "No items could be moved to quarantine.");
    }
    EXPECT_EQ(platform::readFile(store.indexFile()), indexBefore);
    EXPECT_EQ(platform::listDirectory(store.root)->size(), 3u);  // index, lock, first batch
    EXPECT_EQ(store.batches().size(), 1u);
}

TEST_F(QuarantineTest, SkippedListHoldsTwentyLines) {
    std::vector<ScanItem> items;
    for (int i = 0; i < 25; ++i) {
        items.push_back(item("Documents/d" + std::to_string(i)));
    }
    items.push_back(item("fine.txt"));
    const auto batch = store.quarantine(items, {}, {}, "many");
    const auto text = platform::readFile(store.batchFolder(batch.id) + "/skipped.txt");
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 19);
    EXPECT_NE(text.back(), '\n');
}

TEST_F(QuarantineTest, RetentionOfZeroCountsAsOneDay) {
    store.retentionDays = 0;
    const auto batch = store.quarantine({item("a")}, {}, {}, "n");
    EXPECT_EQ(batch.expiresAt - batch.createdAt, std::chrono::hours(24));
}

TEST_F(QuarantineTest, CorruptIndexThenACleanListsTheNewBatchAndRecoversTheOld) {
    const auto old = store.quarantine({item("old.txt")}, {}, {}, "old");
    std::ofstream(store.indexFile()) << "[{ broken";
    const auto fresh = store.quarantine({item("new.txt")}, {}, {}, "new");
    const auto list = store.batches();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].id, fresh.id);
    // The old batch comes back from its journal rather than lying unlisted on disk.
    EXPECT_EQ(list[1].id, old.id);
    EXPECT_EQ(list[1].items, old.items);
}

TEST_F(QuarantineTest, CancellingStopsBeforeTheNextItem) {
    std::vector<ScanItem> items;
    for (int i = 0; i < 10; ++i) {
        items.push_back(item("f" + std::to_string(i)));
    }
    std::stop_source stop;
    stop.request_stop();
    EXPECT_THROW(store.quarantine(items, {}, {}, "n", stop.get_token()), QuarantineError);
    EXPECT_TRUE(FileTools::exists(items[0].path));
}

TEST_F(QuarantineTest, RestoreBesideNewerFilesAndIntoRecreatedFolders) {
    const auto report = item("docs/report.pdf", 500);
    const auto notes = tree.folder("docs/notes");
    tree.file("docs/notes/inside.txt", 10);
    const auto deep = item("gone/away/deep.txt", 300);
    const auto batch = store.quarantine(
        {report, ScanItem{notes, 10, {}, "none", RuleGroup::system, ScanItem::Kind::folder}, deep},
        {}, {}, "n");
    tree.file("docs/report.pdf", 7);  // a new file where the old one was
    tree.file("docs/report (restored 2).pdf", 7);
    tree.folder("docs/notes");
    std::filesystem::remove_all(tree.path("gone"));

    const auto result = store.restore(std::set<std::string>{batch.id});
    EXPECT_EQ(result.restored, 3);
    EXPECT_TRUE(result.failed.empty());
    EXPECT_EQ(contents(tree.path("docs/report (restored 3).pdf")).size(), 500u);
    EXPECT_TRUE(FileTools::exists(tree.path("docs/notes (restored 2)/inside.txt")));
    EXPECT_EQ(contents(deep.path).size(), 300u);
    const auto after = store.batches()[0];
    EXPECT_TRUE(after.items[0].isRestored());
    EXPECT_EQ(after.items[0].originalPath, report.path);
    EXPECT_TRUE(after.remainingItems().empty());

    // A second restore finds nothing left to do and reports nothing.
    const auto again = store.restore(std::nullopt);
    EXPECT_EQ(again.restored, 0);
    EXPECT_TRUE(again.failed.empty());
}

TEST_F(QuarantineTest, MissingStoredCopyFailsAndIsTriedAgain) {
    const auto a = item("a.txt");
    const auto batch = store.quarantine({a}, {}, {}, "n");
    std::filesystem::remove(store.batchFolder(batch.id) + "/payload/" + batch.items[0].storedName);
    const auto result = store.restore(std::nullopt);
    EXPECT_EQ(result.restored, 0);
    EXPECT_EQ(result.failed, std::vector<std::string>{a.path + " could not be restored."});
    EXPECT_EQ(store.batches()[0].items[0].failure, "The quarantined copy is missing.");
    EXPECT_EQ(store.restore(std::nullopt).failed.size(), 1u);  // only "restored" is final

    const auto before = store.batches();
    EXPECT_EQ(store.restore(std::set<std::string>{}).restored, 0);  // rewrites, changes nothing
    EXPECT_EQ(store.batches(), before);
}

TEST_F(QuarantineTest, AvailableDestinationNames) {
    tree.file("r.pdf", 1);
    tree.folder("notes");
    tree.file(".profile", 1);
    EXPECT_EQ(QuarantineStore::availableDestination(tree.path("free.txt")), tree.path("free.txt"));
    EXPECT_EQ(QuarantineStore::availableDestination(tree.path("r.pdf")),
              tree.path("r (restored 2).pdf"));
    EXPECT_EQ(QuarantineStore::availableDestination(tree.path("notes")),
              tree.path("notes (restored 2)"));
    EXPECT_EQ(QuarantineStore::availableDestination(tree.path(".profile")),
              tree.path(".profile (restored 2)"));
}

TEST_F(QuarantineTest, DeleteAndPurge) {
    EXPECT_EQ(store.purgeExpired(now()), 0);
    EXPECT_FALSE(FileTools::exists(store.indexFile()));

    const auto a = store.quarantine({item("a")}, {}, {}, "a");
    const auto b = store.quarantine({item("b")}, {}, {}, "b");
    std::filesystem::remove_all(store.batchFolder(b.id));
    store.deletePermanently(b.id);  // its folder is already gone: still dropped
    ASSERT_EQ(store.batches().size(), 1u);

    EXPECT_EQ(store.purgeExpired(a.expiresAt), 0);  // exactly at expiry: kept
    EXPECT_EQ(store.purgeExpired(a.expiresAt + std::chrono::seconds(1)), 1);
    EXPECT_TRUE(store.batches().empty());
    EXPECT_FALSE(FileTools::exists(store.batchFolder(a.id)));
}

TEST_F(QuarantineTest, AFailedIndexWriteLosesNothing) {
    const auto a = item("keep/me.txt", 123);
    std::filesystem::create_directories(store.indexFile());  // a folder in the way
    EXPECT_THROW(store.quarantine({a}, {}, {}, "n"), FileSystemError);
    std::filesystem::remove(store.indexFile());
    const auto list = store.batches();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].items[0].originalPath, a.path);
    EXPECT_EQ(store.restore(std::nullopt).restored, 1);
    EXPECT_EQ(contents(a.path).size(), 123u);
}

TEST_F(QuarantineTest, ACleanInProgressIsNotTakenForADeadOne) {
    const auto folder = store.batchFolder("00000000-0000-0000-0000-000000000001");
    std::filesystem::create_directories(folder + "/payload");
    const auto journal = std::make_unique<QuarantineJournal>(folder, now(), "busy");
    QuarantineEntry entry{"E", tree.path("x"), "0-abcdefgh-x", 1, {}, "r", {}, {}};
    journal->intend(entry, platform::FileIdentity{});
    TempTree::writeFile(folder + "/payload/0-abcdefgh-x", 1, std::nullopt);
    journal->moved("E");
    EXPECT_TRUE(store.batches().empty());  // locked by its writer
    const_cast<std::unique_ptr<QuarantineJournal>&>(journal).reset();
    EXPECT_EQ(store.batches().size(), 1u);
}

TEST_F(QuarantineTest, AnEmptyDeadBatchIsRemovedOnlyByAnOperationHoldingTheLock) {
    const auto folder = store.batchFolder("00000000-0000-0000-0000-000000000002");
    std::filesystem::create_directories(folder + "/payload");
    { QuarantineJournal journal(folder, now(), "died at once"); }
    EXPECT_TRUE(store.batches().empty());
    EXPECT_TRUE(FileTools::exists(folder));  // a reader changes nothing
    store.restore(std::set<std::string>{});
    EXPECT_FALSE(FileTools::exists(folder));
}

TEST_F(QuarantineTest, TwoProcessesCleaningAndRestoringKeepEveryBatch) {
    constexpr int rounds = 15;
    const int childStatus = fixture::inTwoProcesses([&](bool inChild) {
        const std::string who = inChild ? "child" : "parent";
        for (int i = 0; i < rounds; ++i) {
            const auto path = tree.file(who + "/" + std::to_string(i), 50);
            const auto batch = store.quarantine(
                {ScanItem{path, 50, {}, "none", RuleGroup::system, ScanItem::Kind::file}}, {}, {},
                who);
            if (i % 3 == 0) {
                store.restore(std::set<std::string>{batch.id});
            }
        }
    });
    EXPECT_EQ(childStatus, 0);
    EXPECT_EQ(store.batches().size(), 2u * rounds);
    const auto index = json::parse(platform::readFile(store.indexFile()));
    EXPECT_EQ(index.size(), 2u * rounds);
}

TEST_F(QuarantineTest, MovesAcrossFileSystemsKeepEverythingThatMakesTheItem) {
    fixture::ScratchMount scratch;
    if (!scratch.mounted()) {
        GTEST_SKIP() << fixture::ScratchMount::skipReason;
    }
    auto& shm = scratch.tree();
    const auto file = shm.file("data.bin", 200'000);
    ::chmod(file.c_str(), 0640);
    shm.age("data.bin", 12);
    ASSERT_EQ(::setxattr(file.c_str(), "user.origin", "camera", 6, 0), 0);
    // A sparse file: 8 MB long, one byte of data in the middle.
    const auto sparse = shm.path("disk.img");
    {
        const int fd = ::open(sparse.c_str(), O_WRONLY | O_CREAT, 0600);
        ASSERT_EQ(::ftruncate(fd, 8 << 20), 0);
        ASSERT_EQ(::pwrite(fd, "x", 1, 4 << 20), 1);
        ::close(fd);
    }
    shm.file("folder/inner.txt", 10);
    shm.link("folder/link", "inner.txt");
    shm.hardlink("folder/twin.txt", "folder/inner.txt");
    ASSERT_EQ(::mkfifo(shm.path("folder/pipe").c_str(), 0600), 0);
    const bool root = ::geteuid() == 0;
    if (root) {
        ASSERT_EQ(::chown(shm.path("folder/inner.txt").c_str(), 1234, 4321), 0);
    }
    const auto folder = shm.path("folder");
    const auto original = contents(file);
    const auto mtime = FileTools::modificationDate(file);
    const auto batch = store.quarantine(
        {ScanItem{file, 1, mtime, "none", RuleGroup::system, ScanItem::Kind::file},
         ScanItem{sparse, 1, {}, "none", RuleGroup::system, ScanItem::Kind::file},
         ScanItem{folder, 1, {}, "none", RuleGroup::system, ScanItem::Kind::folder}},
        {}, {}, "cross");
    ASSERT_EQ(batch.items.size(), 3u);
    EXPECT_FALSE(FileTools::exists(file));
    EXPECT_FALSE(FileTools::exists(folder));
    EXPECT_EQ(store.restore(std::nullopt).restored, 3);

    EXPECT_EQ(contents(file), original);
    EXPECT_EQ(FileTools::modificationDate(file), mtime);
    struct stat st {};
    ::stat(file.c_str(), &st);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    char value[16] = {};
    EXPECT_EQ(::getxattr(file.c_str(), "user.origin", value, sizeof value), 6);
    EXPECT_STREQ(value, "camera");
    ::stat(sparse.c_str(), &st);
    EXPECT_EQ(st.st_size, 8 << 20);
    EXPECT_LT(st.st_blocks * 512, 1 << 20) << "the holes were filled in";
    EXPECT_TRUE(FileTools::isSymbolicLink(shm.path("folder/link")));
    struct stat inner {};
    struct stat twin {};
    ::stat(shm.path("folder/inner.txt").c_str(), &inner);
    ::stat(shm.path("folder/twin.txt").c_str(), &twin);
    EXPECT_EQ(inner.st_ino, twin.st_ino) << "the hard link was split";
    EXPECT_EQ(inner.st_nlink, 2u);
    ::lstat(shm.path("folder/pipe").c_str(), &st);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    if (root) {
        EXPECT_EQ(inner.st_uid, 1234u);
        EXPECT_EQ(inner.st_gid, 4321u);
    }
}

TEST_F(QuarantineTest, AcrossFileSystemsAnItemThatCannotBeRemovedWholeIsNotTouched) {
    fixture::ScratchMount scratch;
    if (!scratch.mounted()) {
        GTEST_SKIP() << fixture::ScratchMount::skipReason;
    }
    auto& shm = scratch.tree();
    struct Case {
        const char* what;
        std::function<bool(const std::string& folder)> spoil;  // false: cannot be set up here
        std::function<void(const std::string& folder)> undo;
    };
    auto setFlags = [](const std::string& path, int flags) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK);
        const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return done;
    };
    const Case cases[] = {
        {"an immutable file inside",
         [&](const std::string& f) { return setFlags(f + "/b/locked", FS_IMMUTABLE_FL); },
         [&](const std::string& f) { setFlags(f + "/b/locked", 0); }},
        {"an append-only folder inside",
         [&](const std::string& f) { return setFlags(f + "/b", FS_APPEND_FL); },
         [&](const std::string& f) { setFlags(f + "/b", 0); }},
        {"a device node inside",
         [](const std::string& f) {
             return ::mknod((f + "/b/null").c_str(), S_IFCHR | 0600, makedev(1, 3)) == 0;
         },
         [](const std::string&) {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto folder = shm.folder("item" + std::to_string(++n));
        for (int i = 0; i < 20; ++i) {
            shm.file("item" + std::to_string(n) + "/a/f" + std::to_string(i), 100);
        }
        shm.file("item" + std::to_string(n) + "/b/locked", 100);
        if (!c.spoil(folder)) {
            std::printf("[ SKIPPED  ] %s: not possible on this file system\n", c.what);
            continue;
        }
        const auto before = FileTools::fileCount(folder);
        EXPECT_THROW(
            store.quarantine(
                {ScanItem{folder, 1, {}, "none", RuleGroup::system, ScanItem::Kind::folder}}, {},
                {}, "n"),
            QuarantineError);
        EXPECT_EQ(FileTools::fileCount(folder), before) << "part of the source went";
        c.undo(folder);
    }
    EXPECT_TRUE(store.batches().empty());
    // No batch folder stays behind, listed or not.
    for (const auto& name :
         platform::listDirectory(store.root).value_or(std::vector<std::string>{})) {
        EXPECT_FALSE(isBatchID(name)) << name;
    }
}

TEST_F(QuarantineTest, TwoProcessesMovingOneFolderAcrossFileSystemsLoseNothing) {
    fixture::ScratchMount scratch;
    if (!scratch.mounted()) {
        GTEST_SKIP() << fixture::ScratchMount::skipReason;
    }
    auto& shm = scratch.tree();
    for (int round = 0; round < 4; ++round) {
        const auto folder = shm.folder("shared" + std::to_string(round));
        for (int i = 0; i < 240; ++i) {
            shm.file("shared" + std::to_string(round) + "/f" + std::to_string(i), 100 + i);
        }
        const ScanItem item{folder, 1, {}, "none", RuleGroup::system, ScanItem::Kind::folder};
        const int childStatus = fixture::inTwoProcesses([&](bool) {
            try {
                store.quarantine({item}, {}, {}, "race");
            } catch (const QuarantineError&) {
                // The other process took it first.
            }
        });
        EXPECT_EQ(childStatus, 0);
        EXPECT_FALSE(FileTools::exists(folder));
        EXPECT_EQ(store.restore(std::nullopt).restored, 1);
        for (int i = 0; i < 240; ++i) {
            EXPECT_EQ(contents(folder + "/f" + std::to_string(i)).size(),
                      static_cast<std::size_t>(100 + i));
        }
    }
}

TEST(SafeMove, AFolderThatBecameALinkIsNotFollowed) {
    TempTree tree;
    tree.folder("real/inner");
    tree.link("swapped", "real");
    std::error_code error;
    EXPECT_TRUE(platform::openFolderNoFollow(tree.path("real/inner"), error));
    EXPECT_FALSE(platform::openFolderNoFollow(tree.path("swapped/inner"), error));
    EXPECT_TRUE(error.value() == ELOOP || error.value() == ENOTDIR) << error.message();
    EXPECT_EQ(platform::moveErrorReason(error),
              "a folder on its way is no longer a folder; it may have become a symbolic link");
}

TEST(SafeMove, AcrossFileSystemsTheCopyStaysWholeWhenTheSourceResistsRemoval) {
    fixture::ScratchMount scratch;
    if (!scratch.mounted()) {
        GTEST_SKIP() << fixture::ScratchMount::skipReason;
    }
    TempTree target;
    auto& shm = scratch.tree();
    for (int i = 0; i < 10; ++i) {
        shm.file("item/f" + std::to_string(i), 100);
    }
    shm.file("item/sub/locked", 100);
    std::error_code error;
    const auto from = platform::openFolderNoFollow(shm.root(), error);
    const auto to = platform::openFolderNoFollow(target.root(), error);
    ASSERT_TRUE(from && to);

    // Refused by the caller once copied: nothing of the source is touched, no copy stays.
    auto outcome = platform::moveAt(from.fd(), "item", to.fd(), "kept", [] { return false; });
    EXPECT_TRUE(outcome.error);
    EXPECT_FALSE(FileTools::exists(target.path("kept")));
    EXPECT_EQ(FileTools::fileCount(shm.path("item")), 11);

    // Something makes part of the source immovable between the copy and the removal.
    const auto locked = shm.path("item/sub/locked");
    auto setImmutable = [&](int flags) {
        const int fd = ::open(locked.c_str(), O_RDONLY);
        const bool done = fd >= 0 && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        ::close(fd);
        return done;
    };
    bool flagged = false;
    outcome = platform::moveAt(from.fd(), "item", to.fd(), "kept", [&] {
        flagged = setImmutable(FS_IMMUTABLE_FL);
        return true;
    });
    if (!flagged) {
        GTEST_SKIP() << "this file system has no immutable flag";
    }
    EXPECT_FALSE(outcome.error);
    EXPECT_TRUE(outcome.copied);
    EXPECT_TRUE(outcome.leftBehind);
    EXPECT_EQ(FileTools::fileCount(target.path("kept")), 11) << "the copy must stay whole";
    EXPECT_TRUE(FileTools::exists(locked));
    setImmutable(0);
}
