import QtQuick
import QtQuick.Layouts

ColumnLayout {
    property string title
    property string value
    property string detail
    property color tint: AppPalette.label
    spacing: 5
    Layout.fillWidth: true
    SectionLabel { text: parent.title }
    Text {
        text: parent.value
        color: parent.tint
        font.pixelSize: 19
        font.weight: Font.DemiBold
        fontSizeMode: Text.HorizontalFit
        minimumPixelSize: 13
        elide: Text.ElideRight
        Layout.fillWidth: true
    }
    Text {
        visible: parent.detail.length > 0
        text: parent.detail
        color: AppPalette.tertiary
        font.pixelSize: 13
        elide: Text.ElideRight
        Layout.fillWidth: true
    }
}
