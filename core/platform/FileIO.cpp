#include "platform/FileIO.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "platform/FileSystemError.h"
#include "platform/PathText.h"

namespace kelvane::platform {

namespace {

std::error_code lastError() {
    return {errno, std::generic_category()};
}

}  // namespace

std::string readFile(const std::string& path, std::size_t limit) {
    // O_NONBLOCK: a FIFO put in a file's place must not hang the reader; it is refused below.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        throw FileSystemError::reading(path, lastError());
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        throw FileSystemError::reading(path, std::make_error_code(std::errc::invalid_argument));
    }
    if (st.st_size < 0 || static_cast<std::uint64_t>(st.st_size) > limit) {
        ::close(fd);
        throw FileSystemError::reading(path, std::make_error_code(std::errc::file_too_large));
    }
    std::string contents;
    contents.reserve(static_cast<std::size_t>(st.st_size));
    std::vector<char> buffer(65536);
    for (;;) {
        const ssize_t n = ::read(fd, buffer.data(), buffer.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            const auto error = lastError();
            ::close(fd);
            throw FileSystemError::reading(path, error);
        }
        if (n == 0) {
            break;
        }
        contents.append(buffer.data(), static_cast<std::size_t>(n));
        if (contents.size() > limit) {  // grew while being read
            ::close(fd);
            throw FileSystemError::reading(path, std::make_error_code(std::errc::file_too_large));
        }
    }
    ::close(fd);
    return contents;
}

void writeFileAtomically(const std::string& path, std::string_view contents) {
    const auto folder = path::deletingLastComponent(path);
    std::string temporary = path::appending(
        folder.empty() ? "." : folder, "." + std::string(path::lastComponent(path)) + ".XXXXXX");
    const int fd = ::mkstemp(temporary.data());
    if (fd < 0) {
        throw FileSystemError::writing(path, lastError());
    }
    auto fail = [&](std::error_code error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        throw FileSystemError::writing(path, error);
    };
    std::size_t written = 0;
    while (written < contents.size()) {
        const ssize_t n = ::write(fd, contents.data() + written, contents.size() - written);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            fail(lastError());
        }
        written += static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0) {
        fail(lastError());
    }
    if (::close(fd) != 0) {
        const auto error = lastError();
        ::unlink(temporary.c_str());
        throw FileSystemError::writing(path, error);
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const auto error = lastError();
        ::unlink(temporary.c_str());
        throw FileSystemError::writing(path, error);
    }
    // The rename itself reaches the disk with the folder's own entry.
    const int folderFd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (folderFd >= 0) {
        ::fsync(folderFd);
        ::close(folderFd);
    }
}

FileLock::FileLock(const std::string& lockPath) {
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        throw FileSystemError::writing(lockPath, lastError());
    }
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const auto error = lastError();
            ::close(fd_);
            fd_ = -1;
            throw FileSystemError::writing(lockPath, error);
        }
    }
}

FileLock::FileLock(const std::string& lockPath, TryOnly) {
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd_ < 0) {
        throw FileSystemError::writing(lockPath, lastError());
    }
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd_);
        fd_ = -1;
    }
}

FileLock::~FileLock() {
    if (fd_ >= 0) {
        ::flock(fd_, LOCK_UN);
        ::close(fd_);
    }
}

}  // namespace kelvane::platform
