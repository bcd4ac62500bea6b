import QtQuick
import QtQuick.Layouts
import Sendra.App

// The chrome every text entry wears: a dark rounded panel with a faint outline, never lower than 52 pixels.
// Give it one content item that fills it (anchors.fill: parent); it is inset 14 pixels left and right.
Item {
    id: field

    default property alias content: body.data

    readonly property Item contentItem: body.children.length > 0 ? body.children[0] : null

    implicitWidth: (field.contentItem ? field.contentItem.implicitWidth : 0) + 28
    implicitHeight: Math.max(52, field.contentItem ? field.contentItem.implicitHeight : 0)
    Layout.minimumHeight: 52

    Rectangle {
        anchors.fill: parent
        radius: Theme.radiusField
        color: CommandPalette.panel
        border.width: 1
        border.color: Theme.outline
    }

    Item {
        id: body
        anchors.fill: parent
        anchors.leftMargin: Theme.spacingXLarge
        anchors.rightMargin: Theme.spacingXLarge
    }
}
