import QtQuick
import QtQuick.Layouts

Rectangle {
    id: pill
    property string text
    property color tint: AppPalette.secondary
    property string symbol
    implicitWidth: row.implicitWidth + 14
    implicitHeight: row.implicitHeight + 6
    radius: height / 2
    color: Qt.rgba(tint.r, tint.g, tint.b, 0.12)
    RowLayout {
        id: row
        anchors.centerIn: parent
        spacing: 4
        SymbolImage {
            visible: pill.symbol.length > 0
            symbol: pill.symbol
            tint: pill.tint
            size: 11
        }
        Text {
            text: pill.text
            color: pill.tint
            font.pixelSize: 12
            font.weight: Font.DemiBold
        }
    }
}
