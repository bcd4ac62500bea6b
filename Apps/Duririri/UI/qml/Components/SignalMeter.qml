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

    padding: Theme.spacingXLarge

    ColumnLayout {
        anchors.fill: parent
        spacing: Theme.spacingMedium

        Symbol {
            Layout.alignment: Qt.AlignLeft
            name: meter.symbol
            color: meter.color
            size: Theme.iconRegular
        }

        Text {
            objectName: meter.objectName.length > 0 ? meter.objectName + ".value" : ""
            Layout.fillWidth: true
            text: meter.value
            color: Theme.textPrimary
            font.pixelSize: Theme.fontTitle2
            font.bold: true
            elide: Text.ElideRight
        }

        Text {
            Layout.fillWidth: true
            text: L10n.lookup(L10n.language, meter.label).toUpperCase()
            color: Theme.textCaption
            font.pixelSize: Theme.fontCaption
            font.bold: true
            font.letterSpacing: 1
            elide: Text.ElideRight
        }
    }
}
