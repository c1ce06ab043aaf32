#include "platform/SafeMove.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace kelvane::platform {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

std::error_code copyFileAt(int from, const std::string& name, const struct stat& st, int to,
                           const std::string& toName) {
    const int in = ::openat(from, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    if (in < 0) {
        return lastError();
    }
    const int out = ::openat(to, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (out < 0) {
        const auto error = lastError();
        ::close(in);
        return error;
    }
    std::error_code error;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            error = lastError();
            break;
        }
        if (n == 0) {
            break;
        }
        for (ssize_t done = 0; done < n;) {
            const ssize_t w =
                ::write(out, buffer.data() + done, static_cast<std::size_t>(n - done));
            if (w < 0) {
                if (errno == EINTR) {
                    continue;
                }
                error = lastError();
                break;
            }
            done += w;
        }
        if (error) {
            break;
        }
    }
    if (!error && ::fchmod(out, st.st_mode & 07777) != 0) {
        error = lastError();
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (!error && ::futimens(out, times) != 0) {
        error = lastError();
    }
    if (!error && ::fsync(out) != 0) {
        error = lastError();
    }
    ::close(in);
    if (::close(out) != 0 && !error) {
        error = lastError();
    }
    if (error) {
        ::unlinkat(to, toName.c_str(), 0);
    }
    return error;
}

std::error_code copyAt(int from, const std::string& name, int to, const std::string& toName) {
    struct stat st {};
    if (::fstatat(from, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return lastError();
    }
    if (S_ISLNK(st.st_mode)) {
        std::vector<char> target(static_cast<std::size_t>(st.st_size) + 2);
        const ssize_t n = ::readlinkat(from, name.c_str(), target.data(), target.size());
        if (n < 0) {
            return lastError();
        }
        const std::string link(target.data(), static_cast<std::size_t>(n));
        if (::symlinkat(link.c_str(), to, toName.c_str()) != 0) {
            return lastError();
        }
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::utimensat(to, toName.c_str(), times, AT_SYMLINK_NOFOLLOW);
        return {};
    }
    if (S_ISREG(st.st_mode)) {
        return copyFileAt(from, name, st, to, toName);
    }
    if (!S_ISDIR(st.st_mode)) {
        return std::make_error_code(std::errc::operation_not_supported);
    }
    const int source =
        ::openat(from, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (source < 0) {
        return lastError();
    }
    DIR* dir = ::fdopendir(source);
    if (dir == nullptr) {
        const auto error = lastError();
        ::close(source);
        return error;
    }
    std::error_code error;
    if (::mkdirat(to, toName.c_str(), 0700) != 0) {
        error = lastError();
    }
    int target = -1;
    if (!error) {
        target = ::openat(to, toName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (target < 0) {
            error = lastError();
        }
    }
    while (!error) {
        errno = 0;
        dirent* entry = ::readdir(dir);
        if (entry == nullptr) {
            if (errno != 0) {
                error = lastError();
            }
            break;
        }
        const char* child = entry->d_name;
        if (std::strcmp(child, ".") == 0 || std::strcmp(child, "..") == 0) {
            continue;
        }
        error = copyAt(dirfd(dir), child, target, child);
    }
    if (!error) {
        if (::fchmod(target, st.st_mode & 07777) != 0) {
            error = lastError();
        }
        const timespec times[2] = {st.st_atim, st.st_mtim};
        ::futimens(target, times);
    }
    if (target >= 0) {
        ::close(target);
    }
    ::closedir(dir);
    return error;
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

FolderHandle openFolderNoFollow(const std::string& absolutePath, std::error_code& error) {
    error.clear();
    int fd = ::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        error = lastError();
        return {};
    }
    std::size_t start = 0;
    while (start < absolutePath.size()) {
        auto slash = absolutePath.find('/', start);
        if (slash == std::string::npos) {
            slash = absolutePath.size();
        }
        if (slash > start) {
            const auto part = absolutePath.substr(start, slash - start);
            const int next =
                ::openat(fd, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (next < 0) {
                error = lastError();
                ::close(fd);
                return {};
            }
            ::close(fd);
            fd = next;
        }
        start = slash + 1;
    }
    return FolderHandle(fd);
}

std::error_code moveAt(int from, const std::string& name, int to, const std::string& toName,
                       const std::function<void()>& onCopied) {
    if (::renameat(from, name.c_str(), to, toName.c_str()) == 0) {
        return {};
    }
    if (errno != EXDEV) {
        return lastError();
    }
    if (auto error = copyAt(from, name, to, toName)) {
        removeAt(to, toName);  // a partial copy is of no use to anyone
        return error;
    }
    if (onCopied) {
        onCopied();
    }
    return removeAt(from, name);
}

std::error_code removeAt(int folder, const std::string& name) {
    if (::unlinkat(folder, name.c_str(), 0) == 0) {
        return {};
    }
    if (errno != EISDIR && errno != EPERM) {
        return lastError();
    }
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return lastError();
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const auto error = lastError();
        ::close(fd);
        return error;
    }
    std::error_code error;
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    for (const auto& child : names) {
        if (auto childError = removeAt(dirfd(dir), child); childError && !error) {
            error = childError;
        }
    }
    ::closedir(dir);
    if (!error && ::unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0) {
        error = lastError();
    }
    return error;
}

std::string moveErrorReason(std::error_code error) {
    if (error.value() == ELOOP || error.value() == ENOTDIR) {
        return "a folder on its way is no longer a folder; it may have become a symbolic link";
    }
    auto text = error.message();
    if (!text.empty()) {
        text[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(text[0])));
    }
    return text;
}

}  // namespace kelvane::platform
