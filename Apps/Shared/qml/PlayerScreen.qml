import QtQuick
import QtQuick.Controls.Basic
import QtMultimedia
import Sendra.Playback

// The full-window player: video, status box, failure card and the auto-hiding controls over one session.
Item {
    id: screen
    objectName: "playerScreen"

    required property PlayerSession session
    readonly property color accent: "#ff9f0a"
    readonly property bool controlsShown: session.controlsVisible || session.failed

    Rectangle {
        anchors.fill: parent
        color: "black"
    }

    // Sized here by the picture's display shape: frames of non-square pixels would otherwise be drawn with
    // the shape of their storage (720x576 at 5:4 instead of 16:9).
    VideoOutput {
        id: video
        objectName: "videoOutput"
        readonly property real shape: screen.session.videoAspectRatio
        anchors.centerIn: parent
        width: shape > 0 ? Math.min(parent.width, parent.height * shape) : parent.width
        height: shape > 0 ? Math.min(parent.height, parent.width / shape) : parent.height
        fillMode: shape > 0 ? VideoOutput.Stretch : VideoOutput.PreserveAspectFit
    }

    Rectangle {
        objectName: "statusBox"
        visible: !screen.session.videoStarted && !screen.session.failed
        anchors.centerIn: parent
        width: Math.min(statusRow.implicitWidth + 36, parent.width - 24)
        height: statusRow.implicitHeight + 36
        radius: 16
        color: Qt.rgba(0, 0, 0, 0.72)

        Row {
            id: statusRow
            anchors.centerIn: parent
            spacing: 12
            BusySpinner {
                objectName: "statusSpinner"
                running: parent.visible
                width: 32
                height: 32
                lineWidth: 3
                color: screen.accent
                anchors.verticalCenter: parent.verticalCenter
            }
            Label {
                objectName: "statusText"
                text: screen.session.localizedStatusMessage
                color: "white"
                font.pixelSize: 15
                width: Math.min(implicitWidth, screen.width - 24 - 36 - 44)
                elide: Text.ElideRight
                anchors.verticalCenter: parent.verticalCenter
            }
        }
    }

    Rectangle {
        objectName: "failureCard"
        visible: screen.session.failed
        anchors.centerIn: parent
        // Texts wrap inside the card rather than run past it in a small window.
        readonly property real widestText: Math.max(failureTitleMetrics.advanceWidth,
                                                    failureStatusMetrics.advanceWidth, 120)
        width: Math.min(parent.width - 40, widestText + 48)
        height: failureColumn.implicitHeight + 48
        radius: 18
        color: Qt.rgba(0, 0, 0, 0.84)

        TextMetrics {
            id: failureTitleMetrics
            font: failureTitle.font
            text: failureTitle.text
        }
        TextMetrics {
            id: failureStatusMetrics
            font: failureStatus.font
            text: failureStatus.text
        }

        Column {
            id: failureColumn
            anchors.centerIn: parent
            width: parent.width - 48
            spacing: 14

            PlayerIcon {
                symbol: "exclamationmark.triangle.fill"
                size: 40
                anchors.horizontalCenter: parent.horizontalCenter
            }
            Label {
                id: failureTitle
                objectName: "failureTitle"
                text: L10n.text("No fue posible reproducir este contenido.", L10n.language)
                color: "white"
                font.pixelSize: 17
                font.weight: Font.DemiBold
                width: parent.width
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }
            Label {
                id: failureStatus
                objectName: "failureStatus"
                text: screen.session.localizedStatusMessage
                color: Qt.rgba(1, 1, 1, 0.7)
                font.pixelSize: 14
                width: parent.width
                wrapMode: Text.Wrap
                horizontalAlignment: Text.AlignHCenter
            }
            Button {
                id: retryButton
                objectName: "retryButton"
                text: L10n.text("Reintentar", L10n.language)
                anchors.horizontalCenter: parent.horizontalCenter
                onClicked: screen.session.retry()
                contentItem: Label {
                    text: retryButton.text
                    color: "black"
                    font.pixelSize: 15
                    font.weight: Font.DemiBold
                    horizontalAlignment: Text.AlignHCenter
                    verticalAlignment: Text.AlignVCenter
                }
                background: Rectangle {
                    implicitWidth: 120
                    implicitHeight: 36
                    radius: 8
                    color: retryButton.down ? Qt.darker(screen.accent, 1.2) : screen.accent
                }
            }
        }
    }

    HoverHandler {
        // Qt Quick re-delivers hover for a resting pointer whenever the scene changes; only a move counts.
        property point lastPosition: Qt.point(-1, -1)
        onPointChanged: {
            if (!hovered || point.position === lastPosition)
                return
            lastPosition = point.position
            screen.session.reveal()
        }
        onHoveredChanged: if (!hovered) screen.session.pointerLeft()
    }

    TapHandler {
        onTapped: screen.session.reveal()
    }

    PlayerControls {
        objectName: "controlsLayer"
        anchors.fill: parent
        session: screen.session
        opacity: screen.controlsShown ? 1 : 0
        enabled: screen.controlsShown
        Behavior on opacity {
            NumberAnimation { duration: 220; easing.type: Easing.OutQuad }
        }
    }

    Connections {
        target: screen.session
        function onFullScreenRequested(on) {
            const window = screen.Window.window
            if (window)
                window.visibility = on ? Window.FullScreen : Window.Windowed
        }
    }

    // The window manager can end full screen on its own; the screen's flag follows the window.
    Connections {
        target: screen.Window.window
        function onVisibilityChanged(visibility) {
            screen.session.windowFullScreenChanged(visibility === Window.FullScreen)
        }
    }

    // Nothing else on this platform offers a way out of full screen.
    Shortcut {
        sequence: "Esc"
        enabled: screen.session.isLandscape
        onActivated: screen.session.exitFullScreen()
    }

    // The session whose player draws into this screen. A host may hand the same screen another session (the
    // next episode): the surface then leaves the old one and opens the new one, or the new one would never play.
    property PlayerSession attachedSession: null
    property bool built: false

    function leave() {
        if (attachedSession === null)
            return
        attachedSession.disappear()
        attachedSession.detachVideoSink()
        attachedSession = null
    }
    function follow() {
        if (!built || attachedSession === session)
            return
        leave()
        if (session === null)
            return
        attachedSession = session
        session.attachVideoSink(video.videoSink)
        session.appear()
    }

    onSessionChanged: follow()
    Component.onCompleted: {
        built = true
        follow()
    }
    Component.onDestruction: leave()
}
