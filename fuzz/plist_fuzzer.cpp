// Property lists, XML or binary, on any bytes: a dictionary or nothing; the library behind
// them must never get to abort the process.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/PropertyList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kelvane::platform::parsePropertyList(std::string(reinterpret_cast<const char*>(data), size));
    return 0;
}
