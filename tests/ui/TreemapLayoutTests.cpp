#include <gtest/gtest.h>

#include "kit/TreemapLayout.h"

using kelvane::ui::treemapLayout;
using kelvane::ui::TreemapRect;

TEST(TreemapLayout, SplitsThreeAndOneAlongTheLongerSide) {
    const auto cells = treemapLayout({3, 1}, {0, 0, 400, 300});
    ASSERT_EQ(cells.size(), 2u);
    EXPECT_EQ(cells[0].index, 0u);
    EXPECT_EQ(cells[0].rect, (TreemapRect{0, 0, 299, 300}));  // 0.75 × 400 − 1
    EXPECT_EQ(cells[1].rect, (TreemapRect{301, 0, 99, 300}));
}

TEST(TreemapLayout, ClampsAHugeShareSoTheRestKeepsFivePercent) {
    const auto cells = treemapLayout({99, 0.5, 0.5}, {0, 0, 100, 400});  // taller than wide
    ASSERT_EQ(cells.size(), 3u);
    EXPECT_DOUBLE_EQ(cells[0].rect.height, 0.95 * 400 - 1);
    EXPECT_DOUBLE_EQ(cells[1].rect.y, 0.95 * 400 + 1);
    // The two small ones share the rest of the side.
    EXPECT_GT(cells[1].rect.height + cells[2].rect.height, 10);
}

TEST(TreemapLayout, GivesNothingForEmptyZeroOrTinyInput) {
    EXPECT_TRUE(treemapLayout({}, {0, 0, 400, 300}).empty());
    EXPECT_TRUE(treemapLayout({0, 0, 0}, {0, 0, 400, 300}).empty());
    EXPECT_TRUE(treemapLayout({5, 4}, {0, 0, 1, 300}).empty());
    const auto one = treemapLayout({7}, {10, 20, 30, 40});
    ASSERT_EQ(one.size(), 1u);
    EXPECT_EQ(one[0].rect, (TreemapRect{10, 20, 30, 40}));
}

TEST(TreemapLayout, KeepsTheOrderAndTheWholeAreaMinusGaps) {
    const std::vector<double> sizes{40, 30, 20, 10, 5, 5};
    const auto cells = treemapLayout(sizes, {0, 0, 600, 320});
    ASSERT_EQ(cells.size(), sizes.size());
    double area = 0;
    for (std::size_t i = 0; i < cells.size(); ++i) {
        EXPECT_EQ(cells[i].index, i);
        EXPECT_GE(cells[i].rect.x, 0);
        EXPECT_LE(cells[i].rect.x + cells[i].rect.width, 600.0 + 1e-9);
        area += cells[i].rect.width * cells[i].rect.height;
    }
    EXPECT_GT(area, 600.0 * 320 * 0.9);
    EXPECT_LT(area, 600.0 * 320);
}

TEST(TreemapLayout, LabelsNeedRoom) {
    using kelvane::ui::TreemapLabel;
    using kelvane::ui::treemapLabel;
    EXPECT_EQ(treemapLabel({0, 0, 58, 100}), TreemapLabel::none);
    EXPECT_EQ(treemapLabel({0, 0, 59, 24}), TreemapLabel::none);
    EXPECT_EQ(treemapLabel({0, 0, 59, 25}), TreemapLabel::name);
    EXPECT_EQ(treemapLabel({0, 0, 59, 40}), TreemapLabel::name);
    EXPECT_EQ(treemapLabel({0, 0, 59, 41}), TreemapLabel::nameAndSize);
}
