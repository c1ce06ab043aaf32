#include "TreemapLayout.h"

#include <algorithm>
#include <numeric>

namespace kelvane::ui {

namespace {

void place(const std::vector<double>& sizes, std::size_t first, std::size_t last, TreemapRect area,
           std::vector<TreemapCell>& cells) {
    const std::size_t n = last - first;
    if (n == 0 || area.width <= 1 || area.height <= 1) {
        return;
    }
    if (n == 1) {
        cells.push_back({first, area});
        return;
    }
    const double total = std::accumulate(sizes.begin() + static_cast<std::ptrdiff_t>(first),
                                         sizes.begin() + static_cast<std::ptrdiff_t>(last), 0.0);
    if (total <= 0) {
        return;
    }
    std::size_t taken = 0;
    double running = 0;
    for (std::size_t i = first; i < last; ++i) {
        running += sizes[i];
        ++taken;
        if (running >= total * 0.5) {
            break;
        }
    }
    const std::size_t k = std::max<std::size_t>(std::min(taken, n - 1), 1);
    const double firstSum =
        std::accumulate(sizes.begin() + static_cast<std::ptrdiff_t>(first),
                        sizes.begin() + static_cast<std::ptrdiff_t>(first + k), 0.0);
    double share = firstSum / total;
    share = share >= 0.95 ? 0.95 : std::max(share, 0.05);

    TreemapRect one = area;
    TreemapRect two = area;
    if (area.width >= area.height) {
        const double a = std::max(share * area.width - 1, 1.0);
        one.width = a;
        two.x = area.x + a + 2;
        two.width = std::max(area.width - a - 2, 1.0);
    } else {
        const double a = std::max(share * area.height - 1, 1.0);
        one.height = a;
        two.y = area.y + a + 2;
        two.height = std::max(area.height - a - 2, 1.0);
    }
    place(sizes, first, first + k, one, cells);
    place(sizes, first + k, last, two, cells);
}

}  // namespace

std::vector<TreemapCell> treemapLayout(const std::vector<double>& sizes, TreemapRect area) {
    std::vector<TreemapCell> cells;
    place(sizes, 0, sizes.size(), area, cells);
    return cells;
}

TreemapLabel treemapLabel(const TreemapRect& rect) {
    if (rect.width <= 58 || rect.height <= 24) {
        return TreemapLabel::none;
    }
    return rect.height > 40 ? TreemapLabel::nameAndSize : TreemapLabel::name;
}

}  // namespace kelvane::ui
