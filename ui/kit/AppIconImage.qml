import QtQuick
import QtQuick.Window

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
        // Drawn at the size shown (times the screen's scale), so no texture filtering roughens
        // the strokes.
        sourceSize: Qt.size(Math.ceil(parent.size * Screen.devicePixelRatio), Math.ceil(parent.size * Screen.devicePixelRatio))
        smooth: true
    }
}
