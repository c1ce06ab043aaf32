#include "platform/RunningProcesses.h"

#include <glib.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <optional>
#include <sstream>

#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystem.h"

namespace kelvane::platform {

namespace {

bool inside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

// The live processes of this user for which `matches(pid)` holds.
template <class Matches>
std::vector<pid_t> processesWhere(Matches matches) {
    std::vector<pid_t> found;
    for (const auto& name : listDirectory("/proc").value_or(std::vector<std::string>{})) {
        if (name.empty() || name.size() > 9 ||
            name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        const auto pid = static_cast<pid_t>(std::stoi(name));
        if (matches(name) && !hasTerminated(pid)) {
            found.push_back(pid);
        }
    }
    return found;
}

// A small file of /proc, or nothing when it is not ours to read.
std::optional<std::string> procFile(const std::string& path) {
    try {
        return readFile(path, 1u << 20);
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

}  // namespace

std::vector<pid_t> processesOfAppImage(const std::string& file) {
    const auto wanted = "APPIMAGE=" + file;
    return processesWhere([&](const std::string& pid) {
        const auto environment = procFile("/proc/" + pid + "/environ");
        if (!environment) {
            return false;
        }
        std::string_view rest(*environment);
        while (!rest.empty()) {
            const auto end = rest.find('\0');
            if (rest.substr(0, end) == wanted) {
                return true;
            }
            rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
        }
        return false;
    });
}

std::vector<pid_t> processesOfFlatpak(const std::string& applicationID) {
    return processesWhere([&](const std::string& pid) {
        const auto info = procFile("/proc/" + pid + "/root/.flatpak-info");
        if (!info) {
            return false;
        }
        // A key file; the [Application] group's name is the ID.
        GKeyFile* file = g_key_file_new();
        gchar* name = nullptr;
        if (g_key_file_load_from_data(file, info->data(), info->size(), G_KEY_FILE_NONE, nullptr)) {
            name = g_key_file_get_string(file, "Application", "name", nullptr);
        }
        const bool matches = name != nullptr && applicationID == name;
        g_free(name);
        g_key_file_free(file);
        return matches;
    });
}

std::vector<pid_t> processesInside(const std::string& bundlePath) {
    const auto bundle = resolveSymbolicLinks(bundlePath);
    return processesWhere([&](const std::string& pid) {
        char target[4096];
        const auto link = "/proc/" + pid + "/exe";
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) {
            return false;  // another user's process, or a kernel thread
        }
        const std::string executable(target, static_cast<std::size_t>(n));
        return executable == bundle || inside(executable, bundle);
    });
}

bool requestQuit(pid_t pid) {
    return ::kill(pid, SIGTERM) == 0;
}

bool hasTerminated(pid_t pid) {
    if (::kill(pid, 0) != 0 && errno == ESRCH) {
        return true;
    }
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string line;
    if (!std::getline(stat, line)) {
        return true;
    }
    // The state follows the command name, which is in parentheses and may hold spaces.
    const auto close = line.rfind(')');
    return close != std::string::npos && close + 2 < line.size() &&
           (line[close + 2] == 'Z' || line[close + 2] == 'X');
}

}  // namespace kelvane::platform
