import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// The biggest single files under one folder; nothing is ticked for the user.
ColumnLayout {
    id: screen
    objectName: "largeFilesScreen"
    spacing: 20

    property var selected: ({})
    property bool showConfirm: false

    property var items: []
    function reload() { items = App.largeFileList() }
    property int lastCount: -1
    Component.onCompleted: { reload(); lastCount = items.length }
    Connections {
        target: App
        function onLargeScanChanged() {
            screen.reload()
            if (screen.items.length !== screen.lastCount) {
                // Keep only ticks that still name a listed file.
                const kept = {}
                for (const item of screen.items)
                    if (screen.selected[item.path]) kept[item.path] = true
                screen.selected = kept
                screen.lastCount = screen.items.length
            }
        }
    }

    readonly property var selectedItems: items.filter(i => selected[i.path] === true)
    readonly property real total: items.reduce((sum, i) => sum + i.size, 0)
    readonly property real selectedBytes: selectedItems.reduce((sum, i) => sum + i.size, 0)
    function toggle(path, on) {
        const next = Object.assign({}, selected)
        if (on) next[path] = true; else delete next[path]
        selected = next
    }

    FolderChooser {
        id: chooser
        title: "Choose a folder"
        acceptLabel: "Use this folder"
        onChosen: path => App.chooseLargeRoot(path)
    }

    PageHeader {
        eyebrow: "Large files"
        title: "The big stuff"
        subtitle: "The files that quietly took your space. Nothing is selected for you."
        SoftButton { text: "Choose…"; symbol: "folder"; onClicked: chooser.openAt(App.largeRoot) }
        FilledButton { text: "Scan"; symbol: "magnifyingglass"; enabled: !App.isScanningLarge; onClicked: App.startLargeScan() }
    }

    CardSurface {
        padding: 14
        ColumnLayout {
            width: parent.width
            spacing: 12
            RowLayout {
                Layout.fillWidth: true
                spacing: 10
                SymbolImage { symbol: "folder"; tint: AppPalette.secondary; size: 15 }
                Text { text: Ui.shortPath(App.largeRoot); color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideMiddle; Layout.fillWidth: true }
                GhostButton { text: "Change…"; onClicked: chooser.openAt(App.largeRoot) }
            }
            RowDivider {}
            RowLayout {
                Layout.fillWidth: true
                spacing: 14
                Text { text: "Larger than"; color: AppPalette.secondary; font.pixelSize: 13 }
                Segmented {
                    Layout.preferredWidth: 300
                    options: [{ value: "50", title: "50 MB" }, { value: "100", title: "100 MB" }, { value: "500", title: "500 MB" }, { value: "1024", title: "1 GB" }]
                    current: String(App.largeMinMB)
                    onChosen: value => App.chooseLargeMinMB(Number(value))
                }
                Item { Layout.fillWidth: true }
                Text {
                    visible: App.largeScan.present
                    text: App.largeScan.scannedFiles + " files checked" + (App.largeScan.unreadableFolders > 0 ? " · " + Ui.unreadableFolders(App.largeScan.unreadableFolders) : "")
                    color: AppPalette.tertiary; font.pixelSize: 13
                }
            }
        }
    }

    CardSurface {
        visible: App.isScanningLarge
        padding: 14
        RowLayout {
            width: parent.width
            spacing: 10
            Spinner {}
            Text { text: "Checked " + Ui.fileCount(App.largeProgressFiles) + "…"; color: AppPalette.secondary; font.pixelSize: 13; Layout.fillWidth: true }
            SoftButton { text: "Stop"; onClicked: App.stopScan() }
        }
    }

    CardSurface {
        objectName: "largeResults"
        visible: App.largeScan.present
        padding: 15
        ColumnLayout {
            width: parent.width
            spacing: 0
            RowLayout {
                Layout.fillWidth: true
                Layout.bottomMargin: 10
                spacing: 12
                ColumnLayout {
                    spacing: 2
                    Layout.fillWidth: true
                    Text { text: Ui.bytes(screen.total); color: AppPalette.label; font.pixelSize: 17; font.weight: Font.DemiBold; Layout.fillWidth: true }
                    Text { objectName: "largeCountLine"; text: Ui.fileCount(screen.items.length) + " over " + App.largeMinMB + " MB"; color: AppPalette.tertiary; font.pixelSize: 13 }
                }
                GhostButton {
                    text: "Select all"
                    enabled: screen.items.length > 0
                    onClicked: { const all = {}; for (const i of screen.items) all[i.path] = true; screen.selected = all }
                }
                GhostButton { text: "Clear"; enabled: Object.keys(screen.selected).length > 0; onClicked: screen.selected = {} }
            }
            ColumnLayout {
                visible: screen.total >= 1
                spacing: 6
                Layout.fillWidth: true
                Layout.bottomMargin: 12
                SpaceChart {
                    barHeight: 8
                    showLegend: false
                    totalOverride: screen.total
                    segments: screen.selectedBytes > 0
                        ? [{ id: "selected", label: "Selected", bytes: screen.selectedBytes, color: AppPalette.accent },
                           { id: "remaining", label: "Not selected", bytes: Math.max(screen.total - screen.selectedBytes, 0), color: ChartPalette.muted }]
                        : [{ id: "found", label: "Found", bytes: screen.total, color: ChartPalette.large }]
                }
                Text {
                    objectName: "largeCaption"
                    text: screen.selectedBytes > 0 ? Ui.bytes(screen.selectedBytes) + " of " + Ui.bytes(screen.total) + " selected."
                        : "All of this can be freed. Tick the files you want to review."
                    color: AppPalette.tertiary; font.pixelSize: 12
                }
            }
            ListView {
                visible: screen.items.length > 0
                Layout.fillWidth: true
                Layout.preferredHeight: Math.min(contentHeight, 380)
                clip: true
                model: screen.items
                ScrollBar.vertical: ScrollBar {}
                delegate: ColumnLayout {
                    required property var modelData
                    width: ListView.view.width
                    spacing: 0
                    RowLayout {
                        spacing: 10
                        Layout.fillWidth: true
                        Layout.topMargin: 7
                        Layout.bottomMargin: 7
                        CheckMark {
                            checked: screen.selected[modelData.path] === true
                            onToggled: screen.toggle(modelData.path, checked)
                            Accessible.name: modelData.name
                        }
                        SymbolImage { symbol: "doc"; size: 13; Layout.preferredWidth: 14 }
                        ColumnLayout {
                            spacing: 0
                            Layout.fillWidth: true
                            Text { text: modelData.name; color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                            Text { text: Ui.shortPath(modelData.parentPath); color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideMiddle; Layout.fillWidth: true }
                        }
                        Text { text: Ui.bytes(modelData.size); color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium; horizontalAlignment: Text.AlignRight; Layout.preferredWidth: 70 }
                        Text { text: Ui.date(modelData.modified); color: AppPalette.tertiary; font.pixelSize: 11; horizontalAlignment: Text.AlignRight; elide: Text.ElideLeft; Layout.preferredWidth: 130 }
                        ToolButton {
                            implicitWidth: 22; implicitHeight: 22
                            background: Item {}
                            contentItem: SymbolImage { symbol: "arrow.up.forward.app"; size: 12 }
                            ToolTip.visible: hovered
                            ToolTip.text: "Show in Files"
                            Accessible.name: "Show in Files"
                            onClicked: Ui.reveal(modelData.path)
                        }
                    }
                    RowDivider {}
                }
            }
            EmptyState {
                visible: screen.items.length === 0
                icon: "Check"
                title: "Nothing over the limit"
                message: "No files this large were found in the chosen folder."
            }
            Text {
                visible: App.largeScan.truncated
                text: "Showing the first " + screen.items.length + " matches. Narrow the folder for a complete list."
                color: AppPalette.tertiary; font.pixelSize: 12; Layout.topMargin: 8
            }
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 12
                spacing: 12
                Text {
                    objectName: "largeFooter"
                    readonly property bool any: Object.keys(screen.selected).length > 0
                    text: any ? Ui.fileCount(screen.selectedItems.length) + " selected, " + Ui.bytes(screen.selectedBytes) : "No files selected"
                    color: any ? AppPalette.label : AppPalette.tertiary
                    font.pixelSize: 13; font.weight: Font.Medium; Layout.fillWidth: true
                }
                FilledButton {
                    objectName: "largeMoveButton"
                    text: "Move to Quarantine"
                    enabled: screen.selectedItems.length > 0 && !App.isCleaning
                    onClicked: screen.showConfirm = true
                }
            }
        }
    }

    CardSurface {
        visible: !App.largeScan.present && !App.isScanningLarge
        padding: 16
        EmptyState {
            width: parent.width
            icon: "Search"
            title: "No folder scanned yet"
            message: "Pick a folder and a size limit. Kelvane skips personal, synced and system folders."
            actionTitle: "Scan Downloads"
            hasAction: true
            onAction: App.startLargeScan()
        }
    }

    ConfirmCleanSheet {
        shown: screen.showConfirm
        title: "Move " + Ui.bytes(screen.selectedBytes) + " to Quarantine?"
        items: screen.selectedItems
        retentionDays: App.settings.retentionDays
        onConfirmed: {
            const paths = screen.selectedItems.map(i => i.path)
            App.cleanLargeFiles(paths)
            const next = Object.assign({}, screen.selected)
            for (const p of paths) delete next[p]
            screen.selected = next
            screen.showConfirm = false
        }
        onDismissed: screen.showConfirm = false
    }
}
