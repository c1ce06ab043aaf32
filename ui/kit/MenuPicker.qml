import QtQuick
import QtQuick.Controls

// A compact pop-up menu in the kit's colours.
ComboBox {
    id: control
    font.pixelSize: 13
    implicitHeight: 26
    leftPadding: 8
    rightPadding: 20
    background: Rectangle {
        radius: 6
        color: AppPalette.well
        border.width: 0.5
        border.color: AppPalette.hairline
    }
    contentItem: Text {
        text: control.displayText
        font: control.font
        color: AppPalette.label
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    indicator: Text {
        x: control.width - width - 7
        anchors.verticalCenter: parent.verticalCenter
        text: "▾"
        color: AppPalette.secondary
        font.pixelSize: 11
    }
}
