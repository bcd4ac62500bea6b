import QtQuick
import Sendra.App

// The brand's logo: its remote logo, else the product's own, else the maker mark with the brand's name.
// `brand` is an object with slug, name, logoURL and isotypeURL (addresses may be empty or absent).
BrandMark {
    id: logo

    property var brand: ({})

    readonly property string brandName: logo.brand && logo.brand.name ? String(logo.brand.name) : ""
    readonly property string slug: logo.brand && logo.brand.slug ? String(logo.brand.slug) : ""

    implicitWidth: 240
    implicitHeight: 56
    remoteAddress: logo.brand && logo.brand.logoURL ? String(logo.brand.logoURL) : ""
    bundledName: logo.slug === "the-orrinth-sendra" ? "orrinth_logo_sendra"
                 : logo.slug === "brimvale-sendra" ? "brimvale_logo_sendra" : ""
    Accessible.role: Accessible.Graphic
    Accessible.name: logo.brandName

    Row {
        anchors.fill: parent
        spacing: Theme.spacingLarge

        CalvenorMark {
            id: makerMark
            anchors.verticalCenter: parent.verticalCenter
        }

        Text {
            objectName: logo.objectName.length > 0 ? logo.objectName + ".name" : ""
            anchors.verticalCenter: parent.verticalCenter
            width: Math.max(0, parent.width - makerMark.width - parent.spacing)
            height: parent.height
            text: logo.brandName.toUpperCase()
            color: Theme.textPrimary
            font.pixelSize: Theme.fontTitle2
            font.weight: Font.Black
            font.letterSpacing: 2
            wrapMode: Text.Wrap
            maximumLineCount: 2
            elide: Text.ElideRight
            fontSizeMode: Text.Fit
            minimumPixelSize: 14
            verticalAlignment: Text.AlignVCenter
        }
    }
}
