#include "system/OwnAutostart.h"

#include <glib.h>
#include <unistd.h>

#include <cerrno>
#include <memory>

#include "platform/DesktopEntry.h"
#include "platform/Environment.h"
#include "platform/FileIO.h"
#include "platform/FileSystemError.h"
#include "platform/PathText.h"

namespace kelvane::OwnAutostart {

namespace {

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

constexpr const char* group = "Desktop Entry";

}  // namespace

std::string entryPath() {
    return path::appending(path::appending(platform::configHome(), "autostart"),
                           std::string(desktopID) + ".desktop");
}

bool isEnabled() {
    const auto entry = platform::DesktopEntry::read(entryPath());
    return entry && entry->autostarts();
}

std::string quotedExec(const std::string& program) {
    // Reserved characters go inside double quotes; ", `, $ and \ are escaped there. (The key
    // file layer adds its own escaping of the backslashes when it writes the value.)
    std::string quoted = "\"";
    for (const char c : program) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
    }
    return quoted + "\"";
}

void setEnabled(bool enabled, const std::string& executable) {
    const auto file = entryPath();
    if (!enabled) {
        if (::unlink(file.c_str()) != 0 && errno != ENOENT) {
            throw FileSystemError::writing(file, {errno, std::generic_category()});
        }
        return;
    }
    const auto folder = path::deletingLastComponent(file);
    if (g_mkdir_with_parents(folder.c_str(), 0700) != 0) {
        throw FileSystemError::creatingFolder(folder, {errno, std::generic_category()});
    }
    KeyFile entry(g_key_file_new());
    g_key_file_set_string(entry.get(), group, "Type", "Application");
    g_key_file_set_string(entry.get(), group, "Name", "Kelvane");
    g_key_file_set_string(entry.get(), group, "Comment",
                          "Keeps Kelvane in the tray so scheduled scans can run");
    g_key_file_set_string(entry.get(), group, "Exec",
                          (quotedExec(executable) + " --background").c_str());
    g_key_file_set_string(entry.get(), group, "Icon", desktopID);
    g_key_file_set_boolean(entry.get(), group, "Terminal", FALSE);
    g_key_file_set_boolean(entry.get(), group, "X-GNOME-Autostart-enabled", TRUE);
    gsize length = 0;
    gchar* text = g_key_file_to_data(entry.get(), &length, nullptr);
    const std::string contents(text, length);
    g_free(text);
    platform::writeFileAtomically(file, contents);
}

}  // namespace kelvane::OwnAutostart
