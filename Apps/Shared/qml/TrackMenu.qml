pragma ComponentBehavior: Bound

import QtQuick
import QtQuick.Controls.Basic

// A menu of engine tracks ({id, name}); with none it shows `emptyText`, disabled.
PlayerMenu {
    id: menu

    property var tracks: []
    property string emptyText
    signal chosen(int trackId)

    Instantiator {
        model: menu.tracks.length > 0 ? menu.tracks : [{ "id": -1, "name": menu.emptyText, "placeholder": true }]
        delegate: PlayerMenuItem {
            required property var modelData
            text: modelData.name
            enabled: !modelData.placeholder
            onTriggered: menu.chosen(modelData.id)
        }
        onObjectAdded: (index, object) => menu.insertItem(index, object)
        onObjectRemoved: (index, object) => menu.removeItem(object)
    }
}
