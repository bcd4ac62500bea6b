import QtQuick
import QtQuick.Shapes
import Sendra.App

// The full-window background: the void colour, a faint glow of the brand colour from the top-right corner and a
// fainter diagonal wash of the secondary brand colour.
Item {
    id: background

    readonly property color primary: CommandPalette.primary
    readonly property color secondary: CommandPalette.secondary

    Rectangle {
        anchors.fill: parent
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
            startX: 0
            startY: 0
            PathLine { x: background.width; y: 0 }
            PathLine { x: background.width; y: background.height }
            PathLine { x: 0; y: background.height }
            PathLine { x: 0; y: 0 }
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
            startX: 0
            startY: 0
            PathLine { x: background.width; y: 0 }
            PathLine { x: background.width; y: background.height }
            PathLine { x: 0; y: background.height }
            PathLine { x: 0; y: 0 }
        }
    }
}
