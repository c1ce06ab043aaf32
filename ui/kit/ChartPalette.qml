pragma Singleton
import QtQuick
import KelvaneCore

// Chart colours: four base hues in a light and a dark variant, and the names screens use.
QtObject {
    readonly property bool dark: Ui.dark
    readonly property color blue: dark ? "#6EA8FF" : "#2F6FED"
    readonly property color teal: dark ? "#45D6C4" : "#0F9488"
    readonly property color violet: dark ? "#A78BFA" : "#7C5CFA"
    readonly property color amber: dark ? "#F0B45E" : "#C07816"
    readonly property color junk: blue
    readonly property color large: teal
    readonly property color duplicates: violet
    readonly property color startup: amber
    readonly property color system: blue
    readonly property color browsers: teal
    readonly property color developer: violet
    readonly property color trash: amber
    readonly property color downloads: amber
    readonly property color muted: AppPalette.wellStrong
}
