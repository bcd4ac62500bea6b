import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// The library: kind chips, the way back, the category menu and the entry count; below them either one row per
// category (six at a time) or, with a category chosen, the grid of its entries. The deck holds the position
// (kind, category, back stack); the console only keeps how many rows it shows and which row to scroll back to.
Item {
    id: library
    objectName: "library.console"

    // How many category rows are allowed on screen; may exceed the categories (after opening a late row).
    property int visibleCategoryCount: LibraryPaging.pageSize
    // The category row to bring back to the top when the rows show again ("" for none).
    property string restoreGroupId: ""

    readonly property bool groupChosen: Browse.chosenGroup !== null
    readonly property color primary: CommandPalette.primary
    readonly property real columnWidth: Math.min(library.width, 820)

    // The kind last seen, so an equal assignment (the deck notifies those too) is not taken for a change.
    property string seenKind
    Component.onCompleted: library.seenKind = Browse.chosenKind

    Connections {
        target: Browse
        function onChosenKindChanged() {
            if (Browse.chosenKind === library.seenKind)
                return
            library.seenKind = Browse.chosenKind
            library.visibleCategoryCount = LibraryPaging.pageSize
            library.restoreGroupId = ""
        }
    }

    function tint(alpha) {
        return Qt.rgba(library.primary.r, library.primary.g, library.primary.b, alpha)
    }

    // The binding passes the language in, so a language switch re-evaluates it.
    function kindTitle(language, kind) {
        switch (kind) {
        case "tv": return L10n.lookup(language, "TV")
        case "movies": return L10n.lookup(language, "Películas")
        case "series": return L10n.lookup(language, "Series")
        }
        return L10n.lookup(language, "Todo")
    }

    function chooseKind(kind) {
        Browse.chosenKind = kind
        Browse.chooseGroup("")
    }

    // A row's "Ver todos": keep the rows up to the end of its page and remember it for the way back.
    function openGroup(position, groupId, kind) {
        library.visibleCategoryCount = LibraryPaging.rowsAfterOpening(library.visibleCategoryCount, position)
        library.restoreGroupId = position >= 0 ? groupId : ""
        Browse.openLibrary(kind, groupId)
    }

    GroupListModel {
        id: browsable
        source: GroupListModel.BrowsableGroups
        limit: library.visibleCategoryCount
    }

    Column {
        id: column
        x: (library.width - library.columnWidth) / 2
        width: library.columnWidth
        height: library.height

        // Kind chips.
        Flickable {
            id: chips
            objectName: "library.chips"
            width: parent.width
            height: chipRow.height + 24
            contentWidth: chipRow.width + 34
            flickableDirection: Flickable.HorizontalFlick
            boundsBehavior: Flickable.StopAtBounds
            clip: true

            Row {
                id: chipRow
                x: 17
                y: 12
                spacing: Theme.spacingMedium

                Repeater {
                    model: [""].concat(Browse.presentedKinds)
                    delegate: CapsuleButton {
                        id: chip
                        required property string modelData
                        readonly property bool selected: Browse.chosenKind === chip.modelData
                        objectName: "library.chip." + (chip.modelData === "" ? "all" : chip.modelData)
                        implicitHeight: 40
                        leftPadding: Theme.spacingXLarge
                        rightPadding: Theme.spacingXLarge
                        text: library.kindTitle(L10n.language, chip.modelData)
                        symbol: chip.modelData.length === 0 ? "square.grid.3x3" : Symbols.forKind(chip.modelData, false)
                        checkable: false
                        foreground: chip.selected ? Theme.textOnAccent : Theme.textPrimary
                        fill: chip.selected ? library.primary : CommandPalette.panel
                        outline: chip.selected ? "transparent" : library.tint(0.22)
                        onClicked: library.chooseKind(chip.modelData)
                    }
                }
            }
        }

        // Way back, category menu, count.
        Item {
            width: parent.width
            height: 48

            RowLayout {
                anchors.fill: parent
                anchors.leftMargin: Theme.spacingGutter
                anchors.rightMargin: Theme.spacingGutter
                anchors.bottomMargin: Theme.spacingRegular
                spacing: Theme.spacingRegular

                CapsuleButton {
                    objectName: "library.back"
                    visible: Browse.canReturnFromLibrary
                    text: L10n.lookup(L10n.language, "Volver")
                    symbol: "chevron.left"
                    foreground: library.primary
                    fill: library.tint(0.10)
                    outline: library.tint(0.28)
                    onClicked: Browse.returnFromLibrary()
                }

                CapsuleButton {
                    id: menuButton
                    objectName: "library.menu"
                    text: library.groupChosen ? Browse.chosenGroup.name
                                              : L10n.lookup(L10n.language, "Todas las categorías")
                    symbol: "line.3.horizontal.decrease.circle"
                    fill: CommandPalette.panel
                    maximumTextWidth: (Browse.canReturnFromLibrary ? 175 : 240) - 48
                    onClicked: categoryMenu.open()

                    LibraryCategoryMenu {
                        id: categoryMenu
                        y: menuButton.height + 6
                    }
                }

                Item { Layout.fillWidth: true }

                Text {
                    objectName: "library.count"
                    text: L10n.format(L10n.language, "%lld elementos", [Browse.libraryNodeCount])
                    color: Theme.textCount
                    font.pixelSize: Theme.fontSmall
                    font.bold: true
                }
            }
        }

        Loader {
            id: content
            objectName: "library.content"
            width: parent.width
            height: column.height - chips.height - 48
            sourceComponent: library.groupChosen ? groupGrid : categoryRows
        }
    }

    Component {
        id: categoryRows

        ListView {
            id: rows
            objectName: "library.rows"
            clip: true
            spacing: 25
            // Not pooled: a pooled row keeps its entry model connected to the deck, and under Qt 6.4 pooled
            // delegates can outlive the view (and the engine) and still react to the deck.
            boundsBehavior: Flickable.StopAtBounds
            // No rows built ahead in the background: a model change while one is being built makes Qt 6.4
            // cancel it by its old index ("DelegateModel::cancel: index out range").
            cacheBuffer: 0
            model: browsable
            ScrollBar.vertical: ScrollBar {}

            delegate: LibraryCategoryRail {
                x: 17
                width: rows.width - 34
                onOpen: (position, groupId, kind) => library.openGroup(position, groupId, kind)
            }

            footer: Item {
                readonly property bool more: LibraryPaging.hasMoreRows(library.visibleCategoryCount, browsable.totalCount)
                width: rows.width
                height: more ? 38 + 25 + 24 : 24
                CapsuleButton {
                    objectName: "library.more"
                    visible: parent.more
                    anchors.horizontalCenter: parent.horizontalCenter
                    y: 25
                    leftPadding: Theme.spacingXXLarge
                    rightPadding: Theme.spacingXXLarge
                    text: L10n.lookup(L10n.language, "Más categorías")
                    symbol: "plus"
                    foreground: library.primary
                    fill: library.tint(0.10)
                    outline: library.tint(0.30)
                    onClicked: library.visibleCategoryCount =
                               LibraryPaging.rowsAfterMore(library.visibleCategoryCount, browsable.totalCount)
                }
            }

            // Back from a category's grid: its row at the top again, once the rows are laid out.
            function restore() {
                const position = browsable.indexOf(library.restoreGroupId)
                if (position >= 0)
                    rows.positionViewAtIndex(position, ListView.Beginning)
            }
            Component.onCompleted: {
                if (library.restoreGroupId !== "")
                    Qt.callLater(rows.restore)
            }
        }
    }

    Component {
        id: groupGrid

        GridView {
            id: grid
            objectName: "library.grid"
            readonly property int columns: LibraryPaging.gridColumns(grid.width - 34, 132, 14)
            clip: true
            reuseItems: true
            // Tiles built as they come into view, never ahead in the background (see the rows above).
            cacheBuffer: 0
            boundsBehavior: Flickable.StopAtBounds
            leftMargin: Theme.spacingGutter
            // The last column's trailing gap sits in the margin.
            rightMargin: Theme.spacingGutter - 14
            bottomMargin: Theme.spacingBlock
            cellWidth: (grid.width - 34 + 14) / grid.columns
            cellHeight: (grid.cellWidth - 14) * 1.5 + 66 + 18
            model: NodeListModel { id: entries; source: NodeListModel.Library }
            ScrollBar.vertical: ScrollBar {}

            delegate: MediaTile {
                objectName: "library.grid.tile." + index
                width: grid.cellWidth - 14
                nodes: entries
            }
        }
    }
}
