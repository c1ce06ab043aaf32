// The quarantine's records and their JSON form, checked so that no stored text can lead a path
// out of the quarantine.

#include <cctype>

#include "platform/PathText.h"
#include "quarantine/QuarantineStore.h"
#include "support/Saturating.h"

namespace kelvane {

bool isBatchID(std::string_view text) {
    if (text.size() != 36) {
        return false;
    }
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
        if (dash ? text[i] != '-' : !std::isxdigit(static_cast<unsigned char>(text[i]))) {
            return false;
        }
    }
    return true;
}

QuarantineEntry QuarantineEntry::fromJson(const json::Json& object) {
    json::requireObject(object, "A quarantine entry");
    QuarantineEntry entry;
    entry.id = json::requireString(object, "id");
    entry.originalPath = json::requireBytes(object, "originalPath");
    if (entry.originalPath.empty() || entry.originalPath.front() != '/' ||
        entry.originalPath.find('\0') != std::string::npos) {
        throw json::DecodeError("An original path is not absolute.");
    }
    entry.storedName = json::requireString(object, "storedName");
    // Both become parts of paths: a stored text that could lead out of its folder is damage.
    if (!isSingleComponent(entry.storedName)) {
        throw json::DecodeError("A stored name is not a single file name.");
    }
    entry.size = json::requireInt(object, "size");
    entry.modified = json::requireDate(object, "modified");
    entry.ruleID = json::requireString(object, "ruleID");
    entry.restoredAt = json::optionalDate(object, "restoredAt");
    entry.failure = json::optionalString(object, "failure");
    return entry;
}

json::Json QuarantineEntry::toJson() const {
    json::Json object{{"id", id},
                      {"storedName", storedName},
                      {"size", size},
                      {"modified", json::formatDate(modified)},
                      {"ruleID", ruleID}};
    json::putBytes(object, "originalPath", originalPath);
    if (restoredAt) {
        object["restoredAt"] = json::formatDate(*restoredAt);
    }
    if (failure) {
        object["failure"] = *failure;
    }
    return object;
}

std::vector<QuarantineEntry> QuarantineBatch::remainingItems() const {
    std::vector<QuarantineEntry> remaining;
    for (const auto& item : items) {
        if (!item.restoredAt) {
            remaining.push_back(item);
        }
    }
    return remaining;
}

std::int64_t QuarantineBatch::remainingBytes() const {
    std::int64_t total = 0;
    for (const auto& item : items) {
        if (!item.restoredAt) {
            total = saturatingAdd(total, item.size);
        }
    }
    return total;
}

QuarantineBatch QuarantineBatch::fromJson(const json::Json& object) {
    json::requireObject(object, "A quarantine batch");
    QuarantineBatch batch;
    batch.id = json::requireString(object, "id");
    if (!isBatchID(batch.id)) {
        throw json::DecodeError("A batch ID is not a UUID.");
    }
    batch.createdAt = json::requireDate(object, "createdAt");
    batch.expiresAt = json::requireDate(object, "expiresAt");
    batch.note = json::requireString(object, "note");
    if (batch.expiresAt < batch.createdAt) {
        // A batch that would expire before it was made would be purged at once.
        throw json::DecodeError("A batch expires before it was created.");
    }
    const auto& items = json::requireKey(object, "items");
    if (!items.is_array()) {
        throw json::DecodeError("The value of “items” is not a list.");
    }
    for (const auto& item : items) {
        batch.items.push_back(QuarantineEntry::fromJson(item));
    }
    return batch;
}

json::Json QuarantineBatch::toJson() const {
    auto list = json::Json::array();
    for (const auto& item : items) {
        list.push_back(item.toJson());
    }
    return json::Json{{"id", id},
                      {"createdAt", json::formatDate(createdAt)},
                      {"expiresAt", json::formatDate(expiresAt)},
                      {"note", note},
                      {"items", list}};
}

}  // namespace kelvane
