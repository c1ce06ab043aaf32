#include "platform/Environment.h"

#include <limits.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace kelvane::platform {

namespace {

std::string withoutTrailingSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    return path;
}

std::optional<std::string> passwordEntryHome(bool byName, std::string_view userName) {
    long suggested = sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
    passwd entry{};
    passwd* found = nullptr;
    const std::string name(userName);
    for (;;) {
        const int rc = byName
                           ? getpwnam_r(name.c_str(), &entry, buffer.data(), buffer.size(), &found)
                           : getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found);
        if (rc == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (rc != 0 || found == nullptr || found->pw_dir == nullptr) {
            return std::nullopt;
        }
        return withoutTrailingSlash(found->pw_dir);
    }
}

}  // namespace

std::optional<std::string> environmentVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr) {
        return std::nullopt;
    }
    return std::string(value);
}

std::string homeDirectory() {
    if (auto home = environmentVariable("HOME"); home && !home->empty() && home->front() == '/') {
        return withoutTrailingSlash(*home);
    }
    if (auto home = passwordEntryHome(false, {})) {
        return *home;
    }
    return "/";
}

std::optional<std::string> homeDirectoryOf(std::string_view userName) {
    if (userName.empty()) {
        return std::nullopt;
    }
    return passwordEntryHome(true, userName);
}

namespace {

std::string xdgFolder(const char* variable, const char* fallback) {
    if (const char* value = std::getenv(variable); value != nullptr && value[0] == '/') {
        return withoutTrailingSlash(value);
    }
    const auto home = homeDirectory();
    return (home == "/" ? std::string() : home) + "/" + fallback;
}

}  // namespace

std::string configHome() {
    return xdgFolder("XDG_CONFIG_HOME", ".config");
}

std::string dataHome() {
    return xdgFolder("XDG_DATA_HOME", ".local/share");
}

std::string temporaryDirectory() {
    // An empty or relative value would name the working folder (often the home folder).
    if (auto tmp = environmentVariable("TMPDIR"); tmp && !tmp->empty() && tmp->front() == '/') {
        return withoutTrailingSlash(*tmp);
    }
    return "/tmp";
}

std::string cacheHome() {
    return xdgFolder("XDG_CACHE_HOME", ".cache");
}

std::string stateHome() {
    return xdgFolder("XDG_STATE_HOME", ".local/state");
}

std::string currentDirectory() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        if (getcwd(buffer.data(), buffer.size()) != nullptr) {
            return buffer.data();
        }
        if (errno != ERANGE || buffer.size() > (1u << 20)) {
            return "/";
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::string executablePath() {
    std::vector<char> buffer(PATH_MAX);
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) {
            return {};
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            return std::string(buffer.data(), static_cast<std::size_t>(n));
        }
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace kelvane::platform
