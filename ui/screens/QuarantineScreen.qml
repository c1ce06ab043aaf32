import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// Getting things back: the batches with their status, restore and delete, and the history.
ColumnLayout {
    id: screen
    objectName: "quarantineScreen"
    spacing: 20

    property var pendingDelete: null  // { batchID, remainingCount, remainingBytes }
    // Opened and closed from here, not bound: the dialog's own closing writes back.
    onPendingDeleteChanged: pendingDelete !== null ? alert.open() : alert.close()
    property var expanded: ({})
    readonly property string deleteMessage: pendingDelete
        ? Ui.fileCount(pendingDelete.remainingCount) + " and " + Ui.bytes(pendingDelete.remainingBytes)
          + " will be removed from the disk. This cannot be undone."
        : ""

    function status(remainingCount, expiresAt) {
        if (remainingCount === 0)
            return { text: "Settled", tint: AppPalette.idle }
        if (expiresAt < Ui.now)
            return { text: "Expired", tint: AppPalette.danger }
        const days = Ui.daysUntil(expiresAt, Ui.now)
        if (days < 2)
            return { text: "Last day", tint: AppPalette.warning }
        return { text: days + " days left", tint: days === 2 ? AppPalette.warning : AppPalette.idle }
    }

    PageHeader {
        eyebrow: "Quarantine"
        title: "Second thoughts"
        subtitle: "Everything you clean stays restorable for " + App.settings.retentionDays + " days."
        SoftButton { text: "Empty expired"; symbol: "clock.badge.xmark"; onClicked: App.purgeExpiredBatches() }
    }

    CardSurface {
        padding: 18
        RowLayout {
            width: parent.width
            spacing: 26
            StatTile {
                title: "In quarantine"
                value: Ui.bytes(App.quarantineBytes)
                detail: {
                    let n = 0
                    for (let i = 0; i < batchList.count; ++i)
                        n += batchList.itemAt(i) ? batchList.itemAt(i).remainingCount : 0
                    return Ui.fileCount(n)
                }
            }
            StatTile { title: "Batches"; value: String(App.batchCount); detail: "one per clean" }
            StatTile { title: "Kept for"; value: App.settings.retentionDays + " days"; detail: "then removed" }
            Item { Layout.fillWidth: true }
        }
    }

    Repeater {
        id: batchList
        model: App.batches
        CardSurface {
            id: card
            required property string batchID
            required property var createdAt
            required property var expiresAt
            required property string note
            required property int itemCount
            required property int remainingCount
            required property var remainingBytes
            required property var entries
            readonly property var pill: screen.status(remainingCount, expiresAt)
            readonly property bool open: screen.expanded[batchID] === true
            padding: 15
            ColumnLayout {
                width: parent.width
                spacing: 0
                RowLayout {
                    Layout.fillWidth: true
                    spacing: 12
                    AppIconImage { icon: "Restore"; size: 30 }
                    ColumnLayout {
                        spacing: 2
                        Layout.fillWidth: true
                        Text { text: card.note; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; elide: Text.ElideRight; Layout.fillWidth: true }
                        Text {
                            text: Ui.date(card.createdAt) + " · " + Ui.fileCount(card.remainingCount) + " · " + Ui.bytes(card.remainingBytes)
                            color: AppPalette.tertiary; font.pixelSize: 13; elide: Text.ElideRight; Layout.fillWidth: true
                        }
                    }
                    Pill { objectName: "statusPill"; text: card.pill.text; tint: card.pill.tint; Layout.leftMargin: 8 }
                    SoftButton { text: "Restore"; enabled: card.remainingCount > 0; onClicked: App.restoreBatch(card.batchID) }
                    SoftButton {
                        text: "Delete"
                        onClicked: screen.pendingDelete = { batchID: card.batchID, remainingCount: card.remainingCount, remainingBytes: card.remainingBytes }
                    }
                }
                Item {
                    visible: card.entries.length > 0
                    Layout.fillWidth: true
                    Layout.topMargin: 10
                    implicitHeight: reviewLabel.implicitHeight
                    RowLayout {
                        id: reviewLabel
                        spacing: 6
                        Text { text: card.open ? "▾" : "▸"; color: AppPalette.secondary; font.pixelSize: 13 }
                        Text { text: "Review items"; color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium }
                    }
                    MouseArea {
                        anchors.fill: parent
                        onClicked: {
                            const next = Object.assign({}, screen.expanded)
                            if (card.open) delete next[card.batchID]; else next[card.batchID] = true
                            screen.expanded = next
                        }
                    }
                }
                ColumnLayout {
                    visible: card.open
                    spacing: 0
                    Layout.fillWidth: true
                    Layout.topMargin: 8
                    Repeater {
                        model: card.open ? card.entries : []
                        ColumnLayout {
                            required property var modelData
                            readonly property bool restored: !isNaN(modelData.restoredAt.getTime())
                            spacing: 0
                            Layout.fillWidth: true
                            RowLayout {
                                opacity: parent.restored ? 0.6 : 1
                                spacing: 9
                                Layout.fillWidth: true
                                Layout.topMargin: 5
                                Layout.bottomMargin: 5
                                SymbolImage { symbol: parent.parent.restored ? "checkmark.circle" : "doc"; tint: parent.parent.restored ? AppPalette.success : AppPalette.tertiary; size: 13; Layout.preferredWidth: 14 }
                                ColumnLayout {
                                    spacing: 1
                                    Layout.fillWidth: true
                                    Text { text: Ui.lastComponent(modelData.originalPath); color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                                    Text { text: Ui.shortPath(modelData.originalPath.substring(0, modelData.originalPath.lastIndexOf("/")) || "/"); color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideMiddle; Layout.fillWidth: true }
                                }
                                Text {
                                    Layout.leftMargin: 8
                                    text: parent.parent.restored ? "Restored " + Ui.relative(modelData.restoredAt, Ui.now)
                                        : modelData.failure ? modelData.failure : Ui.bytes(modelData.size)
                                    color: parent.parent.restored ? AppPalette.success : modelData.failure ? AppPalette.warning : AppPalette.secondary
                                    font.pixelSize: parent.parent.restored || modelData.failure ? 11 : 13
                                    elide: Text.ElideRight
                                }
                            }
                            RowDivider {}
                        }
                    }
                }
            }
        }
    }

    CardSurface {
        visible: App.batchCount === 0
        padding: 16
        EmptyState { width: parent.width; icon: "Restore"; title: "Nothing in quarantine"; message: "Items you clean will appear here, with the date they were moved and the folder they came from." }
    }

    CardSurface {
        padding: 16
        ColumnLayout {
            width: parent.width
            spacing: 8
            RowLayout {
                Layout.fillWidth: true
                SectionLabel { text: "Cleaning history"; Layout.fillWidth: true }
                Text { objectName: "historyCount"; visible: historyRows.count > 0; text: Ui.counted(historyRows.count, "run", "runs"); color: AppPalette.tertiary; font.pixelSize: 12 }
            }
            Text {
                visible: historyRows.count === 0
                text: "No cleans yet. Your first scan will show the result here."
                color: AppPalette.tertiary; font.pixelSize: 13
                Layout.topMargin: 6; Layout.bottomMargin: 6
            }
            Repeater {
                id: historyRows
                model: App.history
                RowLayout {
                    required property int index
                    required property string note
                    required property var categories
                    required property var bytes
                    required property var date
                    visible: index < 4
                    spacing: 10
                    Layout.fillWidth: true
                    Layout.topMargin: 3
                    Layout.bottomMargin: 3
                    SymbolImage { symbol: "checkmark.circle"; tint: AppPalette.success; size: 13 }
                    ColumnLayout {
                        spacing: 1
                        Layout.fillWidth: true
                        Text { text: note; color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                        Text { text: categories.join(", "); color: AppPalette.tertiary; font.pixelSize: 12; elide: Text.ElideRight; Layout.fillWidth: true }
                    }
                    Text { text: Ui.bytes(bytes); color: AppPalette.secondary; font.pixelSize: 13; font.weight: Font.Medium }
                    Text { text: Ui.relative(date, Ui.now); color: AppPalette.tertiary; font.pixelSize: 12; horizontalAlignment: Text.AlignRight; Layout.preferredWidth: 96 }
                }
            }
        }
    }

    RowLayout {
        spacing: 10
        Layout.fillWidth: true
        Layout.leftMargin: 4
        Layout.rightMargin: 4
        SymbolImage { symbol: "lock.shield"; tint: AppPalette.brandBottom; size: 13; Layout.alignment: Qt.AlignTop }
        Text {
            text: "Quarantine files live in " + Ui.shortPath(App.quarantineFolder) + ". They are not in the Trash. Deleting a batch is the only action that removes them from the disk."
            color: AppPalette.tertiary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
        }
    }

    Dialog {
        id: alert
        objectName: "deleteAlert"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        width: 420
        padding: 20
        title: "Delete this batch permanently?"
        background: Rectangle { color: AppPalette.window; radius: 12; border.width: 0.5; border.color: AppPalette.hairline }
        header: Text { text: alert.title; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; padding: 20; bottomPadding: 0 }
        contentItem: Text {
            objectName: "deleteMessage"
            text: screen.deleteMessage
            color: AppPalette.secondary; font.pixelSize: 13; wrapMode: Text.WordWrap
        }
        footer: RowLayout {
            spacing: 8
            Item { Layout.fillWidth: true }
            SoftButton { text: "Cancel"; Layout.bottomMargin: 16; onClicked: screen.pendingDelete = null }
            FilledButton {
                text: "Delete Permanently"
                tint: AppPalette.danger
                Layout.rightMargin: 16
                Layout.bottomMargin: 16
                onClicked: { const id = screen.pendingDelete.batchID; screen.pendingDelete = null; App.deleteBatch(id) }
            }
        }
        onClosed: if (screen.pendingDelete !== null) screen.pendingDelete = null
    }
}
