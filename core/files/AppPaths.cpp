#include "files/AppPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <system_error>

#include "platform/Environment.h"
#include "platform/FileSystem.h"
#include "platform/FileSystemError.h"
#include "platform/MoveError.h"
#include "platform/OpenFolder.h"
#include "platform/PathText.h"
#include "platform/SafeMove.h"
#include "platform/TreeCopy.h"

namespace kelvane::AppPaths {

std::string home() {
    return platform::homeDirectory();
}

std::string legacySupportDirectory() {
    return path::appending(home(), "Library/Application Support/Kelvane");
}

namespace {

std::string xdgConfigFolder() {
    return path::appending(platform::configHome(), supportFolderName);
}

std::string xdgDataFolder() {
    return path::appending(platform::dataHome(), supportFolderName);
}

bool exists(const std::string& p) {
    struct stat st {};
    return ::lstat(p.c_str(), &st) == 0;
}

// The legacy folder stays in use while it exists and has not been moved over.
bool usingLegacyFolder() {
    return !exists(xdgDataFolder()) && exists(legacySupportDirectory());
}

}  // namespace

std::string configDirectory() {
    return usingLegacyFolder() ? legacySupportDirectory() : xdgConfigFolder();
}

std::string supportDirectory() {
    return usingLegacyFolder() ? legacySupportDirectory() : xdgDataFolder();
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
    return path::appending(configDirectory(), "settings.json");
}

std::string historyFile() {
    return path::appending(supportDirectory(), "history.json");
}

std::string scheduleFile() {
    return path::appending(configDirectory(), "schedule.json");
}

namespace {

// Creates the folder and any missing parents with mode 0700 (as the XDG base-directory rules
// ask), and makes the folder itself private if it is not: the quarantine holds files moved out
// of private folders. Existing parents are left as they are.
void createPrivateFolder(const std::string& folder) {
    std::string partial;
    std::size_t start = 1;
    while (start <= folder.size()) {
        auto slash = folder.find('/', start);
        if (slash == std::string::npos) {
            slash = folder.size();
        }
        partial = folder.substr(0, slash);
        if (::mkdir(partial.c_str(), 0700) != 0 && errno != EEXIST) {
            throw FileSystemError::creatingFolder(partial, {errno, std::generic_category()});
        }
        start = slash + 1;
    }
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        throw FileSystemError::creatingFolder(folder,
                                              std::make_error_code(std::errc::not_a_directory));
    }
    if ((st.st_mode & 077) != 0 && st.st_uid == ::geteuid()) {
        ::chmod(folder.c_str(), st.st_mode & 0700);
    }
}

constexpr const char* migratingName = ".kelvane-migrating";
constexpr std::array<const char*, 4> configFiles{"settings.json", "settings.json.lock",
                                                 "schedule.json", "schedule.json.lock"};

// Moves one entry between two folders without replacing anything; across file systems by a
// copy under a temporary name that becomes the entry only when whole.
std::error_code moveEntry(const std::string& fromFolder, const std::string& name,
                          const std::string& toFolder, const std::string& toName) {
    std::error_code error;
    const auto from =
        platform::openFolderNoFollow(platform::resolveSymbolicLinks(fromFolder), error);
    if (!from) {
        return error;
    }
    const auto to = platform::openFolderNoFollow(platform::resolveSymbolicLinks(toFolder), error);
    if (!to) {
        return error;
    }
    error = platform::renameNoReplace(from.fd(), name, to.fd(), toName);
    if (error.value() != EXDEV || error.category() != std::generic_category()) {
        return error;
    }
    platform::removeTree(to.fd(), migratingName);  // a copy an earlier start left half done
    if ((error = platform::copyTree(from.fd(), name, to.fd(), migratingName))) {
        return error;
    }
    if ((error = platform::renameNoReplace(to.fd(), migratingName, to.fd(), toName))) {
        platform::removeTree(to.fd(), migratingName);
        return error;
    }
    platform::removeTree(from.fd(), name);  // the copy is in place; the old one may go
    return {};
}

// Settings and schedule go from the support folder to the configuration folder; also finishes
// a move an earlier start did not complete.
void moveConfigurationFiles() {
    const auto data = xdgDataFolder();
    const auto config = xdgConfigFolder();
    for (const auto* name : configFiles) {
        if (!exists(path::appending(data, name)) || exists(path::appending(config, name))) {
            continue;
        }
        try {
            createPrivateFolder(config);
        } catch (const std::exception&) {
            return;  // the files stay readable where they are until the next start
        }
        moveEntry(data, name, config, name);
    }
}

}  // namespace

std::optional<std::string> migrateLegacyFolder() {
    const auto legacy = legacySupportDirectory();
    const auto data = xdgDataFolder();
    if (exists(legacy) && !exists(data)) {
        try {
            createPrivateFolder(path::deletingLastComponent(data));
        } catch (const std::exception& error) {
            return "Kelvane's folder could not be moved to " + data + ". " + error.what() +
                   " Kelvane goes on using " + legacy + ".";
        }
        if (const auto error =
                moveEntry(path::deletingLastComponent(legacy), "Kelvane",
                          path::deletingLastComponent(data), std::string(supportFolderName))) {
            return "Kelvane's folder could not be moved to " + data + " (" +
                   platform::moveErrorReason(error) + "). Kelvane goes on using " + legacy + ".";
        }
        // The folders the old layout made, when nothing else lives in them.
        ::rmdir(path::deletingLastComponent(legacy).c_str());
        ::rmdir(path::appending(home(), "Library").c_str());
    }
    if (exists(data)) {
        try {
            createPrivateFolder(data);  // a moved old folder may have been readable by others
        } catch (const std::exception&) {
        }
        moveConfigurationFiles();
    }
    return std::nullopt;
}

void ensureSupportDirectory() {
    createPrivateFolder(configDirectory());
    createPrivateFolder(supportDirectory());
    createPrivateFolder(quarantineDirectory());
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
