import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// Login items: switch the user's own off and on; machine-wide ones are listed read-only.
ColumnLayout {
    id: screen
    objectName: "startupScreen"
    spacing: 20

    readonly property int userCount: App.userStartupCount
    readonly property int enabledCount: App.userStartupEnabled
    readonly property int systemCount: App.systemStartupCount

    function sourceTitle(source) {
        return source === "autostart" ? "Autostart entry" : source === "systemdUnit" ? "User service" : "Launch agent"
    }
    function detail(source, program, desktops) {
        return [sourceTitle(source), program ? Ui.shortPath(program) : "", desktops].filter(part => part !== "").join(" · ")
    }

    PageHeader {
        eyebrow: "Startup"
        title: "Less at login"
        subtitle: "Turn off what opens with you. Nothing is deleted, and you can turn it back on."
        SoftButton { text: "Refresh"; symbol: "arrow.clockwise"; onClicked: App.refreshStartupItems() }
    }

    CardSurface {
        padding: 18
        RowLayout {
            width: parent.width
            spacing: 26
            StatTile { objectName: "enabledTile"; title: "Enabled"; value: String(screen.enabledCount); detail: "of " + Ui.counted(screen.userCount, "login item", "login items") }
            StatTile { title: "Disabled"; value: String(screen.userCount - screen.enabledCount); detail: "kept but inactive" }
            StatTile { title: "System agents"; value: String(screen.systemCount); detail: "managed by installers" }
            Item { Layout.fillWidth: true }
        }
    }

    CardSurface {
        visible: screen.userCount > 0
        padding: 15
        ColumnLayout {
            width: parent.width
            spacing: 0
            Text { text: "Your login items"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.bottomMargin: 8 }
            RowDivider {}
            Repeater {
                model: App.startupItems
                ColumnLayout {
                    required property int index
                    required property string path
                    required property string label
                    required property var program
                    required property bool runAtLoad
                    required property string kind
                    required property bool isEnabled
                    required property bool canToggle
                    required property string source
                    required property string desktops
                    visible: kind === "userAgent"
                    spacing: 0
                    Layout.fillWidth: true
                    RowLayout {
                        spacing: 10
                        Layout.fillWidth: true
                        Layout.topMargin: 8
                        Layout.bottomMargin: 8
                        AppIconImage { icon: "Power"; size: 20; opacity: isEnabled ? 1 : 0.45 }
                        ColumnLayout {
                            spacing: 1
                            Layout.fillWidth: true
                            Text { text: label; color: AppPalette.label; font.pixelSize: 13; font.weight: Font.Medium; elide: Text.ElideRight; Layout.fillWidth: true }
                            Text { text: screen.detail(source, program, desktops); color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideMiddle; Layout.fillWidth: true }
                        }
                        Pill { visible: runAtLoad; text: "Opens at login"; tint: AppPalette.idle; Layout.leftMargin: 8 }
                        ToolButton {
                            implicitWidth: 22; implicitHeight: 22
                            background: Item {}
                            contentItem: SymbolImage { symbol: "arrow.up.forward.app"; size: 12 }
                            ToolTip.visible: hovered
                            ToolTip.text: "Show the entry in Files"
                            onClicked: Ui.reveal(path)
                        }
                        ToggleSwitch {
                            checked: isEnabled
                            enabled: canToggle
                            Accessible.name: label
                            onToggled: App.toggleStartupItem(path)
                        }
                    }
                    RowDivider { objectName: "startupRowDivider"; visible: index < App.lastUserStartupRow }
                }
            }
        }
    }

    CardSurface {
        visible: screen.userCount === 0
        padding: 16
        EmptyState { width: parent.width; icon: "Power"; title: "No login items"; message: "No autostart entry, user service or launch agent of yours starts at sign in." }
    }

    CardSurface {
        visible: screen.systemCount > 0
        padding: 15
        ColumnLayout {
            width: parent.width
            spacing: 0
            RowLayout {
                Layout.fillWidth: true
                Layout.bottomMargin: 8
                Text { text: "System agents"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold; Layout.fillWidth: true }
                Pill { visible: !App.anySystemStartupSwitchable; text: "Read only"; tint: AppPalette.idle }
            }
            ListView {
                Layout.fillWidth: true
                Layout.preferredHeight: Math.min(contentHeight, 220)
                clip: true
                model: App.startupItems
                ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }
                delegate: RowLayout {
                    required property string path
                    required property string label
                    required property var program
                    required property string kind
                    required property string source
                    required property string desktops
                    required property bool isEnabled
                    required property bool canToggle
                    visible: kind === "systemAgent"
                    height: visible ? implicitHeight + 12 : 0
                    width: ListView.view.width
                    spacing: 9
                    SymbolImage { symbol: "gearshape.2"; size: 12; Layout.preferredWidth: 18 }
                    ColumnLayout {
                        spacing: 0
                        Layout.fillWidth: true
                        Text { text: label; color: AppPalette.label; font.pixelSize: 13; elide: Text.ElideRight; Layout.fillWidth: true }
                        Text { text: screen.detail(source, program, desktops); color: AppPalette.tertiary; font.pixelSize: 11; elide: Text.ElideMiddle; Layout.fillWidth: true }
                    }
                    ToolButton {
                        implicitWidth: 22; implicitHeight: 22
                        background: Item {}
                        contentItem: SymbolImage { symbol: "arrow.up.forward.app"; size: 12 }
                        ToolTip.visible: hovered
                        ToolTip.text: "Show the entry in Files"
                        onClicked: Ui.reveal(path)
                    }
                    // A machine-wide autostart entry can be switched for this user alone.
                    ToggleSwitch {
                        // Kept in the row (only faded out) so every row's buttons line up.
                        checked: isEnabled
                        enabled: source === "autostart" && canToggle
                        opacity: source !== "autostart" ? 0 : canToggle ? 1 : 0.45
                        Accessible.name: label
                        onToggled: App.toggleStartupItem(path)
                    }
                }
            }
            Text {
                text: "These belong to the system or another installer. Change them with the app or the installer that added them. Switching a machine-wide autostart entry off hides it for you only; its file stays as the installer wrote it."
                color: AppPalette.tertiary; font.pixelSize: 12; wrapMode: Text.WordWrap; Layout.fillWidth: true; Layout.topMargin: 8
            }
        }
    }

    RowLayout {
        spacing: 10
        Layout.fillWidth: true
        Layout.leftMargin: 4
        Layout.rightMargin: 4
        SymbolImage { symbol: "info.circle"; size: 13; Layout.alignment: Qt.AlignTop }
        Text {
            text: "A change takes effect the next time you sign in. Kelvane moves the agent file to its own folder and keeps it there, so turning the item back on restores the original file. User services are switched with systemd."
            color: AppPalette.tertiary; font.pixelSize: 13; wrapMode: Text.WordWrap; Layout.fillWidth: true
        }
    }
}
