import QtQuick
import QtQuick.Controls

Button {
    id: control
    property string symbol
    font.pixelSize: 15
    font.weight: Font.Medium
    implicitHeight: 30
    leftPadding: 12
    rightPadding: 12
    topPadding: 0
    bottomPadding: 0
    opacity: !enabled ? 0.5 : (down ? 0.85 : 1)
    background: Rectangle {
        radius: 7
        color: AppPalette.well
        border.width: 0.5
        border.color: AppPalette.hairline
        FocusRing { shown: control.visualFocus }
    }
    // Sized by binding (see FilledButton): a Row's size arrives a frame late for layouts.
    contentItem: Item {
        readonly property bool hasMark: control.symbol.length > 0
        implicitWidth: (hasMark ? 13 + 6 : 0) + label.implicitWidth
        implicitHeight: Math.max(13, label.implicitHeight)
        SymbolImage {
            visible: parent.hasMark
            symbol: control.symbol
            tint: AppPalette.label
            size: 13
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            id: label
            x: parent.hasMark ? 13 + 6 : 0
            text: control.text
            font: control.font
            color: AppPalette.label
            anchors.verticalCenter: parent.verticalCenter
        }
    }
}
