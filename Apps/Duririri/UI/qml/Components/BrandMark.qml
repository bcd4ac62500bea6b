pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Window
import Sendra.App

// A brand image: the remote one once it has loaded, else the bundled image of that name, else the fallback
// content given as children. Shared by the logo and the isotype.
Item {
    id: mark

    property string remoteAddress
    // Name of a bundled image in the assets, without extension; empty for none.
    property string bundledName
    default property alias fallback: fallbackHolder.data

    readonly property bool remoteLoaded: remote.status === Image.Ready && remote.implicitWidth > 1
    readonly property bool showsFallback: !mark.remoteLoaded && mark.bundledName.length === 0
    readonly property real pixelRatio: Screen.devicePixelRatio > 0 ? Screen.devicePixelRatio : 1

    Image {
        id: remote
        objectName: mark.objectName.length > 0 ? mark.objectName + ".remote" : ""
        anchors.fill: parent
        visible: mark.remoteLoaded
        asynchronous: true
        fillMode: Image.PreserveAspectFit
        sourceSize: Qt.size(0, Math.round(mark.height * mark.pixelRatio))
        source: mark.height >= 1 ? Artwork.source(mark.remoteAddress, 0) : ""
    }

    Image {
        objectName: mark.objectName.length > 0 ? mark.objectName + ".bundled" : ""
        anchors.fill: parent
        visible: !mark.remoteLoaded && mark.bundledName.length > 0
        fillMode: Image.PreserveAspectFit
        sourceSize: Qt.size(Math.round(mark.width * mark.pixelRatio), Math.round(mark.height * mark.pixelRatio))
        source: mark.bundledName.length > 0 ? "qrc:/qt/qml/Sendra/App/assets/" + mark.bundledName + ".svg" : ""
    }

    Item {
        id: fallbackHolder
        anchors.fill: parent
        visible: mark.showsFallback
    }
}
