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
            objectName: "topBar"
            spacing: 10
            Layout.fillWidth: true

            ChromeButton {
                objectName: "closeButton"
                symbol: "xmark.circle.fill"
                text: L10n.text("Cerrar")
                onClicked: controls.session.close()
            }
            ChromeButton {
                objectName: "presentationActionButton"
                visible: controls.session.hasPresentationAction
                symbol: controls.session.presentationActionSymbol
                text: L10n.text(controls.session.presentationActionTitle)
                onClicked: controls.session.triggerPresentationAction()
            }
            ChromeButton {
                id: qualityButton
                objectName: "qualityButton"
                symbol: "rectangle.on.rectangle"
                text: L10n.text("Calidad: Original")
                onClicked: qualityMenu.open()

                Menu {
                    id: qualityMenu
                    objectName: "qualityMenu"
                    y: qualityButton.height
                    MenuItem { text: L10n.text("Original") }
                }
            }
            ChromeButton {
                id: audioButton
                objectName: "audioButton"
                symbol: "waveform"
                text: L10n.text("Audio")
                onClicked: audioMenu.open()

                TrackMenu {
                    id: audioMenu
                    objectName: "audioMenu"
                    y: audioButton.height
                    tracks: controls.session.audioTracks
                    emptyText: L10n.text("No hay pistas de audio adicionales")
                    onChosen: trackId => controls.session.selectAudioTrack(trackId)
                }
            }
            ChromeButton {
                id: subtitleButton
                objectName: "subtitleButton"
                symbol: "captions.bubble"
                text: L10n.text("Subtítulos")
                onClicked: subtitleMenu.open()

                TrackMenu {
                    id: subtitleMenu
                    objectName: "subtitleMenu"
                    y: subtitleButton.height
                    tracks: controls.session.subtitleTracks
                    emptyText: L10n.text("No hay subtítulos disponibles")
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
                        text: controls.session.episodeLabel(L10n.text("Episodio %lld de %lld"))
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
                        Accessible.name: L10n.text("Episodio anterior")
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
                        Accessible.name: L10n.text("Episodio siguiente")
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: controls.session.nextEpisode()
                    }
                    TransportButton {
                        objectName: "fullScreenButton"
                        symbol: controls.session.isLandscape ? "arrow.down.right.and.arrow.up.left"
                                                             : "arrow.up.left.and.arrow.down.right"
                        Accessible.name: controls.session.isLandscape ? L10n.text("Salir de pantalla completa")
                                                                      : L10n.text("Pantalla completa")
                        anchors.verticalCenter: parent.verticalCenter
                        onClicked: controls.session.toggleOrientation()
                    }
                }
            }
        }
    }
}
