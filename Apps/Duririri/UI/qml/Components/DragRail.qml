pragma ComponentBehavior: Bound

import QtQuick
import Sendra.App

// The one horizontal rail of the main screens: a row of items that snaps to whole items. It is not a Flickable to
// the user: a mouse drag moves it one item per whole 96 px measured from where the drag began (Rails.dragTarget),
// a horizontal wheel or touchpad swipe steps item by item, and vertical wheel events go on to the page.
//
//   DragRail {
//       model: someNodeListModel        // a list model or a JS array
//       keyRole: "key"                  // the role (or array field) that identifies an item
//       spacing: 12
//       height: 300                     // delegates set their own width; the rail is as tall as you make it
//       delegate: MediaTile { width: 142; ... }
//   }
//
// The item at the leading edge is the rail's position (`leadingIndex`, -1 when empty). It never passes the last
// item that can stand at the leading edge (the view stops at its end), so a move back from the end moves at once.
// When the items change the rail keeps that item at the leading edge while its identity is still among them,
// and returns to the first item otherwise. Identities are node keys where entries are shown: entries of
// different kinds may share an id.
// `view` is the inner ListView (count, itemAtIndex); `moveTo(index)` brings an item to the leading edge.
Item {
    id: rail

    property alias model: list.model
    property alias delegate: list.delegate
    property alias spacing: list.spacing
    property string keyRole: "key"
    readonly property alias view: list
    readonly property int count: rail.ids.length
    // Identities of the items, in display order.
    property var ids: []
    property int leadingIndex: -1
    // Identity of the leading item: the position the rail keeps across changes of its items.
    property var scrollId: null

    implicitHeight: list.contentItem.childrenRect.height

    // The last item that can lead at the view's present width (Rails.lastLeading).
    function lastLeading() {
        return Rails.lastLeading(list.count, list.contentWidth, list.width, list.spacing)
    }

    function readIds() {
        const source = list.model
        if (source === null || source === undefined)
            return []
        if (Array.isArray(source))
            return source.map(entry => String(entry[rail.keyRole]))
        return Rails.keys(source, rail.keyRole)
    }

    // The items changed: keep the leading item where it is still there, else go back to the first one.
    function refresh() {
        const fresh = rail.readIds()
        rail.ids = fresh
        const kept = rail.scrollId === null ? -1 : fresh.indexOf(rail.scrollId)
        if (kept >= 0) {
            rail.place(Math.min(kept, Math.max(0, rail.lastLeading())), false)
        } else {
            drag.origin = -1
            rail.place(fresh.length > 0 ? 0 : -1, false)
        }
    }

    function moveTo(index) {
        index = Math.min(index, rail.lastLeading())
        if (index >= 0 && index < rail.count && index !== rail.leadingIndex)
            rail.place(index, true)
    }

    function place(index, animated) {
        slide.stop()
        rail.leadingIndex = index
        rail.scrollId = index >= 0 ? rail.ids[index] : null
        if (index < 0)
            return
        const from = list.contentX
        list.positionViewAtIndex(index, ListView.Beginning)
        const to = list.contentX
        if (animated && UiConfig.animationDuration > 0 && from !== to) {
            list.contentX = from
            slide.to = to
            slide.start()
        }
    }

    // One step per whole drag step from the drag's start; the origin is the leading item when it began.
    function follow() {
        if (rail.count === 0)
            return
        rail.moveTo(Rails.dragTarget(rail.lastLeading(), drag.origin, drag.translation.x))
    }

    ListView {
        id: list
        anchors.fill: parent
        orientation: ListView.Horizontal
        interactive: false
        reuseItems: true
        clip: true
        boundsBehavior: Flickable.StopAtBounds
        onCountChanged: refreshSoon.restart()
        Component.onCompleted: rail.refresh()

        NumberAnimation {
            id: slide
            target: list
            property: "contentX"
            duration: UiConfig.animationDuration * 1.5
            easing.type: Easing.OutCubic
        }
    }

    Connections {
        // Arrays and counts have no signals of their own.
        target: typeof list.model === "object" && list.model !== null && !Array.isArray(list.model) ? list.model : null
        ignoreUnknownSignals: true
        function onModelReset() { refreshSoon.restart() }
        function onLayoutChanged() { refreshSoon.restart() }
    }
    onModelChanged: refreshSoon.restart()
    // After the view has taken in the change (it goes back to its start on a reset); owned by the rail, so it
    // never fires for a rail that is gone.
    Timer {
        id: refreshSoon
        interval: 0
        onTriggered: rail.refresh()
    }
    onWidthChanged: if (rail.leadingIndex >= 0) rail.place(Math.min(rail.leadingIndex, rail.lastLeading()), false)

    DragHandler {
        id: drag
        // Index of the leading item when the drag began; -1 outside a drag.
        property int origin: -1
        target: null
        yAxis.enabled: false
        dragThreshold: 8
        // The move that crosses the threshold sends no translation change of its own.
        onActiveChanged: {
            if (active) {
                drag.origin = rail.leadingIndex >= 0 ? rail.leadingIndex : 0
                rail.follow()
            } else {
                drag.origin = -1
            }
        }
        onTranslationChanged: if (active) rail.follow()
    }

    WheelHandler {
        id: wheel
        // Wheel notches (120 per notch) not yet turned into a step.
        property real pending: 0
        target: null
        orientation: Qt.Horizontal
        // A blocking handler would swallow the page's vertical scrolling.
        blocking: false
        onWheel: (event) => {
            const delta = event.angleDelta.x
            if (delta === 0 || rail.count === 0)
                return
            if (Math.sign(delta) !== Math.sign(wheel.pending))
                wheel.pending = 0
            wheel.pending += delta
            while (Math.abs(wheel.pending) >= 120) {
                const step = wheel.pending > 0 ? -1 : 1
                wheel.pending -= 120 * Math.sign(wheel.pending)
                const from = rail.leadingIndex >= 0 ? rail.leadingIndex : 0
                rail.moveTo(Math.max(0, Math.min(rail.lastLeading(), from + step)))
            }
        }
    }
}
