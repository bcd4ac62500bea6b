import QtQuick
import QtQuick.Window
import Sendra.App
import Sendra.Playback as Playback

// The floating player's window. FloatingPlayer (C++) owns it, shows and hides it, and hands it one session at a
// time; closing it only hides it.
Window {
    id: floating
    objectName: "floating.window"

    width: 960
    height: 640
    minimumWidth: 480
    minimumHeight: 320
    color: "black"
    flags: Qt.Window | Qt.WindowStaysOnTopHint
    visible: false

    // Each session gets a screen of its own; the old screen goes before its session does (the C++ side deletes
    // the session only after this call), so no binding ever reads a vanished session.
    function showSession(session) {
        if (stage.screen !== null) {
            stage.screen.destroy()
            stage.screen = null
        }
        if (session !== null)
            stage.screen = screenComponent.createObject(stage, { session: session })
    }

    Item {
        id: stage
        objectName: "floating.stage"
        anchors.fill: parent
        property Item screen: null
    }

    Component {
        id: screenComponent
        Playback.PlayerScreen {
            anchors.fill: parent
        }
    }
}
