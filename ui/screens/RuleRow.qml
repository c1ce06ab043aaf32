import QtQuick
import QtQuick.Layouts
import KelvaneCore
import Kelvane

// One rule of a junk group: its switch, name, pills, note, error and what it found.
RowLayout {
    id: row
    property var rule
    spacing: 10
    Layout.fillWidth: true
    Layout.topMargin: 9
    Layout.bottomMargin: 9
    opacity: rule.enabled ? 1 : 0.62

    CheckMark {
        checked: row.rule.enabled
        Layout.alignment: Qt.AlignTop
        onToggled: App.setRuleEnabled(row.rule.ruleID, checked)
        Accessible.name: row.rule.name
    }
    ColumnLayout {
        spacing: 2
        Layout.fillWidth: true
        Layout.maximumWidth: row.width - 100
        RowLayout {
            spacing: 6
            Text { text: row.rule.name; color: row.rule.enabled ? AppPalette.label : AppPalette.tertiary; font.pixelSize: 15; font.weight: Font.Medium }
            Pill { visible: row.rule.optIn; text: "Off by default"; tint: AppPalette.warning }
            Pill { visible: row.rule.needsAccess === true; text: "Needs access"; tint: AppPalette.idle }
        }
        Text { visible: row.rule.note.length > 0; text: row.rule.note; color: AppPalette.tertiary; font.pixelSize: 12; wrapMode: Text.WordWrap; Layout.fillWidth: true }
        Text { visible: row.rule.error.length > 0; text: row.rule.error; color: AppPalette.warning; font.pixelSize: 12; wrapMode: Text.WordWrap; Layout.fillWidth: true }
    }
    Item { Layout.fillWidth: true }
    Text {
        Layout.preferredWidth: 62
        Layout.alignment: Qt.AlignTop
        horizontalAlignment: Text.AlignRight
        text: !row.rule.enabled ? "Off" : row.rule.bytes < 1 ? "—" : Ui.bytes(row.rule.bytes)
        color: row.rule.enabled && row.rule.bytes > 0 ? AppPalette.secondary : AppPalette.tertiary
        font.pixelSize: 13
        font.weight: Font.Medium
    }
}
