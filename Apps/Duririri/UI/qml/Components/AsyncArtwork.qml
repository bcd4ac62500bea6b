import QtQuick
import QtQuick.Window
import Sendra.App

// An entry's artwork at a fixed width-to-height ratio, fitted into the item and centred. Until the image has
// loaded, after a failure, or without an address: a gradient placeholder with the kind's symbol in the brand
// colour. Only web addresses are requested.
Item {
    id: artwork

    // The image address; may be empty.
    property string artwork
    // "tv", "movies" or "series".
    property string kind
    // The entry is shown without the split into kinds: the all-kinds symbol stands in.
    property bool generic: false
    // Width to height.
    property real aspect: 1
    // Corner radius of the frame, applied to the image too (rounded in the provider, not by a shader).
    property real radius: 0
    // The placeholder is drawn from one image shared by the items of the same size (tiles of a grid or a rail).
    property bool sharedPlaceholder: false

    readonly property bool loaded: image.status === Image.Ready && image.implicitWidth > 1
    readonly property real pixelRatio: Screen.devicePixelRatio > 0 ? Screen.devicePixelRatio : 1

    implicitWidth: 160
    implicitHeight: artwork.aspect > 0 ? artwork.width / artwork.aspect : artwork.width

    Item {
        id: frame
        anchors.centerIn: parent
        width: artwork.aspect > 0 ? Math.min(artwork.width, artwork.height * artwork.aspect) : artwork.width
        height: artwork.aspect > 0 ? width / artwork.aspect : artwork.height

        // A shared panel is painted once per size and shared by every placeholder of that size (a grid's first frame
        // would otherwise fill one gradient path per tile); a frame of fractional size keeps the path, which an image
        // of whole pixels would not match.
        readonly property bool whole: artwork.sharedPlaceholder && width === Math.round(width)
                                      && height === Math.round(height)
        Image {
            anchors.fill: parent
            visible: !artwork.loaded && frame.whole
            sourceSize: Qt.size(Math.ceil(frame.width * artwork.pixelRatio), Math.ceil(frame.height * artwork.pixelRatio))
            source: frame.whole && frame.width > 0 && frame.height > 0
                    ? "image://placeholder/" + frame.width + "/" + frame.height + "/" + artwork.radius + "/"
                      + String(CommandPalette.raised).slice(1) + "/" + String(CommandPalette.obsidian).slice(1) : ""
        }
        Loader {
            anchors.fill: parent
            active: !artwork.loaded && !frame.whole
            sourceComponent: Component {
                RoundedPanel {
                    radius: artwork.radius
                    startColor: CommandPalette.raised
                    endColor: CommandPalette.obsidian
                }
            }
        }

        Symbol {
            objectName: artwork.objectName.length > 0 ? artwork.objectName + ".placeholder" : ""
            anchors.centerIn: parent
            visible: !artwork.loaded
            name: Kinds.symbol(artwork.kind, artwork.generic)
            color: CommandPalette.primary
            size: Theme.iconPlaceholder
        }

        Image {
            id: image
            objectName: artwork.objectName.length > 0 ? artwork.objectName + ".image" : ""
            anchors.fill: parent
            visible: artwork.loaded
            asynchronous: true
            fillMode: Image.Stretch
            sourceSize: Qt.size(Math.round(frame.width * artwork.pixelRatio),
                                Math.round(frame.height * artwork.pixelRatio))
            source: frame.width >= 1 && frame.height >= 1
                    ? Artwork.source(artwork.artwork, Math.round(artwork.radius * artwork.pixelRatio)) : ""
        }
    }
}
