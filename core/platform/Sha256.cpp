#include "platform/Sha256.h"

#include <fcntl.h>
#include <linux/fiemap.h>
#include <linux/fs.h>
#include <openssl/evp.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <memory>
#include <utility>
#include <vector>

namespace kelvane::platform {

namespace {

struct Fd {
    int fd;
    ~Fd() {
        if (fd >= 0) {
            ::close(fd);  // close errors change nothing for a file only read
        }
    }
};

struct ContextDeleter {
    void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
};
using Context = std::unique_ptr<EVP_MD_CTX, ContextDeleter>;

Context newContext() {
    Context context(EVP_MD_CTX_new());
    if (context && EVP_DigestInit_ex(context.get(), EVP_sha256(), nullptr) != 1) {
        context.reset();
    }
    return context;
}

std::optional<std::string> finish(EVP_MD_CTX* context) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_DigestFinal_ex(context, digest, &length) != 1) {
        return std::nullopt;
    }
    static constexpr char hex[] = "0123456789abcdef";
    std::string text(length * 2, '0');
    for (unsigned int i = 0; i < length; ++i) {
        text[2 * i] = hex[digest[i] >> 4];
        text[2 * i + 1] = hex[digest[i] & 0xF];
    }
    return text;
}

// Reads up to `size` bytes, retrying short reads and interruptions; -1 on a read error.
ssize_t readFully(int fd, unsigned char* buffer, std::size_t size) {
    std::size_t total = 0;
    while (total < size) {
        const ssize_t n = ::read(fd, buffer + total, size - total);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return -1;
        }
        if (n == 0) {
            break;
        }
        total += static_cast<std::size_t>(n);
    }
    return static_cast<ssize_t>(total);
}

// Whether the byte at `offset` is in the page cache: a read that may not wait gets it.
bool isCachedAt(int fd, off_t offset) {
    unsigned char probe = 0;
    iovec one{&probe, 1};
    return ::preadv2(fd, &one, 1, offset, RWF_NOWAIT) == 1;
}

// One buffer per thread for whole-file reads: hashing thousands of files allocates it once.
std::vector<unsigned char>& chunkBuffer(std::size_t size) {
    thread_local std::vector<unsigned char> buffer;
    if (buffer.size() < size) {
        buffer.resize(size);
    }
    return buffer;
}

}  // namespace

struct Sha256Head::State {
    Context context;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
};

Sha256Head::Sha256Head() = default;
Sha256Head::~Sha256Head() = default;
Sha256Head::Sha256Head(Sha256Head&&) noexcept = default;
Sha256Head& Sha256Head::operator=(Sha256Head&&) noexcept = default;

std::optional<Sha256Head> sha256OfHeadKept(const std::string& path, std::size_t maxBytes) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)};
    struct stat st {};
    if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
        return std::nullopt;
    }
    auto& buffer = chunkBuffer(maxBytes);
    const ssize_t n = readFully(file.fd, buffer.data(), maxBytes);
    if (n <= 0) {
        return std::nullopt;
    }
    auto context = newContext();
    if (!context ||
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) {
        return std::nullopt;
    }
    Sha256Head head;
    head.length = static_cast<std::size_t>(n);
    head.wholeFile = head.length < maxBytes || st.st_size == n;
    // The digest is taken from a copy; the context goes on after the head.
    Context copy(EVP_MD_CTX_new());
    if (!copy || EVP_MD_CTX_copy_ex(copy.get(), context.get()) != 1) {
        return std::nullopt;
    }
    auto digest = finish(copy.get());
    if (!digest) {
        return std::nullopt;
    }
    head.digest = std::move(*digest);
    if (!head.wholeFile) {
        head.state = std::make_unique<Sha256Head::State>(
            Sha256Head::State{std::move(context), st.st_dev, st.st_ino, st.st_size, st.st_mtim});
    }
    return head;
}

namespace {

// A file opened to read on after its head, if it is still the file the head was read from.
struct RestReader {
    Fd file{-1};
    off_t offset = 0;
    bool cached = true;

    bool open(const std::string& path, const Sha256Head& head) {
        if (!head.state && !head.wholeFile) {
            return false;
        }
        file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
        struct stat st {};
        if (file.fd < 0 || ::fstat(file.fd, &st) != 0) {
            return false;
        }
        if (head.state) {
            const auto& was = *head.state;
            if (st.st_dev != was.device || st.st_ino != was.inode || st.st_size != was.size ||
                st.st_mtim.tv_sec != was.modified.tv_sec ||
                st.st_mtim.tv_nsec != was.modified.tv_nsec) {
                return false;
            }
        }
        offset = static_cast<off_t>(head.length);
        cached = isCachedAt(file.fd, offset);
        ::posix_fadvise(file.fd, offset, 0, POSIX_FADV_SEQUENTIAL);
        return ::lseek(file.fd, offset, SEEK_SET) == offset;
    }
    // The next chunk; -1 on a read error.
    ssize_t next(unsigned char* buffer, std::size_t size) {
        const ssize_t n = readFully(file.fd, buffer, size);
        if (n > 0) {
            if (!cached) {
                ::posix_fadvise(file.fd, offset, n, POSIX_FADV_DONTNEED);
            }
            offset += n;
        }
        return n;
    }
};

}  // namespace

std::optional<std::string> sha256OfRest(const std::string& path, const Sha256Head& head,
                                        std::size_t chunkBytes) {
    if (head.wholeFile) {
        return head.digest;
    }
    RestReader reader;
    if (!reader.open(path, head)) {
        return std::nullopt;
    }
    Context context(EVP_MD_CTX_new());
    if (!context || EVP_MD_CTX_copy_ex(context.get(), head.state->context.get()) != 1) {
        return std::nullopt;
    }
    auto& buffer = chunkBuffer(chunkBytes);
    for (;;) {
        const ssize_t n = reader.next(buffer.data(), chunkBytes);
        if (n < 0) {
            return std::nullopt;  // not read to its end: never a digest of part of a file
        }
        if (n > 0 &&
            EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(n) < chunkBytes) {
            break;
        }
    }
    return finish(context.get());
}

SameAsFirst compareWithFirst(const std::vector<std::string>& paths,
                             const std::vector<const Sha256Head*>& heads, std::size_t chunkBytes) {
    SameAsFirst result;
    result.same.assign(paths.size(), false);
    if (paths.empty() || heads.size() != paths.size()) {
        return result;
    }
    const Sha256Head& first = *heads[0];
    if (first.wholeFile) {
        // Nothing follows the head: equal heads of equal length are equal files.
        result.digest = first.digest;
        for (std::size_t i = 0; i < paths.size(); ++i) {
            result.same[i] = heads[i]->wholeFile && heads[i]->digest == first.digest;
        }
        return result;
    }
    Context context(EVP_MD_CTX_new());
    if (!context || EVP_MD_CTX_copy_ex(context.get(), first.state->context.get()) != 1) {
        return result;
    }
    std::vector<RestReader> readers(paths.size());
    if (!readers[0].open(paths[0], first)) {
        return result;
    }
    std::vector<bool> open(paths.size(), false);
    open[0] = true;
    for (std::size_t i = 1; i < paths.size(); ++i) {
        open[i] = heads[i]->length == first.length && heads[i]->digest == first.digest &&
                  readers[i].open(paths[i], *heads[i]);
    }
    auto& reference = chunkBuffer(chunkBytes);
    thread_local std::vector<unsigned char> other;
    if (other.size() < chunkBytes) {
        other.resize(chunkBytes);
    }
    for (;;) {
        const ssize_t n = readers[0].next(reference.data(), chunkBytes);
        if (n < 0) {
            return SameAsFirst{std::nullopt, std::vector<bool>(paths.size(), false)};
        }
        if (n > 0 &&
            EVP_DigestUpdate(context.get(), reference.data(), static_cast<std::size_t>(n)) != 1) {
            return SameAsFirst{std::nullopt, std::vector<bool>(paths.size(), false)};
        }
        for (std::size_t i = 1; i < paths.size(); ++i) {
            if (!open[i]) {
                continue;
            }
            const ssize_t m = readers[i].next(other.data(), static_cast<std::size_t>(n));
            open[i] = m == n &&
                      std::memcmp(other.data(), reference.data(), static_cast<std::size_t>(n)) == 0;
        }
        if (n == 0 || static_cast<std::size_t>(n) < chunkBytes) {
            break;
        }
    }
    // Each other file must end where the first does.
    for (std::size_t i = 1; i < paths.size(); ++i) {
        unsigned char extra = 0;
        result.same[i] = open[i] && readers[i].next(&extra, 1) == 0;
    }
    result.same[0] = true;
    result.digest = finish(context.get());
    return result;
}

bool isCached(const std::string& path) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)};
    if (file.fd < 0) {
        return false;
    }
    return isCachedAt(file.fd, 0);
}

std::optional<std::uint64_t> physicalOffset(const std::string& path) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)};
    if (file.fd < 0) {
        return std::nullopt;
    }
    // The request and room for one extent after it, as the ioctl expects them.
    alignas(fiemap) unsigned char request[sizeof(fiemap) + sizeof(fiemap_extent)] = {};
    auto* map = reinterpret_cast<fiemap*>(request);
    map->fm_start = 0;
    map->fm_length = FIEMAP_MAX_OFFSET;
    map->fm_extent_count = 1;
    if (::ioctl(file.fd, FS_IOC_FIEMAP, map) != 0 || map->fm_mapped_extents == 0) {
        return std::nullopt;
    }
    fiemap_extent extent{};
    std::memcpy(&extent, request + sizeof(fiemap), sizeof extent);
    return extent.fe_physical;
}

std::optional<std::string> sha256OfHead(const std::string& path, std::size_t maxBytes) {
    auto head = sha256OfHeadKept(path, maxBytes);
    if (!head) {
        return std::nullopt;
    }
    return std::move(head->digest);
}

std::optional<std::string> sha256OfFile(const std::string& path, std::size_t chunkBytes) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)};
    if (file.fd < 0) {
        return std::nullopt;
    }
    ::posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    auto context = newContext();
    if (!context) {
        return std::nullopt;
    }
    std::vector<unsigned char> buffer(chunkBytes);
    for (;;) {
        const ssize_t n = readFully(file.fd, buffer.data(), buffer.size());
        if (n < 0) {
            return std::nullopt;  // not read to its end: never a digest of part of a file
        }
        if (n == 0) {
            break;
        }
        if (EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) {
            return std::nullopt;
        }
        if (static_cast<std::size_t>(n) < buffer.size()) {
            break;
        }
    }
    return finish(context.get());
}

}  // namespace kelvane::platform
