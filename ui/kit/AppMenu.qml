import QtQuick
import QtQuick.Controls

// A menu of the menu bar: a rounded raised surface whose rows show their shortcuts.
Menu {
    id: menu
    padding: 5
    delegate: AppMenuItem {}
    background: Rectangle {
        implicitWidth: 230
        color: AppPalette.window
        radius: 8
        border.width: 0.5
        border.color: AppPalette.hairline
        Rectangle {  // a soft shadow below the edge
            z: -1
            anchors.fill: parent
            anchors.topMargin: 2
            anchors.bottomMargin: -3
            radius: 9
            color: Qt.rgba(0, 0, 0, AppPalette.dark ? 0.35 : 0.12)
        }
    }
}
