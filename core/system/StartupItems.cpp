#include <unicode/coll.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/DirectoryWalker.h"
#include "platform/Environment.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"
#include "platform/PropertyList.h"
#include "system/StartupItems.h"

namespace kelvane {

std::string userAgentsFolder() {
    return path::appending(AppPaths::home(), "Library/LaunchAgents");
}

namespace {

std::optional<StartupItem> readAgent(const std::string& file, StartupKind kind, bool canToggle,
                                     bool disabled) {
    const auto plist = platform::readPropertyList(file);
    if (!plist) {
        return std::nullopt;
    }
    auto value = [&](const char* key) -> const platform::PlistValue* {
        const auto it = plist->find(key);
        return it == plist->end() ? nullptr : &it->second;
    };
    const auto* label = value("Label");
    if (!label || !label->string()) {
        return std::nullopt;
    }
    StartupItem item;
    item.path = file;
    item.label = *label->string();
    if (const auto* arguments = value("ProgramArguments"); arguments && arguments->array()) {
        const auto& list = *arguments->array();
        const bool allStrings = std::all_of(list.begin(), list.end(),
                                            [](const auto& v) { return v.string() != nullptr; });
        if (allStrings && !list.empty()) {
            item.program = *list.front().string();
        }
    }
    if (!item.program) {
        if (const auto* program = value("Program"); program && program->string()) {
            item.program = *program->string();
        }
    }
    if (const auto* run = value("RunAtLoad"); run && run->boolean()) {
        item.runAtLoad = *run->boolean();
    }
    item.kind = kind;
    item.isEnabled = !disabled;
    item.canToggle = canToggle && kind == StartupKind::userAgent;
    return item;
}

void removeIgnoringErrors(const std::string& path) {
    std::error_code error;
    std::filesystem::remove_all(path, error);
}

void moveFile(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::rename(from, to, error);
    if (error) {
        throw FileSystemError("“" + std::string(path::lastComponent(from)) +
                                  "” could not be moved: " + error.message() + ".",
                              error);
    }
}

}  // namespace

std::vector<StartupItem> StartupItems::readAgents(const std::string& folder, StartupKind kind,
                                                  bool canToggle, bool disabled) {
    std::vector<StartupItem> items;
    const auto names = platform::listDirectory(folder);
    if (!names) {
        return items;
    }
    for (const auto& name : *names) {
        if (name.front() == '.' || path::lowercasedASCII(path::extension(name)) != "plist") {
            continue;
        }
        if (auto item = readAgent(path::appending(folder, name), kind, canToggle, disabled)) {
            items.push_back(std::move(*item));
        }
    }
    return items;
}

StartupSources StartupSources::current() {
    StartupSources sources;
    sources.userAgents = userAgentsFolder();
    sources.systemAgents = systemAgentsFolder;
    sources.parked = AppPaths::disabledAgentsDirectory();
    const auto config = platform::configHome();
    sources.userAutostart = path::appending(config, "autostart");
    sources.userUnits = path::appending(config, "systemd/user");
    // Empty or relative entries are ignored, as the base directory rules say.
    auto list = [](const char* variable, const char* fallback) {
        std::vector<std::string> folders;
        const auto value = platform::environmentVariable(variable).value_or("");
        std::string_view rest = value.empty() ? std::string_view(fallback) : value;
        while (!rest.empty()) {
            const auto colon = rest.find(':');
            const auto folder = rest.substr(0, colon);
            if (folder.starts_with('/')) {
                folders.push_back(path::standardize(folder));
            }
            rest = colon == std::string_view::npos ? std::string_view{} : rest.substr(colon + 1);
        }
        return folders;
    };
    for (const auto& folder : list("XDG_CONFIG_DIRS", "/etc/xdg")) {
        sources.systemAutostart.push_back(path::appending(folder, "autostart"));
        sources.systemUnits.push_back(path::appending(folder, "systemd/user"));
    }
    sources.systemUnits.emplace_back("/etc/systemd/user");
    sources.unitSearchPath = {sources.userUnits};
    sources.unitSearchPath.insert(sources.unitSearchPath.end(), sources.systemUnits.begin(),
                                  sources.systemUnits.end());
    sources.unitSearchPath.push_back(path::appending(platform::dataHome(), "systemd/user"));
    for (const auto& folder : list("XDG_DATA_DIRS", "/usr/local/share:/usr/share")) {
        sources.unitSearchPath.push_back(path::appending(folder, "systemd/user"));
    }
    for (const auto* folder :
         {"/usr/local/lib/systemd/user", "/usr/lib/systemd/user", "/lib/systemd/user"}) {
        sources.unitSearchPath.emplace_back(folder);
    }
    // systemd's own override of where units live (without a trailing ":", only there).
    if (const auto unitPath = platform::environmentVariable("SYSTEMD_UNIT_PATH");
        unitPath && !unitPath->empty() && !unitPath->ends_with(':')) {
        sources.systemUnits = list("SYSTEMD_UNIT_PATH", "");
        std::erase(sources.systemUnits, sources.userUnits);
        sources.unitSearchPath = {sources.userUnits};
        sources.unitSearchPath.insert(sources.unitSearchPath.end(), sources.systemUnits.begin(),
                                      sources.systemUnits.end());
    }
    return sources;
}

std::vector<StartupItem> StartupItems::startupItems() {
    return startupItems(StartupSources::current());
}

std::vector<StartupItem> StartupItems::startupItems(const StartupSources& sources) {
    auto items = readAgents(sources.userAgents, StartupKind::userAgent, true, false);
    for (auto& item : readAgents(sources.parked, StartupKind::userAgent, true, true)) {
        items.push_back(std::move(item));
    }
    for (auto& item : readAgents(sources.systemAgents, StartupKind::systemAgent, false, false)) {
        items.push_back(std::move(item));
    }
    for (auto& item : autostartEntries(sources)) {
        items.push_back(std::move(item));
    }
    for (auto& item : userUnits(sources)) {
        items.push_back(std::move(item));
    }
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::Collator> collator(
        icu::Collator::createInstance(icu::Locale::getDefault(), status));
    if (U_SUCCESS(status) && collator) {
        collator->setStrength(icu::Collator::SECONDARY);  // case-insensitive
        std::stable_sort(items.begin(), items.end(), [&](const auto& a, const auto& b) {
            UErrorCode compareStatus = U_ZERO_ERROR;
            return collator->compareUTF8(a.label, b.label, compareStatus) == UCOL_LESS;
        });
    }
    return items;
}

StartupItem StartupItems::setStartupItem(const StartupItem& item, bool enabled) {
    return setStartupItem(item, enabled, StartupSources::current(), platform::runCommand);
}

StartupItem StartupItems::setStartupItem(const StartupItem& item, bool enabled,
                                         const StartupSources& sources,
                                         const platform::CommandRunner& run) {
    if (!item.canToggle) {
        return item;
    }
    AppPaths::ensureSupportDirectory();
    switch (item.source) {
        case StartupSource::autostart:
            return setAutostartEntry(item, enabled, sources);
        case StartupSource::systemdUnit:
            return setUserUnit(item, enabled, sources, run);
        case StartupSource::launchAgent:
            break;
    }
    const auto parkedFolder = sources.parked;
    std::error_code error;
    std::filesystem::create_directories(parkedFolder, error);
    if (error) {
        throw FileSystemError::creatingFolder(parkedFolder, error);
    }
    const std::string name(path::lastComponent(item.path));
    const auto active = path::appending(sources.userAgents, name);
    const auto parked = path::appending(parkedFolder, name);
    auto result = item;
    if (enabled) {
        if (!FileTools::exists(parked) && !FileTools::isSymbolicLink(parked)) {
            return item;
        }
        removeIgnoringErrors(active);
        moveFile(parked, active);
        result.path = active;
        result.isEnabled = true;
    } else {
        if (!FileTools::exists(item.path) && !FileTools::isSymbolicLink(item.path)) {
            return item;
        }
        removeIgnoringErrors(parked);
        moveFile(item.path, parked);
        result.path = parked;
        result.isEnabled = false;
    }
    return result;
}

}  // namespace kelvane
