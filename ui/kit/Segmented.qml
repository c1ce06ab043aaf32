import QtQuick
import QtQuick.Layouts

// A segmented control: one segment per option { value, title }, the current one raised.
Rectangle {
    id: control
    property var options: []
    property string current
    signal chosen(string value)
    implicitHeight: 28
    radius: 7
    color: AppPalette.wellStrong
    opacity: enabled ? 1 : 0.5
    Accessible.role: Accessible.PageTabList
    // Tab reaches the control; the arrow keys move the choice.
    activeFocusOnTab: enabled
    function step(by) {
        const at = options.findIndex(o => o.value === current)
        const next = Math.min(Math.max(at + by, 0), options.length - 1)
        if (next !== at && next >= 0)
            chosen(options[next].value)
    }
    Keys.onLeftPressed: step(-1)
    Keys.onRightPressed: step(1)
    FocusRing { shown: control.activeFocus }
    RowLayout {
        anchors.fill: parent
        anchors.margins: 2
        spacing: 2
        Repeater {
            model: control.options
            Rectangle {
                required property var modelData
                readonly property bool selected: modelData.value === control.current
                Layout.fillWidth: true
                Layout.fillHeight: true
                radius: 5
                color: selected ? AppPalette.cardRaised : "transparent"
                border.width: selected ? 0.5 : 0
                border.color: AppPalette.hairline
                Accessible.role: Accessible.PageTab
                Accessible.name: modelData.title
                Accessible.selected: selected
                Text {
                    anchors.centerIn: parent
                    text: modelData.title
                    color: AppPalette.label
                    font.pixelSize: 13
                    font.weight: parent.selected ? Font.DemiBold : Font.Normal
                }
                MouseArea { anchors.fill: parent; enabled: control.enabled; onClicked: control.chosen(modelData.value) }
            }
        }
    }
}
