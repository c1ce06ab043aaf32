pragma Singleton
import QtQuick

// The twenty icons by their raw values, each with the colour it is drawn in.
QtObject {
    readonly property var names: ["Home", "Trash", "Folder", "Disk", "Copy", "Power", "Uninstall",
        "Restore", "Settings", "Search", "Info", "Warning", "Check", "Shield", "Refresh", "Add",
        "Browser", "Download", "Developer", "Other"]
    function tint(name) {
        switch (name) {
        case "Home": return ChartPalette.blue
        case "Trash": return ChartPalette.junk
        case "Folder": return ChartPalette.large
        case "Disk": return AppPalette.secondary
        case "Copy": return ChartPalette.duplicates
        case "Power": return ChartPalette.startup
        case "Uninstall": return AppPalette.danger
        case "Restore": return AppPalette.success
        case "Settings": return AppPalette.secondary
        case "Search": return AppPalette.accent
        case "Info": return AppPalette.accent
        case "Warning": return AppPalette.warning
        case "Check": return AppPalette.success
        case "Shield": return AppPalette.success
        case "Refresh": return AppPalette.accent
        case "Add": return AppPalette.success
        case "Browser": return ChartPalette.teal
        case "Download": return AppPalette.accent
        case "Developer": return ChartPalette.violet
        case "Other": return AppPalette.tertiary
        }
        return "transparent"
    }
    // The section's icon, by section raw value.
    function forSection(section) {
        return ({ overview: "Home", junk: "Trash", largeFiles: "Folder", diskMap: "Disk",
                  duplicates: "Copy", startup: "Power", uninstall: "Uninstall",
                  quarantine: "Restore", settings: "Settings" })[section] || ""
    }
}
