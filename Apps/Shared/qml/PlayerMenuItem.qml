import QtQuick
import QtQuick.Controls.Basic

// An item of a PlayerMenu: white text, a band in the player's accent while hovered or chosen by keyboard.
MenuItem {
    id: item
    readonly property color accent: "#ff9f0a"

    contentItem: Text {
        leftPadding: 8
        text: item.text
        color: "white"
        opacity: item.enabled ? 1 : 0.4
        font.pixelSize: 13
        elide: Text.ElideRight
        verticalAlignment: Text.AlignVCenter
    }
    background: Rectangle {
        implicitWidth: 200
        implicitHeight: 34
        radius: 6
        color: item.highlighted || item.down ? Qt.rgba(item.accent.r, item.accent.g, item.accent.b, 0.3)
                                             : "transparent"
    }
}
