import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// The screen of the access phase: the brand beside the source form. Every field writes straight into the deck's
// draft; the only action is connecting. While the deck waits for a private brand's code, the code sheet covers it.
Item {
    id: screen
    objectName: "access.screen"

    // The desktop's size class is regular; without it (or below 820 pixels) the narrow layout is used.
    property bool regularSizeClass: true

    readonly property bool wide: screen.regularSizeClass && screen.width >= 820
    // The least height of the layout's frame: the screen's height less the padding around it, never below what
    // the form needs, so a short window scrolls rather than squeezing the form.
    readonly property real minimumFrameHeight: screen.wide ? Math.max(680, screen.height - 48)
                                                           : Math.max(660, screen.height - 20)
    readonly property real horizontalPadding: screen.wide ? 34 : 18
    readonly property real verticalPadding: screen.wide ? 24 : 28

    // The connect button first takes the focus from the fields, then starts the deck's connection.
    function connectSource() {
        focusSink.forceActiveFocus()
        Access.connectSource()
    }

    // Takes the focus away from the fields when the connect button is pressed.
    Item {
        id: focusSink
        objectName: "access.focusSink"
    }

    CommandBackground {
        anchors.fill: parent
    }

    Flickable {
        id: scroller
        objectName: "access.scroll"
        anchors.fill: parent
        contentWidth: width
        contentHeight: frame.height + 2 * screen.verticalPadding
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar {
            policy: ScrollBar.AsNeeded
        }

        Item {
            id: frame
            objectName: "access.frame"
            x: (scroller.width - frame.width) / 2
            y: screen.verticalPadding
            width: screen.wide ? Math.min(1060, scroller.width - 2 * screen.horizontalPadding)
                               : scroller.width - 2 * screen.horizontalPadding
            height: Math.max(screen.minimumFrameHeight, layout.item ? layout.item.implicitHeight : 0)

            Loader {
                id: layout
                objectName: screen.wide ? "access.wide" : "access.narrow"
                anchors.centerIn: parent
                width: frame.width
                sourceComponent: screen.wide ? wideLayout : narrowLayout
            }
        }
    }

    Component {
        id: wideLayout

        RowLayout {
            spacing: 34

            CommandCard {
                objectName: "access.brandCard"
                highlighted: true
                padding: 34
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                Layout.maximumWidth: 450 + 2 * 34
                Layout.minimumHeight: 560 + 2 * 34
                Layout.preferredHeight: Math.max(560, wideBrand.implicitHeight) + 2 * 34
                Layout.alignment: Qt.AlignVCenter

                Item {
                    anchors.fill: parent
                    BrandBlock {
                        id: wideBrand
                        wide: true
                        width: parent.width
                        anchors.verticalCenter: parent.verticalCenter
                    }
                }
            }

            AccessPanel {
                wide: true
                onConnectPressed: screen.connectSource()
                Layout.fillWidth: true
                Layout.preferredWidth: 1
                Layout.maximumWidth: 520
                Layout.alignment: Qt.AlignVCenter
            }
        }
    }

    Component {
        id: narrowLayout

        ColumnLayout {
            spacing: 28

            BrandBlock {
                wide: false
                Layout.fillWidth: true
            }
            AccessPanel {
                wide: false
                onConnectPressed: screen.connectSource()
                Layout.fillWidth: true
                Layout.maximumWidth: 620
                Layout.alignment: Qt.AlignHCenter
            }
        }
    }

    // The brand's logo, the title and subtitle and, when wide, the three feature rows.
    component BrandBlock: ColumnLayout {
        id: block

        property bool wide: true
        readonly property int alignment: block.wide ? Qt.AlignLeft : Qt.AlignHCenter

        spacing: block.wide ? 28 : 16

        BrandLogo {
            objectName: "access.logo"
            brand: Deck.brand
            Layout.alignment: block.alignment
            Layout.preferredWidth: Math.min(block.wide ? 430 : 340, block.width)
            Layout.preferredHeight: block.wide ? 160 : 110
        }

        ColumnLayout {
            spacing: block.wide ? 12 : 5
            Layout.fillWidth: true

            Text {
                objectName: "access.title"
                Layout.fillWidth: true
                text: L10n.lookup(L10n.language, "Vincula tu señal")
                color: Theme.textPrimary
                font.pixelSize: block.wide ? Theme.fontHeroLarge : Theme.fontHero
                font.weight: Font.Black
                wrapMode: Text.Wrap
                horizontalAlignment: block.wide ? Text.AlignLeft : Text.AlignHCenter
            }
            Text {
                objectName: "access.subtitle"
                Layout.fillWidth: true
                Layout.maximumWidth: block.wide ? 430 : 520
                Layout.alignment: block.alignment
                text: L10n.lookup(L10n.language,
                                  "Conecta una fuente autorizada y la app resolverá automáticamente el acceso disponible.")
                color: Theme.textSubtitle
                font.pixelSize: block.wide ? Theme.fontTitle3 : Theme.fontCallout
                wrapMode: Text.Wrap
                horizontalAlignment: block.wide ? Text.AlignLeft : Text.AlignHCenter
            }
        }

        ColumnLayout {
            visible: block.wide
            spacing: Theme.spacingXXLarge
            Layout.topMargin: Theme.spacingMedium

            BrandFeature {
                objectName: "access.feature.source"
                title: "Fuente del usuario"
                symbol: "link.badge.plus"
            }
            BrandFeature {
                objectName: "access.feature.profiles"
                title: "Perfiles y progreso local"
                symbol: "person.2.fill"
            }
            BrandFeature {
                objectName: "access.feature.parental"
                title: "Protección parental"
                symbol: "lock.shield.fill"
            }
        }
    }

    // A feature row: the symbol on a faint brand-coloured tile, then its (Spanish) title looked up.
    component BrandFeature: RowLayout {
        id: feature

        property string title
        property string symbol

        spacing: 13

        Rectangle {
            objectName: feature.objectName + ".tile"
            Layout.preferredWidth: 26
            Layout.preferredHeight: 26
            radius: Theme.radiusSmall
            color: Qt.rgba(CommandPalette.primary.r, CommandPalette.primary.g, CommandPalette.primary.b, 0.1)

            Symbol {
                anchors.centerIn: parent
                name: feature.symbol
                color: CommandPalette.primary
                size: Theme.iconCompact
            }
        }
        Text {
            objectName: feature.objectName + ".title"
            text: L10n.lookup(L10n.language, feature.title)
            color: Theme.textEmphasis
            font.pixelSize: Theme.fontHeadline
            font.bold: true
        }
    }

    // The form: header (wide), method picker, the method's fields, the connect button, the disclaimer and the
    // brand's links.
    component AccessPanel: CommandCard {
        id: panel

        property bool wide: true
        signal connectPressed()

        objectName: "access.panel"
        highlighted: true
        padding: panel.wide ? 30 : 22

        ColumnLayout {
            anchors.fill: parent
            spacing: panel.wide ? 22 : 18

            ColumnLayout {
                visible: panel.wide
                spacing: 5
                Layout.fillWidth: true

                Text {
                    objectName: "access.header"
                    Layout.fillWidth: true
                    text: L10n.lookup(L10n.language, "CONECTAR FUENTE")
                    color: CommandPalette.primary
                    font.pixelSize: Theme.fontSmall
                    font.bold: true
                    font.letterSpacing: 2
                }
                Text {
                    objectName: "access.headerTitle"
                    Layout.fillWidth: true
                    text: L10n.lookup(L10n.language, "Ingresa tus datos")
                    color: Theme.textPrimary
                    font.pixelSize: Theme.fontTitle2
                    font.bold: true
                    wrapMode: Text.Wrap
                }
            }

            // The method picker: two segments over the deck's draft method.
            Rectangle {
                id: picker
                objectName: "access.method"
                Layout.fillWidth: true
                Layout.preferredHeight: 34
                radius: 9
                color: CommandPalette.panel
                border.width: 1
                border.color: Theme.outline
                Accessible.role: Accessible.PageTabList
                Accessible.name: L10n.lookup(L10n.language, "Método")

                RowLayout {
                    anchors.fill: parent
                    anchors.margins: Theme.spacingTiny
                    spacing: Theme.spacingTiny

                    SegmentButton {
                        objectName: "access.method.portal"
                        text: L10n.lookup(L10n.language, "Xtream Codes")
                        selected: Access.method === Access.Portal
                        onClicked: Access.method = Access.Portal
                    }
                    SegmentButton {
                        objectName: "access.method.playlist"
                        text: L10n.lookup(L10n.language, "Lista M3U")
                        selected: Access.method === Access.Playlist
                        onClicked: Access.method = Access.Playlist
                    }
                }
            }

            // Placeholders are shown as written, in every language.
            CommandInput {
                objectName: "access.server"
                visible: Access.method === Access.Portal
                Layout.fillWidth: true
                title: "Acceso"
                symbol: "network"
                text: Access.server
                onEdited: (value) => Access.server = value
            }
            CommandInput {
                objectName: "access.user"
                visible: Access.method === Access.Portal
                Layout.fillWidth: true
                title: "Usuario"
                symbol: "person.text.rectangle"
                text: Access.user
                onEdited: (value) => Access.user = value
            }
            CommandInput {
                objectName: "access.password"
                visible: Access.method === Access.Portal
                Layout.fillWidth: true
                title: "Contraseña"
                symbol: "key.horizontal"
                secure: true
                text: Access.password
                onEdited: (value) => Access.password = value
            }
            CommandInput {
                objectName: "access.playlist"
                visible: Access.method === Access.Playlist
                Layout.fillWidth: true
                title: "Dirección completa de la lista M3U"
                symbol: "link"
                text: Access.playlist
                onEdited: (value) => Access.playlist = value
            }

            // Enabled with empty fields: the deck says what is missing.
            AbstractButton {
                id: connectButton
                objectName: "access.connect"
                Layout.fillWidth: true
                Layout.preferredHeight: panel.wide ? 62 : 56
                enabled: !Access.isConnecting
                focusPolicy: Qt.TabFocus
                Accessible.role: Accessible.Button
                Accessible.name: connectLabel.text
                leftPadding: Theme.spacingGutter
                rightPadding: Theme.spacingGutter

                background: Rectangle {
                    objectName: "access.connect.background"
                    radius: Theme.radiusLarge
                    color: CommandPalette.primary
                    border.width: connectButton.visualFocus ? 2 : 0
                    border.color: Theme.focusRing
                    opacity: connectButton.pressed ? 0.85 : 1
                }
                contentItem: RowLayout {
                    spacing: 11

                    BusySpinner {
                        objectName: "access.connect.spinner"
                        visible: Access.isConnecting
                        running: Access.isConnecting
                        color: Theme.textOnAccent
                        Layout.preferredWidth: 22
                        Layout.preferredHeight: 22
                    }
                    Symbol {
                        visible: !Access.isConnecting
                        name: "antenna.radiowaves.left.and.right"
                        color: Theme.textOnAccent
                        size: Theme.iconLarge
                    }
                    Text {
                        id: connectLabel
                        objectName: "access.connect.label"
                        text: Access.isConnecting ? L10n.lookup(L10n.language, Access.connectionStatus)
                                                : L10n.lookup(L10n.language, "Continuar")
                        color: Theme.textOnAccent
                        font.pixelSize: Theme.fontHeadline
                        font.bold: true
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Symbol {
                        visible: !Access.isConnecting
                        name: "arrow.up.right"
                        color: Theme.textOnAccent
                        size: Theme.iconMedium
                    }
                }

                onClicked: panel.connectPressed()
            }

            RowLayout {
                spacing: 9
                Layout.fillWidth: true

                Symbol {
                    name: "lock.shield"
                    color: Theme.textDisclaimer
                    size: Theme.iconXSmall
                    Layout.alignment: Qt.AlignVCenter
                }
                Text {
                    objectName: "access.disclaimer"
                    Layout.fillWidth: true
                    text: L10n.lookup(L10n.language,
                                      "Calvenor no incluye contenido ni suscripciones. Solo organiza fuentes autorizadas por el usuario.")
                    color: Theme.textDisclaimer
                    font.pixelSize: Theme.fontSmall
                    wrapMode: Text.Wrap
                }
            }

            // The brand's privacy and support links.
            RowLayout {
                objectName: "access.links"
                spacing: Theme.spacingSection
                Layout.alignment: Qt.AlignHCenter
                Layout.topMargin: Theme.spacingMedium
                Layout.bottomMargin: Theme.spacingMedium

                LinkButton {
                    objectName: "access.privacy"
                    title: "Privacidad"
                    symbol: "hand.raised"
                    address: Deck.brand.privacyURL || ""
                }
                LinkButton {
                    objectName: "access.support"
                    title: "Soporte"
                    symbol: "envelope"
                    address: Deck.brand.supportURL || ""
                }
            }
        }
    }

    CodeSheet {
        id: codeSheet
        shown: Access.accessCodeRequired
        // A dismissal other than the sheet's own buttons only clears the flag (the deck cancels when idle).
        onDismissed: Access.accessCodeRequired = false
    }
}
