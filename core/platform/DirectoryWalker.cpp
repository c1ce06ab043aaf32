#include "platform/DirectoryWalker.h"
#include "platform/WalkListing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace kelvane::platform {

namespace {

using listing::Listed;

// One folder on the way down. The whole listing is read when the folder is opened, so the
// descriptor serves only the relative queries of its children and may be given up while the
// walk is deeper down; `fd` is -1 then.
struct Frame {
    DIR* dir = nullptr;  // owns fd while the listing's stream is kept
    int fd = -1;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::size_t pathLength = 0;
    std::string names;
    std::vector<Listed> entries;
    std::size_t next = 0;
};

enum class Opened { listed, unreadable, loop };

// Takes ownership of fd (closed again unless listed). A folder that is already open further up
// the stack is a loop and is not listed.
Opened openFrame(Frame& frame, int fd, bool skipHidden, const std::vector<Frame>& ancestors) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        ::close(fd);
        return Opened::unreadable;
    }
    frame.device = static_cast<std::uint64_t>(st.st_dev);
    frame.inode = static_cast<std::uint64_t>(st.st_ino);
    for (const auto& ancestor : ancestors) {
        if (ancestor.device == frame.device && ancestor.inode == frame.inode) {
            ::close(fd);
            return Opened::loop;
        }
    }
    frame.dir = ::fdopendir(fd);
    if (frame.dir == nullptr) {
        ::close(fd);
        return Opened::unreadable;
    }
    frame.fd = fd;
    errno = 0;
    while (dirent* d = ::readdir(frame.dir)) {
        listing::add(d->d_name, d->d_type, skipHidden, frame.names, frame.entries);
    }
    return Opened::listed;
}

void closeFrame(Frame& frame) {
    if (frame.dir != nullptr) {
        ::closedir(frame.dir);
    } else if (frame.fd >= 0) {
        ::close(frame.fd);
    }
    frame.dir = nullptr;
    frame.fd = -1;
}

bool isFrame(int fd, const Frame& frame) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) &&
           static_cast<std::uint64_t>(st.st_dev) == frame.device &&
           static_cast<std::uint64_t>(st.st_ino) == frame.inode;
}

// Opens stack[index] again, whose descriptor was given up: through ".." of its child still
// open, else down from the nearest open folder above it by name. Either way only the folder
// the walk listed is accepted; a folder moved or replaced meanwhile is not walked further.
bool reopenFrame(std::vector<Frame>& stack, std::size_t index, int childFd,
                 const std::string& path) {
    Frame& frame = stack[index];
    if (childFd >= 0) {
        const int fd = ::openat(childFd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0 && isFrame(fd, frame)) {
            frame.fd = fd;
            return true;
        }
        if (fd >= 0) {
            ::close(fd);
        }
    }
    std::size_t open = index;
    while (stack[open].fd < 0) {
        --open;  // the root is never given up
    }
    int fd = stack[open].fd;
    for (std::size_t j = open + 1; j <= index; ++j) {
        const auto start = stack[j - 1].pathLength + 1;
        const std::string name = path.substr(start, stack[j].pathLength - start);
        const int next =
            ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd != stack[open].fd) {
            ::close(fd);
        }
        if (next < 0) {
            return false;
        }
        if (!isFrame(next, stack[j])) {
            ::close(next);
            return false;
        }
        fd = next;
    }
    frame.fd = fd;
    return true;
}

}  // namespace

WalkOutcome walkDirectory(std::string_view root, const WalkOptions& options,
                          const WalkVisitor& visit, const WalkErrorHandler& onError) {
    std::string path(root);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const int rootFd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0) {
        if (onError) {
            onError(path, errno);
        }
        return WalkOutcome::unreadableRoot;
    }

    std::vector<Frame> stack;
    stack.reserve(32);
    Frame rootFrame;
    if (openFrame(rootFrame, rootFd, options.skipHidden, stack) != Opened::listed) {
        if (onError) {
            onError(path, errno);
        }
        return WalkOutcome::unreadableRoot;
    }
    const auto rootDevice = rootFrame.device;
    stack.push_back(std::move(rootFrame));
    // The root "/" has no trailing component to separate from.
    stack.back().pathLength = path == "/" ? 0 : path.size();

    auto finish = [&stack](WalkOutcome outcome) {
        for (auto& frame : stack) {
            closeFrame(frame);
        }
        return outcome;
    };
    auto unreadableFolder = [&](const std::string& where, int error) {
        if (options.unreadableFolders != nullptr) {
            ++*options.unreadableFolders;
        }
        if (onError) {
            onError(where, error);
        }
    };
    const std::size_t maxOpen = std::max<std::size_t>(options.maxOpenFolders, 2);
    std::size_t openCount = 1;
    std::size_t firstOpen = 1;  // frames 1 ..< firstOpen have given up their descriptors

    WalkEntry entry;
    while (!stack.empty()) {
        if (stack.back().next == stack.back().entries.size()) {
            Frame done = std::move(stack.back());
            stack.pop_back();
            const std::size_t parent = stack.size() - 1;
            if (!stack.empty() && stack[parent].fd < 0) {
                if (reopenFrame(stack, parent, done.fd, path)) {
                    ++openCount;
                } else {
                    path.resize(stack[parent].pathLength);
                    unreadableFolder(path, ENOENT);
                    stack[parent].next = stack[parent].entries.size();
                }
                firstOpen = parent;
            }
            if (done.fd >= 0) {
                closeFrame(done);
                --openCount;
            }
            continue;
        }
        Frame& frame = stack.back();
        if (options.stop.stop_requested()) {
            return finish(WalkOutcome::cancelled);
        }
        const Listed listed = frame.entries[frame.next++];
        const char* name = frame.names.data() + listed.offset;

        path.resize(frame.pathLength);
        path += '/';
        const std::size_t nameStart = path.size();
        path.append(name, listed.length);

        entry.path = path;
        entry.name = std::string_view(path).substr(nameStart);
        entry.depth = static_cast<int>(stack.size());
        if (!listing::describe(entry, frame.fd, name, listed.dtype, options.readValues,
                               rootDevice) &&
            onError) {
            onError(path, errno);
        }

        const WalkAction action = visit(entry);
        if (action == WalkAction::stop) {
            return finish(WalkOutcome::stopped);
        }
        if (action != WalkAction::proceed || !entry.values.isDirectory() ||
            (entry.isPackage && options.skipPackageDescendants) ||
            (entry.isMountPoint && options.stayOnFileSystem)) {
            continue;
        }

        // O_NOFOLLOW: a folder swapped for a link since the listing is not entered.
        const int fd = ::openat(frame.fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            unreadableFolder(path, errno);
            continue;
        }
        Frame child;
        const Opened opened = openFrame(child, fd, options.skipHidden, stack);
        if (opened == Opened::loop) {
            if (onError) {
                onError(path, ELOOP);
            }
            continue;
        }
        if (opened != Opened::listed) {
            unreadableFolder(path, errno);
            continue;
        }
        if (options.stayOnFileSystem && child.device != rootDevice) {
            closeFrame(child);  // a mount point the listing did not show as one
            continue;
        }
        child.pathLength = path.size();
        stack.push_back(std::move(child));  // `frame` is not used past this point
        ++openCount;
        // The shallowest folders give up their descriptors first: they are needed again only
        // when the walk climbs back to them.
        while (openCount > maxOpen && firstOpen + 1 < stack.size()) {
            closeFrame(stack[firstOpen++]);
            --openCount;
        }
    }
    return finish(WalkOutcome::completed);
}

std::optional<std::vector<std::string>> listDirectory(const std::string& path) {
    DIR* dir = ::opendir(path.c_str());
    if (dir == nullptr) {
        return std::nullopt;
    }
    std::vector<std::string> names;
    while (dirent* d = ::readdir(dir)) {
        const char* name = d->d_name;
        if (listing::isSelfOrParent(name)) {
            continue;
        }
        names.emplace_back(name);
    }
    ::closedir(dir);
    return names;
}

}  // namespace kelvane::platform
