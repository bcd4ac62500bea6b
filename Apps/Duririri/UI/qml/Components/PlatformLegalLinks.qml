import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// The active brand's privacy and support links. The links are "<objectName>.privacy" and "<objectName>.support".
RowLayout {
    id: links

    property var brand: Deck.brand

    spacing: Theme.spacingSection

    LinkButton {
        objectName: links.objectName.length > 0 ? links.objectName + ".privacy" : ""
        title: "Privacidad"
        symbol: "hand.raised"
        address: links.brand && links.brand.privacyURL ? links.brand.privacyURL : ""
    }
    LinkButton {
        objectName: links.objectName.length > 0 ? links.objectName + ".support" : ""
        title: "Soporte"
        symbol: "envelope"
        address: links.brand && links.brand.supportURL ? links.brand.supportURL : ""
    }
}
