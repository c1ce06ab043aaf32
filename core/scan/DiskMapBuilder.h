#pragma once

// One level of the disk map: a folder's immediate children with the space each takes,
// largest first, cut to a maximum count. Measured like du -x: one file system, each file once
// however many names it has.

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
    // Another file system mounted here: shown, never entered, so its size stays 0.
    bool isMountPoint = false;
    // Folders at or below this one that could not be listed or entered; their space is not in
    // `size`.
    std::int64_t unreadableFolders = 0;
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
