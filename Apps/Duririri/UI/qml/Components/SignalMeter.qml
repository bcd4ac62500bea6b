pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Layouts
import Sendra.App

// A metric tile: symbol, value as given, caption (a Spanish interface text, looked up and upper-cased).
CommandCard {
    id: meter

    property string label
    property string value
    property string symbol
    property color color: CommandPalette.primary

    padding: 14

    ColumnLayout {
        anchors.fill: parent
        spacing: 8

        Symbol {
            Layout.alignment: Qt.AlignLeft
            name: meter.symbol
            color: meter.color
            size: 17
        }

        Text {
            objectName: meter.objectName.length > 0 ? meter.objectName + ".value" : ""
            Layout.fillWidth: true
            text: meter.value
            color: "white"
            font.pixelSize: 22
            font.bold: true
            elide: Text.ElideRight
        }

        Text {
            Layout.fillWidth: true
            text: L10n.lookup(L10n.language, meter.label).toUpperCase()
            color: Qt.rgba(1, 1, 1, 0.5)
            font.pixelSize: 11
            font.bold: true
            font.letterSpacing: 1
            elide: Text.ElideRight
        }
    }
}
