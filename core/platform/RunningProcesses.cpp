#include "platform/RunningProcesses.h"

#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <fstream>
#include <sstream>

#include "platform/DirectoryWalker.h"
#include "platform/FileSystem.h"

namespace kelvane::platform {

namespace {

bool inside(const std::string& path, const std::string& folder) {
    return path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
           path[folder.size()] == '/';
}

}  // namespace

std::vector<pid_t> processesInside(const std::string& bundlePath) {
    std::vector<pid_t> found;
    const auto bundle = resolveSymbolicLinks(bundlePath);
    for (const auto& name : listDirectory("/proc").value_or(std::vector<std::string>{})) {
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        char target[4096];
        const auto link = "/proc/" + name + "/exe";
        const ssize_t n = ::readlink(link.c_str(), target, sizeof target - 1);
        if (n <= 0) {
            continue;  // another user's process, or a kernel thread
        }
        const std::string executable(target, static_cast<std::size_t>(n));
        if (inside(executable, bundle) && !hasTerminated(std::stoi(name))) {
            found.push_back(static_cast<pid_t>(std::stoi(name)));
        }
    }
    return found;
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
