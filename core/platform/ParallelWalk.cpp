// The walk on several threads: a shared stack of folders still to list, taken by whichever
// worker is free. Folders are opened beneath the root's descriptor by their relative path, so
// no worker depends on another's descriptors and none holds more than two.

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/DirectoryWalker.h"
#include "platform/WalkListing.h"

namespace kelvane::platform {

namespace {

// The folders from the root down to a folder, to recognise a bind mount that leads back up.
struct Ancestry {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::shared_ptr<const Ancestry> parent;
};

struct Job {
    std::string relative;  // below the root, without a leading "/"; empty for the root
    std::uint64_t device = 0;
    std::uint64_t inode = 0;  // as the parent's fstatat gave it
    int depth = 0;            // of the folder itself; its entries are depth + 1
    std::shared_ptr<const Ancestry> ancestry;
};

std::atomic<int> openat2Works{-1};  // -1 unknown, 0 no, 1 yes

// `relative` below rootFd, no component a link, never leaving the root.
int openBeneath(int rootFd, const std::string& relative) {
    constexpr int flags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
#ifdef SYS_openat2
    if (openat2Works.load(std::memory_order_relaxed) != 0 && relative.size() < PATH_MAX - 1) {
        open_how how{};
        how.flags = flags;
        // Mount points are told by the device number, as du -x tells them, not refused here:
        // a bind mount of this file system is entered by both walks alike.
        how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
        const long fd = ::syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how);
        if (fd >= 0) {
            openat2Works.store(1, std::memory_order_relaxed);
            return static_cast<int>(fd);
        }
        // ENOSYS: an older kernel; EPERM: a filter that refuses the call.
        if (errno != ENOSYS && errno != EPERM) {
            return -1;
        }
        openat2Works.store(0, std::memory_order_relaxed);
    }
#endif
    // One component at a time, none followed if it is a link: the same guarantee, and no
    // limit on the path's length.
    int fd = rootFd;
    std::size_t start = 0;
    while (start < relative.size()) {
        auto end = relative.find('/', start);
        if (end == std::string::npos) {
            end = relative.size();
        }
        const std::string name = relative.substr(start, end - start);
        const bool last = end == relative.size();
        const int next = ::openat(fd, name.c_str(), last ? flags : (flags | O_PATH) & ~O_RDONLY);
        const int saved = errno;
        if (fd != rootFd) {
            ::close(fd);
        }
        if (next < 0) {
            errno = saved;
            return -1;
        }
        fd = next;
        start = end + 1;
    }
    return fd == rootFd ? ::dup(rootFd) : fd;
}

using listing::Listed;

struct Dirent64 {
    std::uint64_t inode;
    std::int64_t offset;
    unsigned short length;
    unsigned char type;
    char name[1];
};

// Reads the whole listing of fd with the worker's own buffer. False when it cannot be read.
bool readListing(int fd, bool skipHidden, std::vector<char>& buffer, std::string& names,
                 std::vector<Listed>& entries) {
    names.clear();
    entries.clear();
    for (;;) {
        const long count = ::syscall(SYS_getdents64, fd, buffer.data(), buffer.size());
        if (count < 0) {
            return false;
        }
        if (count == 0) {
            return true;
        }
        for (long at = 0; at < count;) {
            const auto* d = reinterpret_cast<const Dirent64*>(buffer.data() + at);
            at += d->length;
            listing::add(d->name, d->type, skipHidden, names, entries);
        }
    }
}

struct Shared {
    std::mutex lock;
    std::condition_variable ready;
    std::vector<Job> jobs;
    std::size_t busy = 0;
    std::atomic<bool> halt{false};
    std::atomic<int> outcome{static_cast<int>(WalkOutcome::completed)};
    std::atomic<std::int64_t> unreadable{0};
    std::mutex errorLock;
    std::exception_ptr failure;  // the first exception a visitor threw, raised in the caller
};

class Walk {
  public:
    Walk(std::string rootPath, int rootFd, std::uint64_t rootDevice, const WalkOptions& options,
         const ParallelWalkVisitor& visit, const WalkErrorHandler& onError)
        : rootPath_(std::move(rootPath)),
          rootFd_(rootFd),
          rootDevice_(rootDevice),
          options_(options),
          visit_(visit),
          onError_(onError) {}

    Shared shared;

    void work(unsigned worker) {
        std::vector<char> buffer(64 * 1024);
        std::string names;
        std::vector<Listed> entries;
        std::string path;
        std::vector<Job> found;
        for (;;) {
            Job job;
            {
                std::unique_lock guard(shared.lock);
                shared.ready.wait(guard, [&] {
                    return shared.halt.load() || !shared.jobs.empty() || shared.busy == 0;
                });
                if (shared.halt.load() || shared.jobs.empty()) {
                    shared.ready.notify_all();
                    return;
                }
                job = std::move(shared.jobs.back());
                shared.jobs.pop_back();
                ++shared.busy;
            }
            found.clear();
            try {
                list(job, worker, buffer, names, entries, path, found);
            } catch (...) {
                // Thrown on a helper thread it would end the program: the caller gets it.
                std::lock_guard guard(shared.errorLock);
                if (!shared.failure) {
                    shared.failure = std::current_exception();
                }
                shared.halt.store(true);
            }
            {
                std::lock_guard guard(shared.lock);
                for (auto& next : found) {
                    shared.jobs.push_back(std::move(next));
                }
                --shared.busy;
            }
            shared.ready.notify_all();
        }
    }

  private:
    void error(std::string_view where, int code) {
        if (onError_) {
            std::lock_guard guard(shared.errorLock);
            onError_(where, code);
        }
    }
    void unreadableFolder(std::string_view where, int code) {
        shared.unreadable.fetch_add(1, std::memory_order_relaxed);
        error(where, code);
    }
    void end(WalkOutcome outcome) {
        int expected = static_cast<int>(WalkOutcome::completed);
        shared.outcome.compare_exchange_strong(expected, static_cast<int>(outcome));
        shared.halt.store(true);
    }
    void folderPath(std::string& path, const std::string& relative) const {
        path = rootPath_;
        if (!relative.empty()) {
            path += '/';
            path += relative;
        }
    }

    void list(const Job& job, unsigned worker, std::vector<char>& buffer, std::string& names,
              std::vector<Listed>& entries, std::string& path, std::vector<Job>& found) {
        const bool isRoot = job.relative.empty();
        int fd = rootFd_;
        // Closes the folder on every way out, a visitor's exception included; the root's
        // descriptor belongs to the walk.
        struct Closer {
            int fd = -1;
            ~Closer() {
                if (fd >= 0) {
                    ::close(fd);
                }
            }
        } closer;
        if (!isRoot) {
            fd = openBeneath(rootFd_, job.relative);
            closer.fd = fd;
            if (fd < 0) {
                const int code = errno;
                folderPath(path, job.relative);
                unreadableFolder(path, code);
                return;
            }
            struct stat st {};
            const bool same = ::fstat(fd, &st) == 0 && S_ISDIR(st.st_mode) &&
                              static_cast<std::uint64_t>(st.st_ino) == job.inode &&
                              static_cast<std::uint64_t>(st.st_dev) == job.device;
            if (!same || (options_.stayOnFileSystem &&
                          static_cast<std::uint64_t>(st.st_dev) != rootDevice_)) {
                // Replaced since its parent was listed, or something mounted there.
                folderPath(path, job.relative);
                if (!same) {
                    unreadableFolder(path, ENOENT);
                }
                return;
            }
            for (auto a = job.ancestry; a; a = a->parent) {
                if (a->device == static_cast<std::uint64_t>(st.st_dev) &&
                    a->inode == static_cast<std::uint64_t>(st.st_ino)) {
                    folderPath(path, job.relative);
                    error(path, ELOOP);
                    return;
                }
            }
        }
        const bool listed = readListing(fd, options_.skipHidden, buffer, names, entries);
        if (!listed) {
            const int code = errno;
            if (!isRoot) {
            }
            folderPath(path, job.relative);
            if (isRoot) {
                error(path, code);
                end(WalkOutcome::unreadableRoot);
            } else {
                unreadableFolder(path, code);
            }
            return;
        }

        std::shared_ptr<const Ancestry> ancestry;
        folderPath(path, job.relative);
        const std::size_t folderLength = path.size();
        WalkEntry entry;
        for (const auto& listedEntry : entries) {
            if (shared.halt.load(std::memory_order_relaxed)) {
                break;
            }
            if (options_.stop.stop_requested()) {
                end(WalkOutcome::cancelled);
                break;
            }
            const char* name = names.data() + listedEntry.offset;
            path.resize(folderLength);
            path += '/';
            const std::size_t nameStart = path.size();
            path.append(name, listedEntry.length);

            entry.path = path;
            entry.name = std::string_view(path).substr(nameStart);
            entry.depth = job.depth + 1;
            if (!listing::describe(entry, fd, name, listedEntry.dtype, options_.readValues,
                                   rootDevice_)) {
                error(path, errno);
            }

            const WalkAction action = visit_(entry, worker);
            if (action == WalkAction::stop) {
                end(WalkOutcome::stopped);
                break;
            }
            if (action != WalkAction::proceed || !entry.values.isDirectory() ||
                (entry.isPackage && options_.skipPackageDescendants) ||
                (entry.isMountPoint && options_.stayOnFileSystem)) {
                continue;
            }
            if (!ancestry) {
                struct stat self {};
                ::fstat(fd, &self);
                ancestry = std::make_shared<const Ancestry>(
                    Ancestry{static_cast<std::uint64_t>(self.st_dev),
                             static_cast<std::uint64_t>(self.st_ino), job.ancestry});
            }
            Job next;
            next.relative = path.substr(rootPath_.size() + 1);
            next.depth = job.depth + 1;
            next.ancestry = ancestry;
            // The folder's identity, to recognise it when it is opened: from fstatat, never
            // from the listing, whose inode numbers some file systems (overlayfs) make up.
            if (entry.valuesRead) {
                next.device = entry.values.device;
                next.inode = entry.values.inode;
            } else {
                struct stat folder {};
                if (::fstatat(fd, name, &folder, AT_SYMLINK_NOFOLLOW) != 0 ||
                    !S_ISDIR(folder.st_mode)) {
                    unreadableFolder(path, errno == 0 ? ENOTDIR : errno);
                    continue;
                }
                next.device = static_cast<std::uint64_t>(folder.st_dev);
                next.inode = static_cast<std::uint64_t>(folder.st_ino);
            }
            found.push_back(std::move(next));
        }
    }

    std::string rootPath_;
    int rootFd_;
    std::uint64_t rootDevice_;
    const WalkOptions& options_;
    const ParallelWalkVisitor& visit_;
    const WalkErrorHandler& onError_;
};

}  // namespace

unsigned parallelWalkWorkers(unsigned workers) {
    if (workers == 0) {
        // Twice the cores, at least four: a walk that waits on the disk keeps more reads in
        // flight, and a warm one loses nothing by the extra threads.
        workers = std::max(4U, 2 * std::max(1U, std::thread::hardware_concurrency()));
    }
    return std::min(workers, 8U);
}

WalkOutcome walkDirectoryInParallel(std::string_view root, const WalkOptions& options,
                                    unsigned workers, const ParallelWalkVisitor& visit,
                                    const WalkErrorHandler& onError) {
    std::string path(root);
    while (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const int rootFd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (rootFd < 0 || ::fstat(rootFd, &st) != 0) {
        const int code = errno;
        if (rootFd >= 0) {
            ::close(rootFd);
        }
        if (onError) {
            onError(path, code);
        }
        return WalkOutcome::unreadableRoot;
    }
    // The root "/" has no trailing component to separate from.
    Walk walk(path == "/" ? std::string() : path, rootFd, static_cast<std::uint64_t>(st.st_dev),
              options, visit, onError);
    Job rootJob;
    rootJob.ancestry = std::make_shared<const Ancestry>(
        Ancestry{static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino), {}});
    walk.shared.jobs.push_back(std::move(rootJob));
    {
        const unsigned count = parallelWalkWorkers(workers);
        std::vector<std::jthread> helpers;
        helpers.reserve(count - 1);
        for (unsigned worker = 1; worker < count; ++worker) {
            helpers.emplace_back([&walk, worker] { walk.work(worker); });
        }
        walk.work(0);
    }
    ::close(rootFd);
    if (walk.shared.failure) {
        std::rethrow_exception(walk.shared.failure);
    }
    if (options.unreadableFolders != nullptr) {
        *options.unreadableFolders += walk.shared.unreadable.load();
    }
    return static_cast<WalkOutcome>(walk.shared.outcome.load());
}

}  // namespace kelvane::platform
