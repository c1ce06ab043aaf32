import QtQuick
import QtQuick.Controls

// The primary button: white semibold text on a filled rounded rectangle.
Button {
    id: control
    property color tint: AppPalette.accent
    property string symbol
    property bool busy: false
    font.pixelSize: 15
    font.weight: Font.DemiBold
    implicitHeight: 30
    leftPadding: 14
    rightPadding: 14
    topPadding: 0
    bottomPadding: 0
    opacity: down ? 0.86 : 1
    scale: down ? 0.985 : 1
    Behavior on opacity { NumberAnimation { duration: 100; easing.type: Easing.OutQuad } }
    background: Rectangle {
        radius: 7
        color: control.tint
        opacity: control.enabled ? 1 : 0.45
    }
    contentItem: Row {
        spacing: 6
        Spinner {
            visible: control.busy
            tint: AppPalette.textOnAccent
            size: 13
            anchors.verticalCenter: parent.verticalCenter
        }
        SymbolImage {
            visible: control.symbol.length > 0 && !control.busy
            symbol: control.symbol
            tint: AppPalette.textOnAccent
            size: 13
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            text: control.text
            font: control.font
            color: AppPalette.textOnAccent
            anchors.verticalCenter: parent.verticalCenter
        }
    }
}
