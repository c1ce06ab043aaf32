#pragma once

// Whole-file reads, atomic whole-file writes and the advisory lock that keeps processes from
// losing each other's read-modify-write of a store file.

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane::platform {

// Store and catalogue files stay far below this; anything larger is damage, not data.
inline constexpr std::size_t maxReadSize = 64u << 20;

// The whole of a regular file (a link to one is followed). Throws FileSystemError when it
// cannot be opened or read, is no regular file (a FIFO, a device) or is larger than `limit`.
std::string readFile(const std::string& path, std::size_t limit = maxReadSize);

// A temporary file in the same folder (mkstemp), written, flushed to disk (fsync) and renamed
// over the target, so a reader sees the old or the new document and never half of one.
// Throws FileSystemError; on failure the target is untouched and no temporary file is left.
void writeFileAtomically(const std::string& path, std::string_view contents);

// An exclusive flock on `lockPath` (created when missing), held for the object's life. The
// lock is per open file, so it also excludes other threads of this process that take it.
class FileLock {
  public:
    // Blocks until the lock is held. Throws FileSystemError when the lock file cannot be
    // opened.
    explicit FileLock(const std::string& lockPath);
    // Without waiting: held() says whether the lock was free.
    struct TryOnly {};
    FileLock(const std::string& lockPath, TryOnly);
    bool held() const { return fd_ >= 0; }
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;

  private:
    int fd_ = -1;
};

}  // namespace kelvane::platform
