import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// Where the space of one folder goes, one level at a time. Only reads.
ColumnLayout {
    id: screen
    objectName: "diskMapScreen"
    spacing: 20

    property string rootPath: Ui.homePath
    property var rootNode: null
    property var trail: []
    property bool isScanning: false
    property var selected: null
    property int job: 0
    property var pendingNode: null  // the folder being opened from the map

    readonly property var current: trail.length > 0 ? trail[trail.length - 1] : null
    function displayName(path) { return path === Ui.homePath ? "Home" : Ui.shortPath(path) }
    function percent(node, parent) { return parent.size < 1 ? "0%" : Ui.percent(node.size / parent.size) }

    function scan() {
        if (isScanning)
            return
        isScanning = true
        selected = null
        pendingNode = null
        job = Ui.mapFolder(rootPath)
    }
    function stop() {
        Ui.stopMapping(job)
        job = 0
        isScanning = false
    }
    function open(node) {
        if (!node.isDirectory) {
            selected = node
            return
        }
        if (isScanning)
            return
        isScanning = true
        selected = null
        pendingNode = node
        job = Ui.mapFolder(node.path)
    }
    function goBack(index) {
        trail = trail.slice(0, index + 1)
        selected = null
    }
    Connections {
        target: Ui
        function onFolderMapped(finished, node) {
            if (finished !== screen.job)
                return
            screen.isScanning = false
            screen.job = 0
            if (screen.pendingNode) {
                if (node && node.children.length > 0)
                    screen.trail = screen.trail.concat([node])
                else
                    screen.selected = screen.pendingNode
                screen.pendingNode = null
            } else {
                screen.rootNode = node
                screen.trail = node ? [node] : []
            }
        }
    }
    Component.onCompleted: if (!rootNode && !isScanning) scan()
    Component.onDestruction: if (job) Ui.stopMapping(job)

    FolderChooser {
        id: chooser
        title: "Map a folder"
        acceptLabel: "Map this folder"
        onChosen: path => {
            screen.rootPath = path
            screen.rootNode = null
            screen.trail = []
            screen.scan()
        }
    }

    PageHeader {
        eyebrow: "Disk map"
        title: "Where it all goes"
        subtitle: "A folder-by-folder map. This screen only reads; it never removes anything."
        SoftButton { text: "Choose…"; symbol: "folder"; enabled: !screen.isScanning; onClicked: chooser.openAt(screen.rootPath) }
        SoftButton { visible: screen.isScanning; text: "Stop"; onClicked: screen.stop() }
        FilledButton { visible: !screen.isScanning; text: "Scan"; symbol: "magnifyingglass"; onClicked: screen.scan() }
    }

    CardSurface {
        padding: 14
        RowLayout {
            width: parent.width
            spacing: 12
            SymbolImage { symbol: "folder"; tint: AppPalette.secondary; size: 15 }
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true
                Text { text: screen.displayName(screen.rootPath); color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideMiddle; Layout.fillWidth: true }
                Text {
                    text: screen.rootNode ? Ui.bytes(screen.rootNode.size) + " across " + Ui.fileCount(screen.rootNode.children.length) : "Reads one folder level at a time."
                    color: AppPalette.tertiary; font.pixelSize: 12
                }
            }
            GhostButton { text: "Change…"; enabled: !screen.isScanning; onClicked: chooser.openAt(screen.rootPath) }
        }
    }

    CardSurface {
        visible: screen.isScanning
        padding: 14
        RowLayout {
            width: parent.width
            spacing: 10
            Spinner {}
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true
                Text { text: "Reading " + screen.displayName(screen.rootPath) + "…"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.Medium; Layout.fillWidth: true }
                Text { text: "Large folders can take a moment. You can stop at any time."; color: AppPalette.tertiary; font.pixelSize: 13 }
            }
        }
    }

    Flickable {  // the breadcrumb
        visible: !screen.isScanning && screen.trail.length >= 2
        Layout.fillWidth: true
        Layout.leftMargin: 2
        Layout.rightMargin: 2
        implicitHeight: crumbs.implicitHeight
        contentWidth: crumbs.implicitWidth
        clip: true
        RowLayout {
            id: crumbs
            spacing: 5
            Repeater {
                model: screen.trail
                RowLayout {
                    required property var modelData
                    required property int index
                    spacing: 5
                    SymbolImage { visible: index > 0; symbol: "chevron.right"; size: 11 }
                    Text {
                        readonly property bool last: index === screen.trail.length - 1
                        text: modelData.path === Ui.homePath ? "Home" : modelData.name
                        color: last ? AppPalette.label : AppPalette.secondary
                        font.pixelSize: 13
                        font.weight: last ? Font.DemiBold : Font.Normal
                        MouseArea { anchors.fill: parent; onClicked: screen.goBack(index) }
                    }
                }
            }
        }
    }

    CardSurface {
        objectName: "treemapCard"
        visible: !screen.isScanning && screen.current !== null && screen.current.children.length > 0
        padding: 16
        ColumnLayout {
            width: parent.width
            spacing: 10
            RowLayout {
                Layout.fillWidth: true
                SectionLabel { text: "Map"; Layout.fillWidth: true }
                Text { text: screen.current ? Ui.bytes(screen.current.size) : ""; color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.DemiBold }
            }
            TreemapView {
                Layout.fillWidth: true
                Layout.preferredHeight: 320
                nodes: screen.current ? screen.current.children : []
                depth: Math.max(screen.trail.length - 1, 0)
                onTapped: node => screen.open(node)
            }
            Text { text: "Click a folder to open it. Click a file to see its path. Nothing here deletes or moves a file."; color: AppPalette.tertiary; font.pixelSize: 12; wrapMode: Text.WordWrap; Layout.fillWidth: true }
        }
    }

    CardSurface {
        visible: !screen.isScanning && screen.current !== null && screen.current.children.length > 0
        padding: 15
        ColumnLayout {
            width: parent.width
            spacing: 0
            RowLayout {
                Layout.fillWidth: true
                Layout.bottomMargin: 8
                spacing: 8
                SectionLabel { text: "Largest items"; Layout.fillWidth: true }
                Text { text: (screen.current ? screen.current.children.length : 0) + " shown"; color: AppPalette.tertiary; font.pixelSize: 12 }
            }
            Repeater {
                model: screen.current ? screen.current.children.slice(0, 10) : []
                ColumnLayout {
                    required property var modelData
                    required property int index
                    spacing: 0
                    Layout.fillWidth: true
                    Item {
                        Layout.fillWidth: true
                        implicitHeight: listRow.implicitHeight + 12
                        RowLayout {
                            id: listRow
                            anchors.fill: parent
                            anchors.topMargin: 6
                            anchors.bottomMargin: 6
                            spacing: 9
                            Rectangle { width: 8; height: 8; radius: 2; color: ChartPalette.blue }
                            SymbolImage { symbol: modelData.isDirectory ? "folder" : "doc"; size: 13; Layout.preferredWidth: 14 }
                            Text { text: modelData.name; color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                            Text { text: modelData.isMountPoint ? "" : screen.percent(modelData, screen.current); color: AppPalette.tertiary; font.pixelSize: 12; horizontalAlignment: Text.AlignRight; Layout.preferredWidth: 40 }
                            // Another file system is mounted there; the map never walks into it.
                            Text { text: modelData.isMountPoint ? "Not measured" : Ui.bytes(modelData.size); color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium; horizontalAlignment: Text.AlignRight; Layout.preferredWidth: 96 }
                            SymbolImage { visible: modelData.isDirectory; symbol: "chevron.right"; size: 11 }
                            ToolButton {
                                visible: !modelData.isDirectory
                                implicitWidth: 22; implicitHeight: 22
                                background: Item {}
                                contentItem: SymbolImage { symbol: "arrow.up.forward.app"; size: 12 }
                                ToolTip.visible: hovered
                                ToolTip.text: "Show in Files"
                                Accessible.name: "Show in Files"
                                onClicked: Ui.reveal(modelData.path)
                            }
                        }
                        MouseArea { anchors.fill: parent; z: -1; onClicked: screen.open(modelData) }
                    }
                    RowDivider { visible: index < Math.min(screen.current.children.length, 10) - 1 }
                }
            }
            Text {
                visible: screen.current !== null && screen.current.unreadableFolders > 0
                text: screen.current ? Ui.unreadableFolders(screen.current.unreadableFolders) + "; their space is not counted." : ""
                color: AppPalette.tertiary; font.pixelSize: 12; Layout.topMargin: 8
            }
            Text {
                visible: screen.current !== null && screen.current.isCapped
                text: "Showing the " + (screen.current ? screen.current.children.length : 0) + " largest items in this folder."
                color: AppPalette.tertiary; font.pixelSize: 12; Layout.topMargin: 8
            }
        }
    }

    CardSurface {
        visible: !screen.isScanning && screen.current !== null && screen.current.children.length === 0
        padding: 16
        EmptyState { width: parent.width; icon: "Disk"; title: "Nothing readable here"; message: "This folder is empty, or Kelvane does not have permission to read its contents." }
    }

    CardSurface {
        visible: !screen.isScanning && screen.current === null
        padding: 16
        EmptyState {
            width: parent.width
            icon: "Disk"
            title: "No folder mapped yet"
            message: "Choose a folder and scan it. Kelvane reads one level at a time, so you can drill down without waiting for the whole disk."
            actionTitle: "Map Home"
            hasAction: true
            onAction: screen.scan()
        }
    }

    CardSurface {
        visible: screen.selected !== null
        padding: 14
        RowLayout {
            width: parent.width
            spacing: 12
            Item {
                implicitWidth: 28; implicitHeight: 28
                AppIconImage { visible: screen.selected && screen.selected.isDirectory; icon: "Folder"; size: 28 }
                SymbolImage { visible: screen.selected && !screen.selected.isDirectory; anchors.centerIn: parent; symbol: "doc"; tint: AppPalette.secondary; size: 15 }
            }
            ColumnLayout {
                spacing: 0
                Layout.fillWidth: true
                Text { text: screen.selected ? screen.selected.name : ""; color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                Text { text: screen.selected ? screen.displayName(screen.selected.path) : ""; color: AppPalette.tertiary; font.pixelSize: 12; elide: Text.ElideMiddle; Layout.fillWidth: true }
            }
            Text { text: screen.selected ? Ui.bytes(screen.selected.size) : ""; color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium }
            SoftButton { text: "Show in Files"; onClicked: Ui.reveal(screen.selected.path) }
        }
    }
}
