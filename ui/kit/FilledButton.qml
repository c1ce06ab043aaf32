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
    // A disabled button is a quiet well with grey text, in both appearances: a faded accent
    // still reads as pressable on a dark window.
    background: Rectangle {
        radius: 7
        color: control.enabled ? control.tint : AppPalette.wellStrong
        FocusRing { shown: control.visualFocus }
    }
    contentItem: ButtonLabel {
        text: control.text
        font: control.font
        symbol: control.symbol
        busy: control.busy
        color: control.enabled ? AppPalette.textOnAccent : AppPalette.secondary
    }
}
