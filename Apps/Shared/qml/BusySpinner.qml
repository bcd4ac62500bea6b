pragma ComponentBehavior: Bound

import QtQuick

// A small wheel of spokes for whatever waits, in the player and in every screen of the application (which sees it
// through its import of this module); the bright spoke steps a twelfth of a turn at a time.
// It steps rather than turns: an animation that turns asks for a whole window's frame at every vsync, which a
// machine drawing without a GPU pays for on every core while the catalogue is being read.
Item {
    id: spinner

    property color color: "white"
    property bool running: true
    property real lineWidth: 2.5

    property int step: 0

    implicitWidth: 20
    implicitHeight: 20

    Timer {
        interval: 80
        repeat: true
        running: spinner.running && spinner.visible
        onTriggered: spinner.step = (spinner.step + 1) % 12
    }

    Repeater {
        model: 12

        Rectangle {
            id: spoke

            required property int index
            readonly property real outer: Math.min(spinner.width, spinner.height) / 2

            x: (spinner.width - width) / 2
            y: spinner.height / 2 - outer
            width: spinner.lineWidth
            height: outer * 0.55
            radius: width / 2
            antialiasing: true
            color: spinner.color
            // The spoke the wheel reached last is the brightest; those behind it fade.
            opacity: 1 - 0.07 * ((spinner.step - index + 12) % 12)
            transform: Rotation {
                origin.x: spoke.width / 2
                origin.y: spoke.outer
                angle: spoke.index * 30
            }
        }
    }
}
