import QtQuick
import QtQuick.Controls
import Sendra.App

// A modal message over the window: `title`, `message` (both shown as given) and one "Aceptar" button. It opens
// while `showing` is true, decided once per event-loop turn so a message replaced in one step never closes it in
// between. The parts are "<objectName>.title", "<objectName>.message" and "<objectName>.accept".
Dialog {
    id: dialog

    property string message
    property bool showing: false

    parent: Overlay.overlay
    anchors.centerIn: parent
    modal: true
    focus: true
    closePolicy: Popup.CloseOnEscape

    onShowingChanged: Qt.callLater(dialog.follow)
    function follow() {
        if (dialog.showing)
            dialog.open()
        else
            dialog.close()
    }
    Component.onCompleted: if (dialog.showing) dialog.open()

    background: Rectangle {
        color: CommandPalette.raised
        radius: Theme.radiusLarge
        border.color: Theme.outline
    }
    header: Label {
        objectName: dialog.objectName + ".title"
        text: dialog.title
        color: Theme.textPrimary
        font.pixelSize: Theme.fontHeadline
        font.bold: true
        padding: 20
        bottomPadding: Theme.spacingXSmall
        wrapMode: Text.Wrap
    }
    Label {
        objectName: dialog.objectName + ".message"
        width: parent.width
        text: dialog.message
        color: Theme.textBody
        font.pixelSize: Theme.fontBody
        wrapMode: Text.Wrap
    }
    footer: DialogButtonBox {
        background: null
        Button {
            objectName: dialog.objectName + ".accept"
            text: L10n.lookup(L10n.language, "Aceptar")
            DialogButtonBox.buttonRole: DialogButtonBox.RejectRole
        }
    }
}
