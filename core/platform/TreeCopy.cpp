#include "platform/TreeCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/MoveError.h"

namespace kelvane::platform {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

struct Descriptor {
    int fd = -1;
    explicit Descriptor(int f) : fd(f) {}
    ~Descriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
};

struct CopyContext {
    dev_t device = 0;     // the item's file system; nothing mounted inside it is entered
    int targetRoot = -1;  // the folder the copy is made in
    uid_t euid = 0;
    // Files met with several names: the first copy's path below targetRoot, so the other names
    // become hard links to it as in the source.
    std::map<std::pair<dev_t, ino_t>, std::string> linked;
};

// Immutable or append-only entries cannot be removed (nor can the entries of such a folder).
std::error_code checkFlags(int fd) {
    int flags = 0;
    if (::ioctl(fd, FS_IOC_GETFLAGS, &flags) != 0) {
        return {};  // a file system without these flags has none set
    }
    if ((flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0) {
        return make_error_code(MoveError::protectedByFlags);
    }
    return {};
}

// Whether `child` (with `childStat`) could be unlinked from the folder `folderFd`.
std::error_code checkUnlinkable(int folderFd, const struct stat& folderStat,
                                const struct stat& childStat, uid_t euid) {
    if (::faccessat(folderFd, ".", W_OK | X_OK, AT_EACCESS) != 0) {
        // A read-only folder of one's own (Go's module cache has them) is opened up by
        // removeTree; anyone else's, or a read-only file system, stops the move.
        const bool ownReadOnly = errno == EACCES && folderStat.st_uid == euid;
        if (!ownReadOnly) {
            return errno == EACCES || errno == EROFS ? make_error_code(MoveError::folderNotWritable)
                                                     : lastError();
        }
    }
    if ((folderStat.st_mode & S_ISVTX) != 0 && euid != 0 && childStat.st_uid != euid &&
        folderStat.st_uid != euid) {
        return make_error_code(MoveError::folderNotWritable);
    }
    return {};
}

std::error_code copyExtendedAttributes(int in, int out) {
    ssize_t size = ::flistxattr(in, nullptr, 0);
    if (size <= 0) {
        return {};  // none, or a file system without them
    }
    std::vector<char> names(static_cast<std::size_t>(size));
    size = ::flistxattr(in, names.data(), names.size());
    if (size < 0) {
        return lastError();
    }
    std::vector<char> value;
    for (std::size_t at = 0; at < static_cast<std::size_t>(size);) {
        const char* name = names.data() + at;
        at += std::strlen(name) + 1;
        const ssize_t length = ::fgetxattr(in, name, nullptr, 0);
        if (length < 0) {
            continue;  // removed meanwhile
        }
        value.resize(static_cast<std::size_t>(length));
        const ssize_t got = ::fgetxattr(in, name, value.data(), value.size());
        if (got < 0) {
            continue;
        }
        if (::fsetxattr(out, name, value.data(), static_cast<std::size_t>(got), 0) != 0) {
            // The user's own attributes and access lists belong to the item; security labels
            // and trusted attributes are the target's policy and may be refused there.
            const std::string_view n(name);
            if (n.starts_with("user.") || n.starts_with("system.posix_acl")) {
                return lastError();
            }
        }
    }
    return {};
}

// Ownership (where this process may set it), mode and times, in that order: a change of owner
// clears set-id bits, so the mode comes after it.
std::error_code finishAttributes(int out, const struct stat& st) {
    if (::fchown(out, st.st_uid, st.st_gid) != 0 && errno != EPERM && errno != EINVAL) {
        return lastError();
    }
    if (::fchmod(out, st.st_mode & 07777) != 0) {
        return lastError();
    }
    const timespec times[2] = {st.st_atim, st.st_mtim};
    if (::futimens(out, times) != 0) {
        return lastError();
    }
    return {};
}

std::error_code writeAll(int out, const char* data, std::size_t size, off_t offset) {
    while (size > 0) {
        const ssize_t w = ::pwrite(out, data, size, offset);
        if (w < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        data += w;
        size -= static_cast<std::size_t>(w);
        offset += w;
    }
    return {};
}

// Copies [begin, end) of the file.
std::error_code copyRange(int in, int out, off_t begin, off_t end, std::vector<char>& buffer) {
    for (off_t at = begin; at < end;) {
        const auto want =
            static_cast<std::size_t>(std::min<off_t>(static_cast<off_t>(buffer.size()), end - at));
        const ssize_t n = ::pread(in, buffer.data(), want, at);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return lastError();
        }
        if (n == 0) {
            break;  // shortened meanwhile
        }
        if (auto error = writeAll(out, buffer.data(), static_cast<std::size_t>(n), at)) {
            return error;
        }
        at += n;
    }
    return {};
}

// The data of a file; holes stay holes.
std::error_code copyContent(int in, int out, const struct stat& st) {
    std::vector<char> buffer(1 << 20);
    const off_t size = st.st_size;
    const bool sparse = st.st_blocks * 512 < size;
    if (!sparse) {
        if (auto error = copyRange(in, out, 0, size, buffer)) {
            return error;
        }
    } else {
        for (off_t at = 0; at < size;) {
            off_t data = ::lseek(in, at, SEEK_DATA);
            if (data < 0) {
                if (errno == ENXIO) {
                    break;  // only a hole is left
                }
                data = at;  // no hole support: copy the rest as data
            }
            off_t hole = ::lseek(in, data, SEEK_HOLE);
            if (hole < 0) {
                hole = size;
            }
            if (auto error = copyRange(in, out, data, std::min(hole, size), buffer)) {
                return error;
            }
            at = hole;
        }
    }
    if (::ftruncate(out, size) != 0) {
        return lastError();
    }
    return {};
}

// An entry just opened (`fd`, -1 when the open failed) is still the one looked at (`st`) and
// may be removed afterwards; `opened` receives its values.
std::error_code checkOpened(int fd, const struct stat& st, struct stat& opened) {
    if (fd < 0 || ::fstat(fd, &opened) != 0) {
        return lastError();
    }
    if (opened.st_dev != st.st_dev || opened.st_ino != st.st_ino) {
        return make_error_code(MoveError::changedMeanwhile);
    }
    return checkFlags(fd);
}

std::error_code copyEntry(CopyContext& context, int from, const std::string& name,
                          const struct stat& st, int to, const std::string& toName,
                          const std::string& relative);

std::error_code copyFile(CopyContext& context, int from, const std::string& name,
                         const struct stat& st, int to, const std::string& toName,
                         const std::string& relative) {
    if (st.st_nlink > 1) {
        if (auto it = context.linked.find({st.st_dev, st.st_ino}); it != context.linked.end()) {
            if (::linkat(context.targetRoot, it->second.c_str(), to, toName.c_str(), 0) != 0) {
                return lastError();
            }
            return {};
        }
    }
    const Descriptor in(::openat(from, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (auto error = checkOpened(in.fd, st, opened)) {
        return error;
    }
    const Descriptor out(
        ::openat(to, toName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.fd < 0) {
        return lastError();
    }
    std::error_code error = copyContent(in.fd, out.fd, opened);
    if (!error) {
        error = copyExtendedAttributes(in.fd, out.fd);
    }
    if (!error) {
        error = finishAttributes(out.fd, opened);
    }
    if (!error && st.st_nlink > 1) {
        context.linked.emplace(std::pair{st.st_dev, st.st_ino}, relative);
    }
    return error;
}

std::error_code copyFolder(CopyContext& context, int from, const std::string& name,
                           const struct stat& st, int to, const std::string& toName,
                           const std::string& relative) {
    const Descriptor source(
        ::openat(from, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat opened {};
    if (auto error = checkOpened(source.fd, st, opened)) {
        return error;
    }
    // The names first: the listing stream is then closed before the children are opened, so
    // a deep tree holds one descriptor per level, not two.
    std::vector<std::string> names;
    {
        const int listing = ::dup(source.fd);
        DIR* dir = listing >= 0 ? ::fdopendir(listing) : nullptr;
        if (dir == nullptr) {
            const auto error = lastError();
            if (listing >= 0) {
                ::close(listing);
            }
            return error;
        }
        errno = 0;
        while (dirent* entry = ::readdir(dir)) {
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
                names.emplace_back(entry->d_name);
            }
            errno = 0;
        }
        const int readError = errno;
        ::closedir(dir);
        if (readError != 0) {
            return {readError, std::generic_category()};
        }
    }
    if (::mkdirat(to, toName.c_str(), 0700) != 0) {
        return lastError();
    }
    const Descriptor target(
        ::openat(to, toName.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (target.fd < 0) {
        return lastError();
    }
    for (const auto& child : names) {
        struct stat childStat {};
        if (::fstatat(source.fd, child.c_str(), &childStat, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT) {
                continue;  // removed meanwhile: nothing to keep
            }
            return lastError();
        }
        if (auto error = checkUnlinkable(source.fd, opened, childStat, context.euid)) {
            return error;
        }
        if (auto error = copyEntry(context, source.fd, child, childStat, target.fd, child,
                                   relative + "/" + child)) {
            return error;
        }
    }
    if (auto error = copyExtendedAttributes(source.fd, target.fd)) {
        return error;
    }
    return finishAttributes(target.fd, opened);
}

std::error_code copyEntry(CopyContext& context, int from, const std::string& name,
                          const struct stat& st, int to, const std::string& toName,
                          const std::string& relative) {
    if (st.st_dev != context.device) {
        return make_error_code(MoveError::mountInside);
    }
    switch (st.st_mode & S_IFMT) {
        case S_IFREG:
            return copyFile(context, from, name, st, to, toName, relative);
        case S_IFDIR:
            return copyFolder(context, from, name, st, to, toName, relative);
        case S_IFLNK: {
            std::vector<char> target(static_cast<std::size_t>(st.st_size) + 2);
            const ssize_t n = ::readlinkat(from, name.c_str(), target.data(), target.size());
            if (n < 0) {
                return lastError();
            }
            const std::string link(target.data(), static_cast<std::size_t>(n));
            if (::symlinkat(link.c_str(), to, toName.c_str()) != 0) {
                return lastError();
            }
            ::fchownat(to, toName.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
            const timespec times[2] = {st.st_atim, st.st_mtim};
            ::utimensat(to, toName.c_str(), times, AT_SYMLINK_NOFOLLOW);
            return {};
        }
        case S_IFIFO:
        case S_IFSOCK: {
            // A FIFO or a socket holds no data; the same kind of entry takes its place.
            if (::mknodat(to, toName.c_str(), (st.st_mode & S_IFMT) | 0600, 0) != 0) {
                return lastError();
            }
            ::fchownat(to, toName.c_str(), st.st_uid, st.st_gid, AT_SYMLINK_NOFOLLOW);
            if (::fchmodat(to, toName.c_str(), st.st_mode & 07777, 0) != 0) {
                return lastError();
            }
            const timespec times[2] = {st.st_atim, st.st_mtim};
            ::utimensat(to, toName.c_str(), times, AT_SYMLINK_NOFOLLOW);
            return {};
        }
        default:
            return make_error_code(MoveError::deviceInside);
    }
}

}  // namespace

std::error_code copyTree(int from, const std::string& name, int to, const std::string& toName) {
    struct stat st {};
    if (::fstatat(from, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) {
        return lastError();
    }
    struct stat folderStat {};
    if (::fstat(from, &folderStat) != 0) {
        return lastError();
    }
    CopyContext context;
    context.device = st.st_dev;
    context.targetRoot = to;
    context.euid = ::geteuid();
    std::error_code error = checkUnlinkable(from, folderStat, st, context.euid);
    if (!error) {
        // The folder holding the item: append-only or immutable refuses the removal.
        const Descriptor parent(::openat(from, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (parent.fd >= 0) {
            error = checkFlags(parent.fd);
        }
    }
    if (!error) {
        error = copyEntry(context, from, name, st, to, toName, toName);
    }
    if (!error) {
        // The copy reaches the disk before anything of the source is removed.
        const Descriptor target(::openat(to, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        if (target.fd >= 0 && ::syncfs(target.fd) != 0) {
            error = lastError();
        }
    }
    if (error) {
        removeTree(to, toName);
    }
    return error;
}

std::error_code removeTree(int folder, const std::string& name) {
    if (::unlinkat(folder, name.c_str(), 0) == 0) {
        return {};
    }
    if (errno != EISDIR && errno != EPERM) {
        return lastError();
    }
    const int fd = ::openat(folder, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) {
        return errno == ENOTDIR ? std::error_code{EPERM, std::generic_category()} : lastError();
    }
    // A read-only folder of one's own is opened up first: it is going anyway.
    struct stat st {};
    if (::faccessat(fd, ".", W_OK | X_OK, AT_EACCESS) != 0 && errno == EACCES &&
        ::fstat(fd, &st) == 0 && st.st_uid == ::geteuid()) {
        ::fchmod(fd, (st.st_mode & 07777) | S_IRWXU);
    }
    DIR* dir = ::fdopendir(fd);
    if (dir == nullptr) {
        const auto error = lastError();
        ::close(fd);
        return error;
    }
    std::vector<std::string> names;
    while (dirent* entry = ::readdir(dir)) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0) {
            names.emplace_back(entry->d_name);
        }
    }
    std::error_code error;
    for (const auto& child : names) {
        if (auto childError = removeTree(dirfd(dir), child); childError && !error) {
            error = childError;
        }
    }
    ::closedir(dir);
    if (::unlinkat(folder, name.c_str(), AT_REMOVEDIR) != 0 && !error) {
        error = lastError();
    }
    return error;
}

}  // namespace kelvane::platform
