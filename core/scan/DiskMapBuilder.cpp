#include "scan/DiskMapBuilder.h"

#include <algorithm>
#include <set>

#include "files/FileTools.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"
#include "platform/FileURL.h"
#include "platform/PathText.h"
#include "support/Hashing.h"
#include "support/Saturating.h"

namespace kelvane {

std::string DiskMapNode::url() const {
    return platform::fileURL(path);
}

std::optional<DiskMapNode> DiskMapBuilder::node(const std::string& pathText,
                                                std::stop_token stop) const {
    const auto folder = path::standardize(pathText);
    if (!FileTools::isDirectory(folder)) {
        return std::nullopt;
    }
    const auto names = platform::listDirectory(folder).value_or(std::vector<std::string>{});
    const auto folderValues = platform::entryValues(folder, true);

    // Each child is one walk of its own subtree, on all cores: one large child (the usual
    // shape of a home folder) keeps every core busy, which a walk per core could not. A slot
    // stays empty for a link, an empty item, or one reached after a stop.
    std::vector<std::optional<DiskMapNode>> measured(names.size());
    std::vector<std::vector<FileTools::ItemSummary::LinkedFile>> linked(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (stop.stop_requested()) {
            break;
        }
        auto childPath = path::appending(folder, names[i]);
        const auto values = platform::entryValues(childPath, false);
        if (!values || values->isSymbolicLink()) {
            continue;
        }
        // Another file system mounted here is not this folder's space (du -x agrees).
        if (folderValues && values->isDirectory() && values->device != folderValues->device) {
            DiskMapNode mount;
            mount.path = std::move(childPath);
            mount.name = names[i];
            mount.isDirectory = true;
            mount.isMountPoint = true;
            measured[i] = std::move(mount);
            continue;
        }
        auto summary = FileTools::summarize(childPath, stop, 0);
        // A walk cut short by the stop measured only part of the child.
        if (stop.stop_requested() ||
            (summary.allocatedSize <= 0 && summary.unreadableFolders == 0)) {
            continue;
        }
        DiskMapNode child;
        child.path = std::move(childPath);
        child.name = names[i];
        child.size = summary.allocatedSize;
        child.isDirectory = values->isDirectory();
        child.unreadableFolders = summary.unreadableFolders;
        measured[i] = std::move(child);
        linked[i] = std::move(summary.linkedFiles);
    }

    // A file with names in two children takes its space once, in the first child that lists
    // it, so the children add up to what the folder holds.
    std::set<std::pair<std::uint64_t, std::uint64_t>> counted;
    for (std::size_t i = 0; i < measured.size(); ++i) {
        for (const auto& file : linked[i]) {
            if (!counted.emplace(file.device, file.inode).second && measured[i]) {
                measured[i]->size -= std::min(measured[i]->size, file.allocatedSize);
            }
        }
    }

    DiskMapNode node;
    node.path = folder;
    const auto last = path::lastComponent(folder);
    node.name = last.empty() ? folder : std::string(last);
    node.isDirectory = true;
    for (auto& child : measured) {
        if (child) {
            node.unreadableFolders =
                saturatingAdd(node.unreadableFolders, child->unreadableFolders);
            node.children.push_back(std::move(*child));
        }
    }
    std::stable_sort(node.children.begin(), node.children.end(),
                     [](const DiskMapNode& a, const DiskMapNode& b) { return a.size > b.size; });
    const auto cap = static_cast<std::size_t>(std::max(maxChildren, 0));
    if (node.children.size() > cap) {
        node.children.resize(cap);
        node.isCapped = true;
    }
    for (const auto& child : node.children) {
        node.size = saturatingAdd(node.size, child.size);
    }
    return node;
}

}  // namespace kelvane

std::size_t std::hash<kelvane::DiskMapNode>::operator()(
    const kelvane::DiskMapNode& node) const noexcept {
    std::size_t seed = 0;
    kelvane::hashCombine(seed, node.path);
    kelvane::hashCombine(seed, node.name);
    kelvane::hashCombine(seed, node.size);
    kelvane::hashCombine(seed, node.isDirectory);
    kelvane::hashCombine(seed, node.isCapped);
    kelvane::hashCombine(seed, node.isMountPoint);
    kelvane::hashCombine(seed, node.unreadableFolders);
    for (const auto& child : node.children) {
        kelvane::hashCombine(seed, (*this)(child));
    }
    return seed;
}
