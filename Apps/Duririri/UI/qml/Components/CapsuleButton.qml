import QtQuick
import QtQuick.Controls
import Sendra.App

// A capsule: a symbol and a title (`text`, looked up by the caller) on a fill with an optional outline. The title
// is cut at `maximumTextWidth`; the title item is "<objectName>.name".
AbstractButton {
    id: capsule

    property string symbol
    property color foreground: Theme.textPrimary
    property color fill: "transparent"
    property color outline: "transparent"
    property real maximumTextWidth: 10000
    property int fontSize: Theme.fontCallout
    // How the capsule shows while held down.
    property real pressedOpacity: 0.75

    implicitHeight: 38
    leftPadding: 13
    rightPadding: 13
    hoverEnabled: true

    contentItem: Row {
        spacing: 7
        Symbol {
            anchors.verticalCenter: parent.verticalCenter
            name: capsule.symbol
            color: capsule.foreground
            size: Theme.iconSmall
        }
        Text {
            objectName: capsule.objectName.length > 0 ? capsule.objectName + ".name" : ""
            anchors.verticalCenter: parent.verticalCenter
            width: Math.min(implicitWidth, capsule.maximumTextWidth)
            text: capsule.text
            color: capsule.foreground
            font.pixelSize: capsule.fontSize
            font.bold: true
            elide: Text.ElideRight
            maximumLineCount: 1
        }
    }
    background: Rectangle {
        radius: height / 2
        color: capsule.fill
        border.width: capsule.outline.a > 0 ? 1 : 0
        border.color: capsule.outline
        opacity: capsule.down ? capsule.pressedOpacity : 1
    }
}
