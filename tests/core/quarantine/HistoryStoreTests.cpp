#include <gtest/gtest.h>

#include <fstream>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/FileIO.h"
#include "quarantine/HistoryStore.h"

using namespace kelvane;

namespace {

class HistoryStoreTest : public fixture::HomeTest {
  protected:
    void write(const std::string& file, const std::string& text) {
        AppPaths::ensureSupportDirectory();
        std::ofstream(file) << text;
    }
};

CleanHistoryEntry entry(int n, std::optional<std::string> batch = "B") {
    return CleanHistoryEntry{"ID-" + std::to_string(n),
                             Date{std::chrono::seconds{1'700'000'000 + n}},
                             1000 * n,
                             n,
                             {"Logs", "Trash"},
                             "Junk clean",
                             std::move(batch)};
}

}  // namespace

TEST_F(HistoryStoreTest, FirstAddCreatesTheFileAndAbsentBatchIsLeftOut) {
    const HistoryStore store{AppPaths::historyFile()};
    EXPECT_TRUE(store.entries().empty());
    store.add(entry(1, std::nullopt));
    const auto text = platform::readFile(AppPaths::historyFile());
    EXPECT_EQ(text.find("batchID"), std::string::npos);
    EXPECT_NE(text.find("\"date\": \"2023-11-14T22:13:21Z\""), std::string::npos);
    ASSERT_EQ(store.entries().size(), 1u);
    EXPECT_EQ(store.entries()[0], entry(1, std::nullopt));
    EXPECT_TRUE(FileTools::isDirectory(AppPaths::quarantineDirectory()));
}

TEST_F(HistoryStoreTest, NewestFirstCappedAtFiveHundred) {
    const HistoryStore store{AppPaths::historyFile()};
    std::vector<CleanHistoryEntry> full;
    for (int i = 500; i >= 1; --i) {
        full.push_back(entry(i));
    }
    store.save(full);
    store.add(entry(501));
    const auto list = store.entries();
    ASSERT_EQ(list.size(), 500u);
    EXPECT_EQ(list.front().id, "ID-501");
    EXPECT_EQ(list.back().id, "ID-2");
}

TEST_F(HistoryStoreTest, FileOrderIsKeptAndOneBadEntryEmptiesTheHistory) {
    const HistoryStore store{AppPaths::historyFile()};
    store.save({entry(1), entry(3), entry(2)});
    EXPECT_EQ(store.entries()[1].id, "ID-3");
    auto document = json::parse(platform::readFile(AppPaths::historyFile()));
    document[1].erase("note");
    write(AppPaths::historyFile(), document.dump());
    EXPECT_TRUE(store.entries().empty());
    store.add(entry(9));  // replaces the damaged file
    EXPECT_EQ(store.entries().size(), 1u);
}

TEST_F(HistoryStoreTest, TwoProcessesAddingAtOnceLoseNothing) {
    const HistoryStore store{AppPaths::historyFile()};
    constexpr int perProcess = 40;
    const int childStatus = fixture::inTwoProcesses([&](bool inChild) {
        for (int i = 0; i < perProcess; ++i) {
            store.add(entry((inChild ? 1000 : 2000) + i));
        }
    });
    EXPECT_EQ(childStatus, 0);
    EXPECT_EQ(store.entries().size(), 2u * perProcess);
}
