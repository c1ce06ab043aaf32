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
    contentItem: ButtonLabel {
        text: control.text
        font: control.font
        symbol: control.symbol
        color: AppPalette.label
    }
}
