#pragma once

// The last word on whether a path may be offered for removal or moved into the quarantine.

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "model/CleanRule.h"

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

// The protected-place test prepared once for many paths: the home folder's places are joined
// up front, so each test is text comparison only.
class ProtectedPlaces {
  public:
    ProtectedPlaces();
    // One candidate: a standardised or a link-resolved path.
    bool matches(std::string_view candidate) const;
    // isProtected for a path whose standardised and resolved forms are known.
    bool contains(std::string_view standardized, std::string_view resolved) const {
        return matches(standardized) || (resolved != standardized && matches(resolved));
    }

    bool isSynced(std::string_view candidate) const {
        for (const auto& folder : synced_) {
            if (SafetyPolicy::contains(candidate, folder)) {
                return true;
            }
        }
        return false;
    }
    // Kelvane's own support folder, with the quarantine: never offered, never moved.
    bool isOwnData(std::string_view candidate) const {
        return SafetyPolicy::contains(candidate, support_) ||
               SafetyPolicy::contains(candidate, resolvedSupport_);
    }

  private:
    std::string home_;
    std::string homeLower_;
    std::vector<std::string> personal_;
    std::vector<std::string> system_;
    std::vector<std::string> systemHoldingHome_;
    std::vector<std::string> synced_;
    std::string support_;
    std::string resolvedSupport_;
};

// Ignore-list texts expanded once; `contains` is the inside relation over each of them.
class ExpandedIgnoreList {
  public:
    ExpandedIgnoreList() = default;
    explicit ExpandedIgnoreList(const std::vector<std::string>& texts);
    void add(const std::vector<std::string>& texts);
    bool contains(std::string_view path) const;
    bool empty() const { return folders_.empty(); }

  private:
    std::vector<std::string> folders_;
};

// rejectionReason for one rule and ignore list, prepared once for all the candidates of a scan:
// the rule folder is expanded and resolved, the ignore list expanded, the places joined.
class RuleSafetyCheck {
  public:
    RuleSafetyCheck(const SafetyPolicy& policy, const CleanRule& rule,
                    const std::vector<std::string>& ignoreList);

    const std::string& ruleFolder() const { return ruleFolder_; }
    const std::string& resolvedRuleFolder() const { return resolvedRuleFolder_; }

    // Asks the file system about the path as rejectionReason does.
    std::optional<std::string> reason(const std::string& path) const;
    // For an entry met by a walk of the rule folder, whose standardised path, resolved path and
    // link and package flags are already known.
    std::optional<std::string> reason(std::string_view item, std::string_view resolvedItem,
                                      bool isSymbolicLink, bool isPackage) const;

  private:
    std::optional<std::string> decide(std::string_view item, std::string_view resolvedItem,
                                      std::string_view resolvedStandardized, bool isSymbolicLink,
                                      bool isPackage) const;

    bool allowsUserContent_;
    // The rule folder or a folder above it holds Syncthing's marker.
    bool ruleFolderSynced_ = false;
    std::string home_;
    std::string ruleFolder_;
    std::string resolvedRuleFolder_;
    ProtectedPlaces places_;
    ExpandedIgnoreList ignored_;
};

}  // namespace kelvane
