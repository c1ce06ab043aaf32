import QtQuick
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// One finding of the overview: what a scan found, leading to its screen.
Item {
    id: row
    property string icon
    property string title
    property string detail
    property string value
    property color valueColor: AppPalette.label
    property string section
    Layout.fillWidth: true
    implicitHeight: content.implicitHeight + 14
    Accessible.role: Accessible.Button
    Accessible.name: title + ". " + detail + ". " + value
    Accessible.description: "Opens the " + title + " screen"
    RowLayout {
        id: content
        anchors.fill: parent
        anchors.topMargin: 7
        anchors.bottomMargin: 7
        spacing: 10
        AppIconImage { icon: row.icon; size: 20 }
        ColumnLayout {
            spacing: 1
            Layout.fillWidth: true
            Text { text: row.title; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.Medium; Layout.fillWidth: true }
            Text { text: row.detail; color: AppPalette.tertiary; font.pixelSize: 13; elide: Text.ElideRight; Layout.fillWidth: true }
        }
        Text { text: row.value; color: row.valueColor; font.pixelSize: 15; font.weight: Font.Medium }
        SymbolImage { symbol: "chevron.right"; size: 11 }
    }
    MouseArea { anchors.fill: parent; cursorShape: Qt.PointingHandCursor; onClicked: App.section = row.section }
}
