import QtQuick

// A design symbol from the desktop's icon theme, tinted; a missing one keeps its frame.
Item {
    property string symbol
    property color tint: AppPalette.tertiary
    property real size: 13
    width: size
    height: size
    implicitWidth: size
    implicitHeight: size
    Accessible.ignored: true
    Image {
        anchors.fill: parent
        source: parent.symbol ? "image://symbol/" + parent.symbol + "/" + parent.tint : ""
        sourceSize: Qt.size(Math.ceil(parent.size * 2), Math.ceil(parent.size * 2))
        smooth: true
    }
}
