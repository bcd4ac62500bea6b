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
                padding: 17

                ColumnLayout {
                    anchors.fill: parent
                    spacing: 12

                    CaptionLabel { text: "IDIOMA"; symbol: "globe" }

                    RowLayout {
                        objectName: "systems.language"
                        Layout.fillWidth: true
                        Layout.preferredHeight: 34
                        spacing: 2
                        Accessible.role: Accessible.PageTabList
                        Accessible.name: L10n.lookup(L10n.language, "Idioma")

                        LanguageSegment { objectName: "systems.language.es"; code: "es"; caption: "Español" }
                        LanguageSegment { objectName: "systems.language.en"; code: "en"; caption: "English" }
                    }

                    Text {
                        Layout.fillWidth: true
                        text: L10n.lookup(L10n.language, "La aplicación inicia en español. Puedes cambiar todo el menú a inglés cuando quieras.")
                        color: Qt.rgba(1, 1, 1, 0.52)
                        font.pixelSize: 12
                        wrapMode: Text.Wrap
                    }
                }
            }

            // Network check.
            CommandCard {
                Layout.fillWidth: true
                highlighted: true
                padding: 17

                ColumnLayout {
                    anchors.fill: parent
                    spacing: 14

                    CaptionLabel { text: "ESTADO DE LA RED"; symbol: "waveform.path.ecg" }

                    RowLayout {
                        Layout.fillWidth: true
                        spacing: 10

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

                    ProminentButton {
                        objectName: "systems.check"
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
                detailOpacity: 0.55
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
                Layout.margins: 17
                spacing: 8

                Text {
                    objectName: "systems.brand"
                    text: (Deck.brand.name || "").toUpperCase()
                    color: CommandPalette.primary
                    font.pixelSize: 12
                    font.bold: true
                    font.letterSpacing: 1.5
                }
                Text {
                    Layout.fillWidth: true
                    text: L10n.lookup(L10n.language, "Calvenor organiza y reproduce fuentes autorizadas por el usuario. No incluye, vende ni distribuye contenido o suscripciones.")
                    color: Qt.rgba(1, 1, 1, 0.48)
                    font.pixelSize: 12
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
    Dialog {
        id: notice
        objectName: "systems.notice"
        parent: Overlay.overlay
        anchors.centerIn: parent
        modal: true
        focus: true
        width: Math.min(440, systems.width - 80)
        closePolicy: Popup.CloseOnEscape
        readonly property var shownNotice: Systems.catalogRefreshNotice
        onShownNoticeChanged: Qt.callLater(notice.follow)
        function follow() {
            if (shownNotice !== null)
                open()
            else
                close()
        }
        Component.onCompleted: if (shownNotice !== null) open()
        background: Rectangle {
            color: CommandPalette.raised
            radius: 16
            border.color: Qt.rgba(1, 1, 1, 0.1)
        }
        header: Label {
            objectName: "systems.notice.title"
            text: notice.shownNotice !== null ? L10n.lookup(L10n.language, notice.shownNotice.title) : ""
            color: "white"
            font.pixelSize: 17
            font.bold: true
            padding: 20
            bottomPadding: 4
            wrapMode: Text.Wrap
        }
        Label {
            objectName: "systems.notice.message"
            width: parent.width
            text: notice.shownNotice !== null ? L10n.lookup(L10n.language, notice.shownNotice.message) : ""
            color: Qt.rgba(1, 1, 1, 0.8)
            font.pixelSize: 14
            wrapMode: Text.Wrap
        }
        footer: DialogButtonBox {
            background: null
            Button {
                objectName: "systems.notice.accept"
                text: L10n.lookup(L10n.language, "Aceptar")
                DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
            }
        }
        onClosed: if (Systems.catalogRefreshNotice !== null) Systems.catalogRefreshNotice = null
    }

    component CaptionLabel: RowLayout {
        id: caption
        property string text
        property string symbol
        spacing: 6
        Symbol {
            name: caption.symbol
            color: CommandPalette.primary
            size: 13
        }
        Text {
            text: L10n.lookup(L10n.language, caption.text)
            color: CommandPalette.primary
            font.pixelSize: 12
            font.bold: true
            font.letterSpacing: 1.4
        }
    }

    component LanguageSegment: AbstractButton {
        id: segment
        property string code
        property string caption
        readonly property bool selected: L10n.language === segment.code

        Layout.fillWidth: true
        Layout.fillHeight: true
        focusPolicy: Qt.TabFocus
        Accessible.role: Accessible.PageTab
        Accessible.name: segment.caption
        Accessible.checked: segment.selected

        background: Rectangle {
            radius: 8
            color: segment.selected ? CommandPalette.raised : Qt.rgba(1, 1, 1, 0.04)
            border.width: segment.selected ? 1 : 0
            border.color: Qt.rgba(1, 1, 1, 0.12)
        }
        // The two captions are shown as they are in both languages.
        contentItem: Text {
            objectName: segment.objectName + ".label"
            text: segment.caption
            color: segment.selected ? "white" : Qt.rgba(1, 1, 1, 0.64)
            font.pixelSize: 13
            font.bold: segment.selected
            horizontalAlignment: Text.AlignHCenter
            verticalAlignment: Text.AlignVCenter
        }
        onClicked: Systems.selectLanguage(segment.code)
    }

    component ProminentButton: AbstractButton {
        id: prominent
        property string symbol
        property color tint: CommandPalette.primary

        implicitHeight: 44
        focusPolicy: Qt.TabFocus
        Accessible.name: prominent.text

        background: Rectangle {
            radius: 12
            color: prominent.tint
            opacity: prominent.enabled ? (prominent.down ? 0.8 : 1) : 0.45
        }
        contentItem: Item {
            implicitWidth: row.implicitWidth
            implicitHeight: row.implicitHeight
            RowLayout {
                id: row
                anchors.centerIn: parent
                spacing: 8
                Symbol {
                    name: prominent.symbol
                    color: "black"
                    size: 17
                }
                Text {
                    objectName: prominent.objectName + ".label"
                    text: prominent.text
                    color: "black"
                    font.pixelSize: 14
                    font.bold: true
                }
            }
        }
    }

    // A settings row: symbol, title and detail (looked up by the caller), and a chevron or a spinner.
    component SystemRow: AbstractButton {
        id: row
        property string title
        property string detail
        property real detailOpacity: 0.46
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
            padding: 17
            opacity: row.down ? 0.8 : 1

            RowLayout {
                anchors.fill: parent
                spacing: 14

                Symbol {
                    Layout.preferredWidth: 32
                    name: row.symbol
                    color: row.tint
                    size: 20
                }
                ColumnLayout {
                    Layout.fillWidth: true
                    spacing: 3
                    Text {
                        id: titleText
                        objectName: row.objectName + ".title"
                        Layout.fillWidth: true
                        text: L10n.lookup(L10n.language, row.title)
                        color: "white"
                        font.pixelSize: 15
                        font.bold: true
                        elide: Text.ElideRight
                    }
                    Text {
                        objectName: row.objectName + ".detail"
                        Layout.fillWidth: true
                        text: row.detail
                        color: Qt.rgba(1, 1, 1, row.detailOpacity)
                        font.pixelSize: 12
                        wrapMode: Text.Wrap
                    }
                }
                BusyIndicator {
                    objectName: row.objectName + ".spinner"
                    visible: row.busy
                    running: row.busy
                    Layout.preferredWidth: 22
                    Layout.preferredHeight: 22
                    palette.dark: row.tint
                }
                Symbol {
                    visible: !row.busy
                    name: row.trailingSymbol
                    color: Qt.rgba(1, 1, 1, 0.3)
                    size: 14
                }
            }
        }
    }
}
