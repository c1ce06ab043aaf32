#include <gtest/gtest.h>

#include "TempTree.h"
#include "files/FileTools.h"
#include "scan/DiskMapBuilder.h"

using namespace kelvane;
using kelvane::fixture::TempTree;

TEST(DiskMap, ChildrenLargestFirstCappedAndSummed) {
    TempTree tree;
    for (int i = 0; i < 100; ++i) {
        tree.file("c" + std::to_string(i), 4096 * static_cast<std::size_t>(i + 1));
    }
    const auto node = DiskMapBuilder{60}.node(tree.root());
    ASSERT_TRUE(node);
    EXPECT_EQ(node->children.size(), 60u);
    EXPECT_TRUE(node->isCapped);
    std::int64_t sum = 0;
    for (std::size_t i = 0; i < node->children.size(); ++i) {
        sum += node->children[i].size;
        if (i > 0) {
            EXPECT_GE(node->children[i - 1].size, node->children[i].size);
        }
    }
    EXPECT_EQ(node->size, sum);
    EXPECT_EQ(node->children.front().name, "c99");

    const auto exact = DiskMapBuilder{100}.node(tree.root());
    EXPECT_FALSE(exact->isCapped);
    EXPECT_EQ(exact->children.size(), 100u);
}

TEST(DiskMap, FoldersMeasuredWholeEmptiesAndLinksLeftOut) {
    TempTree tree;
    tree.file("folder/a", 10'000);
    tree.file("folder/b/c", 10'000);
    tree.package("Tool.app", 20'000);
    tree.file("empty-file", 0);
    tree.folder("empty-folder");
    tree.link("link-to-folder", "folder");
    const auto node = DiskMapBuilder{60}.node(tree.root() + "/./");
    ASSERT_TRUE(node);
    EXPECT_EQ(node->path, tree.root());
    ASSERT_EQ(node->children.size(), 2u);
    for (const auto& child : node->children) {
        EXPECT_TRUE(child.isDirectory);
        EXPECT_TRUE(child.children.empty());
        EXPECT_EQ(child.size, FileTools::allocatedSize(child.path));
    }
}

TEST(DiskMap, RootNameFilesAndMissingPaths) {
    TempTree tree;
    tree.file("plain", 10);
    EXPECT_EQ(DiskMapBuilder{60}.node(tree.path("plain")), std::nullopt);
    EXPECT_EQ(DiskMapBuilder{60}.node(tree.path("missing")), std::nullopt);
    std::stop_source stop;
    stop.request_stop();  // measure nothing: only the name of "/" is of interest here
    const auto root = DiskMapBuilder{60}.node("/", stop.get_token());
    ASSERT_TRUE(root);
    EXPECT_EQ(root->name, "/");
    EXPECT_TRUE(root->children.empty());
    EXPECT_EQ(root->size, 0);
}
