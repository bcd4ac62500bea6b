import QtQuick
import QtQuick.Controls
import Sendra.App

// The detail sheet of the selected entry.
Sheet {
    id: sheet
    objectName: "detail.sheet"
    minimumWidth: 720
    minimumHeight: 640

    Label {
        objectName: "detail.title"
        anchors.centerIn: parent
        text: Deck.selectedNode !== null ? Deck.selectedNode.title : ""
        color: "white"
        font.pixelSize: 28
        font.bold: true
    }
}
