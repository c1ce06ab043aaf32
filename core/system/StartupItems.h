#pragma once

// Login items: the per-user and machine-wide launch agents. Reading and switching them are
// operations of CleanScanner.

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

}  // namespace kelvane
