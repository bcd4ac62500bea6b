import QtQuick
import QtQuick.Shapes
import Sendra.App

// The maker's mark, for brands without an image of their own: a downward triangle shaded from white to gray with
// a small play glyph.
Item {
    id: mark

    implicitWidth: 52
    implicitHeight: 52

    Shape {
        anchors.centerIn: parent
        width: 43
        height: 38
        antialiasing: true

        ShapePath {
            strokeColor: "transparent"
            fillGradient: LinearGradient {
                x1: 0
                y1: 0
                x2: 0
                y2: 38
                GradientStop { position: 0; color: "white" }
                GradientStop { position: 1; color: Qt.rgba(0.56, 0.56, 0.58, 1) }
            }
            startX: 0
            startY: 0
            PathLine { x: 43; y: 0 }
            PathLine { x: 21.5; y: 38 }
            PathLine { x: 0; y: 0 }
        }
    }

    Symbol {
        anchors.centerIn: parent
        anchors.verticalCenterOffset: -2
        name: "play.fill"
        size: Theme.iconTiny
        color: CommandPalette.voidColor
    }
}
