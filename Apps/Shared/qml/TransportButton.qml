import QtQuick
import QtQuick.Controls.Basic

// A symbol-only button of the transport row.
Button {
    id: control

    property string symbol
    property real symbolSize: 28

    padding: 4
    hoverEnabled: true
    opacity: enabled ? 1 : 0.35

    contentItem: PlayerIcon {
        symbol: control.symbol
        size: control.symbolSize
    }

    background: Item {}
}
