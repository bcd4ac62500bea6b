import QtQuick
import Sendra.App

// One count of the centre's content overview: a tinted symbol, the count in the language's digit grouping and a
// small upper-cased caption that shrinks before it is cut. `label` comes translated from the caller.
Item {
    id: badge

    property string label
    property real value: 0
    property string symbol
    property color color: CommandPalette.primary

    implicitWidth: row.implicitWidth
    implicitHeight: Math.max(icon.implicitHeight, number.implicitHeight)

    Row {
        id: row
        anchors.fill: parent
        spacing: 5

        Symbol {
            id: icon
            anchors.verticalCenter: parent.verticalCenter
            name: badge.symbol
            color: badge.color
            size: Theme.iconTiny
        }
        Text {
            id: number
            objectName: badge.objectName.length > 0 ? badge.objectName + ".value" : ""
            anchors.verticalCenter: parent.verticalCenter
            text: L10n.number(L10n.language, badge.value)
            color: Theme.textPrimary
            font.pixelSize: Theme.fontSmall
            font.bold: true
        }
        Text {
            objectName: badge.objectName.length > 0 ? badge.objectName + ".label" : ""
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(0, row.width - icon.width - number.width - 2 * row.spacing)
            text: badge.label.toUpperCase()
            color: Theme.textFootnote
            font.pixelSize: Theme.fontTiny
            font.weight: Font.DemiBold
            fontSizeMode: Text.HorizontalFit
            minimumPixelSize: 5
            elide: Text.ElideRight
            maximumLineCount: 1
        }
    }
}
