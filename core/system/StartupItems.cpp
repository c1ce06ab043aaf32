#include <unicode/coll.h>

#include <algorithm>
#include <filesystem>
#include <memory>

#include "files/AppPaths.h"
#include "files/FileTools.h"
#include "platform/DirectoryWalker.h"
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

std::vector<StartupItem> StartupItems::startupItems() {
    auto items = readAgents(userAgentsFolder(), StartupKind::userAgent, true, false);
    for (auto& item :
         readAgents(AppPaths::disabledAgentsDirectory(), StartupKind::userAgent, true, true)) {
        items.push_back(std::move(item));
    }
    for (auto& item : readAgents(systemAgentsFolder, StartupKind::systemAgent, false, false)) {
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
    if (!item.canToggle) {
        return item;
    }
    AppPaths::ensureSupportDirectory();
    const auto parkedFolder = AppPaths::disabledAgentsDirectory();
    std::error_code error;
    std::filesystem::create_directories(parkedFolder, error);
    if (error) {
        throw FileSystemError::creatingFolder(parkedFolder, error);
    }
    const std::string name(path::lastComponent(item.path));
    const auto active = path::appending(userAgentsFolder(), name);
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
