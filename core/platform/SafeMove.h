#pragma once

// Moves that a path swapped for a link cannot redirect: the folder holding an item is opened
// one component at a time with O_NOFOLLOW from "/", and the item is moved with renameat from
// that descriptor. Across file systems the item is copied (links kept as links, modes and
// modification times kept) and then removed, all relative to open folders.

#include <functional>
#include <string>
#include <system_error>

namespace kelvane::platform {

// An open folder descriptor, closed with the object.
class FolderHandle {
  public:
    FolderHandle() = default;
    explicit FolderHandle(int fd) : fd_(fd) {}
    FolderHandle(FolderHandle&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    FolderHandle& operator=(FolderHandle&& other) noexcept;
    ~FolderHandle();
    int fd() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }

  private:
    int fd_ = -1;
};

// Opens an absolute folder path without following any link on the way; ELOOP or ENOTDIR
// means a component is a link (or no folder). The path should already have its links
// resolved.
FolderHandle openFolderNoFollow(const std::string& absolutePath, std::error_code& error);

// Moves `name` in `from` to `toName` in `to`: rename, or copy then remove across file
// systems. When the copy succeeded but the removal failed, the copy stays and the error is
// returned. `onCopied` (when given) is called once a cross-device copy is complete, before the
// source is removed.
std::error_code moveAt(int from, const std::string& name, int to, const std::string& toName,
                       const std::function<void()>& onCopied = {});

// Removes an entry and, for a folder, everything in it, relative to `folder`.
std::error_code removeAt(int folder, const std::string& name);

// A sentence-ready reason for an error of these moves ("a folder on its way became a
// symbolic link" for ELOOP, otherwise the system's message).
std::string moveErrorReason(std::error_code error);

}  // namespace kelvane::platform
