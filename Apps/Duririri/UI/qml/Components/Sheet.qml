import QtQuick
import QtQuick.Controls
import Sendra.App

// A modal sheet centred over the window. `shown` drives it; any dismissal (Escape, a click outside when
// allowed) emits dismissed(), where the owner writes back to the deck. Content goes in as children.
Popup {
    id: sheet

    property bool shown: false
    property real minimumWidth: 480
    property real minimumHeight: 360
    // Escape and clicks outside close it unless the owner takes over (the access-code sheet does).
    property bool dismissable: true
    signal dismissed()

    parent: Overlay.overlay
    modal: true
    dim: true
    focus: true
    anchors.centerIn: parent
    width: Math.min(Math.max(minimumWidth, implicitContentWidth + leftPadding + rightPadding), parent ? parent.width - 40 : minimumWidth)
    height: Math.min(Math.max(minimumHeight, implicitContentHeight + topPadding + bottomPadding), parent ? parent.height - 40 : minimumHeight)
    padding: 0
    closePolicy: dismissable ? (Popup.CloseOnEscape | Popup.CloseOnPressOutside) : Popup.NoAutoClose
    visible: shown

    background: Rectangle {
        color: CommandPalette.obsidian
        radius: Theme.radiusCard
        border.color: Theme.outlineFaint
        border.width: 1
    }
    Overlay.modal: Rectangle {
        color: Theme.scrim
    }

    onClosed: if (shown) sheet.dismissed()
}
