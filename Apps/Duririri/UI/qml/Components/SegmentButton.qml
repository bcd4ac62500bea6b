import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// One segment of a segmented control (a row of these fills its RowLayout): `text` comes looked up from the
// caller, `selected` says which segment is on. The label is "<objectName>.label".
AbstractButton {
    id: segment

    property bool selected: false
    property real radius: 7
    // The fill of a segment that is not selected.
    property color idleFill: "transparent"
    // Keyboard focus draws a ring in the brand colour.
    property bool showsFocus: true

    readonly property bool focusShown: segment.showsFocus && segment.visualFocus

    Layout.fillWidth: true
    Layout.fillHeight: true
    focusPolicy: Qt.TabFocus
    checkable: false
    Accessible.role: Accessible.PageTab
    Accessible.name: label.text
    Accessible.checked: segment.selected

    background: Rectangle {
        radius: segment.radius
        color: segment.selected ? CommandPalette.raised : segment.idleFill
        border.width: segment.focusShown ? 2 : (segment.selected ? 1 : 0)
        border.color: segment.focusShown ? CommandPalette.primary : Theme.outlineSelected
    }
    contentItem: Text {
        id: label
        objectName: segment.objectName + ".label"
        text: segment.text
        color: segment.selected ? Theme.textPrimary : Theme.textUnselected
        font.pixelSize: Theme.fontFootnote
        font.bold: segment.selected
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        elide: Text.ElideRight
    }
}
