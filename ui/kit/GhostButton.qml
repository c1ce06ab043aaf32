import QtQuick
import QtQuick.Controls

Button {
    id: control
    font.pixelSize: 15
    font.weight: Font.Medium
    implicitHeight: 26
    leftPadding: 8
    rightPadding: 8
    topPadding: 0
    bottomPadding: 0
    opacity: down ? 0.65 : 1
    background: Item { FocusRing { shown: control.visualFocus; inset: -1; radius: 7 } }
    contentItem: Text {
        text: control.text
        font: control.font
        color: AppPalette.secondary
        verticalAlignment: Text.AlignVCenter
    }
}
