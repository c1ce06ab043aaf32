import QtQuick

// A small spinning arc: work is going on.
Item {
    id: spinner
    property color tint: AppPalette.tertiary
    property bool running: visible
    property real size: 14
    implicitWidth: size
    implicitHeight: size
    Canvas {
        id: arc
        anchors.fill: parent
        onPaint: {
            const c = getContext("2d")
            c.reset()
            c.lineWidth = Math.max(1.5, spinner.size / 8)
            c.lineCap = "round"
            c.strokeStyle = spinner.tint
            c.beginPath()
            c.arc(width / 2, height / 2, width / 2 - c.lineWidth, 0, Math.PI * 1.5)
            c.stroke()
        }
        RotationAnimation on rotation { from: 0; to: 360; duration: 900; loops: Animation.Infinite; running: spinner.running }
    }
    onTintChanged: arc.requestPaint()
}
