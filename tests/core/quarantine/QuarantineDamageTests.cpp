// The quarantine's own files are read as untrusted: a damaged or planted index, journal or
// name never leads a path out of the quarantine, and odd file names come back byte for byte.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <sstream>

#include "HomeTest.h"
#include "TempTree.h"
#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystemError.h"
#include "quarantine/QuarantineStore.h"
#include "support/Json.h"

using namespace kelvane;

namespace {

class QuarantineDamage : public fixture::HomeTest {
  protected:
    void SetUp() override {
        HomeTest::SetUp();
        store = QuarantineStore{AppPaths::quarantineDirectory(), 7};
    }

    void writeIndex(const std::string& text) {
        AppPaths::ensureSupportDirectory();
        std::ofstream(store.indexFile()) << text;
    }

    QuarantineStore store;
};

std::string batchJson(const std::string& id, const std::string& storedName,
                      const std::string& originalPath, const std::string& created,
                      const std::string& expires, const std::string& size = "10") {
    return R"({"id": ")" + id + R"(", "createdAt": ")" + created + R"(", "expiresAt": ")" +
           expires + R"(", "note": "n", "items": [{"id": "E", "originalPath": ")" + originalPath +
           R"(", "storedName": ")" + storedName + R"(", "size": )" + size +
           R"(, "modified": "2020-01-01T00:00:00Z", "ruleID": "r"}]})";
}

}  // namespace

TEST_F(QuarantineDamage, PlantedTextsNeverBecomePathsOutsideTheQuarantine) {
    const auto victim = tree.file("Documents/precious.txt", 100);
    const std::string goodID = "0A1B2C3D-0000-4000-8000-000000000001";
    struct Case {
        const char* what;
        std::string batch;
    };
    const Case cases[] = {
        {"a batch ID that climbs out",
         batchJson("../../../..", "0-x", "/tmp/x", "2020-01-01T00:00:00Z", "2020-01-02T00:00:00Z")},
        {"a stored name that climbs out",
         batchJson(goodID, "../../../../Documents/precious.txt", victim, "2020-01-01T00:00:00Z",
                   "2099-01-01T00:00:00Z")},
        {"a stored name with a slash",
         batchJson(goodID, "a/b", victim, "2020-01-01T00:00:00Z", "2099-01-01T00:00:00Z")},
        {"an original path that is not absolute",
         batchJson(goodID, "0-x", "Documents/precious.txt", "2020-01-01T00:00:00Z",
                   "2099-01-01T00:00:00Z")},
        {"an expiry before its creation",
         batchJson(goodID, "0-x", "/tmp/x", "2020-01-02T00:00:00Z", "2020-01-01T00:00:00Z")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        writeIndex("[" + c.batch + "]");
        EXPECT_TRUE(store.batches().empty());  // damaged: not acted on
        EXPECT_EQ(store.purgeExpired(now()), 0);
        EXPECT_EQ(store.restore(std::nullopt).restored, 0);
        EXPECT_TRUE(FileTools::exists(victim));
        EXPECT_TRUE(FileTools::isDirectory(tree.root()));
    }
    EXPECT_THROW(store.deletePermanently("../../.."), FileSystemError);
    EXPECT_TRUE(FileTools::exists(victim));
}

TEST_F(QuarantineDamage, HugeSizesAddUpWithoutWrapping) {
    const std::string max = "9223372036854775807";
    writeIndex("[" +
               batchJson("0A1B2C3D-0000-4000-8000-000000000002", "0-x", "/tmp/x",
                         "2020-01-01T00:00:00Z", "2099-01-01T00:00:00Z", max) +
               "]");
    auto batches = store.batches();
    ASSERT_EQ(batches.size(), 1u);
    batches[0].items.push_back(batches[0].items[0]);
    EXPECT_EQ(batches[0].remainingBytes(), std::numeric_limits<std::int64_t>::max());
    // A retention of any size gives an expiry after the creation.
    const QuarantineStore forever{AppPaths::quarantineDirectory(),
                                  std::numeric_limits<std::int64_t>::max()};
    const auto path = tree.file("x", 10);
    const auto batch = forever.quarantine(
        {ScanItem{path, 10, {}, "none", RuleGroup::system, ScanItem::Kind::file}}, {}, {}, "n");
    EXPECT_GT(batch.expiresAt, batch.createdAt);
    EXPECT_EQ(forever.purgeExpired(now()), 0);
}

TEST_F(QuarantineDamage, NamesThatAreNotUTF8GoAndComeBackByteForByte) {
    const std::string folder = tree.folder("d\xFF");
    const std::string names[] = {"caf\xE9.txt", "\x80\x81", "ok.txt"};
    std::vector<ScanItem> items;
    for (const auto& name : names) {
        const auto path = folder + "/" + name;
        std::ofstream(path) << name;
        items.push_back(ScanItem{path, 1, {}, "none", RuleGroup::system, ScanItem::Kind::file});
    }
    store.quarantine(items, {}, {}, "n");
    const auto text = platform::readFile(store.indexFile());
    EXPECT_TRUE(json::isValidUTF8(text));
    const auto listed = store.batches().at(0).items;
    for (std::size_t i = 0; i < items.size(); ++i) {
        EXPECT_EQ(listed[i].originalPath, items[i].path);
        EXPECT_TRUE(json::isValidUTF8(listed[i].storedName));
    }
    EXPECT_EQ(store.restore(std::nullopt).restored, 3);
    for (const auto& name : names) {
        std::ifstream in(folder + "/" + name);
        std::stringstream read;
        read << in.rdbuf();
        EXPECT_EQ(read.str(), name);
    }
    EXPECT_EQ(platform::listDirectory(folder).value().size(), 3u);
}
