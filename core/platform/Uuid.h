#pragma once

#include <string>

namespace kelvane::platform {

// A fresh random UUID in its canonical 36-character upper-case form (libuuid).
std::string makeUUID();

}  // namespace kelvane::platform
