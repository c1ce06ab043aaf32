// The quarantine against what happens around it: folders swapped for links mid-clean, files
// appearing where a restore puts things, kills between a move and its journal line, folders
// replaced by links before a restore, and Kelvane's own folder offered to itself.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <thread>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "files/SafetyPolicy.h"
#include "platform/DirectoryWalker.h"
#include "platform/OpenFolder.h"
#include "quarantine/QuarantineJournal.h"
#include "quarantine/QuarantineStore.h"
#include "scan/CleanScanner.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

namespace {

std::string contents(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void writeText(const std::string& path, const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
}

ScanItem itemAt(const std::string& path, std::string rule = "none") {
    return ScanItem{path,
                    FileTools::allocatedSize(path),
                    FileTools::modificationDate(path),
                    std::move(rule),
                    RuleGroup::system,
                    FileTools::isDirectory(path) ? ScanItem::Kind::folder : ScanItem::Kind::file};
}

class QuarantineAttack : public fixture::HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        store = QuarantineStore{AppPaths::quarantineDirectory(), 7};
    }

    QuarantineStore store;

    std::set<std::string> listedPaths() const {
        std::set<std::string> listed;
        for (const auto& batch : store.batches()) {
            for (const auto& entry : batch.remainingItems()) {
                listed.insert(entry.originalPath);
            }
        }
        return listed;
    }
};

}  // namespace

TEST_F(QuarantineAttack, AFolderSwappedForALinkNeverMovesWhatIsBehindTheLink) {
    constexpr int count = 150;
    for (int i = 0; i < count; ++i) {
        writeText(tree.path("Documents/f" + std::to_string(i)), "precious " + std::to_string(i));
    }
    for (const bool byRule : {true, false}) {
        SCOPED_TRACE(byRule ? "judged by a rule" : "judged by the fixed checks");
        const std::string junk = byRule ? "junk-rule" : "junk-fixed";
        std::vector<ScanItem> items;
        for (int i = 0; i < count; ++i) {
            const auto path = tree.path(junk + "/dir/f" + std::to_string(i));
            writeText(path, "junk " + std::to_string(i));
            items.push_back(itemAt(path, byRule ? "junk" : "none"));
        }
        const auto dir = tree.path(junk + "/dir");
        const auto decoy = tree.link(junk + "/decoy", tree.path("Documents"));
        CleanRule rule;
        rule.id = "junk";
        rule.name = "Junk";
        rule.path = "~/" + junk;

        // The attacker swaps the folder and the link as fast as it can, all through the clean.
        std::atomic<bool> done{false};
        std::atomic<int> swaps{0};
        std::thread swapper([&] {
            while (!done) {
                if (::renameat2(AT_FDCWD, dir.c_str(), AT_FDCWD, decoy.c_str(), RENAME_EXCHANGE) ==
                    0) {
                    ++swaps;
                }
            }
        });
        try {
            store.quarantine(items,
                             byRule ? std::vector<CleanRule>{rule} : std::vector<CleanRule>{}, {},
                             "swapped");
        } catch (const QuarantineError&) {
            // Everything refused is a fine outcome too.
        } catch (const std::exception& error) {
            ADD_FAILURE() << error.what();
        }
        done = true;
        swapper.join();
        EXPECT_GT(swaps.load(), 0);
        if (FileTools::isSymbolicLink(dir)) {
            ::renameat2(AT_FDCWD, dir.c_str(), AT_FDCWD, decoy.c_str(), RENAME_EXCHANGE);
        }

        const auto listed = listedPaths();
        for (int i = 0; i < count; ++i) {
            const auto path = dir + "/f" + std::to_string(i);
            EXPECT_TRUE(FileTools::exists(path) || listed.contains(path)) << path;
        }
        EXPECT_TRUE(store.restore(std::nullopt).failed.empty());
        for (int i = 0; i < count; ++i) {
            EXPECT_EQ(contents(dir + "/f" + std::to_string(i)), "junk " + std::to_string(i));
        }
    }
    // Nothing behind the link ever moved, and nothing landed beside it.
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(contents(tree.path("Documents/f" + std::to_string(i))),
                  "precious " + std::to_string(i));
    }
    EXPECT_EQ(FileTools::fileCount(tree.path("Documents")), count);
}

TEST_F(QuarantineAttack, AKilledMoveIsToldFromACutShortCopyByItsIdentity) {
    struct Case {
        const char* what;
        bool renamed;          // the payload item is the source itself (same identity)
        bool copiedLine;       // a copy whose "copied" line was written
        bool originalStays;    // something stands at the original path afterwards
        bool listed;           // the batch lists the item
        bool keptAfterRepair;  // the payload item survives an operation holding the lock
    };
    const Case cases[] = {
        {"renamed, killed before its line, the original path made again", true, false, true, true,
         true},
        {"copy cut short, source untouched", false, false, true, false, false},
        {"copy whole, source half removed", false, true, false, true, true},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto id = "00000000-0000-0000-0000-00000000000" + std::to_string(++n);
        const auto folder = store.batchFolder(id);
        std::filesystem::create_directories(folder + "/payload");
        const auto original = tree.path("src" + std::to_string(n) + "/x");
        writeText(original, "the only copy");
        const auto stored = folder + "/payload/0-abcdefgh-x";
        {
            QuarantineJournal journal(folder, now(), "died");
            struct stat st {};
            ASSERT_EQ(::lstat(original.c_str(), &st), 0);
            const QuarantineEntry entry{
                "E" + std::to_string(n), original, "0-abcdefgh-x", 13, {}, "r", {}, {}};
            ASSERT_TRUE(journal.intend(entry, platform::FileIdentity{st.st_dev, st.st_ino}));
            if (c.renamed) {
                ASSERT_EQ(::rename(original.c_str(), stored.c_str()), 0);
            } else {
                writeText(stored, "the only copy");
            }
            if (c.copiedLine) {
                ASSERT_TRUE(journal.copied(entry.id));
            }
            if (c.renamed && c.originalStays) {
                writeText(original, "made again by a cache");
            }
            if (!c.originalStays) {
                std::filesystem::remove(original);
            }
        }  // the process "dies": the journal is unlocked
        bool listed = false;
        for (const auto& batch : store.batches()) {
            listed = listed || batch.id == id;
        }
        EXPECT_EQ(listed, c.listed);
        EXPECT_TRUE(FileTools::exists(stored)) << "a reader removed something";
        store.restore(std::set<std::string>{});  // takes the lock, and so repairs
        EXPECT_EQ(FileTools::exists(stored), c.keptAfterRepair);
        if (c.listed) {
            EXPECT_EQ(store.restore(std::set<std::string>{id}).restored, 1);
            const auto back = c.originalStays
                                  ? tree.path("src" + std::to_string(n) + "/x (restored 2)")
                                  : original;
            EXPECT_EQ(contents(back), "the only copy");
        }
        if (c.originalStays && !c.renamed) {
            EXPECT_EQ(contents(original), "the only copy");
        }
    }
}

TEST_F(QuarantineAttack, ARestoreNeverReplacesWhatAppearsMeanwhile) {
    constexpr int count = 120;
    std::vector<ScanItem> items;
    for (int i = 0; i < count; ++i) {
        const auto path = tree.path("d/f" + std::to_string(i));
        writeText(path, "old " + std::to_string(i));
        items.push_back(itemAt(path));
    }
    store.quarantine(items, {}, {}, "n");

    // Another program keeps creating files at exactly the names a restore picks.
    std::atomic<bool> done{false};
    std::atomic<int> created{0};
    std::thread creator([&] {
        for (int round = 0; !done && round < 50; ++round) {
            for (int i = 0; i < count && !done; ++i) {
                const auto base = tree.path("d/f" + std::to_string(i));
                for (const auto& name : {base, base + " (restored 2)",
                                         base + " (restored " + std::to_string(round + 3) + ")"}) {
                    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
                    if (fd >= 0) {
                        (void)!::write(fd, "new", 3);
                        ::close(fd);
                        ++created;
                    }
                }
            }
        }
    });
    const auto result = store.restore(std::nullopt);
    done = true;
    creator.join();
    EXPECT_EQ(result.restored, count);
    EXPECT_TRUE(result.failed.empty());

    int newFiles = 0;
    std::map<std::string, int> old;
    const auto names = platform::listDirectory(tree.path("d")).value_or(std::vector<std::string>{});
    for (const auto& name : names) {
        const auto text = contents(tree.path("d/" + name));
        if (text == "new") {
            ++newFiles;
        } else {
            ++old[text];
        }
    }
    EXPECT_EQ(newFiles, created.load());
    for (int i = 0; i < count; ++i) {
        EXPECT_EQ(old["old " + std::to_string(i)], 1) << i;
    }
}

TEST_F(QuarantineAttack, ARestoreFollowsOnlyLinksThatWereThereAtTheClean) {
    // A link the user had before the clean (a cache kept on another disk) is followed back.
    tree.folder("elsewhere/cache");
    tree.link("cache", tree.path("elsewhere/cache"));
    const auto cached = tree.path("cache/x");
    writeText(cached, "cached");
    const auto a = tree.path("a/dir/f");
    writeText(a, "from a");
    tree.folder("Documents");
    store.quarantine({itemAt(a), itemAt(cached)}, {}, {}, "n");

    // The folder the item came from is replaced by a link to somewhere precious.
    std::filesystem::remove_all(tree.path("a/dir"));
    tree.link("a/dir", tree.path("Documents"));
    auto result = store.restore(std::nullopt);
    EXPECT_EQ(result.restored, 1);
    EXPECT_EQ(result.failed, std::vector<std::string>{a + " could not be restored."});
    EXPECT_EQ(contents(tree.path("elsewhere/cache/x")), "cached");
    EXPECT_FALSE(FileTools::exists(tree.path("Documents/f")));
    const auto failure = store.batches()[0].items[0].failure;
    ASSERT_TRUE(failure.has_value());
    EXPECT_NE(failure->find("symbolic link"), std::string::npos) << *failure;

    // Once the link is gone the same entry is tried again and its folder made anew.
    std::filesystem::remove(tree.path("a/dir"));
    result = store.restore(std::nullopt);
    EXPECT_EQ(result.restored, 1);
    EXPECT_EQ(contents(a), "from a");
    EXPECT_FALSE(store.batches()[0].items[0].failure.has_value());
}

TEST_F(QuarantineAttack, AFailedRestoreIsTriedAgainUntilItWorks) {
    const auto a = tree.path("p/f");
    writeText(a, "kept");
    store.quarantine({itemAt(a)}, {}, {}, "n");
    std::filesystem::remove_all(tree.path("p"));
    writeText(tree.path("p"), "a file where the folder was");
    EXPECT_EQ(store.restore(std::nullopt).failed.size(), 1u);
    EXPECT_TRUE(store.batches()[0].items[0].failure.has_value());
    std::filesystem::remove(tree.path("p"));
    EXPECT_EQ(store.restore(std::nullopt).restored, 1);
    EXPECT_EQ(contents(a), "kept");
}

TEST_F(QuarantineAttack, KelvanesOwnFolderIsNeverOfferedNorMoved) {
    // One of a pair of equal files goes to the quarantine; the other stays.
    const auto kept = tree.file("dupA.bin", 2 << 20);
    const auto moved = tree.file("dupB.bin", 2 << 20);
    ASSERT_EQ(contents(kept), contents(moved));
    const auto batch = store.quarantine({itemAt(moved)}, {}, {}, "n");

    CleanScanner scanner;
    scanner.largeFileLimit = 100;
    const auto large = scanner.scanLargeFiles(tree.root(), 1 << 20, 0, {}, 100'000);
    for (const auto& item : large.items) {
        EXPECT_FALSE(SafetyPolicy::contains(item.path, AppPaths::supportDirectory())) << item.path;
    }
    EXPECT_EQ(large.items.size(), 1u);
    EXPECT_TRUE(scanner.scanDuplicates(tree.root(), 1 << 20, {}, 100'000).groups.empty());

    // Moving a batch, or anything in it, is refused whatever judges it.
    const auto payloadItem = store.batchFolder(batch.id) + "/payload/" + batch.items[0].storedName;
    EXPECT_THROW(
        store.quarantine({itemAt(store.batchFolder(batch.id)), itemAt(payloadItem)}, {}, {}, "n"),
        QuarantineError);
    CleanRule everything;
    everything.id = "home";
    everything.name = "Home";
    everything.path = "~";
    everything.allowsUserContent = true;
    EXPECT_EQ(SafetyPolicy{}.rejectionReason(payloadItem, everything, {}),
              "The item is part of Kelvane's own data.");
    EXPECT_EQ(store.batches().size(), 1u);
    EXPECT_EQ(store.restore(std::nullopt).restored, 1);
    EXPECT_EQ(contents(moved), contents(kept));

    // Private to the user, since it holds files taken from private folders.
    for (const auto& folder : {AppPaths::supportDirectory(), AppPaths::quarantineDirectory(),
                               store.batchFolder(batch.id)}) {
        struct stat st {};
        ASSERT_EQ(::stat(folder.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
    }
}

TEST(QuarantineStoredName, FitsOneFileNameAndKeepsTheExtension) {
    const std::string uuid = "ABCDEF12-3456-7890-ABCD-EF1234567890";
    const std::string accented = "\xC3\xA9";  // é, two bytes
    std::string manyAccents;
    for (int i = 0; i < 127; ++i) {
        manyAccents += accented;
    }
    struct Case {
        std::string name;
        std::string expectedStart;
        std::string expectedEnd;
    };
    const Case cases[] = {
        {"cache.db", "3-ABCDEF12-cache.db", "cache.db"},
        {std::string(250, 'a') + ".txt", "3-ABCDEF12-aaa", "a.txt"},
        {std::string(255, 'b'), "3-ABCDEF12-bbb", "bbb"},
        {manyAccents + ".jpeg", "3-ABCDEF12-" + accented, accented + ".jpeg"},
        {std::string(240, 'c') + "." + std::string(30, 'e'), "3-ABCDEF12-ccc", "eee"},
    };
    for (const auto& c : cases) {
        const auto stored = QuarantineStore::storedName(3, uuid, c.name);
        EXPECT_LE(stored.size(), 255u) << c.name;
        EXPECT_TRUE(stored.starts_with(c.expectedStart)) << stored;
        EXPECT_TRUE(stored.ends_with(c.expectedEnd)) << stored;
        // Never half a character: the byte after the prefix-cut is no continuation byte.
        const auto dot = stored.rfind('.');
        const auto cut = dot == std::string::npos ? stored.size() : dot;
        ASSERT_GT(cut, 0u);
        EXPECT_NE(static_cast<unsigned char>(stored[cut - 1]) & 0xC0, 0xC0)
            << "cut after a lead byte";
    }
}

TEST_F(QuarantineAttack, AnItemWithTheLongestLegalNameGoesAndComesBack) {
    const auto path = tree.path("long/" + std::string(255, 'n'));
    writeText(path, "long");
    const auto batch = store.quarantine({itemAt(path)}, {}, {}, "n");
    EXPECT_LE(batch.items[0].storedName.size(), 255u);
    EXPECT_EQ(batch.items[0].originalPath, path);
    EXPECT_EQ(store.restore(std::nullopt).restored, 1);
    EXPECT_EQ(contents(path), "long");
}
