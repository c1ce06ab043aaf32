// XDG autostart entries as login items. A user's entry is switched off by moving it into
// Kelvane's parked folder; a machine-wide one, which Kelvane never edits, by an override of the
// same name in the user's autostart folder with Hidden=true, marked as Kelvane's so that only
// such an override is ever removed again.

#include <glib.h>

#include <algorithm>
#include <cerrno>
#include <map>
#include <memory>
#include <set>

#include "platform/DesktopEntry.h"
#include "platform/DirectoryWalker.h"
#include "platform/FileIO.h"
#include "platform/FileSystemError.h"
#include "platform/OpenFolder.h"
#include "platform/PathText.h"
#include "platform/SafeMove.h"
#include "system/StartupItems.h"

namespace kelvane {

namespace {

constexpr const char* entryGroup = "Desktop Entry";
constexpr const char* overrideKey = "X-Kelvane-Override";

struct KeyFileDeleter {
    void operator()(GKeyFile* file) const { g_key_file_free(file); }
};
using KeyFile = std::unique_ptr<GKeyFile, KeyFileDeleter>;

using platform::DesktopEntry;

bool isKelvanesOverride(const DesktopEntry& entry) {
    return entry.flag(overrideKey, false);
}

std::optional<DesktopEntry> readEntry(const std::string& folder, const std::string& name) {
    return DesktopEntry::read(path::appending(folder, name));
}

StartupItem itemOf(const DesktopEntry& entry, const std::string& name, StartupKind kind) {
    StartupItem item;
    item.path = entry.path();
    item.label = entry.text("Name", true).value_or(name.substr(0, name.size() - 8));
    item.program = entry.program();
    item.runAtLoad = true;
    item.kind = kind;
    item.source = StartupSource::autostart;
    item.onlyShowIn = entry.list("OnlyShowIn");
    item.notShowIn = entry.list("NotShowIn");
    item.isEnabled = entry.autostarts();
    return item;
}

// The machine-wide entry of that name that counts: the first folder holding one wins.
std::optional<DesktopEntry> machineEntry(const StartupSources& sources, const std::string& name) {
    for (const auto& folder : sources.systemAutostart) {
        if (auto entry = readEntry(folder, name)) {
            return entry;
        }
    }
    return std::nullopt;
}

platform::FolderHandle openFolder(const std::string& folder, bool create) {
    std::error_code error;
    auto handle = create ? platform::openOrCreateFolderNoFollow(folder, 0700, error)
                         : platform::openFolderNoFollow(folder, error);
    if (!handle) {
        throw create ? FileSystemError::creatingFolder(folder, error)
                     : FileSystemError::reading(folder, error);
    }
    return handle;
}

void moveEntry(const std::string& fromFolder, const std::string& toFolder,
               const std::string& name) {
    const auto from = openFolder(fromFolder, false);
    const auto to = openFolder(toFolder, true);
    if (const auto error = platform::renameNoReplace(from.fd(), name, to.fd(), name)) {
        throw FileSystemError("“" + name + "” could not be moved: " +
                                  (error == std::errc::file_exists
                                       ? std::string("an entry of that name is already there")
                                       : error.message()) +
                                  ".",
                              error);
    }
}

// Removes the user's entry of that name only when it is Kelvane's own override.
void removeOverride(const StartupSources& sources, const std::string& name) {
    const auto entry = readEntry(sources.userAutostart, name);
    if (!entry) {
        return;
    }
    if (!isKelvanesOverride(*entry)) {
        throw FileSystemError(
            "Your own autostart entry “" + name + "” is in the way; Kelvane leaves it as it is.",
            std::make_error_code(std::errc::file_exists));
    }
    const auto folder = openFolder(sources.userAutostart, false);
    if (::unlinkat(folder.fd(), name.c_str(), 0) != 0 && errno != ENOENT) {
        throw FileSystemError::writing(entry->path(), {errno, std::generic_category()});
    }
}

void writeOverride(const StartupSources& sources, const std::string& name,
                   const std::string& label) {
    KeyFile entry(g_key_file_new());
    g_key_file_set_string(entry.get(), entryGroup, "Type", "Application");
    g_key_file_set_string(entry.get(), entryGroup, "Name", label.c_str());
    g_key_file_set_boolean(entry.get(), entryGroup, "Hidden", TRUE);
    g_key_file_set_boolean(entry.get(), entryGroup, overrideKey, TRUE);
    gsize length = 0;
    gchar* text = g_key_file_to_data(entry.get(), &length, nullptr);
    const std::string contents(text, length);
    g_free(text);
    (void)openFolder(sources.userAutostart, true);
    platform::writeFileAtomically(path::appending(sources.userAutostart, name), contents);
}

}  // namespace

std::vector<StartupItem> StartupItems::autostartEntries(const StartupSources& sources) {
    std::vector<StartupItem> items;
    const auto userNames = DesktopEntry::namesIn(sources.userAutostart);
    const auto parkedNames = DesktopEntry::namesIn(sources.parked);
    std::set<std::string> machineNames;
    for (const auto& folder : sources.systemAutostart) {
        machineNames.merge(DesktopEntry::namesIn(folder));
    }

    for (const auto& name : userNames) {
        auto entry = readEntry(sources.userAutostart, name);
        if (!entry || isKelvanesOverride(*entry)) {
            continue;  // an override stands for the machine-wide or parked entry, listed below
        }
        auto item = itemOf(*entry, name, StartupKind::userAgent);
        // Kelvane switches only what it can switch back: an entry the user's own tools
        // switched off stays for them to switch on.
        item.canToggle = item.isEnabled;
        items.push_back(std::move(item));
    }
    for (const auto& name : parkedNames) {
        if (const auto entry = readEntry(sources.parked, name)) {
            auto item = itemOf(*entry, name, StartupKind::userAgent);
            item.isEnabled = false;
            item.canToggle = true;
            items.push_back(std::move(item));
        }
    }
    for (const auto& name : machineNames) {
        if (parkedNames.contains(name)) {
            continue;  // the user's own entry, parked, shadowed this one
        }
        std::optional<DesktopEntry> own;
        if (userNames.contains(name)) {
            own = readEntry(sources.userAutostart, name);
            if (own && !isKelvanesOverride(*own)) {
                continue;  // the user's entry of that name is the one that counts
            }
        }
        const auto entry = machineEntry(sources, name);
        if (!entry) {
            continue;
        }
        auto item = itemOf(*entry, name, StartupKind::systemAgent);
        if (own) {
            item.isEnabled = false;
            item.canToggle = true;
        } else {
            item.canToggle = item.isEnabled;
        }
        items.push_back(std::move(item));
    }
    return items;
}

StartupItem StartupItems::setAutostartEntry(const StartupItem& item, bool enabled,
                                            const StartupSources& sources) {
    const std::string name(path::lastComponent(item.path));
    if (!path::isSingleComponent(name) || !name.ends_with(".desktop")) {
        return item;
    }
    const bool parked = path::deletingLastComponent(item.path) == sources.parked;
    const bool shadowsMachineEntry = machineEntry(sources, name).has_value();
    auto result = item;
    if (enabled) {
        if (parked) {
            removeOverride(sources, name);
            moveEntry(sources.parked, sources.userAutostart, name);
            result.path = path::appending(sources.userAutostart, name);
        } else if (item.kind == StartupKind::systemAgent) {
            removeOverride(sources, name);
        }
        result.isEnabled = true;
        return result;
    }
    if (item.kind == StartupKind::systemAgent) {
        writeOverride(sources, name, item.label);
    } else {
        moveEntry(sources.userAutostart, sources.parked, name);
        result.path = path::appending(sources.parked, name);
        // Without its user entry a machine-wide one of the same name would start instead.
        if (shadowsMachineEntry) {
            writeOverride(sources, name, item.label);
        }
    }
    result.isEnabled = false;
    return result;
}

}  // namespace kelvane
