import QtQuick
import QtQuick.Controls
import Sendra.App

// An item of a CommandMenu: white text, a brand-tinted band while hovered or chosen by keyboard.
MenuItem {
    id: item
    readonly property color primary: CommandPalette.primary

    contentItem: Text {
        leftPadding: Theme.spacingMedium
        text: item.text
        color: Theme.textPrimary
        opacity: item.enabled ? 1 : 0.4
        font.pixelSize: Theme.fontFootnote
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        implicitWidth: 200
        implicitHeight: 34
        radius: 6
        color: item.highlighted || item.down ? Qt.rgba(item.primary.r, item.primary.g, item.primary.b, 0.3)
                                             : "transparent"
    }
}
