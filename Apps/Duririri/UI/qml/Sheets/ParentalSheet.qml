import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// Switches the parental protection on with a new, confirmed PIN, or off with the current one. It closes only
// on success, "Cerrar" or a dismissal; a failed attempt keeps what was typed and shows why.
Sheet {
    id: sheet
    objectName: "parental.sheet"
    minimumWidth: 520
    minimumHeight: 540

    readonly property bool protectionOn: Systems.parentalEnabled
    // Protection on but no PIN stored: no PIN could ever switch it off, so the sheet asks for a new one instead.
    readonly property bool pinMissing: sheet.protectionOn && !Systems.hasParentalPIN
    readonly property bool asksNewPin: !sheet.protectionOn || sheet.pinMissing
    property string pin: ""
    property string confirmation: ""
    // The last failure (a Spanish text, shown through the lookup), or null.
    property var message: null

    onShownChanged: {
        if (shown) {
            pin = ""
            confirmation = ""
            message = null
        }
    }

    function act() {
        let result = null
        if (!sheet.asksNewPin) {
            if (Systems.validatePIN(sheet.pin))
                Systems.setParental(false)
            else
                result = "El PIN es incorrecto."
        } else {
            result = Systems.activateParental(sheet.pin, sheet.confirmation)
        }
        sheet.message = result
        if (result === null)
            sheet.shown = false
    }

    FocusScope {
        anchors.fill: parent
        focus: true
        implicitWidth: 520
        implicitHeight: content.implicitHeight + 44

        // Made anew each time the sheet opens: with the software renderer a path item taken out of the scene
        // and put back keeps a node that is gone, and drawing it crashes (Qt 6.4).
        Loader {
            anchors.fill: parent
            active: sheet.visible
            sourceComponent: CommandBackground {
                radius: Theme.radiusCard
            }
        }

        ColumnLayout {
            id: content
            anchors.fill: parent
            anchors.margins: Theme.spacingSection
            spacing: 18

            RowLayout {
                Layout.fillWidth: true
                Symbol {
                    objectName: "parental.symbol"
                    name: sheet.protectionOn ? "lock.shield.fill" : "shield.lefthalf.filled"
                    color: sheet.protectionOn ? CommandPalette.green : CommandPalette.primary
                    size: Theme.iconHero
                }
                Item { Layout.fillWidth: true }
                Button {
                    objectName: "parental.close"
                    Layout.alignment: Qt.AlignTop
                    flat: true
                    text: L10n.lookup(L10n.language, "Cerrar")
                    onClicked: sheet.shown = false
                }
            }

            Text {
                objectName: "parental.title"
                Layout.fillWidth: true
                text: sheet.protectionOn ? L10n.lookup(L10n.language, "Protección activa")
                                         : L10n.lookup(L10n.language, "Protege la biblioteca")
                color: Theme.textPrimary
                font.pixelSize: Theme.fontLargeTitle
                font.weight: Font.Black
                wrapMode: Text.Wrap
            }

            Text {
                Layout.fillWidth: true
                text: L10n.lookup(L10n.language, "El filtro se aplica a las categorías sensibles de la fuente y se controla con un PIN local de cuatro números.")
                color: Theme.textExplanation
                font.pixelSize: Theme.fontBody
                wrapMode: Text.Wrap
            }

            Text {
                objectName: "parental.missingPin"
                Layout.fillWidth: true
                visible: sheet.pinMissing
                text: L10n.lookup(L10n.language, "No hay un PIN guardado en este dispositivo. Crea uno nuevo para poder desactivar la protección.")
                color: Theme.textBody
                font.pixelSize: Theme.fontFootnote
                wrapMode: Text.Wrap
            }

            PinField {
                objectName: "parental.pin"
                Layout.fillWidth: true
                placeholder: sheet.asksNewPin ? "PIN de 4 números" : "PIN actual"
                text: sheet.pin
                onEdited: (value) => sheet.pin = value
            }

            PinField {
                objectName: "parental.confirmation"
                Layout.fillWidth: true
                visible: sheet.asksNewPin
                placeholder: "Confirmar PIN"
                text: sheet.confirmation
                onEdited: (value) => sheet.confirmation = value
            }

            ActionButton {
                id: action
                objectName: "parental.action"
                Layout.fillWidth: true
                tint: sheet.pinMissing ? CommandPalette.green
                                       : sheet.protectionOn ? CommandPalette.red : CommandPalette.primary
                symbol: sheet.protectionOn && !sheet.pinMissing ? "lock.open.fill" : "lock.shield.fill"
                text: sheet.pinMissing ? L10n.lookup(L10n.language, "Guardar PIN")
                      : sheet.protectionOn ? L10n.lookup(L10n.language, "Desactivar protección")
                                           : L10n.lookup(L10n.language, "Activar protección")
                onClicked: sheet.act()
            }

            Text {
                objectName: "parental.message"
                Layout.fillWidth: true
                visible: sheet.message !== null
                text: sheet.message !== null ? L10n.lookup(L10n.language, sheet.message) : ""
                color: CommandPalette.red
                font.pixelSize: Theme.fontFootnote
                wrapMode: Text.Wrap
            }

            Item { Layout.fillHeight: true }
        }
    }

    // A masked PIN field in the field chrome; Return does nothing.
    component PinField: CommandField {
        id: pinField
        property string placeholder
        property string text
        signal edited(string value)

        TextField {
            objectName: pinField.objectName + ".field"
            anchors.fill: parent
            leftPadding: 0
            rightPadding: 0
            background: null
            text: pinField.text
            placeholderText: L10n.lookup(L10n.language, pinField.placeholder)
            placeholderTextColor: Theme.textHint
            color: Theme.textPrimary
            selectionColor: CommandPalette.primary
            selectedTextColor: CommandPalette.voidColor
            font.pixelSize: Theme.fontCallout
            echoMode: TextInput.Password
            inputMethodHints: Qt.ImhDigitsOnly | Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
            verticalAlignment: TextInput.AlignVCenter
            onTextEdited: pinField.edited(text)
        }
    }
}
