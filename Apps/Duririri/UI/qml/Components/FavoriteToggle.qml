import QtQuick
import QtQuick.Controls
import Sendra.App

// The round heart on tiles, resume cards and the spotlight. It shows `isFavorite` (the entry's favourite role)
// and asks for a flip through `toggled()`; the deck decides (nothing changes without an active identity).
AbstractButton {
    id: toggle

    property bool isFavorite: false
    property real size: 34
    readonly property color primary: CommandPalette.primary
    readonly property int fade: UiConfig.animationsEnabled ? 160 : 0

    signal toggled()

    implicitWidth: toggle.size
    implicitHeight: toggle.size
    Accessible.name: toggle.isFavorite ? L10n.lookup(L10n.language, "Quitar de favoritos")
                                       : L10n.lookup(L10n.language, "Agregar a favoritos")
    onClicked: toggle.toggled()

    background: Rectangle {
        radius: width / 2
        color: Theme.shadeControl
        border.width: 1
        border.color: toggle.isFavorite ? Qt.rgba(toggle.primary.r, toggle.primary.g, toggle.primary.b, 0.8)
                                        : Theme.outlineToggle
        Behavior on border.color { ColorAnimation { duration: toggle.fade; easing.type: Easing.InOutQuad } }
    }
    contentItem: Symbol {
        name: toggle.isFavorite ? "heart.fill" : "heart"
        size: toggle.size * 0.42
        font.bold: true
        color: toggle.isFavorite ? toggle.primary : Theme.textPrimary
        Behavior on color { ColorAnimation { duration: toggle.fade; easing.type: Easing.InOutQuad } }
    }
}
