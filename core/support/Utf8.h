#pragma once

// File names are bytes; the texts people read, JSON and Qt's strings are Unicode. These say
// whether bytes are UTF-8 and make a readable form of those that are not.

#include <cstddef>
#include <string>
#include <string_view>

namespace kelvane::utf8 {

bool isValid(std::string_view bytes);
// How many leading bytes form valid UTF-8 (all of them for valid text).
std::size_t validPrefix(std::string_view bytes);
// The bytes with each byte that is not part of valid UTF-8 shown as U+FFFD. For reading only:
// it cannot be turned back into the bytes.
std::string readable(std::string_view bytes);

}  // namespace kelvane::utf8
