#pragma once

// The disk map's treemap: a pure function from sizes (largest first) and a rectangle to one
// rectangle per size, splitting the list in two at half the total and the rectangle along its
// longer side, with a 2-point gap between the halves.

#include <cstddef>
#include <vector>

namespace kelvane::ui {

struct TreemapRect {
    double x = 0;
    double y = 0;
    double width = 0;
    double height = 0;
    bool operator==(const TreemapRect&) const = default;
};

struct TreemapCell {
    std::size_t index = 0;  // position of the node in the sizes given
    TreemapRect rect;
};

std::vector<TreemapCell> treemapLayout(const std::vector<double>& sizes, TreemapRect area);

// What a tile of that layout rectangle can show: its name when wider than 58 and taller than
// 24 points, its size as well when taller than 40.
enum class TreemapLabel { none, name, nameAndSize };
TreemapLabel treemapLabel(const TreemapRect& rect);

}  // namespace kelvane::ui
