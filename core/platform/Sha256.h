#pragma once

// SHA-256 of file contents through OpenSSL (hardware-accelerated where the processor has it).

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kelvane::platform {

// Hex digest of the first `maxBytes` bytes of the file (all of it when it is shorter); nothing
// when it cannot be opened, the read fails, or it is empty.
std::optional<std::string> sha256OfHead(const std::string& path, std::size_t maxBytes);
// Hex digest of the whole file, read in chunks of `chunkBytes`; nothing when it cannot be
// opened or a read fails before the end.
std::optional<std::string> sha256OfFile(const std::string& path, std::size_t chunkBytes);

// The digest of a file's head together with where the hashing stood, so the whole file's
// digest can go on from there instead of reading the head a second time.
class Sha256Head {
  public:
    Sha256Head();
    ~Sha256Head();
    Sha256Head(Sha256Head&&) noexcept;
    Sha256Head& operator=(Sha256Head&&) noexcept;
    Sha256Head(const Sha256Head&) = delete;
    Sha256Head& operator=(const Sha256Head&) = delete;

    std::string digest;  // hex digest of the first `length` bytes
    std::size_t length = 0;
    bool wholeFile = false;  // the file ended within the head: `digest` is the whole file's

    struct State;
    std::unique_ptr<State> state;  // the hashing after the head, and the file as it was then
};

// Like sha256OfHead, keeping the state for sha256OfRest.
std::optional<Sha256Head> sha256OfHeadKept(const std::string& path, std::size_t maxBytes);
// The whole file's digest, reading only what follows the head. Nothing when the file is no
// longer the one the head was read from (another file, another size or modification time) or
// a read fails. A file the page cache does not hold is read with drop-behind, so hashing it
// does not push the user's cached files out.
std::optional<std::string> sha256OfRest(const std::string& path, const Sha256Head& head,
                                        std::size_t chunkBytes);
// Files of one length whose heads are equal, read side by side after the head: the whole
// digest of the first, and for each file whether its bytes are the first's. Only the first is
// hashed; the others are compared, which costs a copy instead of a digest. A file that is no
// longer the one its head was read from, or cannot be read, is not the same; when the first
// cannot be read, `digest` is empty and `same` says nothing.
struct SameAsFirst {
    std::optional<std::string> digest;
    std::vector<bool> same;  // same[0] is the first itself
};
SameAsFirst compareWithFirst(const std::vector<std::string>& paths,
                             const std::vector<const Sha256Head*>& heads, std::size_t chunkBytes);

// Whether the first bytes of the file are in the page cache (a read that would not wait).
bool isCached(const std::string& path);
// Where the file's data starts on the disk (FIEMAP), to read many files in disk order; nothing
// when the file system does not say.
std::optional<std::uint64_t> physicalOffset(const std::string& path);

}  // namespace kelvane::platform
