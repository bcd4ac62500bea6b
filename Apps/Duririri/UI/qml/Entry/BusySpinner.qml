import QtQuick
import QtQuick.Shapes
import Sendra.App

// A small turning arc for buttons that wait on the deck. Drawn as a path, so the software renderer shows it too.
Item {
    id: spinner

    property color color: Theme.textOnAccent
    property bool running: true
    property real lineWidth: 2.5

    implicitWidth: 20
    implicitHeight: 20

    Shape {
        id: arc
        anchors.fill: parent
        antialiasing: true

        readonly property real radius: Math.max(0, Math.min(width, height) / 2 - spinner.lineWidth)

        ShapePath {
            strokeColor: spinner.color
            strokeWidth: spinner.lineWidth
            fillColor: "transparent"
            capStyle: ShapePath.RoundCap
            PathAngleArc {
                centerX: arc.width / 2
                centerY: arc.height / 2
                radiusX: arc.radius
                radiusY: arc.radius
                startAngle: -90
                sweepAngle: 270
            }
        }

        RotationAnimator on rotation {
            from: 0
            to: 360
            duration: 900
            loops: Animation.Infinite
            running: spinner.running && spinner.visible
        }
    }
}
