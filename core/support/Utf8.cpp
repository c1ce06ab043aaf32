#include "support/Utf8.h"

#include <glib.h>

namespace kelvane::utf8 {

bool isValid(std::string_view bytes) {
    return g_utf8_validate_len(bytes.data(), bytes.size(), nullptr) != FALSE;
}

std::size_t validPrefix(std::string_view bytes) {
    const gchar* end = nullptr;
    if (g_utf8_validate_len(bytes.data(), bytes.size(), &end) != FALSE) {
        return bytes.size();
    }
    return static_cast<std::size_t>(end - bytes.data());
}

std::string readable(std::string_view bytes) {
    if (isValid(bytes)) {
        return std::string(bytes);
    }
    gchar* valid = g_utf8_make_valid(bytes.data(), static_cast<gssize>(bytes.size()));
    std::string result(valid);
    g_free(valid);
    return result;
}

}  // namespace kelvane::utf8
