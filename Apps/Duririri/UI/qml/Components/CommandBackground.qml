pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Shapes
import Sendra.App

// The full-window background: the void colour, a faint glow of the brand colour from the top-right corner and a
// fainter diagonal wash of the secondary brand colour.
Item {
    id: background

    // Rounded corners for a sheet's background (0: the square window).
    property real radius: 0
    readonly property real r: Math.max(0, Math.min(radius, width / 2, height / 2))
    readonly property color primary: CommandPalette.primary
    readonly property color secondary: CommandPalette.secondary

    Rectangle {
        anchors.fill: parent
        radius: background.r
        color: CommandPalette.voidColor
    }

    Shape {
        anchors.fill: parent
        ShapePath {
            strokeColor: "transparent"
            fillGradient: RadialGradient {
                centerX: background.width
                centerY: 0
                centerRadius: 520
                focalX: background.width
                focalY: 0
                focalRadius: 20
                GradientStop {
                    position: 0
                    color: Qt.rgba(background.primary.r, background.primary.g, background.primary.b, 0.12)
                }
                GradientStop {
                    position: 1
                    color: Qt.rgba(background.primary.r, background.primary.g, background.primary.b, 0)
                }
            }
            startX: background.r
            startY: 0
            PathLine { x: background.width - background.r; y: 0 }
            PathArc { x: background.width; y: background.r; radiusX: background.r; radiusY: background.r }
            PathLine { x: background.width; y: background.height - background.r }
            PathArc { x: background.width - background.r; y: background.height; radiusX: background.r; radiusY: background.r }
            PathLine { x: background.r; y: background.height }
            PathArc { x: 0; y: background.height - background.r; radiusX: background.r; radiusY: background.r }
            PathLine { x: 0; y: background.r }
            PathArc { x: background.r; y: 0; radiusX: background.r; radiusY: background.r }
        }
    }

    Shape {
        anchors.fill: parent
        ShapePath {
            strokeColor: "transparent"
            fillGradient: LinearGradient {
                x1: 0
                y1: 0
                x2: background.width
                y2: background.height
                GradientStop {
                    position: 0
                    color: Qt.rgba(background.secondary.r, background.secondary.g, background.secondary.b, 0)
                }
                GradientStop {
                    position: 0.5
                    color: Qt.rgba(background.secondary.r, background.secondary.g, background.secondary.b, 0.035)
                }
                GradientStop {
                    position: 1
                    color: Qt.rgba(background.secondary.r, background.secondary.g, background.secondary.b, 0)
                }
            }
            startX: background.r
            startY: 0
            PathLine { x: background.width - background.r; y: 0 }
            PathArc { x: background.width; y: background.r; radiusX: background.r; radiusY: background.r }
            PathLine { x: background.width; y: background.height - background.r }
            PathArc { x: background.width - background.r; y: background.height; radiusX: background.r; radiusY: background.r }
            PathLine { x: background.r; y: background.height }
            PathArc { x: 0; y: background.height - background.r; radiusX: background.r; radiusY: background.r }
            PathLine { x: 0; y: background.r }
            PathArc { x: background.r; y: 0; radiusX: background.r; radiusY: background.r }
        }
    }
}
