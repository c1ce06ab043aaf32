#pragma once

// The JSON form of the records kelvane-cli prints with --json: the records' own field names,
// dates in the stores' ISO 8601 form, optional values left out when absent. Batches, history
// entries, rules, settings and the schedule use the forms of their files.

#include "model/ScanRecords.h"
#include "scan/DiskMapBuilder.h"
#include "scan/DuplicateScan.h"
#include "scan/LargeFileScan.h"
#include "support/Json.h"
#include "system/AppInventory.h"
#include "system/StartupItems.h"

namespace kelvane::cli {

json::Json toJson(const ScanItem& item);
json::Json toJson(const std::vector<ScanItem>& items);
json::Json toJson(const RuleScanResult& result);
json::Json toJson(const JunkScanResult& result);
json::Json toJson(const LargeFileScan& scan);
json::Json toJson(const DuplicateGroup& group);
json::Json toJson(const DuplicateScan& scan);
json::Json toJson(const DiskMapNode& node);
json::Json toJson(const StartupItem& item);
json::Json toJson(const InstalledApp& app);

// A list of records, each in its own JSON form.
template <class Record>
json::Json toJsonList(const std::vector<Record>& records) {
    auto list = json::Json::array();
    for (const auto& record : records) {
        if constexpr (requires { record.toJson(); }) {
            list.push_back(record.toJson());
        } else {
            list.push_back(toJson(record));
        }
    }
    return list;
}

}  // namespace kelvane::cli
