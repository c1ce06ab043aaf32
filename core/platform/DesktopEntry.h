#pragma once

// A freedesktop.org desktop entry (an application's .desktop file, an autostart entry), read
// with GLib's key-file reader. Every value is the file's text, untrusted.

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

typedef struct _GKeyFile GKeyFile;

namespace kelvane::platform {

class DesktopEntry {
  public:
    // Nothing when the file is absent, no regular file, larger than any entry is, no key file,
    // or has no [Desktop Entry] group.
    static std::optional<DesktopEntry> read(const std::string& path);
    // The names of the entries directly in a folder ("*.desktop", not hidden), sorted.
    static std::set<std::string> namesIn(const std::string& folder);

    const std::string& path() const { return path_; }
    bool flag(const char* key, bool fallback) const;
    // Whether the entry, as an autostart entry, starts at login: Hidden=true counts as deleted,
    // and GNOME's own switch (X-GNOME-Autostart-enabled=false) says the same.
    bool autostarts() const;
    // `localized`: the value for the user's language where the entry has one.
    std::optional<std::string> text(const char* key, bool localized = false) const;
    std::vector<std::string> list(const char* key) const;
    // The program Exec starts: its first word with the quoting undone, looking past `env` and
    // its VAR=value settings.
    std::optional<std::string> program() const;

  private:
    struct Free {
        void operator()(GKeyFile* file) const;
    };
    std::string path_;
    std::unique_ptr<GKeyFile, Free> file_;
};

}  // namespace kelvane::platform
