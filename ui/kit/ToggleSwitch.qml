import QtQuick
import QtQuick.Controls

// An on/off switch in the kit's colours: the track is the accent when on and a grey well when
// off, in both appearances; a switch that cannot be used is faded.
Switch {
    id: control
    padding: 0
    spacing: 0
    implicitWidth: 34
    implicitHeight: 20
    opacity: enabled ? 1 : 0.45
    indicator: Rectangle {
        objectName: "switchTrack"
        implicitWidth: 34
        implicitHeight: 20
        x: control.leftPadding
        y: (control.height - height) / 2
        radius: height / 2
        color: control.checked ? AppPalette.accent : AppPalette.switchOff
        border.width: control.checked ? 0 : 0.5
        border.color: AppPalette.hairline
        Behavior on color { ColorAnimation { duration: 120 } }
        Rectangle {
            width: 16
            height: 16
            radius: 8
            y: 2
            x: control.checked ? parent.width - width - 2 : 2
            color: "white"
            border.width: 0.5
            border.color: Qt.rgba(0, 0, 0, 0.12)
            Behavior on x { NumberAnimation { duration: 120; easing.type: Easing.OutQuad } }
        }
        FocusRing { shown: control.visualFocus; radius: height / 2 + 3 }
    }
    contentItem: Item {}
}
