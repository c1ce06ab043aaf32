#pragma once

// One level of the disk map: a folder's immediate children with the space each takes,
// largest first, cut to a maximum count.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

namespace kelvane {

struct DiskMapNode {
    std::string path;
    std::string name;
    std::int64_t size = 0;
    bool isDirectory = false;
    bool isCapped = false;
    std::vector<DiskMapNode> children;

    std::string url() const;
    bool operator==(const DiskMapNode&) const = default;
};

struct DiskMapBuilder {
    int maxChildren = 0;

    // Nothing when the path is not an existing folder. Children are measured in parallel across
    // the cores; a stop request ends the level with the children measured so far.
    std::optional<DiskMapNode> node(const std::string& path, std::stop_token stop = {}) const;
};

}  // namespace kelvane

template <>
struct std::hash<kelvane::DiskMapNode> {
    std::size_t operator()(const kelvane::DiskMapNode& node) const noexcept;
};
