import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// The junk scan's result rule by rule: switches, what each group would remove, and the clean.
ColumnLayout {
    id: junk
    objectName: "junkScreen"
    spacing: 20

    property bool showConfirm: false
    property string expandedGroup: ""

    property var groups: App.junkGroups()
    Connections { target: App; function onJunkGroupsChanged() { junk.groups = App.junkGroups() } }

    readonly property var items: groups.reduce((all, g) => all.concat(g.items), [])
    readonly property bool hasResult: App.junkResult.present
    readonly property real totalBytes: hasResult ? App.junkResult.totalBytes : 0
    readonly property var chartSegments: groups.filter(g => g.bytes > 0).map(g => ({
        id: g.group, label: g.title, bytes: g.bytes,
        color: ({ system: ChartPalette.system, applications: ChartPalette.system, browsers: ChartPalette.browsers,
                  developer: ChartPalette.developer, trash: ChartPalette.trash, downloads: ChartPalette.downloads })[g.group] }))
    readonly property int rulesWithItems: groups.reduce((n, g) => n + g.rules.filter(r => r.itemCount > 0).length, 0)
    readonly property string summaryDetail: !hasResult ? "Run a scan to see what can be removed."
        : App.junkResult.cancelled ? "The last scan was stopped."
        : totalBytes !== 0 ? "Across " + rulesWithItems + " rule folders."
        : "Nothing was found in the folders you allow."
    readonly property bool hasLastScan: !isNaN(App.lastScanDate.getTime())

    PageHeader {
        eyebrow: "Junk"
        title: "Clear the clutter"
        subtitle: "Caches, logs and temporary files. They rebuild when needed."
        SoftButton {
            text: "Rescan"
            symbol: "arrow.clockwise"
            enabled: !App.isScanning
            onClicked: App.startScan(false)
        }
        FilledButton {
            objectName: "cleanButton"
            text: junk.items.length > 0 ? "Clean " + Ui.bytes(junk.totalBytes) : "Clean…"
            enabled: junk.items.length > 0 && !App.isScanning && !App.isCleaning
            onClicked: junk.showConfirm = true
        }
    }

    CardSurface {
        visible: App.isScanning && App.progress.present
        padding: 18
        ColumnLayout {
            width: parent.width
            spacing: 9
            RowLayout {
                Layout.fillWidth: true
                Text { text: App.progress.title; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Text { text: App.progress.completedRules + " of " + App.progress.totalRules; color: AppPalette.tertiary; font.pixelSize: 13 }
            }
            ProgressTrack { value: App.progress.fraction }
        }
    }

    CardSurface {
        objectName: "summaryCard"
        visible: !(App.isScanning && App.progress.present)
        padding: 18
        RowLayout {
            width: parent.width
            spacing: 24
            ColumnLayout {
                spacing: 3
                SectionLabel { text: "Ready to clean" }
                Text {
                    objectName: "summaryTotal"
                    text: junk.hasResult ? Ui.bytes(junk.totalBytes) : "Not scanned"
                    color: junk.totalBytes > 0 ? AppPalette.label : AppPalette.secondary
                    font.pixelSize: 26
                    font.weight: Font.DemiBold
                }
                Text { objectName: "summaryDetail"; text: junk.summaryDetail; color: AppPalette.tertiary; font.pixelSize: 13 }
            }
            Item { Layout.fillWidth: true }
            RowLayout {
                visible: junk.hasResult
                spacing: 26
                StatTile { title: "Items"; value: Ui.fileCount(App.junkResult.itemCount) }
                StatTile { title: "Rules on"; value: App.activeRuleCount + " of " + App.ruleCount }
                StatTile { title: "Last scanned"; value: junk.hasLastScan ? Ui.relative(App.lastScanDate, Ui.now) : "Never" }
            }
        }
    }

    CardSurface {
        visible: junk.hasResult && junk.totalBytes > 0 && junk.chartSegments.length > 0
        padding: 18
        ColumnLayout {
            width: parent.width
            spacing: 10
            SectionLabel { text: "Where the space is" }
            SpaceChart {
                segments: junk.chartSegments
                barHeight: 12
                caption: "Grouped by rule folder. Only the rules you have on are included."
            }
        }
    }

    Repeater {
        model: junk.groups
        CardSurface {
            id: groupCard
            required property var modelData
            readonly property bool expanded: junk.expandedGroup === modelData.group
            padding: 15
            ColumnLayout {
                width: parent.width
                spacing: 0
                RowLayout {
                    Layout.fillWidth: true
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        Text { text: groupCard.modelData.title; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold }
                        Text { text: groupCard.modelData.summary; color: AppPalette.tertiary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true }
                    }
                    Text {
                        Layout.alignment: Qt.AlignTop
                        Layout.leftMargin: 8
                        text: Ui.bytes(groupCard.modelData.bytes)
                        color: groupCard.modelData.bytes >= 1 ? AppPalette.label : AppPalette.tertiary
                        font.pixelSize: 13
                        font.weight: Font.DemiBold
                    }
                }
                Repeater {
                    model: groupCard.modelData.rules
                    ColumnLayout {
                        required property var modelData
                        required property int index
                        spacing: 0
                        Layout.fillWidth: true
                        RuleRow { rule: modelData }
                        RowDivider { visible: index < groupCard.modelData.rules.length - 1 }
                    }
                }
                Item {  // the disclosure control
                    visible: groupCard.modelData.itemCount >= 1
                    Layout.fillWidth: true
                    Layout.topMargin: 10
                    implicitHeight: disclosure.implicitHeight
                    RowLayout {
                        id: disclosure
                        spacing: 6
                        Text { text: groupCard.expanded ? "▾" : "▸"; color: AppPalette.secondary; font.pixelSize: 13 }
                        Text {
                            text: "Review " + Ui.fileCount(groupCard.modelData.itemCount)
                            color: AppPalette.secondary
                            font.pixelSize: 13
                            font.weight: Font.Medium
                        }
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: junk.expandedGroup = groupCard.expanded ? "" : groupCard.modelData.group
                    }
                    Accessible.role: Accessible.Button
                    Accessible.name: "Review " + Ui.fileCount(groupCard.modelData.itemCount)
                }
                ColumnLayout {
                    visible: groupCard.expanded
                    spacing: 6
                    Layout.fillWidth: true
                    Layout.topMargin: 8
                    Repeater {
                        model: groupCard.expanded ? groupCard.modelData.items.slice(0, 80) : []
                        ItemRow { item: modelData; required property var modelData }
                    }
                    Text {
                        visible: groupCard.modelData.items.length > 80
                        text: "Showing 80 of " + groupCard.modelData.items.length + " items. Clean moves all of them."
                        color: AppPalette.tertiary
                        font.pixelSize: 12
                        Layout.topMargin: 8
                    }
                }
            }
        }
    }

    RowLayout {
        spacing: 6
        Layout.fillWidth: true
        SymbolImage { symbol: "info.circle"; size: 13; Layout.alignment: Qt.AlignTop }
        Text {
            text: "Turning a rule on or off changes the next scan. Patterns and the rule list ship with Kelvane, so a system update cannot silently widen what is cleaned."
            color: AppPalette.tertiary
            font.pixelSize: 13
            wrapMode: Text.WordWrap
            Layout.fillWidth: true
        }
    }

    ConfirmCleanSheet {
        id: sheet
        objectName: "confirmSheet"
        shown: junk.showConfirm
        title: "Clean " + Ui.bytes(junk.totalBytes) + "?"
        items: junk.items
        retentionDays: App.settings.retentionDays
        onConfirmed: { App.cleanAllJunk(); junk.showConfirm = false }
        onDismissed: junk.showConfirm = false
    }
}
