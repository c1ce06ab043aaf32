import QtQuick

// A button's content: an optional symbol (or a spinner while busy) and the text. Sized by
// binding, not by a Row's positioning pass: a layout beside the button sees the new width the
// moment the text or the spinner changes.
Item {
    id: label
    property string text
    property font font
    property string symbol
    property bool busy: false
    property color color
    readonly property bool hasMark: busy || symbol.length > 0
    implicitWidth: (hasMark ? 13 + 6 : 0) + words.implicitWidth
    implicitHeight: Math.max(13, words.implicitHeight)
    Spinner {
        visible: label.busy
        tint: label.color
        size: 13
        anchors.verticalCenter: parent.verticalCenter
    }
    SymbolImage {
        visible: label.symbol.length > 0 && !label.busy
        symbol: label.symbol
        tint: label.color
        size: 13
        anchors.verticalCenter: parent.verticalCenter
    }
    Text {
        id: words
        x: label.hasMark ? 13 + 6 : 0
        text: label.text
        font: label.font
        color: label.color
        anchors.verticalCenter: parent.verticalCenter
    }
}
