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
    // Sized from its parts by binding, not by a Row's positioning pass: a layout beside the
    // button then sees the new width the moment the text or the spinner changes.
    contentItem: Item {
        readonly property bool hasMark: control.busy || control.symbol.length > 0
        implicitWidth: (hasMark ? 13 + 6 : 0) + label.implicitWidth
        implicitHeight: Math.max(13, label.implicitHeight)
        Spinner {
            id: spinner
            visible: control.busy
            tint: control.enabled ? AppPalette.textOnAccent : AppPalette.secondary
            size: 13
            anchors.verticalCenter: parent.verticalCenter
        }
        SymbolImage {
            visible: control.symbol.length > 0 && !control.busy
            symbol: control.symbol
            tint: control.enabled ? AppPalette.textOnAccent : AppPalette.secondary
            size: 13
            anchors.verticalCenter: parent.verticalCenter
        }
        Text {
            id: label
            x: parent.hasMark ? 13 + 6 : 0
            text: control.text
            font: control.font
            color: control.enabled ? AppPalette.textOnAccent : AppPalette.secondary
            anchors.verticalCenter: parent.verticalCenter
        }
    }
}
