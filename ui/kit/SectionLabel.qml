import QtQuick

Text {
    property color tint: AppPalette.tertiary
    color: tint
    font.pixelSize: 11
    font.weight: Font.DemiBold
    font.letterSpacing: 0.6
    font.capitalization: Font.AllUppercase
}
