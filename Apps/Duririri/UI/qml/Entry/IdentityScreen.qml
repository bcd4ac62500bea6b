import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Sendra.App

// The screen of the profiles phase: the local identities as tiles (press one to continue as it, delete one from
// its context menu, no confirmation) and the form that creates an identity and continues with it at once.
Item {
    id: screen
    objectName: "identity.screen"

    // The glyph chosen for the new identity; the first choice at first.
    property string selectedGlyph: Symbols.identityGlyphs[0]

    CommandBackground {
        anchors.fill: parent
    }

    Flickable {
        id: scroller
        objectName: "identity.scroll"
        anchors.fill: parent
        contentWidth: width
        contentHeight: column.implicitHeight + 2 * 22
        boundsBehavior: Flickable.StopAtBounds
        clip: true
        ScrollBar.vertical: ScrollBar {
            policy: ScrollBar.AsNeeded
        }

        ColumnLayout {
            id: column
            x: (scroller.width - column.width) / 2
            y: 22
            width: Math.min(760, scroller.width - 2 * 22)
            spacing: 28

            ColumnLayout {
                spacing: Theme.spacingMedium
                Layout.fillWidth: true

                StatusPill {
                    objectName: "identity.pill"
                    Layout.alignment: Qt.AlignHCenter
                    text: "Identidades locales"
                    color: CommandPalette.primary
                }
                Text {
                    objectName: "identity.title"
                    Layout.fillWidth: true
                    text: L10n.lookup(L10n.language, "¿Quién toma el mando?")
                    color: Theme.textPrimary
                    font.pixelSize: Theme.fontDisplay
                    font.weight: Font.Black
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }
                Text {
                    objectName: "identity.subtitle"
                    Layout.fillWidth: true
                    text: L10n.lookup(L10n.language, "Cada identidad conserva su bóveda y su progreso en este dispositivo.")
                    color: Theme.textSecondary
                    font.pixelSize: Theme.fontCallout
                    horizontalAlignment: Text.AlignHCenter
                    wrapMode: Text.Wrap
                }
            }

            // Adaptive columns of at least 150 pixels, 14 apart; present only when there are identities.
            Grid {
                id: tiles
                objectName: "identity.tiles"
                visible: Access.identities.length > 0
                Layout.fillWidth: true
                columns: Math.max(1, Math.floor((column.width + 14) / (150 + 14)))
                columnSpacing: Theme.spacingXLarge
                rowSpacing: Theme.spacingXLarge

                readonly property real tileWidth: (column.width - (tiles.columns - 1) * 14) / tiles.columns

                Repeater {
                    model: Access.identities

                    IdentityTile {
                        required property var modelData
                        required property int index

                        objectName: "identity.tile." + index
                        width: tiles.tileWidth
                        identityId: modelData.id
                        name: modelData.name
                        glyph: modelData.glyph
                        onContextMenuRequested: {
                            tileMenu.identityId = modelData.id
                            tileMenu.popup()
                        }
                    }
                }
            }

            CommandCard {
                objectName: "identity.form"
                highlighted: true
                padding: 20
                Layout.fillWidth: true

                ColumnLayout {
                    anchors.fill: parent
                    spacing: Theme.spacingXXLarge

                    RowLayout {
                        spacing: Theme.spacingMedium

                        Symbol {
                            name: "person.badge.plus"
                            color: CommandPalette.primary
                            size: Theme.iconMedium
                        }
                        Text {
                            objectName: "identity.formTitle"
                            text: L10n.lookup(L10n.language, "Nueva identidad")
                            color: CommandPalette.primary
                            font.pixelSize: Theme.fontHeadline
                            font.bold: true
                        }
                    }

                    CommandField {
                        Layout.fillWidth: true

                        TextField {
                            id: nameField
                            objectName: "identity.name"
                            anchors.fill: parent
                            background: null
                            leftPadding: 0
                            rightPadding: 0
                            verticalAlignment: TextInput.AlignVCenter
                            placeholderText: L10n.lookup(L10n.language, "Nombre")
                            placeholderTextColor: Theme.textHint
                            color: Theme.textPrimary
                            selectionColor: CommandPalette.primary
                            selectedTextColor: CommandPalette.voidColor
                            font.pixelSize: Theme.fontBody
                        }
                    }

                    Flickable {
                        objectName: "identity.glyphs"
                        Layout.fillWidth: true
                        Layout.preferredHeight: 48
                        contentWidth: glyphRow.implicitWidth
                        contentHeight: 48
                        flickableDirection: Flickable.HorizontalFlick
                        boundsBehavior: Flickable.StopAtBounds
                        clip: true

                        Row {
                            id: glyphRow
                            spacing: Theme.spacingRegular

                            Repeater {
                                model: Symbols.identityGlyphs

                                AbstractButton {
                                    id: glyphButton

                                    required property string modelData
                                    required property int index
                                    readonly property bool selected: screen.selectedGlyph === glyphButton.modelData

                                    objectName: "identity.glyph." + index
                                    width: 48
                                    height: 48
                                    focusPolicy: Qt.TabFocus
                                    Accessible.role: Accessible.RadioButton
                                    Accessible.name: glyphButton.modelData
                                    Accessible.checked: glyphButton.selected

                                    background: Rectangle {
                                        radius: Theme.radiusField
                                        color: glyphButton.selected ? CommandPalette.primary : CommandPalette.raised
                                        border.width: glyphButton.visualFocus ? 2 : 0
                                        border.color: Theme.focusRing
                                    }
                                    contentItem: Symbol {
                                        name: glyphButton.modelData
                                        color: glyphButton.selected ? Theme.textOnAccent : Theme.textPrimary
                                        size: Theme.iconXLarge
                                    }

                                    onClicked: screen.selectedGlyph = glyphButton.modelData
                                }
                            }
                        }
                    }

                    // Disabled for a blank name (nothing visible); the name goes as typed (the deck cleans it).
                    AbstractButton {
                        id: createButton
                        objectName: "identity.create"
                        Layout.fillWidth: true
                        Layout.preferredHeight: 52
                        enabled: !IdentityName.isBlank(nameField.text)
                        focusPolicy: Qt.TabFocus
                        Accessible.role: Accessible.Button
                        Accessible.name: createLabel.text

                        background: Rectangle {
                            radius: Theme.radiusMedium
                            color: CommandPalette.primary
                            border.width: createButton.visualFocus ? 2 : 0
                            border.color: Theme.focusRing
                            opacity: createButton.enabled ? (createButton.pressed ? 0.85 : 1) : 0.4
                        }
                        contentItem: Item {
                            RowLayout {
                                anchors.centerIn: parent
                                width: Math.min(implicitWidth, parent.width)
                                spacing: Theme.spacingMedium

                                Symbol {
                                    objectName: "identity.create.arrow"
                                    name: "arrow.right.circle.fill"
                                    color: Theme.textOnAccent
                                    size: Theme.iconLarge
                                }
                                Text {
                                    id: createLabel
                                    objectName: "identity.create.label"
                                    Layout.fillWidth: true
                                    text: L10n.lookup(L10n.language, "Crear y continuar")
                                    color: Theme.textOnAccent
                                    font.pixelSize: Theme.fontHeadline
                                    font.bold: true
                                    elide: Text.ElideRight
                                }
                            }
                        }

                        onClicked: Access.addIdentity(nameField.text, screen.selectedGlyph)
                    }
                }
            }
        }
    }

    // One context menu for every tile; it outlives the tiles the deck rebuilds when an identity is deleted.
    CommandMenu {
        id: tileMenu
        objectName: "identity.menu"

        property string identityId

        CommandMenuItem {
            objectName: "identity.menu.delete"
            text: L10n.lookup(L10n.language, "Eliminar")
            onTriggered: Access.deleteIdentity(tileMenu.identityId)
        }
    }

    // A tile: a left click continues as the identity, a right click opens its context menu.
    component IdentityTile: Item {
        id: tile

        property string identityId
        property string name
        property string glyph

        signal contextMenuRequested()

        implicitHeight: tileContent.implicitHeight + 2 * 20
        activeFocusOnTab: true
        Accessible.role: Accessible.Button
        Accessible.name: tile.name
        Accessible.onPressAction: Access.selectIdentity(tile.identityId)
        Keys.onSpacePressed: Access.selectIdentity(tile.identityId)
        Keys.onMenuPressed: tile.contextMenuRequested()

        CommandCard {
            anchors.fill: parent
            highlighted: tile.activeFocus
            opacity: pointer.pressed ? 0.8 : 1
        }

        ColumnLayout {
            id: tileContent
            anchors.centerIn: parent
            width: parent.width
            spacing: 13

            Item {
                Layout.alignment: Qt.AlignHCenter
                Layout.preferredWidth: 78
                Layout.preferredHeight: 78

                HexBadge {
                    anchors.fill: parent
                    color: Qt.rgba(CommandPalette.primary.r, CommandPalette.primary.g, CommandPalette.primary.b, 0.1)
                }
                Symbol {
                    anchors.centerIn: parent
                    name: tile.glyph
                    color: CommandPalette.primary
                    size: Theme.iconBadge
                }
            }
            Text {
                objectName: tile.objectName + ".name"
                Layout.fillWidth: true
                Layout.leftMargin: Theme.spacingMedium
                Layout.rightMargin: Theme.spacingMedium
                text: tile.name
                color: Theme.textPrimary
                font.pixelSize: Theme.fontHeadline
                font.bold: true
                horizontalAlignment: Text.AlignHCenter
                elide: Text.ElideRight
            }
        }

        MouseArea {
            id: pointer
            anchors.fill: parent
            acceptedButtons: Qt.LeftButton | Qt.RightButton
            cursorShape: Qt.PointingHandCursor
            onClicked: (mouse) => {
                if (mouse.button === Qt.RightButton)
                    tile.contextMenuRequested()
                else
                    Access.selectIdentity(tile.identityId)
            }
        }
    }
}
