import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// Applications and their uninstall: the bundle to the Trash, the ticked leftovers into the
// quarantine.
ColumnLayout {
    id: screen
    objectName: "uninstallScreen"
    spacing: 20

    property string search: ""
    property var selected: null
    property bool preparing: false
    property var pending: null  // { app, leftovers }

    property var apps: []
    function reload() {
        apps = App.installedAppList()
        if (selected && !apps.some(a => a.path === selected.path))
            selected = null
    }
    Component.onCompleted: { reload(); App.loadApps(false) }
    Connections {
        target: App
        function onInstalledAppsChanged() { screen.reload() }
        function onLeftoversFound(appPath, items) {
            if (!screen.preparing || !screen.selected || screen.selected.path !== appPath)
                return
            screen.pending = { app: screen.selected, leftovers: items }
            screen.preparing = false
        }
    }

    readonly property string trimmed: search.trim()
    readonly property var filtered: trimmed.length === 0 ? apps : apps.filter(a =>
        a.name.toLocaleLowerCase().indexOf(trimmed.toLocaleLowerCase()) >= 0
        || a.bundleID.toLocaleLowerCase().indexOf(trimmed.toLocaleLowerCase()) >= 0)

    function selectApp(path) {
        selected = apps.find(a => a.path === path) || null
    }
    function prepare(app) {
        if (preparing)
            return
        preparing = true
        App.findLeftovers(app.path)
    }

    PageHeader {
        eyebrow: "Uninstall"
        title: "A clean goodbye"
        subtitle: "The app moves to Trash. Leftovers stay restorable for seven days."
        SoftButton { text: "Refresh"; symbol: "arrow.clockwise"; enabled: !App.isLoadingApps; onClicked: App.loadApps(true) }
    }

    Rectangle {
        Layout.preferredWidth: 340
        implicitHeight: 30
        radius: 7
        color: AppPalette.well
        border.width: 0.5
        border.color: AppPalette.hairline
        RowLayout {
            anchors.fill: parent
            anchors.leftMargin: 10
            anchors.rightMargin: 10
            spacing: 7
            SymbolImage { symbol: "magnifyingglass"; size: 13 }
            TextField {
                objectName: "searchField"
                Layout.fillWidth: true
                text: screen.search
                onTextEdited: screen.search = text
                placeholderText: "Search applications"
                placeholderTextColor: AppPalette.tertiary
                color: AppPalette.label
                font.pixelSize: 15
                background: Item {}
                padding: 0
            }
            Item {
                visible: screen.search.length > 0
                implicitWidth: 14; implicitHeight: 14
                SymbolImage { anchors.centerIn: parent; symbol: "xmark.circle.fill"; size: 13 }
                MouseArea { anchors.fill: parent; onClicked: screen.search = "" }
            }
        }
    }

    CardSurface {
        visible: App.isLoadingApps
        padding: 16
        RowLayout {
            width: parent.width
            spacing: 10
            Spinner {}
            Text { text: "Reading Applications…"; color: AppPalette.secondary; font.pixelSize: 15; Layout.fillWidth: true }
        }
    }

    CardSurface {
        objectName: "appList"
        visible: !App.isLoadingApps && screen.apps.length > 0
        padding: 15
        ColumnLayout {
            width: parent.width
            spacing: 0
            RowLayout {
                Layout.fillWidth: true
                Layout.bottomMargin: 8
                Text { text: "Applications"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Text { objectName: "appCount"; text: screen.filtered.length + " of " + screen.apps.length; color: AppPalette.tertiary; font.pixelSize: 13 }
            }
            ListView {
                visible: screen.filtered.length > 0
                Layout.fillWidth: true
                Layout.preferredHeight: Math.min(contentHeight, 310)
                clip: true
                model: screen.filtered
                ScrollBar.vertical: ScrollBar {}
                delegate: Rectangle {
                    required property var modelData
                    width: ListView.view.width
                    implicitHeight: appRow.implicitHeight + 12
                    radius: 7
                    readonly property bool isSelected: screen.selected !== null && screen.selected.path === modelData.path
                    objectName: isSelected ? "selectedApp" : ""
                    // The accent, faintly: a raised white would vanish on the light card.
                    color: isSelected ? Qt.rgba(AppPalette.accent.r, AppPalette.accent.g, AppPalette.accent.b, AppPalette.dark ? 0.28 : 0.14) : "transparent"
                    border.width: isSelected ? 1 : 0
                    border.color: Qt.rgba(AppPalette.accent.r, AppPalette.accent.g, AppPalette.accent.b, 0.45)
                    RowLayout {
                        id: appRow
                        anchors.fill: parent
                        anchors.leftMargin: 8
                        anchors.rightMargin: 8
                        anchors.topMargin: 6
                        anchors.bottomMargin: 6
                        spacing: 10
                        Image { source: modelData.icon ? "image://appicon/" + modelData.icon : "image://file/" + modelData.path; sourceSize: Qt.size(52, 52); Layout.preferredWidth: 26; Layout.preferredHeight: 26; smooth: true }
                        ColumnLayout {
                            spacing: 1
                            Layout.fillWidth: true
                            Text { text: modelData.name; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                            Text { text: modelData.bundleID; color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideRight; Layout.fillWidth: true }
                        }
                        Text { visible: modelData.version.length > 0; text: modelData.version; color: AppPalette.tertiary; font.pixelSize: 12; elide: Text.ElideRight; horizontalAlignment: Text.AlignRight; Layout.preferredWidth: 72 }
                        Text { text: Ui.bytes(modelData.size); color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium; horizontalAlignment: Text.AlignRight; Layout.preferredWidth: 70 }
                        SymbolImage { symbol: "chevron.right"; size: 11 }
                    }
                    MouseArea { anchors.fill: parent; onClicked: screen.selected = modelData }
                }
            }
            EmptyState {
                objectName: "noMatch"
                Layout.fillWidth: true
                visible: screen.filtered.length === 0
                icon: "Search"
                title: "No match"
                message: "No application matches “" + screen.search + "”."
            }
        }
    }

    CardSurface {
        visible: !App.isLoadingApps && screen.selected !== null
        padding: 18
        ColumnLayout {
            width: parent.width
            spacing: 14
            RowLayout {
                Layout.fillWidth: true
                spacing: 14
                Image { source: !screen.selected ? "" : screen.selected.icon ? "image://appicon/" + screen.selected.icon : "image://file/" + screen.selected.path; sourceSize: Qt.size(88, 88); Layout.preferredWidth: 44; Layout.preferredHeight: 44; Layout.alignment: Qt.AlignTop }
                ColumnLayout {
                    spacing: 3
                    Layout.fillWidth: true
                    Layout.alignment: Qt.AlignTop
                    RowLayout {
                        spacing: 7
                        Text { text: screen.selected ? screen.selected.name : ""; color: AppPalette.label; font.pixelSize: 16; font.weight: Font.DemiBold }
                        Pill { visible: screen.selected !== null && Ui.isRunning(screen.selected.path); text: "Running"; tint: AppPalette.warning }
                    }
                    Text { text: screen.selected ? screen.selected.bundleID : ""; color: AppPalette.tertiary; font.pixelSize: 13 }
                    RowLayout {
                        spacing: 12
                        Text { visible: screen.selected && screen.selected.version.length > 0; text: screen.selected ? "Version " + screen.selected.version : ""; color: AppPalette.secondary; font.pixelSize: 13 }
                        Text { text: screen.selected ? Ui.bytes(screen.selected.size) : ""; color: AppPalette.secondary; font.pixelSize: 13 }
                        Text {
                            visible: screen.selected !== null && !isNaN(screen.selected.lastOpened.getTime())
                            text: screen.selected ? "Last opened " + Ui.relative(screen.selected.lastOpened, Ui.now) : ""
                            color: AppPalette.secondary; font.pixelSize: 13
                        }
                    }
                    Text { text: screen.selected ? Ui.shortPath(screen.selected.path) : ""; color: AppPalette.tertiary; font.pixelSize: 12; elide: Text.ElideMiddle; Layout.fillWidth: true }
                }
                ColumnLayout {
                    spacing: 7
                    Layout.alignment: Qt.AlignTop
                    Layout.leftMargin: 8
                    SoftButton { text: "Show in Files"; symbol: "arrow.up.forward.app"; Layout.alignment: Qt.AlignRight; onClicked: Ui.reveal(screen.selected.path) }
                    FilledButton {
                        objectName: "uninstallButton"
                        Layout.alignment: Qt.AlignRight
                        tint: AppPalette.danger
                        enabled: !screen.preparing && !App.isUninstalling
                        busy: screen.preparing
                        symbol: "trash.slash"
                        text: screen.preparing ? "Checking…" : "Uninstall…"
                        onClicked: screen.prepare(screen.selected)
                    }
                }
            }
            RowLayout {
                spacing: 6
                Layout.fillWidth: true
                SymbolImage { symbol: "info.circle"; size: 13; Layout.alignment: Qt.AlignTop }
                Text {
                    text: (screen.selected && screen.selected.source === "flatpak" ? "The app is removed with Flatpak."
                           : screen.selected && screen.selected.source === "snap" ? "The app is removed with Snap."
                           : "The app moves to the Trash, so it can be put back.") + " Leftover files move to Kelvane quarantine and can be restored for " + App.settings.retentionDays + " days. Nothing is erased immediately."
                    color: AppPalette.tertiary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
                }
            }
        }
    }

    CardSurface {
        visible: !App.isLoadingApps && screen.apps.length === 0
        padding: 16
        EmptyState { width: parent.width; icon: "Uninstall"; title: "No removable apps found"; message: "Kelvane lists the apps in your home folder, Flatpaks, AppImages and Snaps. System packages and Kelvane itself are never listed; remove a system package with your software manager." }
    }

    property alias sheet: uninstallSheet
    UninstallSheet {
        id: uninstallSheet
        shown: screen.pending !== null
        app: screen.pending ? screen.pending.app : null
        leftovers: screen.pending ? screen.pending.leftovers : []
        onConfirmedChosen: paths => { App.uninstallApp(screen.pending.app.path, paths); screen.selected = null; screen.pending = null }
        onDismissed: screen.pending = null
    }
}
