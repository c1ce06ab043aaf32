import QtQuick
import QtQuick.Layouts
import KelvaneCore
import Kelvane

Rectangle {
    id: row
    property string section
    property string title
    property string badge
    readonly property bool isSelected: App.section === section
    Layout.fillWidth: true
    implicitHeight: 30
    radius: 7
    color: isSelected ? AppPalette.cardRaised : "transparent"
    border.width: isSelected ? 0.5 : 0
    border.color: AppPalette.hairline

    Accessible.role: Accessible.Button
    Accessible.name: badge.length > 0 ? title + ", " + badge : title
    Accessible.selected: isSelected
    Accessible.onPressAction: App.section = section
    activeFocusOnTab: true
    Keys.onSpacePressed: App.section = section
    Keys.onReturnPressed: App.section = section
    Keys.onEnterPressed: App.section = section
    FocusRing { shown: row.activeFocus; inset: -2 }

    RowLayout {
        anchors.fill: parent
        anchors.leftMargin: 9
        anchors.rightMargin: 9
        spacing: 9
        AppIconImage { icon: AppIcons.forSection(row.section); size: 22 }
        Text {
            text: row.title
            color: AppPalette.label
            font.pixelSize: 15
            font.weight: row.isSelected ? Font.DemiBold : Font.Normal
            Layout.fillWidth: true
        }
        Text {
            visible: row.badge.length > 0
            text: row.badge
            color: AppPalette.tertiary
            font.pixelSize: 11
            font.weight: Font.DemiBold
        }
    }
    MouseArea {
        anchors.fill: parent
        onClicked: App.section = row.section
    }
}
