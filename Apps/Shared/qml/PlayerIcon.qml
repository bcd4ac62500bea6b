import QtQuick

// A player symbol by its system symbol name; a name without a drawing shows nothing.
Image {
    id: icon

    property string symbol
    property real size: 20

    readonly property var drawnSymbols: [
        "xmark.circle.fill", "rectangle.on.rectangle", "waveform", "captions.bubble",
        "backward.end.fill", "forward.end.fill", "play.circle.fill", "pause.circle.fill",
        "gobackward.10", "goforward.10", "arrow.up.left.and.arrow.down.right",
        "arrow.down.right.and.arrow.up.left", "exclamationmark.triangle.fill", "pip.enter", "pip.exit"
    ]

    width: size
    height: size
    sourceSize.width: size * 2
    sourceSize.height: size * 2
    fillMode: Image.PreserveAspectFit
    smooth: true
    visible: source != ""
    source: drawnSymbols.indexOf(symbol) >= 0 ? Qt.resolvedUrl("icons/" + symbol + ".svg") : ""
}
