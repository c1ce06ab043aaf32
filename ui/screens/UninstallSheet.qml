import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// The uninstall confirmation: every leftover starts ticked; nothing happens until the user
// says they understand the app will quit and move to the Trash.
SheetPopup {
    id: sheet
    property var app: null
    property var leftovers: []
    property var selected: ({})
    property bool confirmed: false
    // Flatpaks and Snaps are removed by their own tools, not moved to the Trash.
    readonly property string removedBy: !app ? "" : app.source === "flatpak" ? "Flatpak" : app.source === "snap" ? "Snap" : ""
    signal confirmedChosen(var paths)

    readonly property var chosen: leftovers.filter(l => selected[l.path] === true)
    readonly property real chosenBytes: chosen.reduce((sum, l) => sum + l.size, 0)

    width: 500
    // Every leftover starts ticked, whichever of the two arrives first.
    function reset() {
        const all = {}
        for (const l of leftovers) all[l.path] = true
        selected = all
        confirmed = false
    }
    onOpened: reset()
    onLeftoversChanged: reset()

    function confirm() {
        if (confirmed)
            sheet.confirmedChosen(chosen.map(l => l.path))
    }

    contentItem: ColumnLayout {
        spacing: 15
        focus: true
        Keys.onReturnPressed: sheet.confirm()
        Keys.onEnterPressed: sheet.confirm()
        RowLayout {
            spacing: 12
            Image { source: !sheet.app ? "" : sheet.app.icon ? "image://appicon/" + sheet.app.icon : "image://file/" + sheet.app.path; sourceSize: Qt.size(80, 80); Layout.preferredWidth: 40; Layout.preferredHeight: 40 }
            ColumnLayout {
                spacing: 2
                Layout.fillWidth: true
                Text { text: sheet.app ? "Uninstall " + sheet.app.name + "?" : ""; color: AppPalette.label; font.pixelSize: 18; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Text { text: sheet.app ? sheet.app.bundleID + " · " + Ui.bytes(sheet.app.size) : ""; color: AppPalette.tertiary; font.pixelSize: 13 }
            }
        }
        Rectangle {
            visible: sheet.app !== null && Ui.isRunning(sheet.app.path)
            Layout.fillWidth: true
            implicitHeight: runningRow.implicitHeight + 18
            radius: 8
            color: Qt.rgba(AppPalette.warning.r, AppPalette.warning.g, AppPalette.warning.b, 0.1)
            RowLayout {
                id: runningRow
                anchors.fill: parent
                anchors.margins: 9
                spacing: 7
                SymbolImage { symbol: "exclamationmark.triangle"; tint: AppPalette.warning; size: 13 }
                Text { text: sheet.app ? sheet.app.name + " is running. Kelvane will ask it to quit first." : ""; color: AppPalette.warning; font.pixelSize: 13; Layout.fillWidth: true; wrapMode: Text.WordWrap }
            }
        }
        ColumnLayout {
            spacing: 7
            Layout.fillWidth: true
            RowLayout {
                Layout.fillWidth: true
                SectionLabel { text: "Leftover files"; Layout.fillWidth: true }
                Text { text: sheet.leftovers.length > 0 ? sheet.leftovers.length + " found" : "None found"; color: AppPalette.tertiary; font.pixelSize: 12 }
            }
            ListView {
                visible: sheet.leftovers.length > 0
                Layout.fillWidth: true
                Layout.preferredHeight: Math.min(contentHeight, 300)
                clip: true
                spacing: 5
                model: sheet.leftovers
                ScrollBar.vertical: ScrollBar {}
                delegate: RowLayout {
                    required property var modelData
                    width: ListView.view.width
                    spacing: 8
                    CheckMark {
                        checked: sheet.selected[modelData.path] === true
                        onToggled: {
                            const next = Object.assign({}, sheet.selected)
                            if (checked) next[modelData.path] = true; else delete next[modelData.path]
                            sheet.selected = next
                        }
                        Accessible.name: modelData.name
                    }
                    ColumnLayout {
                        spacing: 0
                        Layout.fillWidth: true
                        Text { text: modelData.name; color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                        Text { text: Ui.shortPath(modelData.parentPath); color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideMiddle; Layout.fillWidth: true }
                    }
                    Text { text: Ui.bytes(modelData.size); color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium }
                }
            }
            Text {
                visible: sheet.leftovers.length === 0
                text: "No application support, cache or preference files were found for this app."
                color: AppPalette.secondary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
            }
        }
        RowLayout {
            Layout.fillWidth: true
            Text { text: sheet.removedBy === "" ? "App moves to Trash" : "App is removed with " + sheet.removedBy; color: AppPalette.secondary; font.pixelSize: 13; Layout.fillWidth: true }
            Text {
                objectName: "uninstallSummary"
                text: sheet.app ? Ui.bytes(sheet.app.size) + " app · " + Ui.bytes(sheet.chosenBytes) + " leftovers" : ""
                color: AppPalette.tertiary; font.pixelSize: 13; font.weight: Font.Medium
            }
        }
        Text { text: "The app and the selected leftovers stay on disk until the Trash and quarantine are emptied."; color: AppPalette.tertiary; font.pixelSize: 12; wrapMode: Text.WordWrap; Layout.fillWidth: true }
        CheckMark {
            objectName: "understoodBox"
            text: sheet.removedBy === "" ? "I understand the app will quit and move to Trash" : "I understand the app will quit and be removed with " + sheet.removedBy
            checked: sheet.confirmed
            onToggled: sheet.confirmed = checked
        }
        RowLayout {
            Layout.fillWidth: true
            spacing: 8
            Item { Layout.fillWidth: true }
            SoftButton { text: "Cancel"; onClicked: sheet.close() }
            FilledButton {
                objectName: "confirmUninstall"
                text: sheet.app ? "Uninstall " + sheet.app.name : "Uninstall"
                tint: AppPalette.danger
                enabled: sheet.confirmed
                onClicked: sheet.confirm()
            }
        }
    }
}
