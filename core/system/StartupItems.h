#pragma once

// Login items: the per-user and machine-wide launch agents, read from their folders and switched
// by moving their files.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/Command.h"
#include "support/RawEnum.h"

namespace kelvane {

// Per-user or machine-wide, whatever the item's source.
enum class StartupKind { userAgent, systemAgent };

template <>
struct EnumCases<StartupKind> {
    static constexpr std::array table{
        std::pair{StartupKind::userAgent, std::string_view{"userAgent"}},
        std::pair{StartupKind::systemAgent, std::string_view{"systemAgent"}},
    };
};

// Where an item comes from: a launch-agent property list, an XDG autostart entry (a desktop
// entry in an "autostart" folder) or a systemd user unit enabled through a wants-link.
enum class StartupSource { launchAgent, autostart, systemdUnit };

template <>
struct EnumCases<StartupSource> {
    static constexpr std::array table{
        std::pair{StartupSource::launchAgent, std::string_view{"launchAgent"}},
        std::pair{StartupSource::autostart, std::string_view{"autostart"}},
        std::pair{StartupSource::systemdUnit, std::string_view{"systemdUnit"}},
    };
};

struct StartupItem {
    std::string path;
    std::string label;
    std::optional<std::string> program;
    bool runAtLoad = false;
    StartupKind kind = StartupKind::userAgent;
    bool isEnabled = true;
    bool canToggle = true;
    StartupSource source = StartupSource::launchAgent;
    // An autostart entry's desktops (OnlyShowIn, NotShowIn), as written.
    std::vector<std::string> onlyShowIn;
    std::vector<std::string> notShowIn;

    const std::string& id() const { return path; }
    bool operator==(const StartupItem&) const = default;
};

inline constexpr const char* systemAgentsFolder = "/Library/LaunchAgents";
// "Library/LaunchAgents" in the home folder.
std::string userAgentsFolder();

// The folders the items are read from, as this session's environment names them; tests build
// their own.
struct StartupSources {
    std::string userAgents;
    std::string systemAgents;
    // Where Kelvane keeps what it switched off: agent files and autostart entries directly,
    // the names of user units it disabled in "systemd".
    std::string parked;
    std::string userAutostart;                 // $XDG_CONFIG_HOME/autostart
    std::vector<std::string> systemAutostart;  // each $XDG_CONFIG_DIRS entry's, first wins
    std::string userUnits;                     // $XDG_CONFIG_HOME/systemd/user
    // Where units are enabled for every user: $XDG_CONFIG_DIRS/systemd/user and
    // /etc/systemd/user, or the folders of $SYSTEMD_UNIT_PATH, as systemd itself reads them.
    std::vector<std::string> systemUnits;
    // Where a unit named by a wants-link is looked up, first match wins.
    std::vector<std::string> unitSearchPath;

    static StartupSources current();
};

namespace StartupItems {

// The user's items, the parked ones, then the machine-wide ones, of every source, sorted by
// label (locale-aware, case-insensitive, stable). Never fails.
std::vector<StartupItem> startupItems();
std::vector<StartupItem> startupItems(const StartupSources& sources);
// XDG autostart entries: the user's, those Kelvane parked, and the machine-wide ones the
// user's do not override.
std::vector<StartupItem> autostartEntries(const StartupSources& sources);
// systemd user units enabled through wants- or requires-links, and the user's units Kelvane
// switched off.
std::vector<StartupItem> userUnits(const StartupSources& sources);
// The agent files directly in one folder, in listing order.
std::vector<StartupItem> readAgents(const std::string& folder, StartupKind kind, bool canToggle,
                                    bool disabled);
// The item after switching its file between the user's agent folder and "Disabled Launch
// Agents"; unchanged when it cannot be toggled or its file is gone. Throws FileSystemError.
// An autostart entry moves aside the same way; a machine-wide one is switched for this user
// by an override entry of Kelvane's own. A user unit is switched through the user's service
// manager (`systemctl --user`), run by `run`.
StartupItem setStartupItem(const StartupItem& item, bool enabled);
StartupItem setStartupItem(const StartupItem& item, bool enabled, const StartupSources& sources,
                           const platform::CommandRunner& run);
// The two halves of setStartupItem for the Linux sources.
StartupItem setAutostartEntry(const StartupItem& item, bool enabled, const StartupSources& sources);
StartupItem setUserUnit(const StartupItem& item, bool enabled, const StartupSources& sources,
                        const platform::CommandRunner& run);

}  // namespace StartupItems

}  // namespace kelvane
