#pragma once

// Folders held open by descriptor, reached without following any symbolic link. Whatever is
// checked about a folder and then done in it goes through one of these, so a folder swapped
// for a link in between cannot send the action elsewhere.

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <system_error>

namespace kelvane::platform {

// What names one file system object for as long as it exists.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool operator==(const FileIdentity&) const = default;
};

// An open folder descriptor (O_PATH: enough to look up, create, rename and remove entries in
// it), closed with the object.
class FolderHandle {
  public:
    FolderHandle() = default;
    explicit FolderHandle(int fd) : fd_(fd) {}
    FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    ~FolderHandle();
    FolderHandle(const FolderHandle&) = delete;
    FolderHandle& operator=(const FolderHandle&) = delete;

    int fd() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    std::optional<FileIdentity> identity() const;

  private:
    int fd_ = -1;
};

// Opens an absolute folder path without following any link on the way (openat2 with
// RESOLVE_NO_SYMLINKS where the kernel has it, else one O_NOFOLLOW component at a time from
// "/"). ELOOP or ENOTDIR means a component is a link or no folder.
FolderHandle openFolderNoFollow(const std::string& absolutePath, std::error_code& error);

// The same, creating missing components with `mode` on the way; each one is created with
// mkdirat in the folder opened before it, so a link planted meanwhile is never followed.
FolderHandle openOrCreateFolderNoFollow(const std::string& absolutePath, mode_t mode,
                                        std::error_code& error);

// The entry `name` in `folder` without following it, or nothing when it is not there.
std::optional<FileIdentity> identityAt(int folder, const std::string& name);
bool existsAt(int folder, const std::string& name);

// Where the kernel says an open folder is now (its path through /proc/self/fd), or nothing
// when it was removed or cannot be named.
std::optional<std::string> pathOfOpenFolder(int fd);

}  // namespace kelvane::platform
