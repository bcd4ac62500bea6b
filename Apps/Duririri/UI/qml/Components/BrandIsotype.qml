pragma ComponentBehavior: Bound

import QtQuick
import Sendra.App

// The brand's isotype: its remote isotype, else the product's own, else the maker mark.
// `brand` is an object with slug, name, logoURL and isotypeURL (addresses may be empty or absent).
BrandMark {
    id: isotype

    property var brand: ({})

    readonly property string slug: isotype.brand && isotype.brand.slug ? String(isotype.brand.slug) : ""

    implicitWidth: 52
    implicitHeight: 52
    remoteAddress: isotype.brand && isotype.brand.isotypeURL ? String(isotype.brand.isotypeURL) : ""
    bundledName: isotype.slug === "the-orrinth-sendra" ? "orrinth_isotype_sendra"
                 : isotype.slug === "brimvale-sendra" ? "brimvale_isotype_sendra" : ""
    Accessible.role: Accessible.Graphic
    Accessible.name: isotype.brand && isotype.brand.name ? String(isotype.brand.name) : ""

    CalvenorMark {
        anchors.centerIn: parent
    }
}
