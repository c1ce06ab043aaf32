#include "files/AppPaths.h"

#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/Environment.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"

namespace kelvane::AppPaths {

std::string home() {
    return platform::homeDirectory();
}

std::string supportDirectory() {
    return path::appending(path::appending(home(), "Library/Application Support"),
                           supportFolderName);
}

std::string quarantineDirectory() {
    return path::appending(supportDirectory(), "Quarantine");
}

std::string quarantineIndexFile() {
    return path::appending(quarantineDirectory(), "index.json");
}

std::string disabledAgentsDirectory() {
    return path::appending(supportDirectory(), "Disabled Launch Agents");
}

std::string settingsFile() {
    return path::appending(supportDirectory(), "settings.json");
}

std::string historyFile() {
    return path::appending(supportDirectory(), "history.json");
}

std::string scheduleFile() {
    return path::appending(supportDirectory(), "schedule.json");
}

namespace {

void createFolder(const std::string& folder) {
    std::error_code error;
    std::filesystem::create_directories(folder, error);
    if (error) {
        throw FileSystemError::creatingFolder(folder, error);
    }
    // create_directories is content with an existing file of that name; a folder is needed.
    if (!std::filesystem::is_directory(folder, error)) {
        throw FileSystemError::creatingFolder(folder,
                                              std::make_error_code(std::errc::not_a_directory));
    }
}

}  // namespace

void ensureSupportDirectory() {
    createFolder(supportDirectory());
    createFolder(quarantineDirectory());
}

std::string expand(std::string_view text) {
    const std::string homePath = home();
    std::string result(text);
    path::replaceAll(result, "$HOME", homePath);
    path::replaceAll(result, "${HOME}", homePath);

    if (!result.empty() && result.front() == '~') {
        const auto slash = result.find('/');
        const auto user = std::string_view(result).substr(
            1, slash == std::string::npos ? std::string::npos : slash - 1);
        const std::string rest = slash == std::string::npos ? std::string{} : result.substr(slash);
        if (user.empty()) {
            result = homePath + rest;
        } else if (auto other = platform::homeDirectoryOf(user)) {
            result = *other + rest;
        }
    }

    if (result.find("$TMPDIR") != std::string::npos) {
        if (auto tmp = platform::environmentVariable("TMPDIR")) {
            path::replaceAll(result, "$TMPDIR", *tmp);
        }
    }
    return path::standardize(result);
}

}  // namespace kelvane::AppPaths
