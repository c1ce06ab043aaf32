import QtQuick
import QtQuick.Layouts
import Kelvane

// A screen whose content is not part of this build yet: its header and a plain note.
ColumnLayout {
    property string section
    property string title
    spacing: 20
    PageHeader { eyebrow: parent.title; title: parent.title; subtitle: "This screen is not available in this version of Kelvane." }
    CardSurface {
        padding: 18
        EmptyState {
            width: parent.width
            icon: AppIcons.forSection(parent.parent.section)
            title: "Not available yet"
            message: "Use kelvane-cli for this in the meantime; it works on the same files."
        }
    }
}
