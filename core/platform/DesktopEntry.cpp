#include "platform/DesktopEntry.h"

#include <glib.h>

#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"

namespace kelvane::platform {

namespace {

constexpr const char* entryGroup = "Desktop Entry";
// An entry is a few kilobytes with its translations; anything far larger is not one.
constexpr std::size_t maxEntrySize = 1u << 20;

}  // namespace

void DesktopEntry::Free::operator()(GKeyFile* file) const {
    g_key_file_free(file);
}

std::optional<DesktopEntry> DesktopEntry::read(const std::string& path) {
    DesktopEntry entry;
    entry.path_ = path;
    entry.file_.reset(g_key_file_new());
    std::string contents;
    try {
        contents = readFile(path, maxEntrySize);
    } catch (const std::exception&) {
        return std::nullopt;
    }
    if (!g_key_file_load_from_data(entry.file_.get(), contents.data(), contents.size(),
                                   G_KEY_FILE_NONE, nullptr) ||
        !g_key_file_has_group(entry.file_.get(), entryGroup)) {
        return std::nullopt;
    }
    return entry;
}

std::set<std::string> DesktopEntry::namesIn(const std::string& folder) {
    std::set<std::string> names;
    for (auto& name : listDirectory(folder).value_or(std::vector<std::string>{})) {
        if (name.size() > 8 && name.ends_with(".desktop") && name.front() != '.') {
            names.insert(std::move(name));
        }
    }
    return names;
}

bool DesktopEntry::flag(const char* key, bool fallback) const {
    GError* error = nullptr;
    const gboolean value = g_key_file_get_boolean(file_.get(), entryGroup, key, &error);
    if (error != nullptr) {
        g_error_free(error);
        return fallback;
    }
    return value != FALSE;
}

bool DesktopEntry::autostarts() const {
    return !flag("Hidden", false) && flag("X-GNOME-Autostart-enabled", true);
}

std::optional<std::string> DesktopEntry::text(const char* key, bool localized) const {
    gchar* value =
        localized ? g_key_file_get_locale_string(file_.get(), entryGroup, key, nullptr, nullptr)
                  : g_key_file_get_string(file_.get(), entryGroup, key, nullptr);
    if (value == nullptr) {
        return std::nullopt;
    }
    std::string result(value);
    g_free(value);
    return result;
}

std::vector<std::string> DesktopEntry::list(const char* key) const {
    std::vector<std::string> result;
    gsize length = 0;
    gchar** values = g_key_file_get_string_list(file_.get(), entryGroup, key, &length, nullptr);
    for (gsize i = 0; values != nullptr && i < length; ++i) {
        if (values[i][0] != '\0') {
            result.emplace_back(values[i]);
        }
    }
    g_strfreev(values);
    return result;
}

std::optional<std::string> DesktopEntry::program() const {
    const auto exec = text("Exec");
    if (!exec) {
        return std::nullopt;
    }
    gchar** argv = nullptr;
    if (!g_shell_parse_argv(exec->c_str(), nullptr, &argv, nullptr)) {
        return std::nullopt;
    }
    std::optional<std::string> program;
    bool afterEnv = false;
    for (gchar** word = argv; *word != nullptr; ++word) {
        const std::string_view value(*word);
        if (!afterEnv && (value == "env" || value == "/usr/bin/env")) {
            afterEnv = true;
            continue;
        }
        if (afterEnv && (value.find('=') != std::string_view::npos || value.starts_with('-'))) {
            continue;
        }
        program = std::string(value);
        break;
    }
    g_strfreev(argv);
    return program;
}

}  // namespace kelvane::platform
