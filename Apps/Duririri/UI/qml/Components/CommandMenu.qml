import QtQuick
import QtQuick.Controls
import Sendra.App

// A context menu in the screens' dark look. The stock menu draws with the window palette's light colours, and
// white text on them cannot be read; every menu of the screens is this one, with CommandMenuItem items.
Menu {
    id: menu
    padding: 5
    background: Rectangle {
        implicitWidth: 220
        radius: 10
        color: CommandPalette.raised
        border.color: Theme.outline
    }
}
