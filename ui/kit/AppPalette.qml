pragma Singleton
import QtQuick
import KelvaneCore

// The design's Palette (QtQuick has a type of that name): the colour roles every screen draws with, each in a light and a dark variant chosen by
// Ui.dark.
QtObject {
    readonly property bool dark: Ui.dark
    function rgb(r, g, b, a) { return Qt.rgba(r / 255, g / 255, b / 255, a === undefined ? 1 : a) }
    function pick(light, darkVariant) { return dark ? darkVariant : light }

    readonly property color accent: Ui.accent
    readonly property color window: pick(rgb(242, 245, 249), rgb(21, 24, 29))
    readonly property color sidebar: pick(rgb(231, 237, 244), rgb(16, 19, 24))
    readonly property color card: pick(rgb(255, 255, 255, 0.97), rgb(255, 255, 255, 0.055))
    readonly property color cardRaised: pick(rgb(255, 255, 255), rgb(255, 255, 255, 0.09))
    readonly property color well: pick(rgb(11, 18, 32, 0.05), rgb(255, 255, 255, 0.055))
    readonly property color wellStrong: pick(rgb(11, 18, 32, 0.09), rgb(255, 255, 255, 0.085))
    readonly property color switchOff: pick(rgb(11, 18, 32, 0.16), rgb(255, 255, 255, 0.24))
    readonly property color hairline: pick(rgb(11, 18, 32, 0.10), rgb(255, 255, 255, 0.09))
    readonly property color success: pick(rgb(30, 122, 55), rgb(48, 209, 88))
    readonly property color warning: pick(rgb(163, 82, 0), rgb(255, 159, 10))
    readonly property color danger: pick(rgb(201, 0, 18), rgb(255, 69, 58))
    readonly property color idle: pick(rgb(107, 118, 132), rgb(142, 142, 147))
    readonly property color brandTop: pick(rgb(47, 192, 173), rgb(58, 214, 192))
    readonly property color brandBottom: pick(rgb(42, 115, 232), rgb(76, 147, 255))
    readonly property color eyebrow: pick(rgb(36, 95, 196), rgb(127, 178, 255))
    // The desktop's own label colours in its two appearances.
    readonly property color label: pick(rgb(0, 0, 0, 0.85), rgb(255, 255, 255, 0.85))
    readonly property color secondary: pick(rgb(79, 90, 104), rgb(161, 161, 166))
    readonly property color tertiary: pick(rgb(98, 108, 121), rgb(142, 142, 147))
    readonly property color textOnAccent: "white"  // the design's onAccent; QML reserves on… names for handlers
}
