import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// The few choices the user makes: retention, rules, the schedule, the ignore list, access.
ColumnLayout {
    id: screen
    objectName: "settingsScreen"
    spacing: 18

    property string tab: "general"

    component RowTitle: ColumnLayout {
        property string title
        property string explanation
        spacing: 2
        Layout.fillWidth: true
        Text { text: parent.title; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.Medium; Layout.fillWidth: true }
        Text { visible: parent.explanation.length > 0; text: parent.explanation; color: AppPalette.tertiary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true }
    }
    component CardTitle: Text { color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.bottomMargin: 8 }
    component NumberMenu: MenuPicker {
        property var values: []
        property int value: 0
        signal picked(int value)
        implicitWidth: 64
        model: values.map(v => (v < 10 ? "0" : "") + v)
        currentIndex: values.indexOf(value)
        onActivated: index => picked(values[index])
    }

    FolderChooser {
        id: chooser
        title: "Ignore a folder"
        acceptLabel: "Ignore this folder"
        onChosen: path => App.addIgnorePath(path)
    }

    PageHeader {
        eyebrow: "Settings"
        title: "Make it yours"
        subtitle: "Small settings. The safety rules that protect your files do not change."
    }

    Segmented {
        objectName: "settingsTabs"
        Layout.preferredWidth: 280
        options: [{ value: "general", title: "General" }, { value: "safety", title: "Safety" }, { value: "about", title: "About" }]
        current: screen.tab
        onChosen: value => screen.tab = value
        Accessible.name: "Settings section"
    }

    CardSurface {
        visible: screen.tab === "general"
        padding: 15
        ColumnLayout {
            width: parent.width
            spacing: 0
            CardTitle { text: "General" }
            RowDivider {}
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 10
                Layout.bottomMargin: 10
                spacing: 16
                RowTitle { title: "Keep cleaned items"; explanation: "Restore anything during this window. After it, the batch is removed." }
                Segmented {
                    objectName: "retentionSegments"
                    Layout.preferredWidth: 250
                    options: [{ value: "3", title: "3 days" }, { value: "7", title: "7 days" }, { value: "14", title: "14 days" }]
                    current: String(App.settings.retentionDays)
                    onChosen: value => App.setRetentionDays(Number(value))
                }
            }
            RowDivider {}
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 10
                Layout.bottomMargin: 10
                spacing: 16
                RowTitle { title: "Rules enabled"; explanation: App.activeRuleCount + " of " + App.ruleCount + " rules are included in a scan." }
                // Placed from the top: Qt 6.4 leaves a centred item where it was when the row
                // shrinks as its text wraps, across the divider below.
                SoftButton { objectName: "resetRules"; text: "Reset to defaults"; Layout.alignment: Qt.AlignTop; Layout.topMargin: 3; onClicked: App.resetRuleSelection() }
            }
            RowDivider {}
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 10
                Layout.bottomMargin: 10
                spacing: 16
                RowTitle { title: "Open at login"; explanation: "Kelvane starts in the tray when you sign in, so scheduled scans run on time." }
                ToggleSwitch {
                    objectName: "openAtLoginSwitch"
                    checked: App.opensAtLogin
                    Accessible.name: "Open at login"
                    onToggled: App.opensAtLogin = checked
                }
            }
        }
    }

    CardSurface {
        visible: screen.tab === "general"
        padding: 15
        ColumnLayout {
            width: parent.width
            spacing: 0
            CardTitle { text: "Schedule" }
            RowDivider {}
            RowLayout {
                Layout.fillWidth: true
                Layout.topMargin: 10
                Layout.bottomMargin: 10
                spacing: 16
                RowTitle { title: "Automatic quick scan"; explanation: "Runs while Kelvane is open." }
                Segmented {
                    objectName: "scheduleModes"
                    Layout.preferredWidth: 230
                    options: [{ value: "manual", title: "Manual" }, { value: "daily", title: "Daily" }, { value: "weekly", title: "Weekly" }]
                    current: App.schedule.mode
                    onChosen: value => App.setScheduleMode(value)
                }
            }
            ColumnLayout {
                objectName: "scheduleRows"
                visible: App.schedule.mode !== "manual"
                spacing: 0
                Layout.fillWidth: true
                RowDivider {}
                RowLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 8
                    Layout.bottomMargin: 8
                    spacing: 10
                    Text { text: "Time"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.Medium; Layout.fillWidth: true }
                    NumberMenu {
                        objectName: "hourMenu"
                        values: Array.from({ length: 24 }, (_, i) => i)
                        value: App.schedule.hour
                        onPicked: v => App.setScheduleTime(v, App.schedule.minute)
                        Accessible.name: "Hour"
                    }
                    Text { text: ":"; color: AppPalette.tertiary; font.pixelSize: 15 }
                    NumberMenu {
                        values: Array.from({ length: 12 }, (_, i) => i * 5)
                        value: App.schedule.minute
                        onPicked: v => App.setScheduleTime(App.schedule.hour, v)
                        Accessible.name: "Minute"
                    }
                }
                ColumnLayout {
                    objectName: "dayRow"
                    visible: App.schedule.mode === "weekly"
                    spacing: 0
                    Layout.fillWidth: true
                    RowDivider {}
                    RowLayout {
                        Layout.fillWidth: true
                        Layout.topMargin: 8
                        Layout.bottomMargin: 8
                        spacing: 10
                        Text { text: "Day"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.Medium; Layout.fillWidth: true }
                        MenuPicker {
                            implicitWidth: 140
                            model: [1, 2, 3, 4, 5, 6, 7].map(d => Ui.weekdayName(d))
                            currentIndex: App.schedule.weekday - 1
                            onActivated: index => App.setScheduleWeekday(index + 1)
                            Accessible.name: "Day"
                        }
                    }
                }
                RowDivider {}
                RowLayout {
                    Layout.fillWidth: true
                    Layout.topMargin: 9
                    Layout.bottomMargin: 9
                    Text { text: "Next run"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.Medium; Layout.fillWidth: true }
                    Text {
                        objectName: "nextRun"
                        readonly property var next: { App.schedule; Ui.now; return App.nextScheduledRun() }
                        text: isNaN(next.getTime()) ? "Not scheduled" : Ui.date(next)
                        color: isNaN(next.getTime()) ? AppPalette.tertiary : AppPalette.secondary
                        font.pixelSize: 13
                    }
                }
            }
            Text {
                text: "A scheduled run is a normal quick scan with the rules you have on. Deep scans are never automatic. If the computer is asleep or Kelvane is not running at the set time, the run waits for the next scheduled time."
                color: AppPalette.tertiary; font.pixelSize: 12; wrapMode: Text.WordWrap; Layout.fillWidth: true; Layout.topMargin: 8
            }
        }
    }

    CardSurface {
        visible: screen.tab === "safety"
        padding: 15
        ColumnLayout {
            width: parent.width
            spacing: 0
            RowLayout {
                Layout.fillWidth: true
                Layout.bottomMargin: 8
                Text { text: "Ignore list"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                SoftButton { text: "Add folder"; symbol: "plus"; onClicked: chooser.openAt(Ui.homePath) }
            }
            RowDivider {}
            Text {
                visible: App.settings.ignoreList.length === 0
                text: "No folders are ignored. Add one if a scan keeps offering something you want to keep."
                color: AppPalette.tertiary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
                Layout.topMargin: 10; Layout.bottomMargin: 10
            }
            Repeater {
                model: App.settings.ignoreList
                ColumnLayout {
                    required property string modelData
                    spacing: 0
                    Layout.fillWidth: true
                    RowLayout {
                        spacing: 9
                        Layout.fillWidth: true
                        Layout.topMargin: 7
                        Layout.bottomMargin: 7
                        SymbolImage { symbol: "folder.badge.minus"; size: 13; Layout.preferredWidth: 16 }
                        Text { text: Ui.shortPath(modelData); color: AppPalette.label; font.pixelSize: 13; elide: Text.ElideMiddle; Layout.fillWidth: true }
                        GhostButton { text: "Remove"; onClicked: App.removeIgnorePath(modelData) }
                    }
                    RowDivider {}
                }
            }
            Text {
                text: "Ignored folders are skipped by the junk scan, large file scan and duplicate scan."
                color: AppPalette.tertiary; font.pixelSize: 12; Layout.topMargin: 8
            }
        }
    }

    CardSurface {
        visible: screen.tab === "safety"
        padding: 15
        RowLayout {
            width: parent.width
            spacing: 12
            AppIconImage { icon: "Warning"; size: 28; Layout.alignment: Qt.AlignTop }
            ColumnLayout {
                spacing: 3
                Layout.fillWidth: true
                Text { text: "Permissions"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Text {
                    text: "Kelvane reads with your own permissions. Folders you cannot read are skipped and counted."
                    color: AppPalette.secondary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
                }
            }
        }
    }

    CardSurface {
        visible: screen.tab === "about"
        padding: 15
        RowLayout {
            width: parent.width
            spacing: 12
            AppIconImage { icon: "Shield"; size: 38 }
            ColumnLayout {
                spacing: 1
                Layout.fillWidth: true
                Text { text: "Kelvane"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Text { text: "Version " + Qt.application.version + " (build 1)"; color: AppPalette.tertiary; font.pixelSize: 13 }
            }
        }
    }
}
