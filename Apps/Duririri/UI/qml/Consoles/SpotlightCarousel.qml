import QtQuick
import QtQuick.Controls
import Sendra.App

// The centre's featured pages: one page at a time from the deck's spotlight entries, turning by itself every
// UiConfig.carouselInterval while the user is plainly looking at the centre and nothing else goes on; previous,
// position, next, pause and another selection below. The position, pause and touch state live here and are
// lost when the centre is left.
Column {
    id: carousel
    objectName: "carousel"

    // The page is inside the console's visible area (the console says so as it scrolls).
    property bool onScreen: true
    property int index: 0
    property bool paused: false
    // The user holds a page down.
    property bool touching: false

    readonly property int count: spots.count
    readonly property bool motionAllowed: !UiConfig.reduceMotion && !UiConfig.screenReaderActive
    readonly property bool rotating: carousel.count >= 2 && carousel.onScreen && carousel.visible && !carousel.paused
                                     && !carousel.touching && carousel.motionAllowed && UiConfig.applicationActive
                                     && Deck.dock === Deck.Center && Deck.phase === Deck.Ready
                                     && Details.selectedNode === null && !Deck.hasPlayback
    readonly property int moveDuration: UiConfig.animationsEnabled && !UiConfig.reduceMotion ? 350 : 0

    // The node keys of the entries, to tell a new selection from a reset that changed nothing.
    property var keys: []
    property int revision: 0
    readonly property var entry: {
        Browse.favoritesRevision
        carousel.revision
        return carousel.index >= 0 && carousel.index < carousel.count ? spots.get(carousel.index) : null
    }
    readonly property string pageKey: carousel.entry && carousel.entry.key ? carousel.entry.key : ""

    spacing: Theme.spacingTiny

    NodeListModel {
        id: spots
        source: NodeListModel.Spotlight
    }

    function move(step) {
        if (carousel.count < 2)
            return
        carousel.index = (carousel.index + step + carousel.count) % carousel.count
    }

    // Every move, and every return of the rotation condition, starts a full wait.
    function restartWait() {
        if (carousel.rotating)
            wait.restart()
    }

    onIndexChanged: carousel.restartWait()
    // A page replaced while held leaves no press behind: its release never comes.
    onPageKeyChanged: carousel.touching = false

    Connections {
        target: spots
        function onModelReset() {
            const fresh = Rails.keys(spots, "key")
            carousel.revision++
            if (String(fresh) === String(carousel.keys))
                return
            carousel.keys = fresh
            if (carousel.index !== 0)
                carousel.index = 0
            else
                carousel.restartWait()
        }
    }
    Component.onCompleted: carousel.keys = Rails.keys(spots, "key")

    Timer {
        id: wait
        interval: UiConfig.carouselInterval
        running: carousel.rotating
        onTriggered: carousel.move(1)
    }

    Item {
        id: stage
        objectName: "spotlight.carousel"
        width: carousel.width
        height: 350

        Repeater {
            model: carousel.pageKey.length > 0 ? [carousel.pageKey] : []
            delegate: SpotlightPanel {
                width: stage.width
                height: stage.height
                entry: carousel.entry
                genericPresentation: Browse.usesGenericPresentation
                onOpened: spots.open(carousel.index)
                onFavoriteToggled: spots.toggleFavorite(carousel.index)
                onPressChanged: (pressed) => carousel.touching = pressed
                // A new page fades in.
                NumberAnimation on opacity {
                    running: carousel.moveDuration > 0
                    from: 0
                    to: 1
                    duration: carousel.moveDuration
                    easing.type: Easing.InOutQuad
                }
            }
        }
    }

    Row {
        id: controls
        width: carousel.width
        visible: carousel.count >= 2

        CarouselButton {
            objectName: "carousel.previous"
            symbol: "chevron.left"
            title: "Anterior"
            onClicked: carousel.move(-1)
        }
        Item {
            id: indicator
            objectName: "carousel.indicator"
            width: controls.width - 44 * (pause.visible ? 4 : 3)
            height: 44
            Accessible.role: Accessible.Slider
            Accessible.name: L10n.format(L10n.language, "Promoción %lld de %lld", [carousel.index + 1, carousel.count])
            Accessible.onIncreaseAction: carousel.move(1)
            Accessible.onDecreaseAction: carousel.move(-1)

            Row {
                anchors.centerIn: parent
                spacing: Theme.spacingXSmall
                Repeater {
                    model: carousel.count
                    Rectangle {
                        required property int index
                        width: index === carousel.index ? 16 : 5
                        height: 5
                        radius: 2.5
                        color: index === carousel.index ? CommandPalette.primary : Theme.indicatorIdle
                        Accessible.ignored: true
                    }
                }
            }
        }
        CarouselButton {
            objectName: "carousel.next"
            symbol: "chevron.right"
            title: "Siguiente"
            onClicked: carousel.move(1)
        }
        CarouselButton {
            id: pause
            objectName: "carousel.pause"
            visible: carousel.motionAllowed
            symbol: carousel.paused ? "play.fill" : "pause.fill"
            title: carousel.paused ? "Reanudar carrusel" : "Pausar carrusel"
            onClicked: carousel.paused = !carousel.paused
        }
        CarouselButton {
            objectName: "carousel.shuffle"
            symbol: "shuffle"
            title: "Otra selección"
            onClicked: Browse.refreshSpotlights()
        }
    }

    component CarouselButton: AbstractButton {
        id: button
        // A Spanish interface text: the button's accessible name.
        property string title
        property string symbol
        width: 44
        height: 44
        Accessible.name: L10n.lookup(L10n.language, button.title)
        contentItem: Symbol {
            name: button.symbol
            size: Theme.iconTiny
            font.weight: Font.DemiBold
            color: Theme.textControl
        }
        background: null
    }
}
