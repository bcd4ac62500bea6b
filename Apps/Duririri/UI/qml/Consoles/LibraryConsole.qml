import QtQuick
import Sendra.App

// Stand-in until the section's console is built: the section's title.
Item {
    objectName: "library.console"

    Text {
        anchors.centerIn: parent
        text: L10n.lookup(L10n.language, "Biblioteca")
        color: Qt.rgba(1, 1, 1, 0.55)
        font.pixelSize: 20
        font.bold: true
    }
}
