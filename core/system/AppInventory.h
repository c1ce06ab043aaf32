#pragma once

// Installed applications, the support files they leave behind, and moving a bundle to the
// user's Trash.

#include <array>
#include <cstdint>
#include <optional>
#include <stop_token>
#include <string>
#include <string_view>
#include <vector>

#include "model/ScanRecords.h"
#include "platform/Command.h"
#include "platform/Date.h"
#include "support/RawEnum.h"

namespace kelvane {

// How an application was installed: a bundle folder, a desktop entry of the user's own with
// the program in the home folder, a Flatpak, an AppImage or a Snap.
enum class AppSource { bundle, desktopEntry, flatpak, appImage, snap };

template <>
struct EnumCases<AppSource> {
    static constexpr std::array table{
        std::pair{AppSource::bundle, std::string_view{"bundle"}},
        std::pair{AppSource::desktopEntry, std::string_view{"desktopEntry"}},
        std::pair{AppSource::flatpak, std::string_view{"flatpak"}},
        std::pair{AppSource::appImage, std::string_view{"appImage"}},
        std::pair{AppSource::snap, std::string_view{"snap"}},
    };
};

struct InstalledApp {
    std::string path;
    std::string bundleID;
    std::string name;
    std::string version;
    std::optional<std::string> executable;
    std::int64_t size = 0;
    Date modified = distantPast();
    std::optional<Date> lastOpened;
    AppSource source = AppSource::bundle;
    // The icon its desktop entry names (a theme name or an absolute file).
    std::optional<std::string> icon;
    // The desktop entry that shows it in the desktop's menus, when it is the user's own.
    std::optional<std::string> desktopEntry;

    const std::string& id() const { return path; }
    std::string url() const;
    bool operator==(const InstalledApp&) const = default;
};

inline constexpr const char* leftoversRuleID = "app-leftovers";
inline constexpr const char* ownBundleID = "com.orrindale.kelvane";

// Where the Linux kinds of applications are found; tests build their own.
struct AppPlaces {
    std::string userApplications;              // $XDG_DATA_HOME/applications
    std::string flatpakUser;                   // $FLATPAK_USER_DIR or ~/.local/share/flatpak
    std::string flatpakSystem;                 // $FLATPAK_SYSTEM_DIR or /var/lib/flatpak
    std::vector<std::string> appImageFolders;  // ~/Applications, ~/.local/bin, ~/AppImages,
                                               // the Downloads folder
    std::string snapRoot;                      // /snap
    std::string snapFiles;                     // /var/lib/snapd/snaps

    static AppPlaces current(const std::string& home);
};

struct AppInventory {
    std::vector<std::string> roots;
    std::string home;
    std::string tempDirectory;
    AppPlaces places;

    // Absent roots mean "/Applications" and home/"Applications"; an absent temporary folder
    // means the user's.
    AppInventory(std::optional<std::vector<std::string>> roots, std::string home,
                 std::optional<std::string> tempDirectory);

    // Bundles down to three folder levels below each root, by name as a file browser sorts
    // them. Stops early on a stop request.
    std::vector<InstalledApp> applications(std::stop_token stop = {}) const;
    // The app's support files in the Library folder and the temporary folder, largest first.
    // On Linux also the XDG folders named by its ID (exactly) or its name (case-insensitively,
    // three characters or more), ~/.var/app/<ID>, ~/snap/<name>, its own autostart entry and
    // its icons in the user's icon folder. Nothing another of `others` also claims by its ID
    // or name is offered.
    std::vector<ScanItem> leftovers(const InstalledApp& app,
                                    const std::vector<InstalledApp>& others = {}) const;
    // Moves the bundle to the user's Trash (the freedesktop.org trash through GIO). Throws
    // FileSystemError with GIO's message.
    static void trashApplication(const InstalledApp& app);
    // Removes the app the way its kind is removed: a bundle, a home-folder program or an
    // AppImage goes to the Trash with its own desktop entries; a Flatpak is uninstalled with
    // `flatpak`, a Snap with `snap remove`, both run by `run`. Throws FileSystemError with a
    // sentence saying what went wrong.
    void uninstall(const InstalledApp& app, const platform::CommandRunner& run) const;

    // The Linux kinds, each in the order its place lists them.
    std::vector<InstalledApp> desktopApplications() const;
    std::vector<InstalledApp> flatpaks(std::stop_token stop = {}) const;
    std::vector<InstalledApp> appImages() const;
    std::vector<InstalledApp> snaps() const;
    // Whether the file starts as an AppImage does: an ELF header with "AI" and type 1 or 2.
    static bool isAppImage(const std::string& file);

    static bool isAppleBundleID(const std::string& bundleID);
    static std::optional<InstalledApp> readApp(const std::string& bundlePath);
    static bool tempNameMatches(const std::string& name, const std::string& bundleID,
                                const std::string& appName);
};

}  // namespace kelvane
