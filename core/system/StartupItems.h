#pragma once

// Login items: the per-user and machine-wide launch agents, read from their folders and switched
// by moving their files.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "support/RawEnum.h"

namespace kelvane {

enum class StartupKind { userAgent, systemAgent };

template <>
struct EnumCases<StartupKind> {
    static constexpr std::array table{
        std::pair{StartupKind::userAgent, std::string_view{"userAgent"}},
        std::pair{StartupKind::systemAgent, std::string_view{"systemAgent"}},
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

    const std::string& id() const { return path; }
    bool operator==(const StartupItem&) const = default;
};

inline constexpr const char* systemAgentsFolder = "/Library/LaunchAgents";
// "Library/LaunchAgents" in the home folder.
std::string userAgentsFolder();

namespace StartupItems {

// The user's agents, the parked ones, then the machine-wide ones, sorted by label
// (locale-aware, case-insensitive, stable). Never fails.
std::vector<StartupItem> startupItems();
// The agent files directly in one folder, in listing order.
std::vector<StartupItem> readAgents(const std::string& folder, StartupKind kind, bool canToggle,
                                    bool disabled);
// The item after switching its file between the user's agent folder and "Disabled Launch
// Agents"; unchanged when it cannot be toggled or its file is gone. Throws FileSystemError.
StartupItem setStartupItem(const StartupItem& item, bool enabled);

}  // namespace StartupItems

}  // namespace kelvane
