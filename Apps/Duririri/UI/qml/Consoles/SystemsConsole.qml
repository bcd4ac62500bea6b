pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// The settings section: language, network check, parental protection, catalogue refresh, identity change,
// unlinking, the brand's links and the disclaimer. The check and the refresh run in the deck, so leaving the
// section does not stop them; the console only shows their published state.
Item {
    id: systems
    objectName: "systems.console"

    Flickable {
        id: scroller
        anchors.fill: parent
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
            spacing: 18

            // Language.
            CommandCard {
                Layout.fillWidth: true
                highlighted: true
                padding: Theme.spacingGutter

                ColumnLayout {
                    anchors.fill: parent
                    spacing: Theme.spacingLarge

                    CaptionLabel { text: "IDIOMA"; symbol: "globe" }

                    RowLayout {
                        objectName: "systems.language"
                        Layout.fillWidth: true
                        Layout.preferredHeight: 34
                        spacing: Theme.spacingTiny
                        Accessible.role: Accessible.PageTabList
                        Accessible.name: L10n.lookup(L10n.language, "Idioma")

                        LanguageSegment { objectName: "systems.language.es"; code: "es"; text: "Español" }
                        LanguageSegment { objectName: "systems.language.en"; code: "en"; text: "English" }
                    }

                    Text {
                        Layout.fillWidth: true
                        text: L10n.lookup(L10n.language, "La aplicación inicia en español. Puedes cambiar todo el menú a inglés cuando quieras.")
                        color: Theme.textNote
                        font.pixelSize: Theme.fontSmall
                        wrapMode: Text.Wrap
                    }
                }
            }

            // Network check.
            CommandCard {
                Layout.fillWidth: true
                highlighted: true
                padding: Theme.spacingGutter

                ColumnLayout {
                    anchors.fill: parent
                    spacing: Theme.spacingXLarge

                    CaptionLabel { text: "ESTADO DE LA RED"; symbol: "waveform.path.ecg" }

                    RowLayout {
                        Layout.fillWidth: true
                        spacing: Theme.spacingRegular

                        SignalMeter {
                            objectName: "systems.download"
                            Layout.fillWidth: true
                            Layout.preferredWidth: 1
                            label: "Descarga"
                            value: Systems.networkDownload.toFixed(1)
                            symbol: "arrow.down"
                            color: CommandPalette.primary
                        }
                        SignalMeter {
                            objectName: "systems.upload"
                            Layout.fillWidth: true
                            Layout.preferredWidth: 1
                            label: "Subida"
                            value: Systems.networkUpload.toFixed(1)
                            symbol: "arrow.up"
                            color: CommandPalette.secondary
                        }
                        SignalMeter {
                            objectName: "systems.latency"
                            Layout.fillWidth: true
                            Layout.preferredWidth: 1
                            label: "Latencia"
                            value: Systems.networkLatency < 0 ? "—" : String(Systems.networkLatency)
                            symbol: "timer"
                            color: CommandPalette.green
                        }
                    }

                    ActionButton {
                        objectName: "systems.check"
                        implicitHeight: 44
                        Layout.fillWidth: true
                        enabled: !Systems.networkCheckRunning
                        text: Systems.networkCheckRunning ? L10n.lookup(L10n.language, "Midiendo conexión…")
                                                       : L10n.lookup(L10n.language, "Iniciar diagnóstico")
                        symbol: "gauge.with.dots.needle.67percent"
                        tint: CommandPalette.primary
                        onClicked: Systems.runNetworkCheck()
                    }
                }
            }

            SystemRow {
                objectName: "systems.parental"
                Layout.fillWidth: true
                title: Systems.parentalEnabled ? "Protección activa" : "Control parental"
                detail: L10n.lookup(L10n.language, "Filtra categorías sensibles mediante un PIN local")
                symbol: "lock.shield.fill"
                tint: Systems.parentalEnabled ? CommandPalette.green : CommandPalette.primary
                onClicked: parentalSheet.shown = true
            }

            // Catalogue refresh, with its notice.
            SystemRow {
                id: refreshRow
                objectName: "systems.refresh"
                Layout.fillWidth: true
                enabled: !Systems.isRefreshingCatalog
                title: Systems.isRefreshingCatalog ? "Actualizando contenido…" : "Actualizar contenido"
                detail: Systems.catalogRefreshMessage !== null
                        ? L10n.lookup(L10n.language, Systems.catalogRefreshMessage)
                        : L10n.lookup(L10n.language, "Consulta la versión más reciente disponible")
                detailColor: Theme.textIdle
                symbol: "arrow.clockwise"
                tint: CommandPalette.secondary
                busy: Systems.isRefreshingCatalog
                trailingSymbol: "arrow.clockwise"
                onClicked: Systems.refreshCatalog()
            }

            SystemRow {
                objectName: "systems.identity"
                Layout.fillWidth: true
                title: "Cambiar identidad"
                detail: Deck.activeIdentity !== null ? Deck.activeIdentity.name
                                                     : L10n.lookup(L10n.language, "Identidad actual")
                symbol: "person.crop.hexagon"
                tint: CommandPalette.primary
                onClicked: Deck.changeIdentity()
            }

            // No confirmation: unlinking acts at once.
            SystemRow {
                objectName: "systems.unlink"
                Layout.fillWidth: true
                title: "Desvincular fuente"
                detail: L10n.lookup(L10n.language, "Elimina las credenciales guardadas en este dispositivo")
                symbol: "rectangle.portrait.and.arrow.right"
                tint: CommandPalette.red
                onClicked: Systems.disconnectSource()
            }

            PlatformLegalLinks {
                objectName: "systems.links"
                brand: Deck.brand
            }

            ColumnLayout {
                Layout.fillWidth: true
                Layout.margins: Theme.spacingGutter
                spacing: Theme.spacingMedium

                Text {
                    objectName: "systems.brand"
                    text: (Deck.brand.name || "").toUpperCase()
                    color: CommandPalette.primary
                    font.pixelSize: Theme.fontSmall
                    font.bold: true
                    font.letterSpacing: 1.5
                }
                Text {
                    Layout.fillWidth: true
                    text: L10n.lookup(L10n.language, "Calvenor organiza y reproduce fuentes autorizadas por el usuario. No incluye, vende ni distribuye contenido o suscripciones.")
                    color: Theme.textFootnote
                    font.pixelSize: Theme.fontSmall
                    wrapMode: Text.Wrap
                }
            }
        }
    }

    ParentalSheet {
        id: parentalSheet
        onDismissed: shown = false
    }

    // The refresh's result: its own title and message, one button; dismissing it clears the deck's notice.
    MessageDialog {
        id: notice
        objectName: "systems.notice"
        width: Math.min(440, systems.width - 80)
        readonly property var shownNotice: Systems.catalogRefreshNotice
        showing: notice.shownNotice !== null
        title: notice.shownNotice !== null ? L10n.lookup(L10n.language, notice.shownNotice.title) : ""
        message: notice.shownNotice !== null ? L10n.lookup(L10n.language, notice.shownNotice.message) : ""
        onClosed: if (Systems.catalogRefreshNotice !== null) Systems.catalogRefreshNotice = null
    }

    component CaptionLabel: RowLayout {
        id: caption
        property string text
        property string symbol
        spacing: Theme.spacingSmall
        Symbol {
            name: caption.symbol
            color: CommandPalette.primary
            size: Theme.iconTiny
        }
        Text {
            text: L10n.lookup(L10n.language, caption.text)
            color: CommandPalette.primary
            font.pixelSize: Theme.fontSmall
            font.bold: true
            font.letterSpacing: 1.4
        }
    }

    // A language: its caption is shown as it is in both languages.
    component LanguageSegment: SegmentButton {
        id: languageSegment
        property string code
        selected: L10n.language === languageSegment.code
        radius: Theme.radiusSmall
        idleFill: Theme.fillSegment
        showsFocus: false
        onClicked: Systems.selectLanguage(languageSegment.code)
    }

    // A settings row: symbol, title and detail (looked up by the caller), and a chevron or a spinner.
    component SystemRow: AbstractButton {
        id: row
        property string title
        property string detail
        property color detailColor: Theme.textDetail
        property string symbol
        property color tint: CommandPalette.primary
        property bool busy: false
        property string trailingSymbol: "chevron.right"

        focusPolicy: Qt.TabFocus
        Accessible.name: titleText.text
        implicitHeight: card.implicitHeight

        background: null
        contentItem: CommandCard {
            id: card
            padding: Theme.spacingGutter
            opacity: row.down ? 0.8 : 1

            RowLayout {
                anchors.fill: parent
                spacing: Theme.spacingXLarge

                Symbol {
                    Layout.preferredWidth: 32
                    name: row.symbol
                    color: row.tint
                    size: Theme.iconLarge
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 3
                    Text {
                        id: titleText
                        objectName: row.objectName + ".title"
                        Layout.fillWidth: true
                        text: L10n.lookup(L10n.language, row.title)
                        color: Theme.textPrimary
                        font.pixelSize: Theme.fontCallout
                        font.bold: true
                        elide: Text.ElideRight
                    }
                    Text {
                        objectName: row.objectName + ".detail"
                        Layout.fillWidth: true
                        text: row.detail
                        color: row.detailColor
                        font.pixelSize: Theme.fontSmall
                        wrapMode: Text.Wrap
                    }
                }
                BusySpinner {
                    objectName: row.objectName + ".spinner"
                    visible: row.busy
                    running: row.busy
                    Layout.preferredWidth: 22
                    Layout.preferredHeight: 22
                    color: row.tint
                }
                Symbol {
                    visible: !row.busy
                    name: row.trailingSymbol
                    color: Theme.textFaint
                    size: Theme.iconXSmall
                }
            }
        }
    }
}
