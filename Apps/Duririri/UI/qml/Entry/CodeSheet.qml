import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// The private brand's four-digit access code. The field keeps only numbers, at most four, written back into the
// deck; validating and cancelling are the deck's. There is no other way out: Escape means "Cancelar" and does
// nothing while the deck validates, so no dismissal leaves a private connection pending.
Sheet {
    id: sheet
    objectName: "codeSheet"

    dismissable: false
    minimumWidth: 480
    minimumHeight: 460

    onOpened: codeField.forceActiveFocus()

    // Whatever reaches the deck's code (typing, pasting) is cut down to its first four numbers.
    Connections {
        target: Access
        enabled: sheet.shown
        function onAccessCodeChanged() {
            const kept = AccessCode.filtered(Access.accessCode)
            if (kept !== Access.accessCode)
                Access.accessCode = kept
        }
    }

    FocusScope {
        anchors.fill: parent
        focus: true
        implicitWidth: 430 + 2 * 22
        implicitHeight: card.implicitHeight + 2 * 22

        // The brand's glow under the card. Made anew each time the sheet opens: with the software renderer a
        // path item taken out of the scene and put back keeps a node that is gone (Qt 6.4).
        Loader {
            objectName: "codeSheet.background"
            anchors.fill: parent
            active: sheet.visible
            sourceComponent: CommandBackground {
                radius: Theme.radiusCard
            }
        }

        Keys.onEscapePressed: (event) => {
            event.accepted = true
            if (!Access.isConnecting)
                Access.cancelPrivateAccess()
        }

        CommandCard {
            id: card
            highlighted: true
            padding: 26
            anchors.centerIn: parent
            width: Math.min(430, parent.width - 2 * 22)

            ColumnLayout {
                anchors.fill: parent
                spacing: Theme.spacingSection

                BrandLogo {
                    objectName: "codeSheet.logo"
                    brand: Deck.brand
                    Layout.alignment: Qt.AlignHCenter
                    Layout.preferredWidth: Math.min(280, parent.width)
                    Layout.preferredHeight: 90
                }

                ColumnLayout {
                    spacing: 7
                    Layout.fillWidth: true

                    Text {
                        objectName: "codeSheet.title"
                        Layout.fillWidth: true
                        text: L10n.lookup(L10n.language, "Código de acceso")
                        color: Theme.textPrimary
                        font.pixelSize: Theme.fontLargeTitle
                        font.weight: Font.Black
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                    }
                    Text {
                        objectName: "codeSheet.explanation"
                        Layout.fillWidth: true
                        text: L10n.lookup(L10n.language,
                                          "Ingresa el código permanente de cuatro dígitos asignado a este usuario.")
                        color: Theme.textSubtitle
                        font.pixelSize: Theme.fontBody
                        horizontalAlignment: Text.AlignHCenter
                        wrapMode: Text.Wrap
                    }
                }

                // The digits stay visible; Return submits nothing.
                CommandField {
                    Layout.fillWidth: true

                    TextField {
                        id: codeField
                        objectName: "codeSheet.field"
                        anchors.fill: parent
                        focus: true
                        background: null
                        leftPadding: 0
                        rightPadding: 0
                        text: Access.accessCode
                        color: Theme.textPrimary
                        selectionColor: CommandPalette.primary
                        selectedTextColor: CommandPalette.voidColor
                        horizontalAlignment: TextInput.AlignHCenter
                        verticalAlignment: TextInput.AlignVCenter
                        font.pixelSize: Theme.fontDisplay
                        font.bold: true
                        font.family: "monospace"
                        inputMethodHints: Qt.ImhDigitsOnly
                        onTextEdited: Access.accessCode = codeField.text

                        // The stock placeholder of a centred field hides while it has focus, and this field
                        // has focus from the start: the sample shows whenever the field is empty.
                        Text {
                            objectName: "codeSheet.placeholder"
                            anchors.fill: parent
                            visible: codeField.length === 0 && codeField.preeditText.length === 0
                            text: "0000"
                            color: Theme.textFaint
                            font: codeField.font
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                    }
                }

                AbstractButton {
                    id: validateButton
                    objectName: "codeSheet.validate"
                    Layout.fillWidth: true
                    Layout.preferredHeight: 56
                    enabled: AccessCode.length(Access.accessCode) === 4 && !Access.isConnecting
                    focusPolicy: Qt.TabFocus
                    Accessible.role: Accessible.Button
                    Accessible.name: validateLabel.text
                    leftPadding: Theme.spacingGutter
                    rightPadding: Theme.spacingGutter

                    background: Rectangle {
                        radius: Theme.radiusLarge
                        color: CommandPalette.primary
                        border.width: validateButton.visualFocus ? 2 : 0
                        border.color: Theme.focusRing
                        opacity: validateButton.enabled ? (validateButton.pressed ? 0.85 : 1) : 0.45
                    }
                    contentItem: Item {
                        implicitHeight: validateRow.implicitHeight

                        RowLayout {
                            id: validateRow
                            anchors.centerIn: parent
                            width: Math.min(implicitWidth, parent.width)
                            spacing: 11

                            BusySpinner {
                                objectName: "codeSheet.validate.spinner"
                                visible: Access.isConnecting
                                running: Access.isConnecting
                                color: Theme.textOnAccent
                                Layout.preferredWidth: 22
                                Layout.preferredHeight: 22
                            }
                            Text {
                                id: validateLabel
                                objectName: "codeSheet.validate.label"
                                Layout.fillWidth: true
                                text: Access.isConnecting ? L10n.lookup(L10n.language, Access.connectionStatus)
                                                        : L10n.lookup(L10n.language, "Validar y entrar")
                                color: Theme.textOnAccent
                                font.pixelSize: Theme.fontHeadline
                                font.bold: true
                                elide: Text.ElideRight
                            }
                        }
                    }

                    onClicked: Access.confirmPrivateAccess()
                }

                Button {
                    objectName: "codeSheet.cancel"
                    Layout.alignment: Qt.AlignHCenter
                    flat: true
                    focusPolicy: Qt.TabFocus
                    enabled: !Access.isConnecting
                    text: L10n.lookup(L10n.language, "Cancelar")
                    palette.buttonText: Theme.textControl
                    onClicked: Access.cancelPrivateAccess()
                }
            }
        }
    }
}
