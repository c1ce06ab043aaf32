#include "settings/SettingsStore.h"

#include <algorithm>

#include "files/AppPaths.h"
#include "platform/FileIO.h"
#include "platform/PathText.h"

namespace kelvane {

AppSettings AppSettings::defaults(const std::vector<CleanRule>& rules) {
    AppSettings settings;
    for (const auto& rule : rules) {
        if (rule.defaultEnabled) {
            settings.enabledRuleIDs.insert(rule.id);
        }
    }
    // The user's Downloads folder by its real name (~/Téléchargements on a French desktop).
    settings.largeFileRoot = AppPaths::expand("$XDG_DOWNLOAD_DIR");
    settings.duplicateRoot = settings.largeFileRoot;
    return settings;
}

AppSettings AppSettings::fromJson(const json::Json& object) {
    json::requireObject(object, "The settings");
    AppSettings settings;
    const auto ids = json::requireStringArray(object, "enabledRuleIDs");
    settings.enabledRuleIDs = std::set<std::string>(ids.begin(), ids.end());
    settings.ignoreList = json::requireBytesArray(object, "ignoreList");
    settings.retentionDays = json::requireInt(object, "retentionDays");
    settings.largeFileRoot = json::requireBytes(object, "largeFileRoot");
    settings.duplicateRoot = json::requireBytes(object, "duplicateRoot");
    settings.minLargeFileMB = json::requireInt(object, "minLargeFileMB");
    settings.minDuplicateMB = json::requireInt(object, "minDuplicateMB");
    settings.lastScanDate = json::optionalDate(object, "lastScanDate");
    settings.hasCompletedOnboarding = json::requireBool(object, "hasCompletedOnboarding");
    return settings;
}

json::Json AppSettings::toJson() const {
    json::Json object{
        {"enabledRuleIDs", std::vector<std::string>(enabledRuleIDs.begin(), enabledRuleIDs.end())},
        {"retentionDays", retentionDays},
        {"minLargeFileMB", minLargeFileMB},
        {"minDuplicateMB", minDuplicateMB},
        {"hasCompletedOnboarding", hasCompletedOnboarding},
    };
    json::putBytesArray(object, "ignoreList", ignoreList);
    json::putBytes(object, "largeFileRoot", largeFileRoot);
    json::putBytes(object, "duplicateRoot", duplicateRoot);
    if (lastScanDate) {
        object["lastScanDate"] = json::formatDate(*lastScanDate);
    }
    return object;
}

AppSettings AppSettings::merged(const AppSettings& base, const AppSettings& ours,
                                const AppSettings& theirs) {
    auto result = theirs;
    auto scalar = [&](auto AppSettings::*field) {
        if (ours.*field != base.*field) {
            result.*field = ours.*field;
        }
    };
    scalar(&AppSettings::retentionDays);
    scalar(&AppSettings::largeFileRoot);
    scalar(&AppSettings::duplicateRoot);
    scalar(&AppSettings::minLargeFileMB);
    scalar(&AppSettings::minDuplicateMB);
    scalar(&AppSettings::hasCompletedOnboarding);
    scalar(&AppSettings::lastScanDate);
    for (const auto& id : base.enabledRuleIDs) {
        if (!ours.enabledRuleIDs.contains(id)) {
            result.enabledRuleIDs.erase(id);
        }
    }
    for (const auto& id : ours.enabledRuleIDs) {
        if (!base.enabledRuleIDs.contains(id)) {
            result.enabledRuleIDs.insert(id);
        }
    }
    auto has = [](const std::vector<std::string>& list, const std::string& entry) {
        return std::find(list.begin(), list.end(), entry) != list.end();
    };
    for (const auto& entry : base.ignoreList) {
        if (!has(ours.ignoreList, entry)) {
            std::erase(result.ignoreList, entry);
        }
    }
    for (const auto& entry : ours.ignoreList) {
        if (!has(base.ignoreList, entry) && !has(result.ignoreList, entry)) {
            result.ignoreList.push_back(entry);
        }
    }
    return result;
}

AppSettings SettingsStore::load(const AppSettings& fallback) const {
    try {
        return AppSettings::fromJson(json::parse(platform::readFile(file)));
    } catch (const std::exception&) {
        return fallback;
    }
}

void SettingsStore::save(const AppSettings& settings) const {
    AppPaths::ensureSupportDirectory();
    const platform::FileLock lock(file + ".lock");
    platform::writeFileAtomically(file, json::dump(settings.toJson()));
}

AppSettings SettingsStore::update(const AppSettings& fallback,
                                  const std::function<void(AppSettings&)>& change) const {
    AppPaths::ensureSupportDirectory();
    const platform::FileLock lock(file + ".lock");
    auto settings = load(fallback);
    change(settings);
    platform::writeFileAtomically(file, json::dump(settings.toJson()));
    return settings;
}

}  // namespace kelvane
