import QtQuick

// The keyboard focus ring: drawn around the control that the keyboard acts on, only when the
// focus came from the keyboard, so a mouse click leaves no ring behind.
Rectangle {
    property bool shown: false
    property real inset: -3
    anchors.fill: parent
    anchors.margins: inset
    radius: 9
    color: "transparent"
    border.width: 2
    border.color: AppPalette.accent
    visible: shown
}
