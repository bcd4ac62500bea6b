import QtQuick
import QtQuick.Controls
import Sendra.App
import Sendra.Playback as Playback

// The main window: the screen of the deck's phase, the embedded player above it, the one alert above every
// sheet, the detail sheet of the selected entry, and the hand-over of the playback to the floating window.
ApplicationWindow {
    id: window
    objectName: "mainWindow"

    // The desktop's size class is regular; tests turn it off to reach the narrow layouts.
    property bool regularSizeClass: true

    width: 1440
    height: 900
    minimumWidth: 1080
    minimumHeight: 700
    visible: true
    title: Deck.brand.name
    color: CommandPalette.voidColor
    locale: Qt.locale(L10n.language)

    palette.window: CommandPalette.voidColor
    palette.windowText: Theme.textPrimary
    palette.base: CommandPalette.panel
    palette.text: Theme.textPrimary
    palette.button: CommandPalette.raised
    palette.buttonText: Theme.textPrimary
    palette.highlight: CommandPalette.primary
    palette.highlightedText: Theme.textOnAccent
    palette.placeholderText: Theme.textPlaceholder
    palette.toolTipBase: CommandPalette.raised
    palette.toolTipText: Theme.textPrimary

    Loader {
        id: phaseScreen
        objectName: "root.phase"
        anchors.fill: parent
        sourceComponent: {
            switch (Deck.phase) {
            case Deck.Access: return accessScreen
            case Deck.Profiles: return identityScreen
            case Deck.Ready: return shellScreen
            default: return startingScreen
            }
        }
    }

    Component {
        id: startingScreen
        Item {
            objectName: "root.starting"
            BusySpinner {
                objectName: "root.spinner"
                anchors.centerIn: parent
                width: 44
                height: 44
                lineWidth: 4
                color: CommandPalette.primary
            }
        }
    }
    Component {
        id: accessScreen
        AccessScreen { regularSizeClass: window.regularSizeClass }
    }
    Component {
        id: identityScreen
        IdentityScreen {}
    }
    Component {
        id: shellScreen
        CommandShell {}
    }

    // The embedded player: one per ticket, built by the EmbeddedPlayer behind Deck.
    Loader {
        id: embeddedPlayer
        objectName: "root.player"
        anchors.fill: parent
        z: 20
        active: Deck.embeddedSession !== null
        sourceComponent: Playback.PlayerScreen {
            session: Deck.embeddedSession
        }
    }

    // Both playback fields can change in one deck operation: the player's place is decided once per turn, so no
    // transient second player is ever built.
    function placePlayer() {
        Deck.placePlayer()
    }
    Connections {
        target: Deck
        function onPlaybackChanged() { Qt.callLater(window.placePlayer) }
        function onPlaybackMinimizedChanged() { Qt.callLater(window.placePlayer) }
    }
    Component.onCompleted: Qt.callLater(window.placePlayer)

    // The player's full-screen button acts on the window that hosts it.
    Connections {
        target: Deck.embeddedSession
        ignoreUnknownSignals: true
        function onFullScreenRequested(on) {
            if (on)
                window.showFullScreen()
            else
                window.showNormal()
        }
    }

    DetailSheet {
        id: detailSheet
        shown: Details.selectedNode !== null && Deck.phase === Deck.Ready
        onDismissed: Details.closeDetails()
    }

    // The one alert: the deck's connection, code, parental or playback failure, above every sheet.
    MessageDialog {
        id: alert
        objectName: "root.alert"
        z: 1000
        width: Math.min(440, window.width - 80)
        // The message starts where the title's text does.
        leftPadding: 20
        rightPadding: 20
        // With both messages set only the error shows; dismissing clears both.
        readonly property var shownMessage: Deck.errorMessage !== null ? Deck.errorMessage : Deck.playbackMessage
        showing: alert.shownMessage !== null
        title: Deck.brand.name
        message: alert.shownMessage !== null ? L10n.lookup(L10n.language, alert.shownMessage) : ""
        onClosed: Deck.clearMessages()
    }
}
