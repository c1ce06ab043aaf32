import QtQuick
import QtQuick.Layouts

// An empty state: icon, title, message and an optional action, centred with 36 points above
// and below. The space is the item's own, so it holds inside a card as well as in a layout.
Item {
    id: empty
    property string icon
    property string title
    property string message
    property string actionTitle
    signal action()
    property bool hasAction: false
    readonly property real space: 36
    Layout.fillWidth: true
    implicitWidth: column.implicitWidth
    implicitHeight: column.implicitHeight + 2 * space

    ColumnLayout {
        id: column
        objectName: "emptyStateColumn"
        x: 0
        y: empty.space
        width: empty.width
        spacing: 12
        AppIconImage { icon: empty.icon; size: 72; Layout.alignment: Qt.AlignHCenter }
        Text {
            text: empty.title
            color: AppPalette.label
            font.pixelSize: 15
            font.weight: Font.DemiBold
            horizontalAlignment: Text.AlignHCenter
            Layout.fillWidth: true
        }
        Text {
            text: empty.message
            color: AppPalette.secondary
            font.pixelSize: 15
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            Layout.topMargin: -8
            Layout.maximumWidth: 360
            Layout.preferredWidth: Math.min(360, empty.width)
            Layout.alignment: Qt.AlignHCenter
        }
        FilledButton {
            visible: empty.hasAction && empty.actionTitle.length > 0
            text: empty.actionTitle
            Layout.alignment: Qt.AlignHCenter
            onClicked: empty.action()
        }
    }
}
