import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// How full the disk is, the quick and deep scans, and what the latest scans found.
ColumnLayout {
    id: overview
    objectName: "overviewScreen"
    spacing: 14

    readonly property bool hasResults: App.junkResult.present || App.largeScan.present || App.duplicateScan.present
    readonly property var spaceSegments: {
        const list = []
        if (App.junkResult.present && App.junkResult.totalBytes > 0)
            list.push({ id: "junk", label: "Junk", bytes: App.junkResult.totalBytes, color: ChartPalette.junk })
        if (App.largeScan.present && App.largeScan.totalBytes > 0)
            list.push({ id: "large", label: "Large files", bytes: App.largeScan.totalBytes, color: ChartPalette.large })
        if (App.duplicateScan.present && App.duplicateScan.reclaimableBytes > 0)
            list.push({ id: "duplicates", label: "Duplicates", bytes: App.duplicateScan.reclaimableBytes, color: ChartPalette.duplicates })
        return list
    }
    readonly property real spaceTotal: spaceSegments.reduce((sum, s) => sum + s.bytes, 0)
    readonly property bool hasLastScan: !isNaN(App.lastScanDate.getTime())
    readonly property string duplicateDetail: !App.duplicateScan.present ? "Choose a folder to scan"
        : App.duplicateScan.groupCount === 0 ? "No duplicates found"
        : Ui.counted(App.duplicateScan.groupCount, "group", "groups")
    readonly property string subtitle: !hasLastScan
        ? Ui.bytes(App.freeSpace) + " free. Scan to see what is safe to clear."
        : spaceTotal > 0
          ? Ui.bytes(App.freeSpace) + " free. " + Ui.bytes(spaceTotal) + " can be cleared without touching personal files."
          : Ui.bytes(App.freeSpace) + " free. Nothing safe to clear was found."
    readonly property string statusText: spaceTotal > 0 ? Ui.bytes(spaceTotal) + " can be freed"
        : hasResults ? "Your computer looks tidy." : ""

    PageHeader {
        eyebrow: "Overview"
        title: "Make room, safely"
        subtitle: overview.subtitle
        SoftButton { visible: App.isScanning; text: "Stop"; onClicked: App.stopScan() }
    }

    CardSurface {
        padding: 20
        RowLayout {
            width: parent.width
            spacing: 26

            Item {  // the usage ring
                id: ring
                Layout.preferredWidth: 132
                Layout.preferredHeight: 132
                Layout.alignment: Qt.AlignVCenter
                property real fraction: Math.max(Math.min(App.usedFraction, 1), 0.004)
                Behavior on fraction { NumberAnimation { duration: 500; easing.type: Easing.OutQuad } }
                Accessible.role: Accessible.Indicator
                Accessible.name: Ui.bytes(App.freeSpace) + " free, " + Ui.percent(App.usedFraction) + " used"
                Canvas {
                    id: ringCanvas
                    anchors.fill: parent
                    property real fraction: ring.fraction
                    property color track: AppPalette.wellStrong
                    property color startColour: AppPalette.brandTop
                    property color endColour: AppPalette.brandBottom
                    onFractionChanged: requestPaint()
                    onTrackChanged: requestPaint()
                    onStartColourChanged: requestPaint()
                    onPaint: {
                        const c = getContext("2d")
                        c.reset()
                        c.lineWidth = 11
                        c.strokeStyle = track
                        c.lineCap = "butt"
                        c.beginPath()
                        c.arc(66, 66, 60.5, 0, 2 * Math.PI)
                        c.stroke()
                        const gradient = c.createLinearGradient(0, 0, 132, 132)
                        gradient.addColorStop(0, startColour)
                        gradient.addColorStop(1, endColour)
                        c.strokeStyle = gradient
                        c.lineCap = "round"
                        c.beginPath()
                        c.arc(66, 66, 60.5, -Math.PI / 2, -Math.PI / 2 + 2 * Math.PI * fraction)
                        c.stroke()
                    }
                }
                Column {
                    anchors.centerIn: parent
                    Text { anchors.horizontalCenter: parent.horizontalCenter; text: Ui.bytes(App.freeSpace); color: AppPalette.label; font.pixelSize: 17; font.weight: Font.DemiBold }
                    Text { anchors.horizontalCenter: parent.horizontalCenter; text: "free"; color: AppPalette.tertiary; font.pixelSize: 12; font.weight: Font.Medium }
                }
            }

            ColumnLayout {
                Layout.fillWidth: true
                spacing: 12
                RowLayout {
                    spacing: 26
                    Layout.fillWidth: true
                    StatTile { title: "Free space"; value: Ui.bytes(App.freeSpace); detail: "on this volume" }
                    StatTile {
                        title: "Used"
                        value: Ui.bytes(Math.max(App.volumeTotal - App.freeSpace, 0))
                        detail: App.volumeTotal >= 1 ? "of " + Ui.bytes(App.volumeTotal) : ""
                    }
                    StatTile {
                        objectName: "lastScanTile"
                        title: "Last scan"
                        value: overview.hasLastScan ? Ui.relative(App.lastScanDate, Ui.now) : "Never"
                        detail: overview.hasLastScan ? Ui.date(App.lastScanDate) : "Run the first scan"
                    }
                }
                Segmented {
                    objectName: "scanTypePicker"
                    Layout.preferredWidth: 250
                    enabled: !App.isScanning
                    options: [{ value: "quick", title: "Quick scan" }, { value: "deep", title: "Deep scan" }]
                    current: App.scanMode
                    onChosen: value => App.scanMode = value
                    Accessible.name: "Scan type"
                }
                Text {
                    text: App.scanMode === "deep"
                        ? "Checks the rules you have on with no age limit, plus large files and duplicates in your home folder. Takes several minutes."
                        : "Checks the rules you have on, with their normal age limits. Usually under a minute."
                    color: AppPalette.tertiary
                    font.pixelSize: 13
                    wrapMode: Text.WordWrap
                    Layout.maximumWidth: 430
                    Layout.fillWidth: true
                }
                RowLayout {
                    spacing: 10
                    FilledButton {
                        objectName: "primaryScanButton"
                        enabled: !App.isScanning
                        busy: App.isScanning
                        symbol: App.scanMode === "deep" ? "scope" : "bolt"
                        text: App.isScanning ? "Scanning…" : App.scanMode === "deep" ? "Start Deep Scan" : "Start Quick Scan"
                        onClicked: App.scanMode === "deep" ? App.startDeepScan() : App.startScan(false)
                    }
                    Text {
                        objectName: "statusText"
                        // Always in the row (an empty text is zero wide): in Qt 6.4 a row does
                        // not always place an item that turns visible while it is laid out.
                        text: overview.statusText
                        color: overview.spaceTotal > 0 ? AppPalette.secondary : AppPalette.success
                        font.pixelSize: 13
                        font.weight: Font.Medium
                    }
                }
            }
        }
    }

    CardSurface {  // the deep scan's progress
        objectName: "deepProgressCard"
        visible: App.isDeepScanning
        padding: 16
        ColumnLayout {
            width: parent.width
            spacing: 10
            RowLayout {
                Layout.fillWidth: true
                Text { text: "Deep scan"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Spinner { visible: App.deepProgress < 1 }
                Text { text: Ui.percent(App.deepProgress); color: AppPalette.tertiary; font.pixelSize: 13; font.weight: Font.DemiBold }
            }
            ProgressTrack { value: App.deepProgress }
            Text { text: App.deepStage.length > 0 ? App.deepStage : "Reading every rule folder…"; color: AppPalette.tertiary; font.pixelSize: 13 }
            Text {
                text: "Your rules with no age limit, plus large files and duplicates in your home folder. You can stop at any time."
                color: AppPalette.secondary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
            }
        }
    }

    CardSurface {  // the quick scan's progress
        objectName: "quickProgressCard"
        visible: !App.isDeepScanning && App.isScanning && App.progress.present
        padding: 16
        ColumnLayout {
            width: parent.width
            spacing: 10
            RowLayout {
                Layout.fillWidth: true
                Text { text: App.progress.title; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Text { text: App.progress.completedRules + " of " + App.progress.totalRules; color: AppPalette.tertiary; font.pixelSize: 13; font.weight: Font.Medium }
            }
            ProgressTrack { value: App.progress.fraction }
            Text { text: Ui.fileCount(App.progress.filesSeen) + " checked. You can keep using the app."; color: AppPalette.tertiary; font.pixelSize: 13 }
        }
    }

    RowLayout {  // findings
        visible: overview.hasResults && !App.isScanning
        spacing: 16
        Layout.fillWidth: true

        CardSurface {
            padding: 16
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 1
            ColumnLayout {
                width: parent.width
                spacing: 6
                RowLayout {
                    Layout.fillWidth: true
                    SectionLabel { text: "Space you can free"; Layout.fillWidth: true }
                    Text { text: "Latest results"; color: AppPalette.tertiary; font.pixelSize: 12 }
                }
                Text { text: Ui.bytes(overview.spaceTotal); color: AppPalette.label; font.pixelSize: 30; font.weight: Font.DemiBold }
                Text {
                    text: overview.spaceTotal < 1 ? "nothing safe to remove"
                        : "across " + overview.spaceSegments.length + " " + (overview.spaceSegments.length === 1 ? "category" : "categories")
                    color: AppPalette.tertiary; font.pixelSize: 13
                    Layout.bottomMargin: 6
                }
                SpaceChart {
                    segments: overview.spaceSegments
                    barHeight: 12
                    caption: overview.spaceTotal < 1
                        ? "Your folders are tidy. Personal and synced folders are never included."
                        : "Nothing is removed until you review it. Large files and duplicates need a selection first."
                }
            }
        }

        CardSurface {
            padding: 16
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 1
            ColumnLayout {
                width: parent.width
                spacing: 4
                SectionLabel { text: "What the scan found" }
                FindingRow {
                    icon: "Trash"; title: "Junk"; section: "junk"
                    detail: !App.junkResult.present || App.junkResult.itemCount === 0 ? "Nothing to remove" : Ui.fileCount(App.junkResult.itemCount)
                    value: Ui.bytes(App.junkResult.present ? App.junkResult.totalBytes : 0)
                    valueColor: App.junkResult.totalBytes >= 1 ? AppPalette.label : AppPalette.tertiary
                }
                FindingRow {
                    icon: "Folder"; title: "Large files"; section: "largeFiles"
                    detail: !App.largeScan.present ? "Choose a folder to scan"
                        : App.largeScan.itemCount === 0 ? "Nothing over your size limit" : Ui.fileCount(App.largeScan.itemCount)
                    value: App.largeScan.present ? Ui.bytes(App.largeScan.totalBytes) : "Not scanned"
                    valueColor: App.largeScan.present ? AppPalette.label : AppPalette.tertiary
                }
                FindingRow {
                    icon: "Copy"; title: "Duplicates"; section: "duplicates"
                    detail: overview.duplicateDetail
                    value: App.duplicateScan.present ? Ui.bytes(App.duplicateScan.reclaimableBytes) : "Not scanned"
                    valueColor: App.duplicateScan.present ? AppPalette.label : AppPalette.tertiary
                }
                FindingRow {
                    icon: "Power"; title: "Startup items"; section: "startup"
                    detail: App.userStartupCount === 0 ? "No login items found" : "Login items you can manage"
                    value: App.userStartupEnabled + " of " + App.userStartupCount + " on"
                    valueColor: AppPalette.label
                }
            }
        }
    }

    CardSurface {  // safety strip
        visible: overview.hasResults && !App.isScanning
        padding: 12
        RowLayout {
            width: parent.width
            spacing: 12
            AppIconImage { icon: "Shield"; size: 24 }
            Text {
                text: "Nothing is deleted straight away. Cleaned items stay restorable for " + App.settings.retentionDays + " days."
                color: AppPalette.secondary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
            }
            GhostButton { text: "Quarantine"; onClicked: App.section = "quarantine" }
        }
    }

    CardSurface {  // before anything was found
        objectName: "safetyCard"
        visible: !overview.hasResults && !App.isScanning
        padding: 14
        RowLayout {
            width: parent.width
            spacing: 12
            AppIconImage { icon: "Shield"; size: 40; Layout.alignment: Qt.AlignTop }
            ColumnLayout {
                spacing: 3
                Layout.fillWidth: true
                Text { text: "Nothing is deleted straight away"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Text {
                    text: "Cleaned items move to a private quarantine for " + App.settings.retentionDays + " days. Restore any of them from the Quarantine screen. Personal folders and synced drives are never offered."
                    color: AppPalette.secondary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
                }
            }
            SoftButton { text: "Quarantine"; Layout.alignment: Qt.AlignTop; onClicked: App.section = "quarantine" }
        }
    }

    CardSurface {
        visible: !overview.hasResults && !App.isScanning
        padding: 14
        ColumnLayout {
            width: parent.width
            spacing: 8
            SectionLabel { text: "What stays untouched" }
            GridLayout {
                columns: 4
                rowSpacing: 8
                columnSpacing: 8
                Layout.fillWidth: true
                Repeater {
                    model: [["Documents", "doc.text"], ["Desktop", "menubar.dock.rectangle"],
                        ["Pictures", "photo.on.rectangle"], ["Synced folders", "arrow.triangle.2.circlepath"],
                        ["Keys and passwords", "key"], ["Browser profiles", "globe"],
                        ["Installed apps", "app.dashed"], [".git folders", "chevron.left.forwardslash.chevron.right"]]
                    RowLayout {
                        required property var modelData
                        spacing: 6
                        Layout.fillWidth: true
                        Layout.preferredWidth: 10
                        Layout.minimumWidth: 10
                        SymbolImage { symbol: modelData[1]; size: 12; Layout.preferredWidth: 14 }
                        Text { text: modelData[0]; color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                    }
                }
            }
        }
    }
}
