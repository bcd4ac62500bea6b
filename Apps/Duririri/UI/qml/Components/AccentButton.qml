import QtQuick
import QtQuick.Controls
import Sendra.App

// A borderless text button in the brand colour ("Ver más", "Ver todas"). `text` comes translated.
AbstractButton {
    id: button

    padding: Theme.spacingSmall
    font.pixelSize: Theme.fontSmall
    font.bold: true
    opacity: button.pressed ? 0.6 : 1
    Accessible.name: button.text

    contentItem: Text {
        text: button.text
        font: button.font
        color: CommandPalette.primary
        verticalAlignment: Text.AlignVCenter
    }
    background: null
}
