import QtQuick
import QtQuick.Controls
import KelvaneCore
import Kelvane

// One level of the disk map as tiles: the layout comes from C++, the colour from the depth.
Rectangle {
    id: map
    property var nodes: []
    property int depth: 0
    signal tapped(var node)
    radius: 8
    color: AppPalette.well

    readonly property color tint: [ChartPalette.blue, ChartPalette.teal, ChartPalette.violet, ChartPalette.amber][depth % 4]
    readonly property var cells: width > 0 && height > 0 ? Ui.treemap(nodes.map(n => n.size), width, height) : []

    Repeater {
        model: map.cells
        Item {
            id: tile
            required property var modelData
            readonly property var node: map.nodes[modelData.index]
            x: modelData.x + modelData.width / 2 - width / 2
            y: modelData.y + modelData.height / 2 - height / 2
            width: Math.max(modelData.width - 2, 2)
            height: Math.max(modelData.height - 2, 2)
            Rectangle { anchors.fill: parent; radius: 4; color: map.tint; opacity: 0.88 }
            Rectangle {
                visible: tile.modelData.label !== "none"
                x: 4; y: 4
                width: Math.min(labelColumn.implicitWidth + 8, tile.width - 8)
                height: labelColumn.implicitHeight + 4
                radius: 3
                color: Qt.rgba(0, 0, 0, 0.3)
                clip: true
                Column {
                    id: labelColumn
                    x: 4; y: 2
                    spacing: 1
                    Text { text: tile.node.name; color: "white"; font.pixelSize: 11; font.weight: Font.DemiBold; elide: Text.ElideRight; width: Math.min(implicitWidth, tile.width - 16) }
                    Text { visible: tile.modelData.label === "nameAndSize"; text: Ui.bytes(tile.node.size); color: "white"; opacity: 0.9; font.pixelSize: 11 }
                }
            }
            MouseArea {
                anchors.fill: parent
                hoverEnabled: true
                onClicked: map.tapped(tile.node)
                ToolTip.visible: containsMouse
                ToolTip.text: tile.node.name + " · " + Ui.bytes(tile.node.size)
            }
        }
    }
}
