import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// A labelled input row in the field chrome: symbol, text field, and for a secret a button that shows or hides it.
// `text` is the caller's value: bind it, and write typed text back from edited(), e.g.
//     CommandInput { objectName: "access.server"; text: deck.server; onEdited: (value) => deck.server = value }
// The field is "<objectName>.field", the reveal button "<objectName>.reveal".
CommandField {
    id: input

    // Placeholder, shown as given.
    property string title
    property string symbol
    property string text
    property bool secure: false
    // A secret currently shown in clear; every row starts hidden.
    property bool revealsText: false

    signal edited(string text)

    RowLayout {
        anchors.fill: parent
        spacing: Theme.spacingLarge

        Symbol {
            Layout.preferredWidth: 24
            Layout.alignment: Qt.AlignVCenter
            name: input.symbol
            color: CommandPalette.primary
            size: Theme.iconMedium
        }

        TextField {
            id: field
            objectName: input.objectName.length > 0 ? input.objectName + ".field" : ""
            Layout.fillWidth: true
            Layout.alignment: Qt.AlignVCenter
            leftPadding: 0
            rightPadding: 0
            background: null
            text: input.text
            placeholderText: input.title
            placeholderTextColor: Theme.textHint
            color: Theme.textPrimary
            selectionColor: CommandPalette.primary
            selectedTextColor: CommandPalette.voidColor
            font.pixelSize: Theme.fontBody
            echoMode: input.secure && !input.revealsText ? TextInput.Password : TextInput.Normal
            inputMethodHints: input.secure ? Qt.ImhSensitiveData | Qt.ImhNoPredictiveText | Qt.ImhNoAutoUppercase
                                           : Qt.ImhNone
            onTextEdited: input.edited(field.text)
        }

        Loader {
            Layout.preferredWidth: 34
            Layout.preferredHeight: 34
            Layout.alignment: Qt.AlignVCenter
            active: input.secure
            visible: input.secure
            sourceComponent: Button {
                objectName: input.objectName.length > 0 ? input.objectName + ".reveal" : ""
                flat: true
                padding: 0
                background: Item {}
                focusPolicy: Qt.TabFocus
                contentItem: Symbol {
                    name: input.revealsText ? "eye.slash.fill" : "eye.fill"
                    color: Theme.textUnselected
                    size: Theme.iconMedium
                }
                Accessible.name: input.revealsText ? L10n.lookup(L10n.language, "Ocultar contraseña")
                                                   : L10n.lookup(L10n.language, "Mostrar contraseña")
                onClicked: input.revealsText = !input.revealsText
            }
        }
    }
}
