import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// The confirmation before a clean: what will move, the retention window, and an explicit
// review before "Move to Quarantine" is allowed.
SheetPopup {
    id: sheet
    property string title
    property var items: []
    property int retentionDays: 7
    property bool reviewed: false
    signal confirmed()

    width: 480
    onOpened: reviewed = false

    contentItem: ColumnLayout {
        spacing: 14
        focus: true
        RowLayout {
            spacing: 12
            Rectangle {
                width: 36; height: 36; radius: 9
                color: Qt.rgba(AppPalette.brandBottom.r, AppPalette.brandBottom.g, AppPalette.brandBottom.b, 0.1)
                SymbolImage { anchors.centerIn: parent; symbol: "tray.and.arrow.down"; tint: AppPalette.brandBottom; size: 18 }
            }
            ColumnLayout {
                spacing: 3
                Text { text: sheet.title; color: AppPalette.label; font.pixelSize: 18; font.weight: Font.DemiBold }
                Text { text: Ui.fileCount(sheet.items.length) + " will move to the quarantine."; color: AppPalette.secondary; font.pixelSize: 13 }
            }
        }
        Flickable {
            Layout.fillWidth: true
            Layout.preferredHeight: Math.min(list.implicitHeight, 230)
            contentHeight: list.implicitHeight
            clip: true
            ScrollBar.vertical: ScrollBar {}
            ColumnLayout {
                id: list
                width: parent.width
                spacing: 6
                Repeater {
                    model: sheet.items.slice(0, 40)
                    RowLayout {
                        required property var modelData
                        Layout.fillWidth: true
                        spacing: 8
                        SymbolImage { symbol: modelData.kind === "folder" ? "folder" : "doc"; size: 12; Layout.alignment: Qt.AlignTop; Layout.topMargin: 2 }
                        // The folder under the name: copies of one file differ only there.
                        ColumnLayout {
                            spacing: 0
                            Layout.fillWidth: true
                            Text { text: Ui.lastComponent(modelData.path); color: AppPalette.label; font.pixelSize: 13; elide: Text.ElideRight; Layout.fillWidth: true }
                            Text { objectName: "itemFolder"; text: Ui.shortPath(Ui.parentPath(modelData.path)); color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideMiddle; Layout.fillWidth: true }
                        }
                        Text { text: Ui.bytes(modelData.size); color: AppPalette.tertiary; font.pixelSize: 13; Layout.alignment: Qt.AlignTop }
                    }
                }
                Text {
                    objectName: "moreLine"
                    visible: sheet.items.length > 40
                    text: "and " + (sheet.items.length - 40) + " more"
                    color: AppPalette.tertiary
                    font.pixelSize: 13
                }
            }
        }
        Rectangle {
            Layout.fillWidth: true
            implicitHeight: retention.implicitHeight + 20
            radius: 8
            color: Qt.rgba(AppPalette.success.r, AppPalette.success.g, AppPalette.success.b, 0.08)
            RowLayout {
                id: retention
                anchors.fill: parent
                anchors.margins: 10
                spacing: 8
                SymbolImage { symbol: "arrow.uturn.backward.circle"; tint: AppPalette.success; size: 13; Layout.alignment: Qt.AlignTop }
                Text {
                    text: "You can restore everything from Quarantine for the next " + sheet.retentionDays + " days. Nothing is removed from the disk until then."
                    color: AppPalette.secondary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
                }
            }
        }
        CheckMark {
            objectName: "reviewedBox"
            text: "I have reviewed the list"
            checked: sheet.reviewed
            onToggled: sheet.reviewed = checked
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Item { Layout.fillWidth: true }
            SoftButton { objectName: "cancelButton"; text: "Cancel"; onClicked: sheet.close() }
            FilledButton {
                objectName: "moveButton"
                text: "Move to Quarantine"
                enabled: sheet.reviewed
                onClicked: sheet.confirmed()
            }
        }
        Keys.onReturnPressed: if (sheet.reviewed) sheet.confirmed()
        Keys.onEnterPressed: if (sheet.reviewed) sheet.confirmed()
    }
}
