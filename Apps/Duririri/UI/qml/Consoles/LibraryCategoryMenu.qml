import QtQuick
import QtQuick.Controls
import Sendra.App

// The library's category menu: "Todas las categorías" and every category of the chosen kind. A catalogue may
// hold thousands of categories, so the items are a lazy list rather than a Menu (which builds them all).
Popup {
    id: menu
    objectName: "library.menu.popup"

    readonly property real itemHeight: 36

    width: 320
    height: Math.min(440, (groups.count + 1) * menu.itemHeight + menu.topPadding + menu.bottomPadding)
    padding: Theme.spacingSmall
    focus: true

    GroupListModel {
        id: groups
        source: GroupListModel.Groups
    }

    background: Rectangle {
        radius: Theme.radiusField
        color: CommandPalette.raised
        border.width: 1
        border.color: Theme.outline
    }

    component Choice: AbstractButton {
        id: choice
        property bool chosen: false
        width: ListView.view ? ListView.view.width : 0
        height: menu.itemHeight
        hoverEnabled: true
        leftPadding: Theme.spacingLarge
        rightPadding: Theme.spacingLarge
        contentItem: Text {
            text: choice.text
            color: choice.chosen ? CommandPalette.primary : Theme.textPrimary
            font.pixelSize: Theme.fontBody
            font.bold: choice.chosen
            elide: Text.ElideRight
            maximumLineCount: 1
            verticalAlignment: Text.AlignVCenter
        }
        background: Rectangle {
            radius: 9
            color: choice.hovered || choice.down ? Theme.fillHover : "transparent"
        }
    }

    contentItem: ListView {
        id: list
        objectName: "library.menu.list"
        clip: true
        reuseItems: true
        // Items built as they come into view, never ahead in the background: the groups change with the kind
        // while the list closes, and Qt 6.4 would cancel an item being built by its old index
        // ("DelegateModel::cancel: index out range").
        cacheBuffer: 0
        boundsBehavior: Flickable.StopAtBounds
        model: groups
        ScrollBar.vertical: ScrollBar {}

        header: Choice {
            objectName: "library.menu.all"
            width: list.width
            text: L10n.lookup(L10n.language, "Todas las categorías")
            chosen: Browse.chosenGroup === null
            onClicked: {
                menu.close()
                Browse.chooseGroup("")
            }
        }

        delegate: Choice {
            id: item
            required property int index
            required property string groupId
            required property string name
            required property string kind
            objectName: "library.menu.item." + item.index
            width: list.width
            text: item.name
            chosen: Browse.chosenGroup !== null && Browse.chosenGroup.id === item.groupId
            onClicked: {
                menu.close()
                Browse.chooseGroup(item.groupId)
                Browse.chosenKind = item.kind
            }
        }
    }
}
