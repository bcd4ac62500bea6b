pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Shapes

// A hexagon with a point at the top and at the bottom, filled with `color`: the badge under an identity's glyph.
Shape {
    id: badge

    property color color: "white"

    antialiasing: true

    ShapePath {
        strokeColor: "transparent"
        fillColor: badge.color
        startX: badge.width / 2
        startY: 0
        PathLine { x: badge.width; y: badge.height * 0.25 }
        PathLine { x: badge.width; y: badge.height * 0.75 }
        PathLine { x: badge.width / 2; y: badge.height }
        PathLine { x: 0; y: badge.height * 0.75 }
        PathLine { x: 0; y: badge.height * 0.25 }
        PathLine { x: badge.width / 2; y: 0 }
    }
}
