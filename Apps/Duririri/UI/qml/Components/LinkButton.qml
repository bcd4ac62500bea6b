import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// A link in the brand colour: a symbol and a title (a Spanish interface text, looked up here), underlined while
// hovered; it opens `address` through Links (web and mail addresses only). The title is "<objectName>.label".
AbstractButton {
    id: link

    property string title
    property string symbol
    property string address

    focusPolicy: Qt.TabFocus
    Accessible.role: Accessible.Link
    Accessible.name: label.text

    contentItem: RowLayout {
        spacing: 5

        Symbol {
            name: link.symbol
            color: CommandPalette.primary
            size: Theme.iconXSmall
        }
        Text {
            id: label
            objectName: link.objectName.length > 0 ? link.objectName + ".label" : ""
            text: L10n.lookup(L10n.language, link.title)
            color: CommandPalette.primary
            font.pixelSize: Theme.fontFootnote
            font.underline: link.hovered
        }
    }

    onClicked: Links.open(link.address)
}
