pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Shapes

// A rounded rectangle filled with a gradient from its top-left to its bottom-right corner, with an optional
// outline. Drawn as a path, so it also renders with the software renderer and needs no shader.
Shape {
    id: panel

    property real radius: 22
    property color startColor: "transparent"
    property color endColor: "transparent"
    property color strokeColor: "transparent"
    property real strokeWidth: 1

    // The outline sits inside the item's bounds.
    readonly property real inset: panel.strokeColor.a > 0 ? panel.strokeWidth / 2 : 0
    // The corner radius that fits the item.
    readonly property real bend: Math.max(0, Math.min(panel.radius - panel.inset, panel.width / 2 - panel.inset,
                                           panel.height / 2 - panel.inset))
    readonly property real leftEdge: panel.inset
    readonly property real topEdge: panel.inset
    readonly property real rightEdge: panel.width - panel.inset
    readonly property real bottomEdge: panel.height - panel.inset

    antialiasing: true

    ShapePath {
        strokeColor: panel.strokeColor
        strokeWidth: panel.strokeWidth
        fillGradient: LinearGradient {
            x1: 0
            y1: 0
            x2: panel.width
            y2: panel.height
            GradientStop { position: 0; color: panel.startColor }
            GradientStop { position: 1; color: panel.endColor }
        }
        startX: panel.leftEdge + panel.bend
        startY: panel.topEdge
        PathLine { x: panel.rightEdge - panel.bend; y: panel.topEdge }
        PathArc { x: panel.rightEdge; y: panel.topEdge + panel.bend; radiusX: panel.bend; radiusY: panel.bend }
        PathLine { x: panel.rightEdge; y: panel.bottomEdge - panel.bend }
        PathArc { x: panel.rightEdge - panel.bend; y: panel.bottomEdge; radiusX: panel.bend; radiusY: panel.bend }
        PathLine { x: panel.leftEdge + panel.bend; y: panel.bottomEdge }
        PathArc { x: panel.leftEdge; y: panel.bottomEdge - panel.bend; radiusX: panel.bend; radiusY: panel.bend }
        PathLine { x: panel.leftEdge; y: panel.topEdge + panel.bend }
        PathArc { x: panel.leftEdge + panel.bend; y: panel.topEdge; radiusX: panel.bend; radiusY: panel.bend }
    }
}
