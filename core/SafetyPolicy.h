#pragma once

// The last word on whether a path may be offered for removal or moved into the quarantine.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "CleanRule.h"

namespace kelvane {

struct SafetyPolicy {
    std::vector<std::string> extraIgnoredPaths;

    // Personal and private folders, relative to the home folder. The first twelve are the
    // design's; the rest are where Linux desktops keep the same kinds of things (videos,
    // keys, key rings, mail and browser profiles with their history and cookies).
    static constexpr std::array<std::string_view, 20> personalFolders{
        "Documents",
        "Desktop",
        "Pictures",
        "Movies",
        "Music",
        "Library/Mobile Documents",
        "Library/CloudStorage",
        "Library/Keychains",
        "Library/Messages",
        "Library/Mail",
        "Library/Safari",
        "Library/Cookies",
        "Videos",
        ".ssh",
        ".gnupg",
        ".local/share/keyrings",
        ".password-store",
        ".mozilla",
        ".thunderbird",
        ".pki",
    };
    // Absolute system folders: the design's eleven, then the Linux system folders that hold
    // configuration, boot files, libraries and system state.
    static constexpr std::array<std::string_view, 27> systemFolders{
        "/System",
        "/Library",
        "/Applications",
        "/usr",
        "/bin",
        "/sbin",
        "/opt",
        "/private/etc",
        "/private/var/db",
        "/private/var/vm",
        "/Users/Shared",
        "/etc",
        "/boot",
        "/lib",
        "/lib32",
        "/lib64",
        "/libx32",
        "/srv",
        "/root",
        "/snap",
        "/var/lib",
        "/var/log",
        "/var/spool",
        "/var/mail",
        "/proc",
        "/sys",
        "/dev",
    };
    static constexpr std::array<std::string_view, 2> syncedFolders{"Library/Mobile Documents",
                                                                   "Library/CloudStorage"};
    static constexpr std::array<std::string_view, 15> protectedExtensions{
        "photoslibrary", "photolibrary", "musiclibrary", "tvlibrary",    "vmwarevm",
        "pvm",           "vbox",         "utm",          "sparsebundle", "sparseimage",
        "app",           "xcodeproj",    "xcworkspace",  "framework",    "bundle"};

    // The reason the path may not be removed under the rule, or nothing when it may. Reads
    // link and package flags and resolves links; changes nothing.
    std::optional<std::string> rejectionReason(const std::string& path, const CleanRule& rule,
                                               const std::vector<std::string>& ignoreList) const;

    // The path is, or lies inside, a protected place, is version-control data, or has a
    // protected extension; checked as written and with links resolved.
    static bool isProtected(const std::string& path);
    // Equal to the folder, or beginning with the folder text (one trailing "/" removed)
    // followed by "/". Case-sensitive text comparison; no disk access.
    static bool contains(std::string_view path, std::string_view folder);
    static bool isHardLinked(const std::string& path);
};

}  // namespace kelvane
