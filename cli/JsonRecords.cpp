#include "JsonRecords.h"

namespace kelvane::cli {

using json::Json;

// Paths are bytes; JSON is UTF-8. A path that is not UTF-8 is shown readable under its key and
// given exactly, in base64, under the key + "Bytes", as the stores keep it.
Json toJson(const ScanItem& item) {
    Json object{{"size", item.size},
                {"modified", json::formatDate(item.modified)},
                {"ruleID", item.ruleID},
                {"group", rawValue(item.group)},
                {"kind", rawValue(item.kind)}};
    json::putBytes(object, "path", item.path);
    return object;
}

Json toJson(const std::vector<ScanItem>& items) {
    Json list = Json::array();
    for (const auto& item : items) {
        list.push_back(toJson(item));
    }
    return list;
}

Json toJson(const RuleScanResult& result) {
    Json object{{"rule", result.rule.toJson()},
                {"items", toJson(result.items)},
                {"skipped", result.skipped},
                {"truncated", result.truncated},
                {"totalBytes", result.totalBytes()}};
    if (result.error) {
        object["error"] = *result.error;
    }
    return object;
}

Json toJson(const JunkScanResult& result) {
    Json results = Json::array();
    for (const auto& rule : result.results) {
        results.push_back(toJson(rule));
    }
    return Json{{"results", results},
                {"startedAt", json::formatDate(result.startedAt)},
                {"finishedAt", json::formatDate(result.finishedAt)},
                {"cancelled", result.cancelled},
                {"totalBytes", result.totalBytes()},
                {"itemCount", result.itemCount()}};
}

Json toJson(const LargeFileScan& scan) {
    return Json{{"items", toJson(scan.items)},
                {"scannedFiles", scan.scannedFiles},
                {"unreadableFolders", scan.unreadableFolders},
                {"cancelled", scan.cancelled},
                {"truncated", scan.truncated},
                {"totalBytes", scan.totalBytes()}};
}

Json toJson(const DuplicateGroup& group) {
    return Json{{"id", group.id},
                {"size", group.size},
                {"hash", group.hash},
                {"files", toJson(group.files)},
                {"reclaimableBytes", group.reclaimableBytes()}};
}

Json toJson(const DuplicateScan& scan) {
    Json groups = Json::array();
    for (const auto& group : scan.groups) {
        groups.push_back(toJson(group));
    }
    return Json{{"groups", groups},
                {"scannedFiles", scan.scannedFiles},
                {"skippedHardLinks", scan.skippedHardLinks},
                {"skippedProtected", scan.skippedProtected},
                {"unreadableFolders", scan.unreadableFolders},
                {"cancelled", scan.cancelled},
                {"truncated", scan.truncated},
                {"reclaimableBytes", scan.reclaimableBytes()}};
}

Json toJson(const DiskMapNode& node) {
    Json children = Json::array();
    for (const auto& child : node.children) {
        children.push_back(toJson(child));
    }
    Json object{{"size", node.size},
                {"isDirectory", node.isDirectory},
                {"isCapped", node.isCapped},
                {"isMountPoint", node.isMountPoint},
                {"unreadableFolders", node.unreadableFolders},
                {"children", children}};
    json::putBytes(object, "path", node.path);
    json::putBytes(object, "name", node.name);
    return object;
}

Json toJson(const StartupItem& item) {
    Json object{{"label", json::displayText(item.label)},
                {"runAtLoad", item.runAtLoad},
                {"kind", rawValue(item.kind)},
                {"source", rawValue(item.source)},
                {"isEnabled", item.isEnabled},
                {"canToggle", item.canToggle}};
    if (!item.onlyShowIn.empty()) {
        json::putBytesArray(object, "onlyShowIn", item.onlyShowIn);
    }
    if (!item.notShowIn.empty()) {
        json::putBytesArray(object, "notShowIn", item.notShowIn);
    }
    json::putBytes(object, "path", item.path);
    if (item.program) {
        json::putBytes(object, "program", *item.program);
    }
    return object;
}

Json toJson(const InstalledApp& app) {
    Json object{{"bundleID", json::displayText(app.bundleID)},
                {"name", json::displayText(app.name)},
                {"version", json::displayText(app.version)},
                {"source", rawValue(app.source)},
                {"size", app.size},
                {"modified", json::formatDate(app.modified)}};
    json::putBytes(object, "path", app.path);
    if (app.executable) {
        object["executable"] = *app.executable;
    }
    if (app.lastOpened) {
        object["lastOpened"] = json::formatDate(*app.lastOpened);
    }
    return object;
}

}  // namespace kelvane::cli
