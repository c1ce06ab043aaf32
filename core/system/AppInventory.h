#pragma once

// Installed applications, the support files they leave behind, and moving a bundle to the
// user's Trash.

#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <vector>

#include "model/ScanRecords.h"
#include "platform/Date.h"

namespace kelvane {

struct InstalledApp {
    std::string path;
    std::string bundleID;
    std::string name;
    std::string version;
    std::optional<std::string> executable;
    std::int64_t size = 0;
    Date modified = distantPast();
    std::optional<Date> lastOpened;

    const std::string& id() const { return path; }
    std::string url() const;
    bool operator==(const InstalledApp&) const = default;
};

inline constexpr const char* leftoversRuleID = "app-leftovers";
inline constexpr const char* ownBundleID = "com.orrindale.kelvane";

struct AppInventory {
    std::vector<std::string> roots;
    std::string home;
    std::string tempDirectory;

    // Absent roots mean "/Applications" and home/"Applications"; an absent temporary folder
    // means the user's.
    AppInventory(std::optional<std::vector<std::string>> roots, std::string home,
                 std::optional<std::string> tempDirectory);

    // Bundles down to three folder levels below each root, by name as a file browser sorts
    // them. Stops early on a stop request.
    std::vector<InstalledApp> applications(std::stop_token stop = {}) const;
    // The app's support files in the Library folder and the temporary folder, largest first.
    std::vector<ScanItem> leftovers(const InstalledApp& app) const;
    // Moves the bundle to the user's Trash (the freedesktop.org trash through GIO). Throws
    // FileSystemError with GIO's message.
    static void trashApplication(const InstalledApp& app);

    static bool isAppleBundleID(const std::string& bundleID);
    static std::optional<InstalledApp> readApp(const std::string& bundlePath);
    static bool tempNameMatches(const std::string& name, const std::string& bundleID,
                                const std::string& appName);
};

}  // namespace kelvane
