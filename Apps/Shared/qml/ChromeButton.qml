import QtQuick
import QtQuick.Controls.Basic

// A top-bar button: symbol and label on a dark, rounded chip.
Button {
    id: control

    property string symbol

    padding: 12
    font.pixelSize: 15
    font.weight: Font.DemiBold
    hoverEnabled: true

    contentItem: Row {
        spacing: 8
        PlayerIcon {
            symbol: control.symbol
            size: 18
            anchors.verticalCenter: parent.verticalCenter
        }
        Label {
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
