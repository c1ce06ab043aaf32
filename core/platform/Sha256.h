#pragma once

// SHA-256 of file contents through OpenSSL (hardware-accelerated where the processor has it).

#include <cstddef>
#include <optional>
#include <string>

namespace kelvane::platform {

// Hex digest of the first `maxBytes` bytes of the file (all of it when it is shorter); nothing
// when it cannot be opened, the read fails, or it is empty.
std::optional<std::string> sha256OfHead(const std::string& path, std::size_t maxBytes);
// Hex digest of the whole file, read in chunks of `chunkBytes`; nothing when it cannot be
// opened or a read fails before the end.
std::optional<std::string> sha256OfFile(const std::string& path, std::size_t chunkBytes);

}  // namespace kelvane::platform
