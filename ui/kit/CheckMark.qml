import QtQuick
import QtQuick.Controls

// A check box drawn in the kit's colours.
CheckBox {
    id: control
    font.pixelSize: 13
    spacing: 8
    padding: 0
    indicator: Rectangle {
        implicitWidth: 16
        implicitHeight: 16
        x: control.leftPadding
        y: (control.height - height) / 2
        radius: 4
        color: control.checked ? AppPalette.accent : AppPalette.cardRaised
        border.width: control.checked ? 0 : 1
        border.color: AppPalette.tertiary
        FocusRing { shown: control.visualFocus; radius: 7 }
        Canvas {
            anchors.fill: parent
            visible: control.checked
            onPaint: {
                const c = getContext("2d")
                c.reset()
                c.strokeStyle = "white"
                c.lineWidth = 2
                c.lineCap = "round"
                c.beginPath()
                c.moveTo(4, 8.5)
                c.lineTo(7, 11.5)
                c.lineTo(12, 5)
                c.stroke()
            }
        }
    }
    contentItem: Text {
        text: control.text
        font: control.font
        color: AppPalette.label
        leftPadding: control.text.length > 0 ? control.indicator.width + control.spacing : control.indicator.width
        verticalAlignment: Text.AlignVCenter
    }
}
