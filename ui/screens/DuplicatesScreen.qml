import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// Byte-identical files: one copy per group is always kept; the extra copies can be removed.
ColumnLayout {
    id: screen
    objectName: "duplicatesScreen"
    spacing: 20

    property var keepers: ({})
    property var selected: ({})
    property bool showConfirm: false

    property var groups: []
    property string joinedIDs: ""
    function reload() { groups = App.duplicateGroupList() }
    Component.onCompleted: { reload(); joinedIDs = groups.map(g => g.id).join("") }
    Connections {
        target: App
        function onDuplicateScanChanged() {
            screen.reload()
            const ids = screen.groups.map(g => g.id).join("")
            if (ids !== screen.joinedIDs) {
                screen.keepers = {}
                screen.selected = {}
                screen.joinedIDs = ids
            }
        }
    }

    function keeper(group) {
        if (group.files.length === 0)
            return ""
        const chosen = keepers[group.id]
        if (chosen && group.files.some(f => f.path === chosen))
            return chosen
        return group.files[0].path
    }
    readonly property var selectedItems: groups.reduce((all, g) => all.concat(g.files.filter(f => selected[f.path] === true)), [])
    readonly property real selectedBytes: selectedItems.reduce((sum, f) => sum + f.size, 0)
    readonly property real copyBytes: groups.reduce((sum, g) => sum + g.size * g.files.length, 0)
    readonly property real reclaimable: App.duplicateScan.reclaimableBytes
    function toggle(path, on) {
        const next = Object.assign({}, selected)
        if (on) next[path] = true; else delete next[path]
        selected = next
    }
    function keep(group, path) {
        const nextKeepers = Object.assign({}, keepers)
        nextKeepers[group.id] = path
        keepers = nextKeepers
        toggle(path, false)
    }
    function selectAllExtraCopies() {
        const next = Object.assign({}, selected)
        for (const g of groups) {
            if (g.files.length === 0)
                continue
            const k = keeper(g)
            for (const f of g.files)
                if (f.path !== k) next[f.path] = true
        }
        selected = next
    }

    FolderChooser {
        id: chooser
        title: "Choose a folder"
        acceptLabel: "Use this folder"
        onChosen: path => App.chooseDuplicateRoot(path)
    }

    PageHeader {
        eyebrow: "Duplicates"
        title: "One copy is enough"
        subtitle: "Identical files, matched by content. One copy always stays."
        SoftButton { text: "Choose…"; symbol: "folder"; onClicked: chooser.openAt(App.duplicateRoot) }
        FilledButton { text: "Scan"; symbol: "magnifyingglass"; enabled: !App.isScanningDuplicates; onClicked: App.startDuplicateScan() }
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
                Text { text: Ui.shortPath(App.duplicateRoot); color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideMiddle; Layout.fillWidth: true }
                GhostButton { text: "Change…"; onClicked: chooser.openAt(App.duplicateRoot) }
            }
            RowDivider {}
            RowLayout {
                Layout.fillWidth: true
                spacing: 14
                Text { text: "At least"; color: AppPalette.secondary; font.pixelSize: 13 }
                Segmented {
                    Layout.preferredWidth: 300
                    options: [{ value: "1", title: "1 MB" }, { value: "5", title: "5 MB" }, { value: "50", title: "50 MB" }, { value: "100", title: "100 MB" }]
                    current: String(App.duplicateMinMB)
                    onChosen: value => App.chooseDuplicateMinMB(Number(value))
                }
                Item { Layout.fillWidth: true }
                Text {
                    visible: App.duplicateScan.present
                    text: App.duplicateScan.scannedFiles + " files checked" + (App.duplicateScan.unreadableFolders > 0 ? " · " + Ui.unreadableFolders(App.duplicateScan.unreadableFolders) : "")
                    color: AppPalette.tertiary; font.pixelSize: 13
                }
            }
        }
    }

    CardSurface {
        visible: App.isScanningDuplicates
        padding: 14
        RowLayout {
            width: parent.width
            spacing: 10
            Spinner {}
            Text { text: "Checked " + App.duplicateProgressFiles + " files…"; color: AppPalette.secondary; font.pixelSize: 13; Layout.fillWidth: true }
            SoftButton { text: "Stop"; onClicked: App.stopScan() }
        }
    }

    CardSurface {
        visible: screen.groups.length > 0
        padding: 18
        ColumnLayout {
            width: parent.width
            spacing: 14
            RowLayout {
                Layout.fillWidth: true
                spacing: 24
                ColumnLayout {
                    spacing: 3
                    Layout.fillWidth: true
                    SectionLabel { text: "Reclaimable" }
                    Text { text: Ui.bytes(screen.reclaimable); color: AppPalette.label; font.pixelSize: 24; font.weight: Font.DemiBold }
                    Text {
                        text: Ui.counted(screen.groups.length, "group", "groups") + ", " + Ui.counted(screen.groups.reduce((n, g) => n + g.files.length, 0), "file", "files")
                        color: AppPalette.tertiary; font.pixelSize: 13; Layout.fillWidth: true
                    }
                }
                StatTile { title: "Skipped"; value: String(App.duplicateScan.skippedHardLinks); detail: "hard links"; Layout.fillWidth: false }
                StatTile { title: "Protected"; value: String(App.duplicateScan.skippedProtected); detail: "left alone"; Layout.fillWidth: false }
            }
            Text {
                visible: App.duplicateScan.truncated
                text: "Stopped at the file limit. Choose a smaller folder for a complete result."
                color: AppPalette.warning; font.pixelSize: 12
            }
            ColumnLayout {
                visible: screen.copyBytes >= 1
                spacing: 8
                Layout.fillWidth: true
                SpaceChart {
                    barHeight: 8
                    showLegend: false
                    totalOverride: screen.copyBytes
                    segments: [{ id: "reclaimable", label: "Can be freed", bytes: screen.reclaimable, color: ChartPalette.duplicates },
                               { id: "kept", label: "Kept copies", bytes: Math.max(screen.copyBytes - screen.reclaimable, 0), color: ChartPalette.muted }]
                }
                Text { text: "The violet part is what you can free. One copy in each group stays."; color: AppPalette.tertiary; font.pixelSize: 13 }
            }
        }
    }

    Repeater {
        model: screen.groups.slice(0, 40)
        CardSurface {
            id: groupCard
            required property var modelData
            readonly property string keeperPath: screen.keeper(modelData)
            readonly property int ticked: modelData.files.filter(f => screen.selected[f.path] === true).length
            padding: 14
            ColumnLayout {
                width: parent.width
                spacing: 0
                RowLayout {
                    Layout.fillWidth: true
                    Layout.bottomMargin: 8
                    spacing: 10
                    SymbolImage { symbol: "doc.on.doc"; tint: AppPalette.secondary; size: 15; Layout.preferredWidth: 20 }
                    ColumnLayout {
                        spacing: 1
                        Layout.fillWidth: true
                        Text { text: groupCard.modelData.files.length + " identical copies"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                        Text { text: Ui.bytes(groupCard.modelData.size) + " each"; color: AppPalette.tertiary; font.pixelSize: 12 }
                    }
                    Text {
                        objectName: "groupStatus"
                        text: groupCard.ticked > 0 ? Ui.fileCount(groupCard.ticked) + " to remove" : "Keep one"
                        color: groupCard.ticked > 0 ? AppPalette.warning : AppPalette.tertiary
                        font.pixelSize: 12
                        font.weight: groupCard.ticked > 0 ? Font.Medium : Font.Normal
                    }
                }
                Repeater {
                    model: groupCard.modelData.files
                    ColumnLayout {
                        id: copyRow
                        required property var modelData
                        required property int index
                        readonly property bool isKeeper: modelData.path === groupCard.keeperPath
                        spacing: 0
                        Layout.fillWidth: true
                        RowLayout {
                            opacity: copyRow.isKeeper ? 0.85 : 1
                            spacing: 9
                            Layout.fillWidth: true
                            Layout.topMargin: 6
                            Layout.bottomMargin: 6
                            CheckMark {
                                checked: screen.selected[copyRow.modelData.path] === true
                                enabled: !copyRow.isKeeper
                                opacity: copyRow.isKeeper ? 0.35 : 1
                                onToggled: screen.toggle(copyRow.modelData.path, checked)
                                Accessible.name: copyRow.modelData.name
                            }
                            ColumnLayout {
                                spacing: 1
                                Layout.fillWidth: true
                                Text { text: copyRow.modelData.name; color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                                Text { text: Ui.shortPath(copyRow.modelData.parentPath); color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideMiddle; Layout.fillWidth: true }
                            }
                            Text { text: Ui.date(copyRow.modelData.modified); color: AppPalette.tertiary; font.pixelSize: 11; Layout.leftMargin: 6 }
                            Pill { visible: copyRow.isKeeper; text: "Kept"; tint: AppPalette.success; symbol: "checkmark" }
                            GhostButton { visible: !copyRow.isKeeper; text: "Keep this"; onClicked: screen.keep(groupCard.modelData, copyRow.modelData.path) }
                            ToolButton {
                                implicitWidth: 22; implicitHeight: 22
                                background: Item {}
                                contentItem: SymbolImage { symbol: "arrow.up.forward.app"; size: 12 }
                                ToolTip.visible: hovered
                                ToolTip.text: "Show in Files"
                                Accessible.name: "Show in Files"
                                onClicked: Ui.reveal(copyRow.modelData.path)
                            }
                        }
                        RowDivider { visible: copyRow.index < groupCard.modelData.files.length - 1 }
                    }
                }
            }
        }
    }

    Text {
        visible: screen.groups.length > 40
        text: "Showing 40 of " + screen.groups.length + " groups. Narrow the folder to see the rest."
        color: AppPalette.tertiary; font.pixelSize: 13
        Layout.leftMargin: 4; Layout.rightMargin: 4
    }

    CardSurface {
        visible: screen.groups.length > 0
        padding: 14
        RowLayout {
            width: parent.width
            spacing: 12
            Text {
                objectName: "duplicateFooter"
                readonly property bool any: Object.keys(screen.selected).length > 0
                text: any ? Ui.fileCount(screen.selectedItems.length) + " selected, " + Ui.bytes(screen.selectedBytes) : "Tick the extra copies you want to remove."
                color: any ? AppPalette.label : AppPalette.tertiary
                font.pixelSize: 13; font.weight: Font.Medium; Layout.fillWidth: true
            }
            SoftButton { text: "Select all extra copies"; onClicked: screen.selectAllExtraCopies() }
            FilledButton { text: "Move to Quarantine"; enabled: screen.selectedItems.length > 0 && !App.isCleaning; onClicked: screen.showConfirm = true }
        }
    }

    CardSurface {
        visible: App.duplicateScan.present && screen.groups.length === 0 && !App.isScanningDuplicates
        padding: 16
        EmptyState {
            width: parent.width
            icon: "Check"
            title: App.duplicateScan.skippedHardLinks < 1 ? "No duplicates found" : "No removable duplicates"
            message: App.duplicateScan.skippedHardLinks < 1 ? "No identical files at or above your size limit were found in this folder."
                : "Files that share content through hard links were left alone."
        }
    }

    CardSurface {
        visible: !App.duplicateScan.present && !App.isScanningDuplicates
        padding: 16
        EmptyState {
            width: parent.width
            icon: "Copy"
            title: "No folder scanned yet"
            message: "Choose a folder. Kelvane groups files by size and then compares their contents."
            actionTitle: "Scan Downloads"
            hasAction: true
            onAction: App.startDuplicateScan()
        }
    }

    ConfirmCleanSheet {
        shown: screen.showConfirm
        title: "Move " + Ui.bytes(screen.selectedBytes) + " to Quarantine?"
        items: screen.selectedItems
        retentionDays: App.settings.retentionDays
        onConfirmed: {
            const paths = screen.selectedItems.map(i => i.path)
            App.cleanDuplicates(paths)
            const next = Object.assign({}, screen.selected)
            for (const p of paths) delete next[p]
            screen.selected = next
            screen.showConfirm = false
        }
        onDismissed: screen.showConfirm = false
    }
}
