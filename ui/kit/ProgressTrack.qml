import QtQuick
import QtQuick.Layouts

Rectangle {
    property real value: 0
    property color tint: AppPalette.accent
    Layout.fillWidth: true
    implicitHeight: 6
    radius: height / 2
    color: AppPalette.wellStrong
    Rectangle {
        height: parent.height
        radius: height / 2
        color: parent.tint
        width: parent.width * Math.max(0, Math.min(parent.value, 1))
        Behavior on width { NumberAnimation { duration: 250; easing.type: Easing.OutQuad } }
    }
}
