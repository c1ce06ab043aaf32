import QtQuick
import QtQuick.Layouts
import KelvaneCore
import Kelvane

Rectangle {
    id: sidebar
    color: AppPalette.sidebar
    Rectangle { anchors.right: parent.right; width: 0.5; height: parent.height; color: AppPalette.hairline }

    function badge(section) {
        if (section === "junk" && App.junkResult.present && App.junkResult.totalBytes > 0)
            return Ui.bytes(App.junkResult.totalBytes)
        if (section === "quarantine" && App.batchCount > 0)
            return String(App.batchCount)
        return ""
    }


    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        RowLayout {  // brand
            Layout.leftMargin: 14
            Layout.rightMargin: 14
            Layout.topMargin: 20
            Layout.bottomMargin: 18
            spacing: 10
            AppIconImage { icon: "Shield"; size: 30 }
            ColumnLayout {
                spacing: 0
                Text { text: "Kelvane"; color: AppPalette.label; font.pixelSize: 15; font.weight: Font.DemiBold }
                Text { text: "Clean space, clearly."; color: AppPalette.tertiary; font.pixelSize: 11 }
            }
        }

        ColumnLayout {
            Layout.leftMargin: 10
            Layout.rightMargin: 10
            Layout.fillWidth: true
            spacing: 2
            Repeater {
                model: ["overview", "junk", "largeFiles", "diskMap", "duplicates", "startup", "uninstall"]
                SidebarRow {
                    required property string modelData
                    section: modelData
                    title: App.sectionTitle(modelData)
                    badge: sidebar.badge(modelData)
                }
            }
            RowDivider { Layout.leftMargin: 10; Layout.rightMargin: 10; Layout.topMargin: 8; Layout.bottomMargin: 8 }
            SidebarRow { section: "quarantine"; title: "Quarantine"; badge: sidebar.badge("quarantine") }
        }

        Item { Layout.fillHeight: true }

        SidebarRow {
            Layout.leftMargin: 10
            Layout.rightMargin: 10
            Layout.topMargin: 8
            Layout.bottomMargin: 14
            section: "settings"
            title: "Settings"
        }
    }
}
