pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// The active brand's privacy and support links. The links are "<objectName>.privacy" and "<objectName>.support".
RowLayout {
    id: links

    property var brand: Deck.brand

    spacing: 22

    LegalLink {
        objectName: links.objectName.length > 0 ? links.objectName + ".privacy" : ""
        title: "Privacidad"
        symbol: "hand.raised"
        address: links.brand && links.brand.privacyURL ? links.brand.privacyURL : ""
    }
    LegalLink {
        objectName: links.objectName.length > 0 ? links.objectName + ".support" : ""
        title: "Soporte"
        symbol: "envelope"
        address: links.brand && links.brand.supportURL ? links.brand.supportURL : ""
    }

    component LegalLink: AbstractButton {
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
                size: 14
            }
            Text {
                id: label
                text: L10n.lookup(L10n.language, link.title)
                color: CommandPalette.primary
                font.pixelSize: 13
                font.underline: link.hovered
            }
        }

        onClicked: Links.open(link.address)
    }
}
