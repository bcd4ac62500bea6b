import QtQuick
import QtQuick.Controls
import Sendra.App

// The quick-access chip: a symbol and a title on a faint capsule that lights up in the brand colour while
// pressed. `text` comes translated from the caller.
AbstractButton {
    id: chip

    property string symbol
    readonly property color primary: CommandPalette.primary

    leftPadding: 13
    rightPadding: 13
    topPadding: 9
    bottomPadding: 9
    implicitWidth: Math.max(130 + leftPadding + rightPadding, implicitContentWidth + leftPadding + rightPadding)
    implicitHeight: implicitContentHeight + topPadding + bottomPadding
    scale: chip.pressed ? 0.96 : 1
    Accessible.name: chip.text

    Behavior on scale {
        NumberAnimation { duration: UiConfig.animationsEnabled ? 120 : 0; easing.type: Easing.OutQuad }
    }

    contentItem: Item {
        implicitWidth: label.implicitWidth
        implicitHeight: label.implicitHeight
        Row {
            id: label
            anchors.centerIn: parent
            spacing: Theme.spacingSmall
            Symbol {
                anchors.verticalCenter: parent.verticalCenter
                name: chip.symbol
                size: Theme.iconTiny
            }
            Text {
                anchors.verticalCenter: parent.verticalCenter
                text: chip.text
                color: Theme.textPrimary
                font.pixelSize: Theme.fontSmall
                font.bold: true
                maximumLineCount: 1
            }
        }
    }

    background: Rectangle {
        radius: height / 2
        color: chip.pressed ? Qt.rgba(chip.primary.r, chip.primary.g, chip.primary.b, 0.24) : Theme.fillChip
        border.width: 1
        border.color: chip.pressed ? Qt.rgba(chip.primary.r, chip.primary.g, chip.primary.b, 0.9)
                                   : Theme.outlineChip
    }
}
