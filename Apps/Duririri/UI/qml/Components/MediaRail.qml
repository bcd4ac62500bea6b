import QtQuick
import QtQuick.Controls
import Sendra.App

// A titled rail of entry tiles (the first 22) with "Ver más" into the library, decided over all of the rail's
// entries. The rail keeps its own NodeListModel; say which list it shows:
//
//   MediaRail { title: ...; subtitle: ...; source: NodeListModel.Lane; laneIndex: 2; objectName: "center.lane.2" }
//
// Names: <objectName>.title, <objectName>.subtitle, <objectName>.more, <objectName>.rail (the DragRail) and
// <objectName>.tile.N for each tile. `title` and `subtitle` are shown as given.
Column {
    id: mediaRail

    property string title
    property string subtitle
    property alias source: entries.source
    property alias laneIndex: entries.laneIndex
    property alias groupId: entries.groupId
    property alias kind: entries.kind
    readonly property NodeListModel nodes: entries
    readonly property real tileWidth: 142

    spacing: Theme.spacingLarge

    NodeListModel {
        id: entries
        limit: 22
    }

    Item {
        width: mediaRail.width
        height: Math.max(heading.implicitHeight, more.implicitHeight)

        Column {
            id: heading
            anchors.left: parent.left
            anchors.right: more.left
            anchors.rightMargin: Theme.spacingLarge
            anchors.bottom: parent.bottom
            spacing: Theme.spacingTiny
            Text {
                objectName: mediaRail.objectName + ".title"
                width: parent.width
                text: mediaRail.title
                color: Theme.textPrimary
                font.pixelSize: Theme.fontTitle3
                font.bold: true
                elide: Text.ElideRight
            }
            Text {
                objectName: mediaRail.objectName + ".subtitle"
                width: parent.width
                visible: text.length > 0
                text: mediaRail.subtitle
                color: Theme.textCount
                font.pixelSize: Theme.fontSmall
                elide: Text.ElideRight
            }
        }
        AccentButton {
            id: more
            objectName: mediaRail.objectName + ".more"
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            visible: entries.totalCount > 0
            text: L10n.lookup(L10n.language, "Ver más")
            onClicked: Rails.openMore(entries)
        }
    }

    DragRail {
        objectName: mediaRail.objectName + ".rail"
        width: mediaRail.width
        height: mediaRail.tileWidth * 1.5 + 8 + 14 * 2.6 + 8 + 14
        spacing: Theme.spacingLarge
        model: entries
        delegate: MediaTile {
            objectName: mediaRail.objectName + ".tile." + index
            width: mediaRail.tileWidth
            nodes: entries
        }
    }
}
