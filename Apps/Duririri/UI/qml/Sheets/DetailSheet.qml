import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// The detail sheet of the selected film or series: artwork with the kind, title and category, the synopsis,
// favourite and play buttons, the loading line, and a series' seasons with their episodes. Everything is read
// from the deck; every action is a deck operation.
Sheet {
    id: sheet
    objectName: "detail.sheet"
    minimumWidth: 720
    minimumHeight: 640

    // The entry shown: kept while the sheet closes, when the deck's selection is already gone.
    property var node: null
    readonly property bool isSeries: sheet.node !== null && Kinds.of(sheet.node.kind) === Kinds.Series
    // A playlist's series is one address of its own and has no details: with no seasons to list, it plays as a
    // film does. A panel's series always plays from its episodes.
    readonly property bool offersPlay: !sheet.isSeries
                                       || (sheet.node.ownStream && !Details.isLoadingBrief && sheet.brief !== null
                                           && sheet.brief.seasons.length === 0)
    readonly property bool isFavorite: Browse.favoritesRevision >= 0 && sheet.node !== null && Browse.isFavorite(sheet.node.key)
    readonly property var brief: Details.selectedBrief
    readonly property string synopsis: {
        const text = sheet.brief !== null ? sheet.brief.synopsis.trim() : ""
        return text.length > 0 ? text : L10n.lookup(L10n.language, "Información proporcionada por la fuente conectada.")
    }

    function follow() {
        if (Details.selectedNode !== null)
            sheet.node = Details.selectedNode
    }
    Connections {
        target: Details
        function onSelectedNodeChanged() { sheet.follow() }
    }
    Component.onCompleted: follow()

    function twoDigits(number) {
        return number >= 0 && number < 10 ? "0" + number : String(number)
    }

    FocusScope {
        anchors.fill: parent
        focus: true
        implicitWidth: 820
        implicitHeight: column.implicitHeight + 34 + footer.height

        // Made anew each time the sheet opens (see the parental sheet: a path item put back into the scene crashes
        // the software renderer in Qt 6.4).
        Loader {
            anchors.fill: parent
            active: sheet.visible
            sourceComponent: CommandBackground {
                radius: Theme.radiusCard
            }
        }

        Flickable {
            id: scroller
            anchors.top: parent.top
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: footer.top
            contentWidth: width
            contentHeight: column.implicitHeight + 34
            boundsBehavior: Flickable.StopAtBounds
            clip: true
            ScrollBar.vertical: ScrollBar {}

            ColumnLayout {
                id: column
                x: Math.max(17, (scroller.width - width) / 2)
                y: 17
                width: Math.min(820, scroller.width - 34)
                spacing: 19

                // Header: artwork with the kind, title and category over a dark gradient.
                Item {
                    objectName: "detail.header"
                    Layout.fillWidth: true
                    Layout.preferredHeight: width / 1.6

                    AsyncArtwork {
                        objectName: "detail.artwork"
                        anchors.fill: parent
                        artwork: sheet.node !== null ? sheet.node.artwork : ""
                        kind: sheet.node !== null ? sheet.node.kind : ""
                        generic: sheet.node !== null && sheet.node.generic
                        aspect: 1.6
                        radius: Theme.radiusHero
                    }
                    Rectangle {
                        anchors.fill: parent
                        radius: Theme.radiusHero
                        gradient: Gradient {
                            GradientStop { position: 0.5; color: Theme.artworkShadeClear }
                            GradientStop { position: 1.0; color: Theme.artworkShadeDeep }
                        }
                    }
                    ColumnLayout {
                        anchors.left: parent.left
                        anchors.right: parent.right
                        anchors.bottom: parent.bottom
                        anchors.margins: 19
                        spacing: 7

                        StatusPill {
                            objectName: "detail.kind"
                            // The deck's title is in the language of the moment: asked again on every switch.
                            text: sheet.node !== null && L10n.language.length > 0
                                  ? Details.presentationKindTitle(sheet.node.kind) : ""
                            color: CommandPalette.primary
                        }
                        Text {
                            objectName: "detail.title"
                            Layout.fillWidth: true
                            text: sheet.node !== null ? sheet.node.title : ""
                            color: Theme.textPrimary
                            font.pixelSize: Theme.fontDisplaySmall
                            font.weight: Font.Black
                            maximumLineCount: 3
                            wrapMode: Text.Wrap
                            elide: Text.ElideRight
                        }
                        Text {
                            objectName: "detail.group"
                            Layout.fillWidth: true
                            text: sheet.node !== null ? sheet.node.groupName : ""
                            color: Theme.textSubtitle
                            font.pixelSize: Theme.fontBody
                            elide: Text.ElideRight
                        }
                    }
                }

                Text {
                    objectName: "detail.synopsis"
                    Layout.fillWidth: true
                    text: sheet.synopsis
                    textFormat: Text.PlainText
                    color: Theme.textStatus
                    font.pixelSize: Theme.fontCallout
                    wrapMode: Text.Wrap
                }

                RowLayout {
                    Layout.fillWidth: true
                    spacing: 11

                    ActionButton {
                        objectName: "detail.favorite"
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        prominent: false
                        symbol: sheet.isFavorite ? "heart.fill" : "heart"
                        text: sheet.isFavorite ? L10n.lookup(L10n.language, "En favoritos")
                                               : L10n.lookup(L10n.language, "Agregar favorito")
                        onClicked: Details.toggleSelectedFavorite()
                    }
                    ActionButton {
                        objectName: "detail.play"
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1
                        visible: sheet.offersPlay
                        prominent: true
                        symbol: "play.fill"
                        text: L10n.lookup(L10n.language, "Reproducir")
                        onClicked: {
                            Details.playSelected()
                            Details.closeDetails()
                        }
                    }
                }

                RowLayout {
                    objectName: "detail.loading"
                    visible: Details.isLoadingBrief
                    spacing: Theme.spacingRegular
                    BusySpinner {
                        running: Details.isLoadingBrief
                        Layout.preferredWidth: 24
                        Layout.preferredHeight: 24
                        color: CommandPalette.primary
                    }
                    Text {
                        objectName: "detail.loading.text"
                        text: sheet.isSeries ? L10n.lookup(L10n.language, "Cargando episodios…")
                                             : L10n.lookup(L10n.language, "Cargando información…")
                        color: Theme.textStatus
                        font.pixelSize: Theme.fontFootnote
                    }
                }

                // A series' seasons, in the brief's order; each episode row plays it (the deck closes the sheet).
                Repeater {
                    model: sheet.isSeries && sheet.brief !== null ? sheet.brief.seasons : []

                    delegate: ColumnLayout {
                        id: season
                        required property var modelData
                        required property int index
                        objectName: "detail.season." + index
                        Layout.fillWidth: true
                        spacing: Theme.spacingRegular

                        Text {
                            objectName: "detail.season." + season.index + ".title"
                            text: L10n.format(L10n.language, "Temporada %lld", [season.modelData.number])
                            color: Theme.textPrimary
                            font.pixelSize: Theme.fontTitle3
                            font.bold: true
                        }

                        Repeater {
                            model: season.modelData.episodes
                            delegate: AbstractButton {
                                id: episode
                                required property var modelData
                                required property int index
                                objectName: "detail.episode." + season.index + "." + index
                                Layout.fillWidth: true
                                implicitHeight: episodeCard.implicitHeight
                                focusPolicy: Qt.TabFocus
                                Accessible.name: episode.modelData.title
                                background: null
                                contentItem: CommandCard {
                                    id: episodeCard
                                    padding: Theme.spacingXLarge
                                    opacity: episode.down ? 0.8 : 1

                                    RowLayout {
                                        anchors.fill: parent
                                        spacing: Theme.spacingLarge
                                        Text {
                                            objectName: episode.objectName + ".number"
                                            text: sheet.twoDigits(episode.modelData.number)
                                            color: CommandPalette.primary
                                            font.pixelSize: Theme.fontTitle2
                                            font.bold: true
                                            font.family: "monospace"
                                        }
                                        Text {
                                            Layout.fillWidth: true
                                            text: episode.modelData.title
                                            color: Theme.textPrimary
                                            font.pixelSize: Theme.fontCallout
                                            font.bold: true
                                            maximumLineCount: 2
                                            wrapMode: Text.Wrap
                                            elide: Text.ElideRight
                                        }
                                        Symbol {
                                            name: "play.circle.fill"
                                            color: CommandPalette.primary
                                            size: Theme.iconXXLarge
                                        }
                                    }
                                }
                                onClicked: Details.playEpisode(season.index, episode.index)
                            }
                        }
                    }
                }
            }
        }

        Item {
            id: footer
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 56
            Button {
                objectName: "detail.close"
                anchors.right: parent.right
                anchors.rightMargin: Theme.spacingGutter
                anchors.verticalCenter: parent.verticalCenter
                text: L10n.lookup(L10n.language, "Cerrar")
                onClicked: Details.closeDetails()
            }
        }
    }
}
