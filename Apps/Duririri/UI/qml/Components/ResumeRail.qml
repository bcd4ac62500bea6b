import QtQuick
import QtQuick.Controls
import Sendra.App

// "Seguir viendo": one card per resume point (the first 12 of `markers`, the deck's centre markers), each with
// artwork, title, progress and a heart. A card resumes its point; the heart flips its entry's favourite.
// Names: <objectName>.rail and <objectName>.card.N (.progress, .favorite).
Column {
    id: resumeRail

    // The deck's centreResumeMarkers (or any list in that form).
    property var markers: []
    readonly property var shown: resumeRail.markers.length > 12 ? resumeRail.markers.slice(0, 12) : resumeRail.markers
    readonly property real cardWidth: 210

    spacing: Theme.spacingLarge

    Text {
        text: L10n.lookup(L10n.language, "Seguir viendo")
        color: Theme.textPrimary
        font.pixelSize: Theme.fontTitle3
        font.bold: true
    }

    DragRail {
        objectName: resumeRail.objectName + ".rail"
        width: resumeRail.width
        height: 11 + resumeRail.cardWidth * 9 / 16 + 8 + 18 + 8 + 4 + 11
        spacing: Theme.spacingLarge
        model: resumeRail.shown
        keyRole: "markerId"
        delegate: Item {
            id: card
            required property int index
            required property var modelData
            readonly property color primary: CommandPalette.primary
            objectName: resumeRail.objectName + ".card." + index
            width: resumeRail.cardWidth + 22
            height: body.implicitHeight

            CommandCard {
                id: body
                width: parent.width
                padding: 11
                AbstractButton {
                    objectName: card.objectName + ".open"
                    anchors.fill: parent
                    implicitHeight: column.implicitHeight
                    Accessible.name: card.modelData.title
                    onClicked: Browse.resumeAt(card.index)
                    background: null
                    contentItem: Column {
                        id: column
                        spacing: Theme.spacingMedium
                        AsyncArtwork {
                            width: resumeRail.cardWidth
                            height: resumeRail.cardWidth * 9 / 16
                            aspect: 16 / 9
                            radius: Theme.radiusField
                            artwork: card.modelData.artwork
                            kind: card.modelData.kind
                            generic: card.modelData.generic
                        }
                        Text {
                            width: resumeRail.cardWidth
                            text: card.modelData.title
                            color: Theme.textPrimary
                            font.pixelSize: Theme.fontBody
                            font.bold: true
                            maximumLineCount: 1
                            elide: Text.ElideRight
                        }
                        Rectangle {
                            objectName: card.objectName + ".progress"
                            readonly property real fraction: Math.max(0, Math.min(1, card.modelData.fraction))
                            width: resumeRail.cardWidth
                            height: 4
                            radius: 2
                            color: Theme.track
                            Rectangle {
                                width: parent.width * parent.fraction
                                height: parent.height
                                radius: 2
                                color: card.primary
                            }
                        }
                    }
                }
            }

            FavoriteToggle {
                objectName: card.objectName + ".favorite"
                anchors.top: parent.top
                anchors.right: parent.right
                anchors.margins: Theme.spacingGutter
                size: 34
                isFavorite: card.modelData.isFavorite
                onToggled: Browse.toggleResumeFavorite(card.index)
            }
        }
    }
}
