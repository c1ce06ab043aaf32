import QtQuick
import QtQuick.Layouts
import Kelvane

Rectangle {
    id: toast
    property string text
    // Work under way: a spinner instead of the tick.
    property bool busy: false
    // Keeps the last text while the notice slides away.
    property string shown
    onTextChanged: if (text.length > 0) shown = text
    width: Math.min(content.implicitWidth + 28, 520)
    height: content.implicitHeight + 18
    radius: height / 2
    color: AppPalette.dark ? Qt.rgba(0.16, 0.17, 0.2, 0.94) : Qt.rgba(1, 1, 1, 0.94)
    border.width: 0.5
    border.color: AppPalette.hairline
    Rectangle {  // shadow
        z: -1
        anchors.fill: parent
        anchors.topMargin: 5
        anchors.bottomMargin: -5
        radius: parent.radius
        color: Qt.rgba(0, 0, 0, 0.16)
    }
    RowLayout {
        id: content
        anchors.centerIn: parent
        width: Math.min(implicitWidth, 520 - 28)
        spacing: 8
        Spinner { visible: toast.busy; size: 15 }
        SymbolImage { visible: !toast.busy; symbol: "checkmark.circle.fill"; tint: AppPalette.success; size: 15 }
        Text {
            text: toast.shown
            color: AppPalette.label
            font.pixelSize: 13
            font.weight: Font.Medium
            elide: Text.ElideRight
            Layout.fillWidth: true
        }
    }
}
