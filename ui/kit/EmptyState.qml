import QtQuick
import QtQuick.Layouts

ColumnLayout {
    id: empty
    property string icon
    property string title
    property string message
    property string actionTitle
    signal action()
    property bool hasAction: false
    spacing: 12
    Layout.fillWidth: true
    Layout.topMargin: 36
    Layout.bottomMargin: 36
    AppIconImage { icon: empty.icon; size: 72; Layout.alignment: Qt.AlignHCenter }
    ColumnLayout {
        spacing: 4
        Layout.alignment: Qt.AlignHCenter
        Text {
            text: empty.title
            color: AppPalette.label
            font.pixelSize: 15
            font.weight: Font.DemiBold
            Layout.alignment: Qt.AlignHCenter
        }
        Text {
            text: empty.message
            color: AppPalette.secondary
            font.pixelSize: 15
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.WordWrap
            Layout.maximumWidth: 360
            Layout.alignment: Qt.AlignHCenter
        }
    }
    FilledButton {
        visible: empty.hasAction && empty.actionTitle.length > 0
        text: empty.actionTitle
        Layout.alignment: Qt.AlignHCenter
        onClicked: empty.action()
    }
}
