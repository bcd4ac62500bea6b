import QtQuick
import QtQuick.Controls.Basic
import QtQuick.Layouts
import Sendra.Playback

// The controls layer: the top bar (close, host action, quality, audio, subtitles) and, once video plays,
// the bottom panel with title, episode position, time line and transport buttons.
Item {
    id: controls

    required property PlayerSession session

    ColumnLayout {
        anchors.fill: parent
        anchors.margins: 18
        spacing: 12

        Row {
            id: topBar
            objectName: "topBar"
            spacing: 10
            Layout.fillWidth: true
            // Labels give way to symbols when the buttons would not fit side by side.
            readonly property bool compact: {
                let needed = 0
                let shown = 0
                for (const button of [closeButton, actionButton, qualityButton, audioButton, subtitleButton]) {
                    if (!button.visible)
                        continue
                    needed += button.fullWidth
                    shown += 1
                }
                return needed + spacing * Math.max(0, shown - 1) > width
            }

            ChromeButton {
                id: closeButton
                objectName: "closeButton"
                compact: topBar.compact
                symbol: "xmark.circle.fill"
                text: L10n.text("Cerrar", L10n.language)
                onClicked: controls.session.close()
            }
            ChromeButton {
                id: actionButton
                objectName: "presentationActionButton"
                compact: topBar.compact
                visible: controls.session.hasPresentationAction
                symbol: controls.session.presentationActionSymbol
                text: L10n.text(controls.session.presentationActionTitle, L10n.language)
                onClicked: controls.session.triggerPresentationAction()
            }
            ChromeButton {
                id: qualityButton
                objectName: "qualityButton"
                compact: topBar.compact
                symbol: "rectangle.on.rectangle"
                text: L10n.text("Calidad: Original", L10n.language)
                onClicked: qualityMenu.open()

                PlayerMenu {
                    id: qualityMenu
                    objectName: "qualityMenu"
                    y: qualityButton.height
                    PlayerMenuItem { text: L10n.text("Original", L10n.language) }
                }
            }
            ChromeButton {
                id: audioButton
                objectName: "audioButton"
                compact: topBar.compact
                symbol: "waveform"
                text: L10n.text("Audio", L10n.language)
                onClicked: audioMenu.open()

                TrackMenu {
                    id: audioMenu
                    objectName: "audioMenu"
                    y: audioButton.height
                    tracks: controls.session.audioTracks
                    emptyText: L10n.text("No hay pistas de audio adicionales", L10n.language)
                    onChosen: trackId => controls.session.selectAudioTrack(trackId)
                }
            }
            ChromeButton {
                id: subtitleButton
                objectName: "subtitleButton"
                compact: topBar.compact
                symbol: "captions.bubble"
                text: L10n.text("Subtítulos", L10n.language)
                onClicked: subtitleMenu.open()

                TrackMenu {
                    id: subtitleMenu
                    objectName: "subtitleMenu"
                    y: subtitleButton.height
                    tracks: controls.session.subtitleTracks
                    emptyText: L10n.text("No hay subtítulos disponibles", L10n.language)
                    onChosen: trackId => controls.session.selectSubtitleTrack(trackId)
                }
            }
        }

        Item { Layout.fillHeight: true }

        Rectangle {
            objectName: "bottomPanel"
            visible: controls.session.videoStarted && !controls.session.failed
            Layout.alignment: Qt.AlignHCenter
            Layout.fillWidth: true
            Layout.maximumWidth: 920
            implicitHeight: panelColumn.implicitHeight + 28
            radius: 20
            color: Qt.rgba(0, 0, 0, 0.78)

            ColumnLayout {
                id: panelColumn
                anchors.fill: parent
                anchors.leftMargin: 24
                anchors.rightMargin: 24
                anchors.topMargin: 14
                anchors.bottomMargin: 14
                spacing: 12

                RowLayout {
                    spacing: 10
                    Label {
                        objectName: "titleText"
                        text: controls.session.title
                        color: "white"
                        font.pixelSize: 17
                        font.weight: Font.DemiBold
                        elide: Text.ElideRight
                        Layout.fillWidth: true
                    }
                    Label {
                        objectName: "episodeLabel"
                        visible: controls.session.hasEpisodes
                        text: controls.session.episodeText
                        color: Qt.rgba(1, 1, 1, 0.68)
                        font.pixelSize: 14
                    }
                }

                RowLayout {
                    objectName: "timeRow"
                    visible: controls.session.showsTimeRow
                    spacing: 12
                    Label {
                        objectName: "elapsedText"
                        text: controls.session.formattedTime(controls.session.elapsedSeconds)
                        color: "white"
                        font.family: "DejaVu Sans Mono"
                        horizontalAlignment: Text.AlignRight
                        Layout.preferredWidth: 54
                    }
                    Slider {
                        objectName: "seekSlider"
                        from: 0
                        to: 1
                        value: controls.session.playbackPosition
                        Layout.fillWidth: true
                        onMoved: controls.session.scrub(value)
                        onPressedChanged: pressed ? controls.session.beginScrub() : controls.session.endScrub()
                    }
                    Label {
                        objectName: "durationText"
                        text: controls.session.formattedTime(controls.session.durationSeconds)
                        color: "white"
                        font.family: "DejaVu Sans Mono"
                        Layout.preferredWidth: 54
                    }
                }

                Row {
                    spacing: 26
                    Layout.alignment: Qt.AlignHCenter

                    TransportButton {
                        objectName: "previousEpisodeButton"
                        visible: controls.session.hasEpisodes
                        enabled: controls.session.canGoToPreviousEpisode
                        symbol: "backward.end.fill"
                        Accessible.name: L10n.text("Episodio anterior", L10n.language)
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: controls.session.previousEpisode()
                    }
                    TransportButton {
                        objectName: "backButton"
                        symbol: "gobackward.10"
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: controls.session.skip(-10)
                    }
                    TransportButton {
                        objectName: "playPauseButton"
                        symbol: controls.session.isPlaying ? "pause.circle.fill" : "play.circle.fill"
                        symbolSize: 48
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: controls.session.togglePlayPause()
                    }
                    TransportButton {
                        objectName: "forwardButton"
                        symbol: "goforward.10"
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: controls.session.skip(10)
                    }
                    TransportButton {
                        objectName: "nextEpisodeButton"
                        visible: controls.session.hasEpisodes
                        enabled: controls.session.canGoToNextEpisode
                        symbol: "forward.end.fill"
                        Accessible.name: L10n.text("Episodio siguiente", L10n.language)
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: controls.session.nextEpisode()
                    }
                    TransportButton {
                        objectName: "fullScreenButton"
                        symbol: controls.session.isLandscape ? "arrow.down.right.and.arrow.up.left"
                                                             : "arrow.up.left.and.arrow.down.right"
                        Accessible.name: controls.session.isLandscape
                                         ? L10n.text("Salir de pantalla completa", L10n.language)
                                         : L10n.text("Pantalla completa", L10n.language)
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: controls.session.toggleOrientation()
                    }
                }
            }
        }
    }
}
