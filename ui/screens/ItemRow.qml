import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// One item a clean would move, with a button that shows it in the file manager.
RowLayout {
    id: row
    property var item
    spacing: 8
    Layout.fillWidth: true
    SymbolImage { symbol: row.item.kind === "folder" ? "folder" : "doc"; size: 13; Layout.preferredWidth: 14 }
    ColumnLayout {
        spacing: 0
        Layout.fillWidth: true
        Text { text: row.item.name; color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
        Text { text: Ui.shortPath(row.item.parentPath); color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideMiddle; Layout.fillWidth: true }
    }
    Text { text: Ui.bytes(row.item.size); color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium }
    ToolButton {
        implicitWidth: 24
        implicitHeight: 24
        background: Item {}
        contentItem: SymbolImage { symbol: "arrow.up.forward.app"; size: 13 }
        ToolTip.visible: hovered
        ToolTip.text: "Show in Files"
        Accessible.name: "Show in Files"
        onClicked: Ui.reveal(row.item.path)
    }
}
