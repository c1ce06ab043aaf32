#include "files/AppPaths.h"

#include <sys/stat.h>
#include <unistd.h>

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

// Creates the folder and any missing parents, all private to the user (0700), and makes an
// existing one private too: the quarantine holds files moved out of private folders.
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

}  // namespace

void ensureSupportDirectory() {
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
