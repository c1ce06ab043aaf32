import QtQuick
import QtQuick.Layouts

// A card: content inset by `padding` on a rounded surface with a hairline edge.
Item {
    id: card
    property real padding: 16
    property color fill: AppPalette.card
    default property alias content: holder.data
    Layout.fillWidth: true
    implicitWidth: holder.childrenRect.width + 2 * padding
    implicitHeight: holder.childrenRect.height + 2 * padding

    Rectangle {  // the faint shadow, one point down
        anchors.fill: parent
        anchors.topMargin: 1
        anchors.bottomMargin: -1
        radius: 12
        color: Qt.rgba(0, 0, 0, 0.035)
    }
    Rectangle {
        anchors.fill: parent
        radius: 12
        color: card.fill
        border.width: 0.5
        border.color: AppPalette.hairline
    }
    Item {
        id: holder
        x: card.padding
        y: card.padding
        width: card.width - 2 * card.padding
        height: card.height - 2 * card.padding
    }
}
