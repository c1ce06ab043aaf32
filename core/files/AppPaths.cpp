#include "files/AppPaths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <filesystem>
#include <map>
#include <system_error>

#include "platform/Environment.h"
#include "platform/FileIO.h"
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

namespace {

constexpr std::array<std::pair<const char*, const char*>, 8> userFolderDefaults{{
    {"XDG_DESKTOP_DIR", "Desktop"},
    {"XDG_DOCUMENTS_DIR", "Documents"},
    {"XDG_DOWNLOAD_DIR", "Downloads"},
    {"XDG_MUSIC_DIR", "Music"},
    {"XDG_PICTURES_DIR", "Pictures"},
    {"XDG_PUBLICSHARE_DIR", "Public"},
    {"XDG_TEMPLATES_DIR", "Templates"},
    {"XDG_VIDEOS_DIR", "Videos"},
}};

// ~/.config/user-dirs.dirs: lines KEY="$HOME/…" or KEY="/absolute"; anything else is ignored,
// as xdg-user-dirs does.
std::map<std::string, std::string> readUserDirs(const std::string& homePath) {
    std::map<std::string, std::string> found;
    std::string text;
    try {
        text = platform::readFile(path::appending(platform::configHome(), "user-dirs.dirs"),
                                  64 * 1024);
    } catch (const std::exception&) {
        return found;
    }
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos) {
            end = text.size();
        }
        const std::string_view line(text.data() + start, end - start);
        start = end + 1;
        const auto equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos) {
            continue;
        }
        const std::string key(line.substr(0, equals));
        auto value = line.substr(equals + 1);
        if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
            continue;
        }
        value = value.substr(1, value.size() - 2);
        std::string folder;
        if (value.starts_with("$HOME")) {
            folder = homePath + std::string(value.substr(5));
        } else if (value.starts_with("/")) {
            folder = std::string(value);
        } else {
            continue;
        }
        found[key] = path::standardize(folder);
    }
    return found;
}

// Every variable a rule or ignore entry may name, each with its value.
std::vector<std::pair<std::string, std::string>> variables(const std::string& homePath) {
    std::vector<std::pair<std::string, std::string>> values{
        {"XDG_CACHE_HOME", platform::cacheHome()},  {"XDG_CONFIG_HOME", platform::configHome()},
        {"XDG_DATA_HOME", platform::dataHome()},    {"XDG_STATE_HOME", platform::stateHome()},
        {"TMPDIR", platform::temporaryDirectory()},
    };
    const auto named = readUserDirs(homePath);
    for (const auto& [key, fallback] : userFolderDefaults) {
        const auto it = named.find(key);
        values.emplace_back(key,
                            it != named.end() ? it->second : path::appending(homePath, fallback));
    }
    values.emplace_back("HOME", homePath);
    return values;
}

std::string substitute(std::string_view text) {
    const std::string homePath = home();
    std::string result(text);
    for (const auto& [name, value] : variables(homePath)) {
        path::replaceAll(result, "${" + name + "}", value);
        path::replaceAll(result, "$" + name, value);
    }
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
    return result;
}

}  // namespace

std::string expand(std::string_view text) {
    return path::standardize(substitute(text));
}

std::optional<std::string> expandAbsolute(std::string_view text) {
    const auto result = substitute(text);
    if (result.empty() || result.front() != '/') {
        return std::nullopt;
    }
    return path::standardize(result);
}

std::vector<std::pair<std::string, std::string>> userFolders() {
    const auto homePath = home();
    const auto named = readUserDirs(homePath);
    std::vector<std::pair<std::string, std::string>> folders;
    for (const auto& [key, fallback] : userFolderDefaults) {
        const auto it = named.find(key);
        auto folder = it != named.end() ? it->second : path::appending(homePath, fallback);
        if (folder != homePath) {
            folders.emplace_back(key, std::move(folder));
        }
    }
    return folders;
}

}  // namespace kelvane::AppPaths
