import QtQuick
import QtQuick.Controls

// A compact pop-up menu in the kit's colours. Its list opens below the button, at most eight
// rows high, scrolled to the current choice.
ComboBox {
    id: control
    font.pixelSize: 13
    implicitHeight: 26
    leftPadding: 8
    rightPadding: 20
    readonly property int visibleRows: 8
    readonly property real rowHeight: 26
    background: Rectangle {
        radius: 6
        color: AppPalette.well
        border.width: 0.5
        border.color: AppPalette.hairline
        FocusRing { shown: control.visualFocus }
    }
    contentItem: Text {
        text: control.displayText
        font: control.font
        color: AppPalette.label
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
    indicator: Text {
        x: control.width - width - 7
        anchors.verticalCenter: parent.verticalCenter
        text: "▾"
        color: AppPalette.secondary
        font.pixelSize: 11
    }
    delegate: ItemDelegate {
        id: choice
        required property var modelData
        required property int index
        width: ListView.view ? ListView.view.width : control.width
        height: control.rowHeight
        highlighted: control.highlightedIndex === index
        leftPadding: 8
        contentItem: Text {
            text: choice.modelData
            font.pixelSize: control.font.pixelSize
            font.weight: choice.index === control.currentIndex ? Font.DemiBold : Font.Normal
            color: choice.highlighted ? AppPalette.textOnAccent : AppPalette.label
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle { radius: 5; color: choice.highlighted ? AppPalette.accent : "transparent" }
    }
    popup: Popup {
        objectName: "menuPickerPopup"
        y: control.height + 3
        width: Math.max(control.width, 72)
        height: Math.min(control.count, control.visibleRows) * control.rowHeight + topPadding + bottomPadding
        padding: 4
        contentItem: ListView {
            id: choices
            clip: true
            model: control.popup.visible ? control.delegateModel : null
            currentIndex: control.highlightedIndex
            boundsBehavior: Flickable.StopAtBounds
            ScrollBar.vertical: ScrollBar { policy: control.count > control.visibleRows ? ScrollBar.AlwaysOn : ScrollBar.AlwaysOff }
        }
        onOpened: choices.positionViewAtIndex(Math.max(control.currentIndex, 0), ListView.Center)
        background: Rectangle {
            color: AppPalette.window
            radius: 8
            border.width: 0.5
            border.color: AppPalette.hairline
        }
    }
}
