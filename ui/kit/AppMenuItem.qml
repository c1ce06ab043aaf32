import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore

// A menu row: the command and, on the right, its shortcut as the desktop writes it.
MenuItem {
    id: item
    property string hint: action ? Ui.shortcutText(action.shortcut) : ""
    implicitHeight: 26
    leftPadding: 10
    rightPadding: 12
    implicitWidth: leftPadding + label.implicitWidth + 28 + keys.implicitWidth + rightPadding
    contentItem: RowLayout {
        spacing: 28
        Text {
            id: label
            text: item.text
            font.pixelSize: 13
            color: !item.enabled ? AppPalette.tertiary : item.highlighted ? AppPalette.textOnAccent : AppPalette.label
            Layout.fillWidth: true
        }
        Text {
            id: keys
            text: item.hint
            font.pixelSize: 12
            color: item.highlighted ? AppPalette.textOnAccent : AppPalette.tertiary
        }
    }
    background: Rectangle { radius: 5; color: item.highlighted ? AppPalette.accent : "transparent" }
}
