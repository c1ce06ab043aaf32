#include "platform/OpenFolder.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string_view>

namespace kelvane::platform {

namespace {

constexpr int folderFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

std::error_code lastError() {
    return {errno, std::generic_category()};
}

// openat2 when the kernel has it: one call, no link anywhere on the way. -1 with errno ENOSYS
// (or EINVAL for an older kernel's stricter checks) asks for the component walk instead.
int openWithoutLinks(const std::string& absolutePath) {
#ifdef SYS_openat2
    open_how how{};
    how.flags = static_cast<std::uint64_t>(folderFlags);
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const long fd = ::syscall(SYS_openat2, AT_FDCWD, absolutePath.c_str(), &how, sizeof how);
        if (fd >= 0) {
            return static_cast<int>(fd);
        }
        if (errno != EAGAIN && errno != EINTR) {
            break;
        }
    }
    return -1;
#else
    errno = ENOSYS;
    return -1;
#endif
}

// Walks the path one component at a time, each opened with O_NOFOLLOW relative to the one
// before; creates a missing component first when `create` is set.
int walk(const std::string& absolutePath, bool create, mode_t mode, std::error_code& error) {
    int fd = ::open("/", folderFlags);
    if (fd < 0) {
        error = lastError();
        return -1;
    }
    std::size_t start = 0;
    while (start < absolutePath.size()) {
        auto slash = absolutePath.find('/', start);
        if (slash == std::string::npos) {
            slash = absolutePath.size();
        }
        if (slash > start) {
            const auto part = absolutePath.substr(start, slash - start);
            if (part == "..") {
                ::close(fd);
                error = std::make_error_code(std::errc::invalid_argument);
                return -1;
            }
            int next = ::openat(fd, part.c_str(), folderFlags);
            if (next < 0 && errno == ENOENT && create) {
                if (::mkdirat(fd, part.c_str(), mode) != 0 && errno != EEXIST) {
                    error = lastError();
                    ::close(fd);
                    return -1;
                }
                next = ::openat(fd, part.c_str(), folderFlags);
            }
            if (next < 0) {
                error = lastError();
                ::close(fd);
                return -1;
            }
            ::close(fd);
            fd = next;
        }
        start = slash + 1;
    }
    return fd;
}

}  // namespace

FolderHandle& FolderHandle::operator=(FolderHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

FolderHandle::~FolderHandle() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::optional<FileIdentity> FolderHandle::identity() const {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) {
        return std::nullopt;
    }
    return FileIdentity{st.st_dev, st.st_ino};
}

FolderHandle openFolderNoFollow(const std::string& absolutePath, std::error_code& error) {
    error.clear();
    if (absolutePath.empty() || absolutePath.front() != '/') {
        error = std::make_error_code(std::errc::invalid_argument);
        return {};
    }
    const int fd = openWithoutLinks(absolutePath);
    if (fd >= 0) {
        return FolderHandle(fd);
    }
    if (errno != ENOSYS && errno != EINVAL && errno != EPERM && errno != EAGAIN) {
        error = lastError();
        return {};
    }
    // EPERM: a seccomp filter that refuses openat2; the walk gives the same guarantee.
    return FolderHandle(walk(absolutePath, false, 0, error));
}

FolderHandle openOrCreateFolderNoFollow(const std::string& absolutePath, mode_t mode,
                                        std::error_code& error) {
    error.clear();
    if (absolutePath.empty() || absolutePath.front() != '/') {
        error = std::make_error_code(std::errc::invalid_argument);
        return {};
    }
    auto existing = openFolderNoFollow(absolutePath, error);
    if (existing || error.value() != ENOENT) {
        return existing;
    }
    error.clear();
    return FolderHandle(walk(absolutePath, true, mode, error));
}

std::optional<FileIdentity> identityAt(int folder, const std::string& name) {
    struct stat st {};
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return std::nullopt;
    }
    return FileIdentity{st.st_dev, st.st_ino};
}

bool existsAt(int folder, const std::string& name) {
    return identityAt(folder, name).has_value();
}

std::optional<std::string> pathOfOpenFolder(int fd) {
    const auto link = "/proc/self/fd/" + std::to_string(fd);
    std::string target(4096, '\0');
    for (;;) {
        const ssize_t n = ::readlink(link.c_str(), target.data(), target.size());
        if (n < 0) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(n) < target.size()) {
            target.resize(static_cast<std::size_t>(n));
            break;
        }
        target.resize(target.size() * 2);
    }
    // A removed folder is named "<old path> (deleted)"; anything not absolute is no place.
    constexpr std::string_view deleted = " (deleted)";
    if (target.empty() || target.front() != '/' ||
        (target.size() > deleted.size() &&
         std::string_view(target).substr(target.size() - deleted.size()) == deleted &&
         ::access(target.c_str(), F_OK) != 0)) {
        return std::nullopt;
    }
    return target;
}

}  // namespace kelvane::platform
