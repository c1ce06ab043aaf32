import QtQuick
import QtQuick.Layouts
import KelvaneCore

// A stacked bar of where the space is, with an optional legend and caption. `segments` are
// objects { id, label, bytes, color }.
ColumnLayout {
    id: chart
    property var segments: []
    property real totalOverride: -1
    property string caption
    property real barHeight: 12
    property bool showLegend: true
    spacing: 10
    Layout.fillWidth: true

    readonly property var visibleSegments: segments.filter(s => s.bytes > 0)
    readonly property real baseTotal: totalOverride >= 0
        ? totalOverride : visibleSegments.reduce((sum, s) => sum + s.bytes, 0)
    readonly property real total: Math.max(baseTotal, 0)
    function percent(bytes) {
        if (baseTotal < 1)
            return "0%"
        return Ui.percent(bytes / total)
    }

    Accessible.role: Accessible.Chart
    Accessible.name: Ui.bytes(total) + " can be freed. "
        + visibleSegments.map(s => s.label + " " + Ui.bytes(s.bytes)).join(", ")

    Rectangle {
        id: bar
        Layout.fillWidth: true
        implicitHeight: chart.barHeight
        radius: height / 2
        color: AppPalette.wellStrong
        clip: true
        Row {
            visible: chart.total > 0 && chart.visibleSegments.length > 0
            spacing: 2
            height: parent.height
            Repeater {
                model: chart.visibleSegments
                Rectangle {
                    required property var modelData
                    height: bar.height
                    radius: 3
                    color: modelData.color
                    width: Math.max((bar.width - 2 * (chart.visibleSegments.length - 1))
                                    * modelData.bytes / Math.max(chart.total, 1), 2)
                    Behavior on width { NumberAnimation { duration: 350; easing.type: Easing.OutQuad } }
                }
            }
        }
    }
    GridLayout {
        visible: chart.showLegend && chart.visibleSegments.length > 0
        // Two columns only where a label, its size and its share fit whole.
        columns: chart.visibleSegments.length === 1 || chart.width < 420 ? 1 : 2
        rowSpacing: 7
        columnSpacing: 16
        Layout.fillWidth: true
        Repeater {
            model: chart.visibleSegments
            RowLayout {
                required property var modelData
                spacing: 6
                Layout.fillWidth: true
                Layout.minimumWidth: 10
                Layout.preferredWidth: 10
                Rectangle { width: 8; height: 8; radius: 2; color: modelData.color }
                Text {
                    text: modelData.label
                    color: AppPalette.secondary
                    font.pixelSize: 13
                    elide: Text.ElideRight
                    Layout.fillWidth: true
                    Layout.minimumWidth: Math.min(implicitWidth, 120)
                }
                Text {
                    text: Ui.bytes(modelData.bytes)
                    color: AppPalette.label
                    font.pixelSize: 13
                    font.weight: Font.Medium
                    Layout.leftMargin: 4
                }
                Text {
                    text: chart.percent(modelData.bytes)
                    color: AppPalette.tertiary
                    font.pixelSize: 11
                    horizontalAlignment: Text.AlignRight
                    Layout.preferredWidth: 32
                }
            }
        }
    }
    Text {
        visible: chart.caption.length > 0
        text: chart.caption
        color: AppPalette.tertiary
        font.pixelSize: 13
        wrapMode: Text.WordWrap
        Layout.fillWidth: true
    }
}
