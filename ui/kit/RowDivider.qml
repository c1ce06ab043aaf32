import QtQuick
import QtQuick.Layouts

Rectangle {
    Layout.fillWidth: true
    implicitHeight: 0.5
    height: 0.5
    color: AppPalette.hairline
}
