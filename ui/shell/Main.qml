import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// The one main window: sidebar, the screen of the current section, the notice, and the
// application's menus with their shortcuts.
ApplicationWindow {
    id: window
    title: "Kelvane"
    width: 1080
    height: 720
    minimumWidth: 960
    minimumHeight: 640
    maximumWidth: 1280
    maximumHeight: 860
    color: AppPalette.window
    // No full screen: the window only offers what its size limits allow.
    flags: Qt.Window | Qt.WindowTitleHint | Qt.WindowSystemMenuHint | Qt.WindowMinimizeButtonHint
           | Qt.WindowCloseButtonHint

    readonly property var sections: ["overview", "junk", "largeFiles", "diskMap", "duplicates",
        "startup", "uninstall", "quarantine", "settings"]

    function go(section) {
        App.section = section
        Shell.showWindow()
    }

    menuBar: MenuBar {
        background: Rectangle { color: AppPalette.sidebar; implicitHeight: 26
            Rectangle { anchors.bottom: parent.bottom; width: parent.width; height: 0.5; color: AppPalette.hairline } }
        delegate: MenuBarItem {
            id: menuItem
            contentItem: Text { text: menuItem.text; color: AppPalette.label; font.pixelSize: 13 }
            // Lit while its menu is open or under the pointer; not left lit after it closes.
            background: Rectangle {
                color: (menuItem.menu && menuItem.menu.visible) || menuItem.hovered ? AppPalette.wellStrong : "transparent"
                radius: 4
            }
        }
        AppMenu {
            title: "Kelvane"
            Action { text: "Settings…"; shortcut: "Ctrl+,"; onTriggered: window.go("settings") }
            MenuSeparator { contentItem: Rectangle { implicitHeight: 1; color: AppPalette.hairline } }
            Action { text: "Quit Kelvane"; shortcut: StandardKey.Quit; onTriggered: Shell.quit() }
        }
        AppMenu {
            title: "Scan"
            Action {
                text: "Quick Scan"; shortcut: "Ctrl+R"
                onTriggered: { App.scanMode = "quick"; App.startScan(false); Shell.showWindow() }
            }
            Action {
                text: "Deep Scan"; shortcut: "Ctrl+Shift+R"
                onTriggered: { App.scanMode = "deep"; App.startDeepScan(); Shell.showWindow() }
            }
            Action {
                text: "Scan Large Files"; shortcut: "Ctrl+Shift+L"
                onTriggered: { App.section = "largeFiles"; App.startLargeScan(); Shell.showWindow() }
            }
            Action {
                text: "Scan Duplicates"; shortcut: "Ctrl+Shift+D"
                onTriggered: { App.section = "duplicates"; App.startDuplicateScan(); Shell.showWindow() }
            }
            MenuSeparator { contentItem: Rectangle { implicitHeight: 1; color: AppPalette.hairline } }
            Action { text: "Stop"; shortcut: "Ctrl+."; onTriggered: App.stopScan() }
        }
        AppMenu {
            title: "Go"
            Repeater {
                model: window.sections
                AppMenuItem {
                    required property string modelData
                    required property int index
                    text: App.sectionTitle(modelData)
                    hint: Ui.shortcutText("Ctrl+" + (index + 1))
                    onTriggered: window.go(modelData)
                }
            }
        }
    }

    // Ctrl+1 … Ctrl+9 open the sections. They live on the window, not in the Go menu: a closed
    // menu's items are not there to take a key.
    Repeater {
        model: window.sections
        Item {
            required property string modelData
            required property int index
            Shortcut {
                sequence: "Ctrl+" + (index + 1)
                context: Qt.ApplicationShortcut
                onActivated: window.go(modelData)
            }
        }
    }

    RowLayout {
        anchors.fill: parent
        spacing: 0

        Sidebar {
            Layout.preferredWidth: 224
            Layout.fillHeight: true
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            Flickable {
                id: scroller
                objectName: "pageScroller"
                anchors.fill: parent
                contentWidth: width
                contentHeight: page.height + 38 + 28
                clip: true
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {}

                Item {
                    width: scroller.width
                    height: page.height + 66
                    Loader {
                        id: page
                        objectName: "page"
                        x: Math.max(30, (parent.width - width) / 2)
                        y: 38
                        width: Math.min(880, parent.width - 60)
                        sourceComponent: screens[App.section] || overviewScreen
                        onLoaded: { fade.restart(); scroller.contentY = 0 }
                        NumberAnimation { id: fade; target: page.item; property: "opacity"; from: 0; to: 1; duration: 160; easing.type: Easing.OutQuad }
                    }
                }
            }

            ToastView {
                id: toast
                objectName: "toast"
                // A clean of thousands of items takes a while: say that it is going on.
                busy: App.isCleaning
                text: App.isCleaning ? "Moving " + Ui.fileCount(App.cleaningCount) + " to the quarantine…" : App.toast
                anchors.horizontalCenter: parent.horizontalCenter
                y: text.length > 0 ? parent.height - height - 22 : parent.height + 8
                opacity: text.length > 0 ? 1 : 0
                Behavior on y { NumberAnimation { duration: 200; easing.type: Easing.OutQuad } }
                Behavior on opacity { NumberAnimation { duration: 200; easing.type: Easing.OutQuad } }
            }
        }
    }

    readonly property var screens: ({ overview: overviewScreen, junk: junkScreen, largeFiles: largeFilesScreen,
        duplicates: duplicatesScreen, diskMap: diskMapScreen,
        startup: startupScreen, uninstall: uninstallScreen, quarantine: quarantineScreen, settings: settingsScreen })
    Component { id: overviewScreen; OverviewScreen {} }
    Component { id: junkScreen; JunkScreen {} }
    Component { id: diskMapScreen; DiskMapScreen {} }
    Component { id: largeFilesScreen; LargeFilesScreen {} }
    Component { id: duplicatesScreen; DuplicatesScreen {} }
    Component { id: uninstallScreen; UninstallScreen {} }
    Component { id: startupScreen; StartupScreen {} }
    Component { id: quarantineScreen; QuarantineScreen {} }
    Component { id: settingsScreen; SettingsScreen {} }
}
