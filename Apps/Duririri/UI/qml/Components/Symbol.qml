import QtQuick
import Sendra.App

// A system symbol, drawn as a glyph of the icon font; a question-mark glyph for a name the map lacks.
Text {
    id: symbol

    property string name
    // Glyph size in pixels.
    property real size: Theme.iconRegular

    text: Symbols.glyph(symbol.name)
    color: Theme.textPrimary
    font.family: Symbols.fontFamily
    font.pixelSize: symbol.size
    textFormat: Text.PlainText
    horizontalAlignment: Text.AlignHCenter
    verticalAlignment: Text.AlignVCenter
    Accessible.ignored: true
}
