#include "platform/FileURL.h"

#include <glib.h>

namespace kelvane::platform {

std::string fileURL(std::string_view absolutePath) {
    const std::string path(absolutePath);
    gchar* uri = g_filename_to_uri(path.c_str(), nullptr, nullptr);
    if (uri == nullptr) {
        return {};
    }
    std::string result(uri);
    g_free(uri);
    return result;
}

}  // namespace kelvane::platform
