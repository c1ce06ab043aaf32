#include "platform/Sha256.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
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

}  // namespace

std::optional<std::string> sha256OfHead(const std::string& path, std::size_t maxBytes) {
    Fd file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW)};
    if (file.fd < 0) {
        return std::nullopt;
    }
    std::vector<unsigned char> buffer(maxBytes);
    const ssize_t n = readFully(file.fd, buffer.data(), buffer.size());
    if (n <= 0) {
        return std::nullopt;
    }
    auto context = newContext();
    if (!context ||
        EVP_DigestUpdate(context.get(), buffer.data(), static_cast<std::size_t>(n)) != 1) {
        return std::nullopt;
    }
    return finish(context.get());
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
