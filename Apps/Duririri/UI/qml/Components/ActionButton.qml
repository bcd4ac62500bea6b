import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// A sheet's or a setting's action: a symbol and a label (`text`, looked up by the caller) centred on a rounded
// fill of `tint`, in black; not prominent, a faint tint with the label in the tint. The label is
// "<objectName>.label".
AbstractButton {
    id: button

    property string symbol
    property color tint: CommandPalette.primary
    property bool prominent: true

    readonly property color foreground: button.prominent ? Theme.textOnAccent : button.tint

    implicitHeight: 46
    focusPolicy: Qt.TabFocus
    Accessible.name: button.text

    background: Rectangle {
        radius: Theme.radiusMedium
        color: button.prominent ? button.tint : Qt.rgba(button.tint.r, button.tint.g, button.tint.b, 0.16)
        opacity: button.enabled ? (button.down ? 0.8 : 1) : 0.45
    }
    contentItem: Item {
        implicitWidth: row.implicitWidth
        implicitHeight: row.implicitHeight
        RowLayout {
            id: row
            anchors.centerIn: parent
            spacing: Theme.spacingMedium
            Symbol {
                name: button.symbol
                color: button.foreground
                size: Theme.iconRegular
            }
            Text {
                objectName: button.objectName + ".label"
                text: button.text
                color: button.foreground
                font.pixelSize: Theme.fontBody
                font.bold: true
            }
        }
    }
}
