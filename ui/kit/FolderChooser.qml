import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// Choosing a folder: the folder shown is the one chosen. A row opens its folder; nothing is
// picked for the user. Paths stay Kelvane's own texts end to end, so a name that is not
// UTF-8 comes back with its bytes.
SheetPopup {
    id: chooser
    objectName: "folderChooser"
    property string title
    property string acceptLabel: "Use this folder"
    property string folder: Ui.homePath
    property bool showHidden: false
    readonly property var folders: { folder; showHidden; return visible ? Ui.subfolders(folder, showHidden) : [] }
    readonly property bool atTop: folder === "/"
    signal chosen(string path)

    // Opens on `start`, or on the home folder when it is empty or not a folder.
    function openAt(start) {
        folder = start && start.length > 0 ? Ui.standardizedPath(start) : Ui.homePath
        open()
    }
    function openFolder(path) { folder = path; list.currentIndex = -1 }
    function up() { if (!atTop) openFolder(Ui.parentPath(folder)) }
    function accept() { close(); chosen(folder) }

    width: 520
    padding: 20

    contentItem: ColumnLayout {
        spacing: 12
        Text { text: chooser.title; color: AppPalette.label; font.pixelSize: 18; font.weight: Font.DemiBold }
        RowLayout {
            spacing: 8
            Layout.fillWidth: true
            SoftButton {
                objectName: "chooserUp"
                text: "Up"
                enabled: !chooser.atTop
                onClicked: chooser.up()
                Accessible.name: "Enclosing folder"
            }
            Text {
                objectName: "chooserFolder"
                text: Ui.shortPath(chooser.folder)
                color: AppPalette.label; font.pixelSize: 14; font.weight: Font.Medium
                elide: Text.ElideMiddle
                Layout.fillWidth: true
            }
        }
        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 280
            radius: 8
            color: AppPalette.card
            border.width: 0.5
            border.color: AppPalette.hairline
            ListView {
                id: list
                objectName: "chooserList"
                anchors.fill: parent
                anchors.margins: 4
                clip: true
                focus: true
                currentIndex: -1
                model: chooser.folders
                keyNavigationEnabled: true
                ScrollBar.vertical: ScrollBar {}
                Keys.onReturnPressed: if (currentIndex >= 0) chooser.openFolder(chooser.folders[currentIndex].path)
                Keys.onEnterPressed: if (currentIndex >= 0) chooser.openFolder(chooser.folders[currentIndex].path)
                Keys.onPressed: event => {
                    if (event.key === Qt.Key_Backspace || (event.key === Qt.Key_Up && (event.modifiers & Qt.AltModifier))) {
                        chooser.up()
                        event.accepted = true
                    }
                }
                delegate: Rectangle {
                    id: row
                    required property var modelData
                    required property int index
                    width: ListView.view.width
                    height: 30
                    radius: 6
                    color: ListView.isCurrentItem && list.activeFocus ? AppPalette.wellStrong : hover.hovered ? AppPalette.well : "transparent"
                    HoverHandler { id: hover }
                    TapHandler { onTapped: chooser.openFolder(row.modelData.path) }
                    RowLayout {
                        anchors.fill: parent
                        anchors.leftMargin: 8
                        anchors.rightMargin: 8
                        spacing: 8
                        SymbolImage { symbol: "folder"; tint: AppPalette.brandBottom; size: 14 }
                        Text { text: row.modelData.name; color: AppPalette.label; font.pixelSize: 13; elide: Text.ElideRight; Layout.fillWidth: true }
                        SymbolImage { symbol: "chevron.right"; tint: AppPalette.tertiary; size: 11 }
                    }
                }
                Text {
                    anchors.centerIn: parent
                    visible: chooser.folders.length === 0
                    text: "No folders inside"
                    color: AppPalette.tertiary; font.pixelSize: 13
                }
            }
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            CheckMark {
                text: "Show hidden folders"
                checked: chooser.showHidden
                onToggled: chooser.showHidden = checked
                Layout.fillWidth: true
            }
            SoftButton { text: "Cancel"; onClicked: chooser.close() }
            FilledButton { objectName: "chooserAccept"; text: chooser.acceptLabel; onClicked: chooser.accept() }
        }
    }
}
