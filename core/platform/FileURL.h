#pragma once

#include <string>
#include <string_view>

namespace kelvane::platform {

// "file://" URL of an absolute path, percent-encoded (GLib's g_filename_to_uri). A relative
// path, which has no URL of its own, gives the empty text.
std::string fileURL(std::string_view absolutePath);

}  // namespace kelvane::platform
