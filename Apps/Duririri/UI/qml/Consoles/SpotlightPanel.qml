import QtQuick
import QtQuick.Controls
import Sendra.App

// One spotlight page: the entry's artwork under a dark gradient, its title, category and "Abrir", and a heart.
// Tapping the page opens the entry; every change of the pressed state is reported through pressChanged, so the
// carousel holds still while the page is held down.
Item {
    id: panel

    // The entry: a NodeListModel row map (key, title, artwork, kind, generic, groupName, isFavorite).
    property var entry: ({})
    property bool genericPresentation: false

    signal opened()
    signal favoriteToggled()
    signal pressChanged(bool pressed)

    readonly property color primary: CommandPalette.primary
    readonly property string kind: panel.entry.kind || ""
    readonly property bool wide: panel.width > 600
    readonly property int pressFade: UiConfig.animationsEnabled ? 130 : 0

    AbstractButton {
        id: page
        objectName: "carousel.page"
        anchors.fill: parent
        scale: page.pressed ? 0.985 : 1
        Accessible.name: panel.entry.title || ""
        Accessible.description: L10n.lookup(L10n.language, "Abre la señal destacada")
        onClicked: panel.opened()
        onPressedChanged: panel.pressChanged(page.pressed)
        Behavior on scale { NumberAnimation { duration: panel.pressFade; easing.type: Easing.OutQuad } }

        background: null
        contentItem: Item {
            AsyncArtwork {
                anchors.fill: parent
                aspect: parent.width / Math.max(1, parent.height)
                radius: 25
                artwork: panel.entry.artwork || ""
                kind: panel.kind
                generic: panel.entry.generic || false
            }
            Rectangle {
                anchors.fill: parent
                radius: 25
                gradient: Gradient {
                    GradientStop { position: 0; color: Theme.artworkShadeLight }
                    GradientStop { position: 1; color: Theme.artworkShadeDeepest }
                }
            }
            // Brightened while held.
            Rectangle {
                anchors.fill: parent
                radius: 25
                color: page.pressed ? Theme.fillHover : "transparent"
                border.width: 1
                border.color: Qt.rgba(panel.primary.r, panel.primary.g, panel.primary.b, page.pressed ? 0.6 : 0.25)
            }
            Column {
                anchors.left: parent.left
                anchors.right: parent.right
                anchors.bottom: parent.bottom
                anchors.margins: 19
                spacing: Theme.spacingMedium

                StatusPill {
                    text: "Para explorar"
                    color: panel.primary
                }
                Text {
                    objectName: "carousel.title"
                    width: parent.width
                    text: panel.entry.title || ""
                    color: Theme.textPrimary
                    font.pixelSize: panel.wide ? Theme.fontDisplaySmall : Theme.fontTitle1
                    font.weight: Font.Black
                    wrapMode: Text.Wrap
                    maximumLineCount: 2
                    elide: Text.ElideRight
                }
                Item {
                    width: parent.width
                    height: Math.max(group.implicitHeight, open.implicitHeight)
                    Row {
                        id: group
                        anchors.left: parent.left
                        anchors.right: open.left
                        anchors.rightMargin: Theme.spacingLarge
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: Theme.spacingSmall
                        Symbol {
                            anchors.verticalCenter: parent.verticalCenter
                            name: Symbols.forKind(panel.kind, panel.genericPresentation)
                            color: Theme.textOverlay
                            size: Theme.iconSmall
                        }
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            width: group.width - 21
                            text: panel.entry.groupName || ""
                            color: Theme.textOverlay
                            font.pixelSize: Theme.fontCallout
                            font.bold: true
                            wrapMode: Text.Wrap
                            maximumLineCount: 2
                            elide: Text.ElideRight
                        }
                    }
                    Row {
                        id: open
                        anchors.right: parent.right
                        anchors.verticalCenter: parent.verticalCenter
                        spacing: Theme.spacingSmall
                        Text {
                            anchors.verticalCenter: parent.verticalCenter
                            text: L10n.lookup(L10n.language, "Abrir")
                            color: panel.primary
                            font.pixelSize: Theme.fontCallout
                            font.bold: true
                        }
                        Symbol {
                            anchors.verticalCenter: parent.verticalCenter
                            name: "arrow.up.right.circle.fill"
                            color: panel.primary
                            size: Theme.iconRegular
                        }
                    }
                }
            }
        }
    }

    FavoriteToggle {
        objectName: "carousel.favorite"
        anchors.top: parent.top
        anchors.right: parent.right
        anchors.margins: Theme.spacingLarge
        size: 40
        isFavorite: panel.entry.isFavorite || false
        onToggled: panel.favoriteToggled()
    }
}
