import QtQuick
import QtQuick.Layouts

// Eyebrow, title and subtitle, with the page's main buttons at the trailing edge.
RowLayout {
    id: header
    property string eyebrow
    property string title
    property string subtitle
    default property alias trailing: trailingRow.data
    spacing: 16
    Layout.fillWidth: true

    ColumnLayout {
        Layout.fillWidth: true
        Layout.alignment: Qt.AlignTop
        spacing: 4
        SectionLabel {
            visible: header.eyebrow.length > 0
            text: header.eyebrow
            tint: AppPalette.eyebrow
            Layout.bottomMargin: 1
        }
        Text {
            text: header.title
            color: AppPalette.label
            font.pixelSize: 24
            font.weight: Font.DemiBold
            Accessible.role: Accessible.Heading
        }
        Text {
            text: header.subtitle
            color: AppPalette.secondary
            font.pixelSize: 15
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
    }
    RowLayout {
        id: trailingRow
        Layout.alignment: Qt.AlignTop
        spacing: 8
    }
}
