import QtQuick
import Sendra.App

// The card look for grouped content. Give it one content item that fills it (anchors.fill: parent); the card
// takes its implicit size from that item's plus `padding` on every side.
Item {
    id: card

    property bool highlighted: false
    property real padding: 0
    default property alias content: body.data

    readonly property color primary: CommandPalette.primary
    readonly property Item contentItem: body.children.length > 0 ? body.children[0] : null

    implicitWidth: (card.contentItem ? card.contentItem.implicitWidth : 0) + 2 * card.padding
    implicitHeight: (card.contentItem ? card.contentItem.implicitHeight : 0) + 2 * card.padding

    RoundedPanel {
        anchors.fill: parent
        radius: Theme.radiusCard
        startColor: card.highlighted ? Qt.rgba(card.primary.r, card.primary.g, card.primary.b, 0.16)
                                     : CommandPalette.panel
        endColor: CommandPalette.obsidian
        strokeColor: card.highlighted ? Qt.rgba(card.primary.r, card.primary.g, card.primary.b, 0.48)
                                      : Theme.outlineFaint
        strokeWidth: 1
    }

    Item {
        id: body
        anchors.fill: parent
        anchors.margins: card.padding
    }
}
