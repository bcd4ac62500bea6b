import QtQuick
import Sendra.App

// A small capsule with a dot and an upper-cased caption. `text` is a Spanish interface text, looked up here.
Item {
    id: pill

    property string text
    property color color: CommandPalette.green

    implicitWidth: row.implicitWidth + 22
    implicitHeight: row.implicitHeight + 14

    Rectangle {
        anchors.fill: parent
        radius: height / 2
        color: Qt.rgba(pill.color.r, pill.color.g, pill.color.b, 0.11)
        border.width: 1
        border.color: Qt.rgba(pill.color.r, pill.color.g, pill.color.b, 0.28)
    }

    Row {
        id: row
        anchors.centerIn: parent
        spacing: 7

        Rectangle {
            anchors.verticalCenter: parent.verticalCenter
            width: 7
            height: 7
            radius: 3.5
            color: pill.color
        }

        Text {
            objectName: pill.objectName.length > 0 ? pill.objectName + ".text" : ""
            anchors.verticalCenter: parent.verticalCenter
            text: L10n.lookup(L10n.language, pill.text).toUpperCase()
            color: pill.color
            font.pixelSize: Theme.fontCaption
            font.bold: true
            font.letterSpacing: 1.1
        }
    }
}
