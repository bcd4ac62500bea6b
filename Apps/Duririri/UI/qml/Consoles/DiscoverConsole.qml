pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// Search over the whole source. The field writes the deck's search text on every keystroke; the deck ranks and
// caches the results, and the console shows the browse view (blank query), the empty state or the results grid.
Item {
    id: discover
    objectName: "discover.console"

    readonly property real columnWidth: Math.min(discover.width, 820)
    // "browse", "none" or "results". Decided once per event-loop turn: the deck announces a new text before its
    // results, and deciding in between would build the empty state for nothing on every keystroke.
    property string mode: "browse"
    // Puts the text cursor in the search field (the header's search button).
    function focusSearch(): void {
        field.forceActiveFocus()
    }

    function updateMode(): void {
        mode = Browse.searchText.trim() === "" ? "browse" : results.count === 0 ? "none" : "results"
    }
    Connections {
        target: Browse
        function onSearchTextChanged() { Qt.callLater(discover.updateMode) }
    }
    Connections {
        target: results
        function onCountChanged() { Qt.callLater(discover.updateMode) }
        // New results start at the top, as after a reset.
        function onRowsReplaced() { grid.positionViewAtBeginning() }
    }
    Component.onCompleted: updateMode()

    // The grid's own pool is filled once, after the console's first frame: the grid, still hidden, lays out a
    // screenful of the library's rows, then its model turns back to the search, those rows leave, and their tiles wait
    // in the pool for the first word's rows. Building them in the first keystroke's frame missed the frame at 600k
    // entries. Skipped when a word came first.
    // This leans on what Qt 6.4 does but does not document: a GridView with reuseItems puts the tiles of removed rows
    // (the search's rows change in place, so the library's rows leave by a removal) in its reuse pool, as it does
    // with tiles flicked out of view, the only case its documentation names, keeps them there while the grid is
    // hidden and has no rows, and gives them to the rows inserted next. Should a later Qt destroy them instead, the
    // first word builds its tiles as it did before: slower, never wrong. The Discover test counts the tiles made
    // (tilesMade) across the first word and tells.
    function warmGrid(): void {
        if (Browse.searchText !== "" || results.count > 0)
            return
        results.source = NodeListModel.Library
        grid.forceLayout()
        results.source = NodeListModel.Search
    }
    Connections {
        id: firstFrame
        target: discover.Window.window
        function onAfterAnimating() {
            firstFrame.enabled = false
            warmTimer.start()
        }
    }
    // Out of the frame being drawn.
    Timer {
        id: warmTimer
        interval: 0
        onTriggered: discover.warmGrid()
    }

    NodeListModel {
        id: results
        source: NodeListModel.Search
    }

    ColumnLayout {
        x: (discover.width - discover.columnWidth) / 2
        width: discover.columnWidth
        height: discover.height
        spacing: 0

        CommandField {
            Layout.fillWidth: true
            Layout.margins: Theme.spacingGutter

            RowLayout {
                anchors.fill: parent
                spacing: 11

                Symbol {
                    name: "sparkle.magnifyingglass"
                    color: CommandPalette.primary
                    size: Theme.iconMedium
                }

                TextField {
                    id: field
                    objectName: "discover.field"
                    Layout.fillWidth: true
                    text: Browse.searchText
                    placeholderText: L10n.lookup(L10n.language, "Buscar en toda la fuente")
                    placeholderTextColor: Theme.textPlaceholder
                    color: Theme.textPrimary
                    font.pixelSize: Theme.fontCallout
                    inputMethodHints: Qt.ImhNoPredictiveText
                    background: null
                    leftPadding: 0
                    rightPadding: 0
                    // Every keystroke goes straight to the deck; the binding above brings clears back.
                    onTextEdited: Browse.searchText = field.text
                }

                AbstractButton {
                    objectName: "discover.clear"
                    visible: Browse.searchText !== ""
                    implicitWidth: 28
                    implicitHeight: 28
                    contentItem: Symbol {
                        name: "xmark.circle.fill"
                        color: Theme.textCount
                        size: Theme.iconMedium
                    }
                    onClicked: Browse.searchText = ""
                }
            }
        }

        Item {
            Layout.fillWidth: true
            Layout.fillHeight: true

            // The browse view and the empty state are kept and only hidden: the first letter of a word would
            // otherwise destroy the browse view and build the grid's tiles from nothing in the same frame.
            Flickable {
                id: flick
                objectName: "discover.browse"
                anchors.fill: parent
                visible: discover.mode === "browse"
                clip: true
                contentWidth: width
                contentHeight: browseColumn.height + 24
                boundsBehavior: Flickable.StopAtBounds
                ScrollBar.vertical: ScrollBar {}

                Column {
                    id: browseColumn
                    x: 17
                    width: flick.width - 34
                    spacing: Theme.spacingSection

                    Column {
                        width: parent.width
                        spacing: 9

                        StatusPill {
                            text: "Radar global"
                            color: CommandPalette.secondary
                        }
                        Text {
                            width: parent.width
                            text: L10n.lookup(L10n.language, "Una búsqueda. Toda la fuente.")
                            color: Theme.textPrimary
                            font.pixelSize: Theme.fontLargeTitle
                            font.weight: Font.Black
                            wrapMode: Text.Wrap
                        }
                        Text {
                            objectName: "discover.description"
                            width: parent.width
                            text: Browse.usesGenericPresentation
                                  ? L10n.lookup(L10n.language, "Explora los títulos y categorías disponibles en la fuente conectada.")
                                  : L10n.lookup(L10n.language, "Explora títulos y categorías sin importar si pertenecen a TV, películas o series.")
                            color: Theme.textSecondary
                            font.pixelSize: Theme.fontCallout
                            wrapMode: Text.Wrap
                        }
                    }

                    FontMetrics {
                        id: nameMetrics
                        font.pixelSize: Theme.fontCallout
                        font.bold: true
                    }

                    Grid {
                        id: categories
                        objectName: "discover.categories"
                        readonly property real tileWidth: (width - (columns - 1) * columnSpacing) / columns
                        // Every tile as tall as one with a two-line name, so the rows line up.
                        readonly property real tileHeight: Math.max(82, 26 + 18 + 7 + 2 * nameMetrics.height
                                                                    + (Browse.usesGenericPresentation ? 0 : 7 + 14))
                        width: parent.width
                        columns: LibraryPaging.gridColumns(width, 145, 10)
                        columnSpacing: Theme.spacingRegular
                        rowSpacing: Theme.spacingRegular

                        Repeater {
                            model: GroupListModel {
                                source: GroupListModel.Groups
                                limit: 18
                            }
                            delegate: AbstractButton {
                                id: category
                                required property int index
                                required property string groupId
                                required property string name
                                required property string kind
                                objectName: "discover.category." + category.index
                                width: categories.tileWidth
                                height: categories.tileHeight
                                onClicked: Browse.openLibrary(category.kind, category.groupId)

                                CommandCard {
                                    id: card
                                    anchors.fill: parent
                                    padding: 13
                                    opacity: category.down ? 0.8 : 1

                                    Column {
                                        anchors.fill: parent
                                        spacing: 7

                                        Symbol {
                                            name: Kinds.symbol(category.kind, Browse.usesGenericPresentation)
                                            color: CommandPalette.secondary
                                            size: Theme.iconMedium
                                        }
                                        Text {
                                            objectName: "discover.category." + category.index + ".name"
                                            width: parent.width
                                            text: category.name
                                            color: Theme.textPrimary
                                            font.pixelSize: Theme.fontCallout
                                            font.bold: true
                                            wrapMode: Text.Wrap
                                            maximumLineCount: 2
                                            elide: Text.ElideRight
                                        }
                                        Text {
                                            visible: !Browse.usesGenericPresentation
                                            text: L10n.lookup(L10n.language, Kinds.title(category.kind))
                                            color: Theme.textKind
                                            font.pixelSize: Theme.fontCaption
                                            font.bold: true
                                        }
                                    }
                                }
                            }
                        }
                    }
                }
            }
            Item {
                objectName: "discover.none"
                anchors.fill: parent
                visible: discover.mode === "none"

                Column {
                    anchors.centerIn: parent
                    width: Math.min(parent.width - 34, 420)
                    spacing: Theme.spacingRegular

                    Symbol {
                        anchors.horizontalCenter: parent.horizontalCenter
                        name: "scope"
                        color: Theme.textCaption
                        size: Theme.iconEmptyState
                    }
                    Text {
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: L10n.lookup(L10n.language, "Sin coincidencias")
                        color: Theme.textPrimary
                        font.pixelSize: Theme.fontTitle3
                        font.bold: true
                    }
                    Text {
                        width: parent.width
                        horizontalAlignment: Text.AlignHCenter
                        text: L10n.lookup(L10n.language, "Prueba con otro título o categoría.")
                        color: Theme.textSecondary
                        font.pixelSize: Theme.fontBody
                        wrapMode: Text.Wrap
                    }
                }
            }

            // Kept while the console lives, so typing only changes its model; without results it holds none.
            GridView {
                id: grid
                objectName: "discover.results"
                readonly property int columns: LibraryPaging.gridColumns(grid.width - 34, 132, 14)
                anchors.fill: parent
                visible: discover.mode === "results"
                clip: true
                reuseItems: true
                // Tiles built as they come into view, never ahead in the background: results replaced while one
                // is being built make Qt 6.4 cancel it by its old index ("DelegateModel::cancel: index out range").
                cacheBuffer: 0
                boundsBehavior: Flickable.StopAtBounds
                leftMargin: Theme.spacingGutter
                // The last column's trailing gap sits in the margin.
                rightMargin: Theme.spacingGutter - 14
                bottomMargin: Theme.spacingBlock
                cellWidth: (grid.width - 34 + 14) / grid.columns
                cellHeight: (grid.cellWidth - 14) * 1.5 + 66 + 18
                // Always the results (empty for a blank text), so its pooled tiles serve the next word.
                model: results
                // Tiles made since the console was built; a pooled tile that serves again is not made.
                property int tilesMade: 0
                ScrollBar.vertical: ScrollBar {}

                delegate: MediaTile {
                    id: tile
                    objectName: "discover.result." + tile.index
                    width: grid.cellWidth - 14
                    nodes: results
                    sharedPlaceholder: true
                    // No poster is fetched for the rows laid out only to fill the pool.
                    fetchesArtwork: results.source === NodeListModel.Search
                    Component.onCompleted: grid.tilesMade += 1
                }
            }
        }
    }
}
