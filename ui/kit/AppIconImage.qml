import QtQuick

// One of the twenty icons, tinted; an unknown or missing icon shows nothing but keeps its frame.
Item {
    property string icon
    property real size: 20
    width: size
    height: size
    implicitWidth: size
    implicitHeight: size
    Accessible.ignored: true
    Image {
        anchors.fill: parent
        visible: AppIcons.names.indexOf(parent.icon) >= 0
        source: visible ? "image://icon/" + parent.icon + "/" + AppIcons.tint(parent.icon) : ""
        sourceSize: Qt.size(Math.ceil(parent.size * 2), Math.ceil(parent.size * 2))
        smooth: true
    }
}
