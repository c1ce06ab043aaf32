// The rule catalogue's decoder on any bytes: rules or a DecodeError, nothing else.

#include <cstddef>
#include <cstdint>
#include <string_view>

#include "model/RuleCatalogue.h"
#include "support/Json.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    try {
        kelvane::RuleCatalogue::decode(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const kelvane::json::DecodeError&) {
    }
    return 0;
}
