#include "TempTree.h"

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace kelvane::fixture {

void setAge(const std::string& full, double days);

TempTree::TempTree(const std::string& parent) {
    std::string base = parent.empty() ? std::string(std::getenv("HOME")) : parent;
    std::string pattern = base + "/tree-XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) {
        throw std::runtime_error("mkdtemp failed");
    }
    root_ = pattern;
}

TempTree::~TempTree() {
    removeTree(root_);
}

std::string TempTree::path(const std::string& relative) const {
    return relative.empty() ? root_ : root_ + "/" + relative;
}

std::string TempTree::file(const std::string& relative, std::size_t bytes,
                           std::optional<double> daysOld) {
    const auto full = path(relative);
    writeFile(full, bytes, daysOld);
    return full;
}

void TempTree::writeFile(const std::string& full, std::size_t bytes,
                         std::optional<double> daysOld) {
    fs::create_directories(fs::path(full).parent_path());
    std::ofstream out(full, std::ios::binary | std::ios::trunc);
    std::vector<char> chunk(65536);
    for (std::size_t i = 0; i < chunk.size(); ++i) {
        chunk[i] = static_cast<char>('a' + (i * 7 + full.size()) % 26);
    }
    std::size_t left = bytes;
    while (left > 0) {
        const auto n = std::min(left, chunk.size());
        out.write(chunk.data(), static_cast<std::streamsize>(n));
        left -= n;
    }
    out.close();
    if (daysOld) {
        setAge(full, *daysOld);
    }
}

std::string TempTree::folder(const std::string& relative) {
    const auto full = path(relative);
    fs::create_directories(full);
    return full;
}

std::string TempTree::link(const std::string& relative, const std::string& target) {
    const auto full = path(relative);
    fs::create_directories(fs::path(full).parent_path());
    if (::symlink(target.c_str(), full.c_str()) != 0) {
        throw std::runtime_error("symlink failed: " + full);
    }
    return full;
}

std::string TempTree::hardlink(const std::string& relative, const std::string& existingRelative) {
    const auto full = path(relative);
    fs::create_directories(fs::path(full).parent_path());
    fs::create_hard_link(path(existingRelative), full);
    return full;
}

std::string TempTree::package(const std::string& relative, std::size_t bytes) {
    file(relative + "/Contents/Info.bin", bytes);
    return path(relative);
}

void TempTree::age(const std::string& relative, double days) {
    setAge(path(relative), days);
}

void setAge(const std::string& full, double days) {
    const auto seconds = static_cast<double>(std::time(nullptr)) - days * 86400.0;
    timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(std::floor(seconds));
    times[0].tv_nsec = times[1].tv_nsec = 0;
    ::utimensat(AT_FDCWD, full.c_str(), times, AT_SYMLINK_NOFOLLOW);
}

void TempTree::chmod(const std::string& relative, unsigned mode) {
    ::chmod(path(relative).c_str(), static_cast<mode_t>(mode));
}

namespace {

constexpr const char* homeVariables[] = {
    "HOME",           "XDG_CONFIG_HOME", "XDG_DATA_HOME",    "XDG_CACHE_HOME",
    "XDG_STATE_HOME", "XDG_CONFIG_DIRS", "SYSTEMD_UNIT_PATH"};

}  // namespace

void ScopedHome::set(const std::string& home) {
    ::setenv("HOME", home.c_str(), 1);
    ::setenv("XDG_CONFIG_HOME", (home + "/.config").c_str(), 1);
    ::setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    ::setenv("XDG_CACHE_HOME", (home + "/.cache").c_str(), 1);
    ::setenv("XDG_STATE_HOME", (home + "/.local/state").c_str(), 1);
    // The machine-wide folders too, so that nothing of this machine's own setup is read.
    ::setenv("XDG_CONFIG_DIRS", (home + "/machine/etc/xdg").c_str(), 1);
    ::setenv("SYSTEMD_UNIT_PATH", (home + "/machine/etc/systemd/user").c_str(), 1);
}

ScopedHome::ScopedHome(const std::string& home) {
    for (const auto* name : homeVariables) {
        const char* value = std::getenv(name);
        saved_.emplace_back(name, value ? std::optional<std::string>(value) : std::nullopt);
    }
    set(home);
}

ScopedHome::~ScopedHome() {
    for (const auto& [name, value] : saved_) {
        value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    }
}

void removeTree(const std::string& root) {
    std::error_code error;
    if (!fs::exists(fs::symlink_status(root, error))) {
        return;
    }
    // Folders a test made unreadable must be opened up before they can be removed.
    ::chmod(root.c_str(), 0700);
    for (auto it = fs::recursive_directory_iterator(
             root, fs::directory_options::skip_permission_denied, error);
         !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
        if (it->is_directory(error) && !it->is_symlink(error)) {
            ::chmod(it->path().c_str(), 0700);
        }
    }
    fs::remove_all(root, error);
    if (error && fs::exists(fs::symlink_status(root, error))) {
        // Paths past PATH_MAX defeat remove_all; rm works relative to open folders. The root is
        // a mkdtemp path of ours, so it needs no quoting beyond the single quotes.
        const auto command = "rm -rf -- '" + root + "'";
        (void)!std::system(command.c_str());
    }
}

void openUpForOthers(const std::string& path) {
    // Every folder from the home folder down must be searchable by others.
    std::string home = std::getenv("HOME");
    fs::path current = path;
    while (true) {
        ::chmod(current.c_str(), 0755);
        if (current.string() == home || current == current.root_path() ||
            current.string().size() <= home.size()) {
            break;
        }
        current = current.parent_path();
    }
    ::chmod(home.c_str(), 0755);
}

int inTwoProcesses(const std::function<void(bool inChild)>& work) {
    const pid_t child = ::fork();
    if (child < 0) {
        throw std::runtime_error("fork failed");
    }
    if (child == 0) {
        try {
            work(true);
        } catch (...) {
            ::_exit(1);
        }
        ::_exit(0);
    }
    std::exception_ptr failure;
    try {
        work(false);
    } catch (...) {
        failure = std::current_exception();
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    if (failure) {
        std::rethrow_exception(failure);
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128;
}

std::optional<std::int64_t> runUnprivileged(const std::function<std::int64_t()>& work) {
    if (::geteuid() != 0) {
        return work();
    }
    int fds[2];
    if (::pipe(fds) != 0) {
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return std::nullopt;
    }
    if (child == 0) {
        ::close(fds[0]);
        std::int64_t result = -1;
        bool dropped = ::setgroups(0, nullptr) == 0 && ::setresgid(65534, 65534, 65534) == 0 &&
                       ::setresuid(65534, 65534, 65534) == 0;
        if (dropped) {
            try {
                result = work();
            } catch (...) {
                result = -1;  // the copy must never unwind into the test
            }
        }
        const char ok = dropped ? 1 : 0;
        (void)!::write(fds[1], &ok, 1);
        (void)!::write(fds[1], &result, sizeof result);
        ::_exit(0);
    }
    ::close(fds[1]);
    char ok = 0;
    std::int64_t result = 0;
    const bool read =
        ::read(fds[0], &ok, 1) == 1 && ::read(fds[0], &result, sizeof result) == sizeof result;
    ::close(fds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!read || !ok) {
        return std::nullopt;
    }
    return result;
}

}  // namespace kelvane::fixture
