import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// One category row of the library: its name and size, "Ver todos", and a rail of its first 16 entries.
// A delegate of the rows' list (reused as the list scrolls): everything follows the row's roles.
Column {
    id: rail

    required property int index
    required property string groupId
    required property string name
    required property string kind

    // "Ver todos": the row's position among the rows, its category's key and kind.
    signal open(int position, string groupId, string kind)

    readonly property real tileWidth: 132

    objectName: "library.row." + rail.index
    spacing: Theme.spacingLarge

    NodeListModel {
        id: entries
        source: NodeListModel.Group
        groupId: rail.groupId
        limit: 16
    }

    RowLayout {
        width: rail.width
        spacing: Theme.spacingRegular

        Column {
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignBaseline
            baselineOffset: title.baselineOffset
            spacing: Theme.spacingTiny

            Text {
                id: title
                objectName: "library.row." + rail.index + ".title"
                width: parent.width
                text: rail.name
                color: Theme.textPrimary
                font.pixelSize: Theme.fontTitle3
                font.bold: true
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
            Text {
                objectName: "library.row." + rail.index + ".count"
                text: L10n.format(L10n.language, "%lld elementos", [entries.totalCount])
                color: Theme.textCount
                font.pixelSize: Theme.fontSmall
            }
        }

        AbstractButton {
            id: openButton
            objectName: "library.row." + rail.index + ".open"
            Layout.alignment: Qt.AlignBaseline
            padding: Theme.spacingSmall
            text: L10n.lookup(L10n.language, "Ver todos")
            contentItem: Text {
                text: openButton.text
                color: CommandPalette.primary
                opacity: openButton.down ? 0.6 : 1
                font.pixelSize: Theme.fontSmall
                font.bold: true
            }
            onClicked: rail.open(rail.index, rail.groupId, rail.kind)
        }
    }

    DragRail {
        id: tiles
        objectName: "library.row." + rail.index + ".rail"
        width: rail.width
        // An empty category keeps the row's height.
        height: Math.max(tiles.implicitHeight, rail.tileWidth * 1.5 + 66)
        model: entries
        keyRole: "key"
        spacing: Theme.spacingLarge
        // Tiles are made as they come into view, never ahead in the background: a row scrolled away is destroyed
        // at once, and tiles still being made for it would be left half-built.
        view.cacheBuffer: 0
        delegate: MediaTile {
            objectName: "library.row." + rail.index + ".tile." + index
            width: rail.tileWidth
            nodes: entries
        }
    }
}
