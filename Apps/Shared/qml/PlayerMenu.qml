import QtQuick
import QtQuick.Controls.Basic

// A menu of the player in the screens' dark look (the stock menu draws with the window palette's light colours,
// under which white text cannot be read); its items are PlayerMenuItem. Drawn as the application's own menus.
Menu {
    id: menu
    padding: 5
    background: Rectangle {
        implicitWidth: 220
        radius: 10
        color: Qt.rgba(0.12, 0.125, 0.15, 1)
        border.color: Qt.rgba(1, 1, 1, 0.1)
    }
}
