import QtQuick
import QtQuick.Controls.Basic

// A top-bar button: symbol and label on a dark, rounded chip. Compact, it shows the symbol alone (the label
// stays its accessible name), so a narrow window keeps every button reachable.
Button {
    id: control

    property string symbol
    property bool compact: false
    // Width with the label shown, whatever `compact` says: the bar decides from it.
    readonly property real fullWidth: leftPadding + rightPadding + 18 + 8 + labelMetrics.advanceWidth

    padding: 12
    font.pixelSize: 15
    font.weight: Font.DemiBold
    hoverEnabled: true
    Accessible.name: text

    TextMetrics {
        id: labelMetrics
        font: control.font
        text: control.text
    }

    contentItem: Row {
        spacing: 8
        PlayerIcon {
            symbol: control.symbol
            size: 18
            anchors.verticalCenter: parent.verticalCenter
        }
        Label {
            visible: !control.compact
            text: control.text
            font: control.font
            color: "white"
            anchors.verticalCenter: parent.verticalCenter
        }
    }

    background: Rectangle {
        radius: 12
        color: "black"
        opacity: control.down ? 0.9 : 0.72
    }
}
