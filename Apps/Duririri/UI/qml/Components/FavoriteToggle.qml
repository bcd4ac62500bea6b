pragma ComponentBehavior: Bound

import QtQuick
import Sendra.App

// The round heart on tiles, resume cards and the spotlight. It shows `isFavorite` (the entry's favourite role)
// and asks for a flip through `toggled()`; the deck decides (nothing changes without an active identity).
// Plain items rather than a Controls button: a results grid builds one per tile on the first keystroke.
Item {
    id: toggle

    property bool isFavorite: false
    property real size: 34
    readonly property color primary: CommandPalette.primary
    readonly property int fade: UiConfig.animationsEnabled ? 160 : 0

    signal toggled()

    implicitWidth: toggle.size
    implicitHeight: toggle.size
    activeFocusOnTab: true
    Accessible.role: Accessible.Button
    Accessible.name: toggle.isFavorite ? L10n.lookup(L10n.language, "Quitar de favoritos")
                                       : L10n.lookup(L10n.language, "Agregar a favoritos")
    Accessible.onPressAction: toggle.toggled()
    Keys.onSpacePressed: toggle.toggled()
    // A flip fades the colours when animations are on; the animation is made on the first flip, not with each heart.
    onIsFavoriteChanged: if (toggle.fade > 0) toggle.fadeColours()

    function ringColour(favourite: bool): color {
        return favourite ? Qt.rgba(toggle.primary.r, toggle.primary.g, toggle.primary.b, 0.8) : Theme.outlineToggle
    }
    function glyphColour(favourite: bool): color {
        return favourite ? toggle.primary : Theme.textPrimary
    }
    property QtObject fader: null
    function fadeColours(): void {
        if (!toggle.fader)
            toggle.fader = faderComponent.createObject(toggle)
        toggle.fader.ringFrom = toggle.ringColour(!toggle.isFavorite)
        toggle.fader.ringTo = toggle.ringColour(toggle.isFavorite)
        toggle.fader.glyphFrom = toggle.glyphColour(!toggle.isFavorite)
        toggle.fader.glyphTo = toggle.glyphColour(toggle.isFavorite)
        toggle.fader.restart()
    }

    Rectangle {
        id: ring
        anchors.fill: parent
        radius: width / 2
        color: Theme.shadeControl
        border.width: 1
        border.color: toggle.ringColour(toggle.isFavorite)
    }
    Symbol {
        id: glyph
        anchors.fill: parent
        name: toggle.isFavorite ? "heart.fill" : "heart"
        size: toggle.size * 0.42
        font.bold: true
        color: toggle.glyphColour(toggle.isFavorite)
    }
    Component {
        id: faderComponent
        // An animation leaves the bindings in place and ends on their values.
        ParallelAnimation {
            id: fade
            property color ringFrom
            property color ringTo
            property color glyphFrom
            property color glyphTo
            ColorAnimation {
                target: ring
                property: "border.color"
                from: fade.ringFrom
                to: fade.ringTo
                duration: toggle.fade
                easing.type: Easing.InOutQuad
            }
            ColorAnimation {
                target: glyph
                property: "color"
                from: fade.glyphFrom
                to: fade.glyphTo
                duration: toggle.fade
                easing.type: Easing.InOutQuad
            }
        }
    }
    // A press takes the focus, as a button's does; the right button is left to what lies below (a tile's menu).
    MouseArea {
        anchors.fill: parent
        onPressed: toggle.forceActiveFocus(Qt.MouseFocusReason)
        onClicked: toggle.toggled()
    }
}
