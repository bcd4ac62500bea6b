import QtQuick
import QtQuick.Controls
import Sendra.App

// The home screen: the spotlight carousel, the quick-access shortcuts and the content counts at the top (always
// built: the carousel keeps its position while it is scrolled away), then, built as they come near the visible
// area, the resume rail, the favourites rail, one rail per lane of the feed and the featured categories. Blocks
// without content take no room. Every action opens the library or an entry through the deck.
ListView {
    id: center
    objectName: "center.console"

    readonly property real column: Math.min(820, center.width) - 34
    readonly property var kindSymbols: ({ "tv": "dot.radiowaves.left.and.right", "movies": "film.stack",
                                          "series": "rectangle.stack.badge.play" })
    readonly property var kindTitles: ({ "tv": "TV", "movies": "Películas", "series": "Series" })
    readonly property int laneCount: Browse.lanes.length

    clip: true
    topMargin: Theme.spacingGutter
    bottomMargin: Theme.spacingGutter
    boundsBehavior: Flickable.StopAtBounds
    cacheBuffer: 600
    ScrollBar.vertical: ScrollBar { objectName: "center.scrollBar" }

    // "all" stands for every kind together.
    function countSymbol(kind) {
        return kind === "all" ? "square.grid.3x3.fill" : center.kindSymbols[kind]
    }

    function kindColor(kind) {
        return kind === "tv" ? CommandPalette.red : kind === "series" ? CommandPalette.secondary : CommandPalette.primary
    }

    // Resume, favourites, the lanes, the categories: fixed slots, so a block filling or emptying never rebuilds
    // the others or moves the scroll. A slot without content takes no room.
    model: 3 + center.laneCount
    delegate: Item {
        id: slot
        required property int index
        readonly property int laneIndex: slot.index - 2
        x: (center.width - center.column) / 2
        width: center.column
        height: block.item && block.item.shown ? block.item.height + 24 : 0
        visible: height > 0

        Loader {
            id: block
            y: 24
            width: parent.width
            sourceComponent: slot.index === 0 ? resumeBlock
                             : slot.index === 1 ? favoritesBlock
                             : slot.index === 2 + center.laneCount ? gatewayBlock : laneBlock
        }

        Component {
            id: laneBlock
            MediaRail {
                id: lane
                objectName: "center.lane." + slot.laneIndex
                readonly property var info: slot.laneIndex < Browse.lanes.length ? Browse.lanes[slot.laneIndex] : null
                readonly property bool shown: lane.info !== null && nodes.totalCount > 0
                visible: shown
                source: NodeListModel.Lane
                laneIndex: slot.laneIndex
                // Category and platform names are shown as they are; only the deck's own texts are looked up.
                title: !lane.info ? "" : lane.info.titleIsText ? L10n.lookup(L10n.language, lane.info.title)
                                                                : lane.info.title
                subtitle: !lane.info ? "" : lane.info.subtitleIsText ? L10n.lookup(L10n.language, lane.info.subtitle)
                                                                      : lane.info.subtitle
            }
        }
    }

    header: Column {
        id: top
        x: (center.width - center.column) / 2
        width: center.column
        spacing: Theme.spacingBlock

        SpotlightCarousel {
            id: carousel
            width: top.width
            visible: carousel.count > 0
            onScreen: {
                center.contentY
                center.height
                const at = carousel.mapToItem(center, 0, 0).y
                return at + carousel.height > 0 && at < center.height
            }
        }

        Row {
            objectName: "center.shortcuts"
            anchors.horizontalCenter: parent.horizontalCenter
            spacing: Theme.spacingLarge

            ShortcutButton {
                objectName: "center.shortcut.all"
                symbol: "square.grid.3x3.fill"
                text: L10n.lookup(L10n.language, "Todo")
                onClicked: Browse.openLibrary("", "")
            }
            Repeater {
                model: Browse.presentedKinds
                ShortcutButton {
                    required property string modelData
                    objectName: "center.shortcut." + modelData
                    symbol: center.kindSymbols[modelData]
                    text: L10n.lookup(L10n.language, center.kindTitles[modelData])
                    onClicked: Browse.openLibrary(modelData, "")
                }
            }
        }

        CommandCard {
            objectName: "center.counts"
            anchors.horizontalCenter: parent.horizontalCenter
            width: Math.min(980, top.width)
            Item {
                anchors.fill: parent
                implicitHeight: counts.implicitHeight + 22
                Column {
                    id: counts
                    x: 14
                    y: 11
                    width: parent.width - 28
                    spacing: 9
                    Item {
                        width: parent.width
                        height: pill.implicitHeight
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: L10n.lookup(L10n.language, "MATRIZ DE CONTENIDO")
                            color: CommandPalette.primary
                            font.pixelSize: Theme.fontCaption
                            font.bold: true
                            font.letterSpacing: 1.35
                        }
                        StatusPill {
                            id: pill
                            anchors.right: parent.right
                            text: "En línea"
                            color: CommandPalette.green
                        }
                    }
                    Row {
                        id: countRow
                        width: parent.width
                        spacing: Theme.spacingLarge
                        readonly property var shownKinds: Browse.usesGenericPresentation ? ["all"] : Browse.presentedKinds
                        Repeater {
                            model: countRow.shownKinds
                            CountBadge {
                                required property string modelData
                                objectName: "center.count." + modelData
                                width: (countRow.width - countRow.spacing * (countRow.shownKinds.length - 1))
                                       / Math.max(1, countRow.shownKinds.length)
                                label: modelData === "all" ? L10n.lookup(L10n.language, "Todo")
                                                           : L10n.lookup(L10n.language, center.kindTitles[modelData])
                                value: modelData === "all" ? Browse.totalNodeCount : (Browse.kindCounts[modelData] || 0)
                                symbol: center.countSymbol(modelData)
                                color: modelData === "all" ? CommandPalette.primary : center.kindColor(modelData)
                            }
                        }
                    }
                }
            }
        }
    }

    Component {
        id: resumeBlock
        ResumeRail {
            objectName: "center.resume"
            readonly property bool shown: Browse.centerResumeMarkers.length > 0
            visible: shown
            markers: Browse.centerResumeMarkers
        }
    }

    Component {
        id: favoritesBlock
        MediaRail {
            objectName: "center.favorites"
            readonly property bool shown: nodes.totalCount > 0
            visible: shown
            source: NodeListModel.CenterFavorites
            title: L10n.lookup(L10n.language, "Favoritos")
            subtitle: L10n.lookup(L10n.language, "Guardados por ")
                      + (Deck.activeIdentity !== null ? Deck.activeIdentity.name : L10n.lookup(L10n.language, "tu identidad"))
        }
    }

    Component {
        id: gatewayBlock
        Column {
            id: gateway
            objectName: "center.gateway"
            readonly property bool shown: featured.count > 0
            visible: shown
            spacing: Theme.spacingXLarge
            readonly property int columns: Math.max(1, Math.floor((gateway.width + 10) / (138 + 10)))
            readonly property real cardWidth: (gateway.width - 10 * (gateway.columns - 1)) / gateway.columns

            GroupListModel {
                id: featured
                source: GroupListModel.Featured
            }

            Item {
                width: gateway.width
                height: Math.max(gatewayHeading.implicitHeight, allGroups.implicitHeight)
                Column {
                    id: gatewayHeading
                    anchors.verticalCenter: parent.verticalCenter
                    spacing: 3
                    Text {
                        text: L10n.lookup(L10n.language, "PUERTAS DE ENTRADA")
                        color: CommandPalette.primary
                        font.pixelSize: Theme.fontCaption
                        font.bold: true
                        font.letterSpacing: 1.5
                    }
                    Text {
                        text: L10n.lookup(L10n.language, "Categorías para explorar")
                        color: Theme.textPrimary
                        font.pixelSize: Theme.fontTitle3
                        font.bold: true
                    }
                }
                AccentButton {
                    id: allGroups
                    objectName: "center.gateway.all"
                    anchors.right: parent.right
                    anchors.verticalCenter: parent.verticalCenter
                    text: L10n.lookup(L10n.language, "Ver todas")
                    font.pixelSize: Theme.fontBody
                    onClicked: Browse.openLibrary("", "")
                }
            }

            Flow {
                width: gateway.width
                spacing: Theme.spacingRegular
                Repeater {
                    model: featured
                    AbstractButton {
                        id: groupCard
                        required property int index
                        required property string groupId
                        required property string name
                        required property string kind
                        objectName: "center.gateway.group." + index
                        width: gateway.cardWidth
                        implicitHeight: Math.max(80, groupLabel.implicitHeight + 26)
                        Accessible.name: groupCard.name
                        onClicked: Browse.openLibrary(groupCard.kind, groupCard.groupId)
                        background: CommandCard {}
                        contentItem: Item {
                            Column {
                                id: groupLabel
                                x: 13
                                y: 13
                                width: groupCard.width - 26
                                spacing: 7
                                Symbol {
                                    name: Browse.usesGenericPresentation ? "square.grid.3x3.fill"
                                                                       : center.kindSymbols[groupCard.kind]
                                    color: CommandPalette.primary
                                }
                                Text {
                                    width: parent.width
                                    text: groupCard.name
                                    color: Theme.textPrimary
                                    font.pixelSize: Theme.fontCallout
                                    font.bold: true
                                    wrapMode: Text.Wrap
                                    maximumLineCount: 2
                                    elide: Text.ElideRight
                                }
                                Text {
                                    visible: !Browse.usesGenericPresentation
                                    text: L10n.lookup(L10n.language, center.kindTitles[groupCard.kind] || "").toUpperCase()
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
}
