import QtQuick
import QtQuick.Controls

// A modal sheet over the window: centred, closed with Escape, on the window's colour. The
// screen says whether it is wanted (`shown`); the sheet opens and closes itself, so its own
// closing never writes back into a binding, and `dismissed` tells the screen only when the
// user closed it (Escape, Cancel) while the screen still wanted it.
Popup {
    property bool shown: false
    signal dismissed()
    onShownChanged: shown ? open() : close()
    Component.onCompleted: if (shown) open()
    onClosed: if (shown) dismissed()

    parent: Overlay.overlay
    modal: true
    focus: true
    anchors.centerIn: parent
    padding: 22
    closePolicy: Popup.CloseOnEscape
    Overlay.modal: Rectangle { color: Qt.rgba(0, 0, 0, 0.28) }
    background: Rectangle { color: AppPalette.window; radius: 12; border.width: 0.5; border.color: AppPalette.hairline }
}
