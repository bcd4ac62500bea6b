import QtQuick
import QtQuick.Controls
import Sendra.App

// The poster tile of one entry: artwork (2:3), title, category, a heart at the top-trailing corner and a context
// menu to add or remove the favourite. Made to be the delegate of a view over a NodeListModel:
//
//   delegate: MediaTile { nodes: theModel; width: 142; objectName: "xxx.tile." + index }
//
// A click opens the entry (nodes.open(index)); the heart and the menu flip it (nodes.toggleFavorite(index)).
// The tile has no width of its own; its height follows from its width. Children get the names
// <objectName>.title, <objectName>.group, <objectName>.favorite, <objectName>.menu and <objectName>.menu.toggle.
Item {
    id: tile

    required property int index
    required property string title
    required property string artwork
    required property string kind
    required property bool generic
    required property string groupName
    required property bool isFavorite
    // The model the tile's row belongs to.
    property NodeListModel nodes
    // Draws the artwork's placeholder from one image shared with the other tiles (a grid of whole-pixel cells).
    property alias sharedPlaceholder: poster.sharedPlaceholder
    // False while a hidden view lays tiles out ahead: no poster is fetched for rows nobody sees.
    property bool fetchesArtwork: true

    readonly property color primary: CommandPalette.primary

    implicitHeight: content.implicitHeight

    // Opens the entry: a left click, Space or the accessibility press. Plain items rather than a Controls button: a
    // results grid builds a screenful of tiles on the first keystroke. The right button opens the menu.
    MouseArea {
        id: button
        objectName: tile.objectName.length > 0 ? tile.objectName + ".open" : ""
        anchors.fill: parent
        acceptedButtons: Qt.LeftButton | Qt.RightButton
        activeFocusOnTab: true
        Accessible.role: Accessible.Button
        Accessible.name: tile.title
        Accessible.onPressAction: tile.open()
        Keys.onSpacePressed: tile.open()
        onPressed: (mouse) => {
            if (mouse.button === Qt.LeftButton)
                button.forceActiveFocus(Qt.MouseFocusReason)
        }
        onClicked: (mouse) => {
            if (mouse.button === Qt.RightButton)
                tile.showMenu(mouse.x, mouse.y)
            else
                tile.open()
        }

        Column {
            id: content
            spacing: Theme.spacingMedium
            AsyncArtwork {
                id: poster
                width: tile.width
                height: tile.width * 1.5
                aspect: 2 / 3
                radius: Theme.radiusLarge
                artwork: tile.fetchesArtwork ? tile.artwork : ""
                kind: tile.kind
                generic: tile.generic
            }
            Text {
                id: titleText
                objectName: tile.objectName.length > 0 ? tile.objectName + ".title" : ""
                width: tile.width
                text: tile.title
                // Titles are data, shown verbatim; plain text also spares the rich-text check on every row.
                textFormat: Text.PlainText
                color: Theme.textPrimary
                font.pixelSize: Theme.fontBody
                font.bold: true
                wrapMode: Text.Wrap
                maximumLineCount: 2
                elide: Text.ElideRight
            }
            Text {
                objectName: tile.objectName.length > 0 ? tile.objectName + ".group" : ""
                width: tile.width
                text: tile.groupName.toUpperCase()
                textFormat: Text.PlainText
                color: Qt.rgba(tile.primary.r, tile.primary.g, tile.primary.b, 0.82)
                font.pixelSize: Theme.fontCaption
                font.bold: true
                maximumLineCount: 1
                elide: Text.ElideRight
            }
        }
    }

    FavoriteToggle {
        objectName: tile.objectName.length > 0 ? tile.objectName + ".favorite" : ""
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: 7
        size: 34
        isFavorite: tile.isFavorite
        onToggled: if (tile.nodes) tile.nodes.toggleFavorite(tile.index)
    }

    // The menu is made on the first right click: a rail or grid of tiles should not build one per tile.
    property Menu menu: null
    function showMenu(x: real, y: real): void {
        if (!tile.menu)
            tile.menu = menuComponent.createObject(tile)
        tile.menu.popup(tile, Qt.point(x, y))
    }
    function open(): void {
        if (tile.nodes)
            tile.nodes.open(tile.index)
    }
    Component {
        id: menuComponent
        CommandMenu {
            objectName: tile.objectName.length > 0 ? tile.objectName + ".menu" : ""
            CommandMenuItem {
                objectName: tile.objectName.length > 0 ? tile.objectName + ".menu.toggle" : ""
                text: tile.isFavorite ? L10n.lookup(L10n.language, "Quitar de favoritos")
                                      : L10n.lookup(L10n.language, "Agregar a favoritos")
                onTriggered: if (tile.nodes) tile.nodes.toggleFavorite(tile.index)
            }
        }
    }
}
