pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Window
import Sendra.App

// The full-window background: the void colour, a faint glow of the brand colour from the top-right corner and a
// fainter diagonal wash of the secondary brand colour. Painted once per size as one image, so a frame that repaints
// part of the window copies the background there rather than computing two gradients again.
Item {
    id: background

    // Rounded corners for a sheet's background (0: the square window).
    property real radius: 0
    readonly property real r: Math.max(0, Math.min(radius, width / 2, height / 2))
    readonly property real pixelRatio: Screen.devicePixelRatio > 0 ? Screen.devicePixelRatio : 1

    Image {
        anchors.fill: parent
        smooth: false
        sourceSize: Qt.size(Math.ceil(background.width * background.pixelRatio),
                            Math.ceil(background.height * background.pixelRatio))
        source: background.width > 0 && background.height > 0
                ? "image://backdrop/" + background.width + "/" + background.height + "/" + background.r + "/"
                  + String(CommandPalette.voidColor).slice(1) + "/" + String(CommandPalette.primary).slice(1) + "/"
                  + String(CommandPalette.secondary).slice(1) : ""
    }
}
