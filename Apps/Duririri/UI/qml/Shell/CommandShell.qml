import QtQuick
import QtQuick.Controls
import Sendra.App

// The signed-in screen: a header (brand, the section's title, the parental shield, search and the identity
// capsule), the console of the deck's section, and the dock of the four sections. The shell keeps no state: a
// console is built afresh whenever the section changes.
Item {
    id: shell
    objectName: "shell.screen"

    readonly property var sections: [
        { dock: Deck.Center, name: "center", title: "Centro", symbol: "scope" },
        { dock: Deck.Library, name: "library", title: "Biblioteca", symbol: "square.stack.3d.up.fill" },
        { dock: Deck.Discover, name: "discover", title: "Explorar", symbol: "sparkle.magnifyingglass" },
        { dock: Deck.Systems, name: "systems", title: "Sistema", symbol: "switch.2" }
    ]
    readonly property var current: shell.sections[Math.max(0, Math.min(3, Deck.dock))]
    readonly property color primary: CommandPalette.primary
    readonly property string identityGlyph: Deck.activeIdentity !== null ? Deck.activeIdentity.glyph : ""

    // The search button: Explorar, with the text cursor in its field, as a search button promises.
    function openSearch() {
        Deck.selectDock(Deck.Discover)
        Qt.callLater(shell.focusSearch)
    }
    function focusSearch() {
        if (sectionLoader.item !== null && Deck.dock === Deck.Discover)
            sectionLoader.item.focusSearch()
    }

    CommandBackground {
        anchors.fill: parent
    }

    Rectangle {
        id: header
        objectName: "shell.header"
        anchors.left: parent.left
        anchors.right: parent.right
        height: 38 + 18
        color: Theme.shadeHeader

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            anchors.bottom: parent.bottom
            height: 1
            color: Theme.hairline
        }

        Row {
            anchors.left: parent.left
            anchors.leftMargin: Theme.spacingGutter
            anchors.verticalCenter: parent.verticalCenter
            spacing: Theme.spacingLarge

            BrandIsotype {
                width: 38
                height: 38
                brand: Deck.brand
            }
            Column {
                anchors.verticalCenter: parent.verticalCenter
                spacing: 1
                Text {
                    objectName: "shell.brandName"
                    text: String(Deck.brand.name || "").toUpperCase()
                    color: shell.primary
                    font.pixelSize: Theme.fontCaption
                    font.bold: true
                    font.letterSpacing: 1.8
                }
                Text {
                    objectName: "shell.title"
                    text: L10n.lookup(L10n.language, shell.current.title)
                    color: Theme.textPrimary
                    font.pixelSize: Theme.fontHeadline
                    font.bold: true
                }
            }
        }

        Row {
            anchors.right: parent.right
            anchors.rightMargin: Theme.spacingGutter
            anchors.verticalCenter: parent.verticalCenter
            spacing: Theme.spacingLarge

            Symbol {
                objectName: "shell.parental"
                anchors.verticalCenter: parent.verticalCenter
                visible: Systems.parentalEnabled
                name: "lock.shield.fill"
                color: CommandPalette.green
                size: Theme.iconLarge
                Accessible.ignored: false
                Accessible.role: Accessible.Graphic
                Accessible.name: L10n.lookup(L10n.language, "Control parental activo")
            }
            AbstractButton {
                objectName: "shell.search"
                width: 38
                height: 38
                Accessible.name: L10n.lookup(L10n.language, "Explorar")
                onClicked: shell.openSearch()
                background: Rectangle {
                    radius: width / 2
                    color: Theme.fillButton
                }
                contentItem: Symbol {
                    name: "magnifyingglass"
                    size: Theme.iconRegular
                }
            }
            CapsuleButton {
                id: identity
                objectName: "shell.identity"
                visible: Deck.activeIdentity !== null
                height: 38
                leftPadding: 11
                rightPadding: 11
                Accessible.name: Deck.activeIdentity !== null
                                 ? L10n.format(L10n.language, "Identidad actual: %@. Cambiar identidad",
                                               [Deck.activeIdentity.name]) : ""
                onClicked: Deck.changeIdentity()
                text: Deck.activeIdentity !== null ? Deck.activeIdentity.name : ""
                symbol: shell.identityGlyph
                foreground: Theme.textOnAccent
                fill: shell.primary
                outline: Theme.outlineStrong
                // Bounded: a long name elides instead of covering the brand, title and search.
                maximumTextWidth: 200
                fontSize: Theme.fontSmall
                pressedOpacity: 1
            }
        }
    }

    Loader {
        id: sectionLoader
        objectName: "shell.console"
        anchors.top: header.bottom
        anchors.bottom: dock.top
        anchors.left: parent.left
        anchors.right: parent.right
        // Built afresh for every section change; an equal section keeps the console as it is.
        sourceComponent: Deck.dock === Deck.Library ? libraryConsole
                         : Deck.dock === Deck.Discover ? discoverConsole
                         : Deck.dock === Deck.Systems ? systemsConsole : centerConsole
    }
    Component { id: centerConsole; CenterConsole {} }
    Component { id: libraryConsole; LibraryConsole {} }
    Component { id: discoverConsole; DiscoverConsole {} }
    Component { id: systemsConsole; SystemsConsole {} }

    Rectangle {
        id: dock
        objectName: "shell.dock"
        anchors.left: parent.left
        anchors.right: parent.right
        anchors.bottom: parent.bottom
        height: dockRow.implicitHeight + 14
        color: Theme.shadeDock

        Rectangle {
            anchors.left: parent.left
            anchors.right: parent.right
            height: 1
            color: Theme.hairlineDock
        }

        Row {
            id: dockRow
            x: 8
            y: 7
            width: parent.width - 16
            spacing: 5

            Repeater {
                model: shell.sections
                AbstractButton {
                    id: section
                    required property var modelData
                    readonly property bool current: Deck.dock === section.modelData.dock
                    objectName: "shell.dock." + section.modelData.name
                    width: (dockRow.width - 3 * dockRow.spacing) / 4
                    topPadding: Theme.spacingMedium
                    bottomPadding: Theme.spacingMedium
                    checkable: false
                    checked: section.current
                    Accessible.name: L10n.lookup(L10n.language, section.modelData.title)
                    onClicked: Deck.selectDock(section.modelData.dock)
                    background: Rectangle {
                        radius: 13
                        color: section.current ? shell.primary : Qt.rgba(0, 0, 0, 0.001)
                    }
                    contentItem: Column {
                        spacing: Theme.spacingXSmall
                        Symbol {
                            anchors.horizontalCenter: parent.horizontalCenter
                            name: section.modelData.symbol
                            size: Theme.iconMedium
                            font.weight: Font.DemiBold
                            color: section.current ? Theme.textOnAccent : Theme.textIdle
                        }
                        Text {
                            anchors.horizontalCenter: parent.horizontalCenter
                            text: L10n.lookup(L10n.language, section.modelData.title)
                            color: section.current ? Theme.textOnAccent : Theme.textIdle
                            font.pixelSize: Theme.fontCaption
                            font.bold: true
                            maximumLineCount: 1
                        }
                    }
                }
            }
        }
    }
}
