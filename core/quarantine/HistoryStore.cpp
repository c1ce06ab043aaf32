#include "quarantine/HistoryStore.h"

#include "files/AppPaths.h"
#include "platform/FileIO.h"
#include "support/Hashing.h"

namespace kelvane {

CleanHistoryEntry CleanHistoryEntry::fromJson(const json::Json& object) {
    json::requireObject(object, "A history entry");
    CleanHistoryEntry entry;
    entry.id = json::requireString(object, "id");
    entry.date = json::requireDate(object, "date");
    entry.bytes = json::requireInt(object, "bytes");
    entry.itemCount = json::requireInt(object, "itemCount");
    entry.categories = json::requireStringArray(object, "categories");
    entry.note = json::requireString(object, "note");
    entry.batchID = json::optionalString(object, "batchID");
    return entry;
}

json::Json CleanHistoryEntry::toJson() const {
    json::Json object{{"id", id},
                      {"date", json::formatDate(date)},
                      {"bytes", bytes},
                      {"itemCount", itemCount},
                      {"categories", categories},
                      {"note", note}};
    if (batchID) {
        object["batchID"] = *batchID;
    }
    return object;
}

namespace {

std::string lockFile(const std::string& file) {
    return file + ".lock";
}

}  // namespace

std::vector<CleanHistoryEntry> HistoryStore::entries() const {
    try {
        const auto document = json::parse(platform::readFile(file));
        if (!document.is_array()) {
            return {};
        }
        std::vector<CleanHistoryEntry> list;
        list.reserve(document.size());
        for (const auto& object : document) {
            list.push_back(CleanHistoryEntry::fromJson(object));
        }
        return list;
    } catch (const std::exception&) {
        return {};
    }
}

void HistoryStore::add(const CleanHistoryEntry& entry) const {
    AppPaths::ensureSupportDirectory();
    const platform::FileLock lock(lockFile(file));
    auto list = entries();
    list.insert(list.begin(), entry);
    if (list.size() > maxHistoryEntries) {
        list.resize(maxHistoryEntries);
    }
    save(list);
}

void HistoryStore::save(const std::vector<CleanHistoryEntry>& list) const {
    AppPaths::ensureSupportDirectory();
    auto document = json::Json::array();
    for (const auto& entry : list) {
        document.push_back(entry.toJson());
    }
    platform::writeFileAtomically(file, json::dump(document));
}

}  // namespace kelvane

std::size_t std::hash<kelvane::CleanHistoryEntry>::operator()(
    const kelvane::CleanHistoryEntry& entry) const noexcept {
    using kelvane::hashCombine;
    std::size_t seed = 0;
    hashCombine(seed, entry.id);
    hashCombine(seed, entry.date.time_since_epoch().count());
    hashCombine(seed, entry.bytes);
    hashCombine(seed, entry.itemCount);
    for (const auto& category : entry.categories) {
        hashCombine(seed, category);
    }
    hashCombine(seed, entry.note);
    hashCombine(seed, entry.batchID.value_or(""));
    hashCombine(seed, entry.batchID.has_value());
    return seed;
}
