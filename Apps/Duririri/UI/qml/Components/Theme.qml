pragma Singleton
import QtQuick

// The screens' visual vocabulary: type sizes, spacing and radius steps, and the white transparencies that text,
// outlines and faint fills are drawn in. Colours of the brand and the fixed surfaces are CommandPalette's.
// Values are the ones the screens were drawn with; near neighbours (0.55 and 0.56) stay apart because merging them
// would change pixels.
QtObject {
    // Type sizes, in pixels.
    readonly property int fontTiny: 8           // the count badges' captions, shrunk to fit
    readonly property int fontCaption: 11       // upper-cased overlines, pills, kind captions, the dock
    readonly property int fontSmall: 12         // footnotes, counts, notes
    readonly property int fontFootnote: 13      // segment labels, links, menu items, short messages
    readonly property int fontBody: 14          // fields, button labels, explanations
    readonly property int fontCallout: 15       // subtitles, card titles, capsules
    readonly property int fontHeadline: 17      // the main buttons' labels, dialog and header titles
    readonly property int fontTitle3: 20        // section and rail titles
    readonly property int fontTitle2: 22        // the access form's title, meter values, episode numbers
    readonly property int fontTitle1: 25        // a narrow spotlight page's title
    readonly property int fontLargeTitle: 30    // sheet titles
    readonly property int fontDisplaySmall: 32  // the detail sheet's and a wide spotlight page's title
    readonly property int fontDisplay: 34       // the identity screen's title, the access code's digits
    readonly property int fontHero: 36          // the access screen's title, narrow
    readonly property int fontHeroLarge: 46     // the access screen's title, wide

    // Symbol (glyph) sizes, in pixels.
    readonly property int iconTiny: 13          // captions' symbols, the carousel's controls, count badges
    readonly property int iconXSmall: 14        // links, a row's chevron, the disclaimer's shield
    readonly property int iconSmall: 15         // capsules, a spotlight page's kind
    readonly property int iconCompact: 16       // the access screen's feature tiles
    readonly property int iconRegular: 17       // action buttons, the header's search (Symbol's own size)
    readonly property int iconMedium: 18        // fields, the dock, form headings
    readonly property int iconLarge: 20         // the main buttons, settings rows
    readonly property int iconXLarge: 22        // the identity glyph picker
    readonly property int iconXXLarge: 24       // an episode's play symbol
    readonly property int iconPlaceholder: 28   // artwork not loaded yet
    readonly property int iconBadge: 38         // an identity tile's glyph
    readonly property int iconEmptyState: 44    // "no matches"
    readonly property int iconHero: 48          // the parental sheet's shield

    // Spacing steps, in pixels.
    readonly property int spacingTiny: 2
    readonly property int spacingXSmall: 4
    readonly property int spacingSmall: 6
    readonly property int spacingMedium: 8
    readonly property int spacingRegular: 10
    readonly property int spacingLarge: 12
    readonly property int spacingXLarge: 14
    readonly property int spacingXXLarge: 16
    // The gutter: the consoles' margin around their content, cards' and the main buttons' padding.
    readonly property int spacingGutter: 17
    readonly property int spacingSection: 22
    readonly property int spacingBlock: 24

    // Corner radius steps, in pixels.
    readonly property int radiusSmall: 8
    readonly property int radiusMedium: 12
    readonly property int radiusField: 14
    readonly property int radiusLarge: 16
    readonly property int radiusCard: 22
    readonly property int radiusHero: 24

    // Text and glyphs: white at decreasing strength.
    readonly property color textPrimary: "white"
    readonly property color textEmphasis: Qt.rgba(1, 1, 1, 0.84)      // the access screen's feature rows
    readonly property color textBody: Qt.rgba(1, 1, 1, 0.8)           // dialog messages, notes in sheets
    readonly property color textStatus: Qt.rgba(1, 1, 1, 0.72)        // a loading line
    readonly property color textControl: Qt.rgba(1, 1, 1, 0.7)        // quiet controls (carousel, "Cancelar")
    readonly property color textOverlay: Qt.rgba(1, 1, 1, 0.68)       // secondary text over artwork
    readonly property color textUnselected: Qt.rgba(1, 1, 1, 0.64)    // an unselected segment, the reveal eye
    readonly property color textExplanation: Qt.rgba(1, 1, 1, 0.6)    // a sheet's explanation
    readonly property color textSubtitle: Qt.rgba(1, 1, 1, 0.58)      // a title's subtitle on a card or sheet
    readonly property color textSecondary: Qt.rgba(1, 1, 1, 0.56)     // a screen's subtitle, empty states
    readonly property color textIdle: Qt.rgba(1, 1, 1, 0.55)          // the dock's other sections, a notice
    readonly property color textNote: Qt.rgba(1, 1, 1, 0.52)          // a setting's note
    readonly property color textCaption: Qt.rgba(1, 1, 1, 0.5)        // metric captions, an empty state's glyph
    readonly property color textFootnote: Qt.rgba(1, 1, 1, 0.48)      // count captions, the disclaimer
    readonly property color textDetail: Qt.rgba(1, 1, 1, 0.46)        // a settings row's detail
    readonly property color textCount: Qt.rgba(1, 1, 1, 0.45)         // counts and rail subtitles
    readonly property color textDisclaimer: Qt.rgba(1, 1, 1, 0.44)    // the access form's disclaimer
    readonly property color textKind: Qt.rgba(1, 1, 1, 0.42)          // a category's kind caption
    readonly property color textPlaceholder: Qt.rgba(1, 1, 1, 0.4)    // the search field's placeholder
    readonly property color textHint: Qt.rgba(1, 1, 1, 0.36)          // form fields' placeholders
    readonly property color textFaint: Qt.rgba(1, 1, 1, 0.3)          // a sample value, a row's chevron

    // Lines and faint fills: white at low strength.
    readonly property color outlineStrong: Qt.rgba(1, 1, 1, 0.32)     // the identity capsule
    readonly property color indicatorIdle: Qt.rgba(1, 1, 1, 0.23)     // the carousel's other pages
    readonly property color outlineToggle: Qt.rgba(1, 1, 1, 0.22)     // the heart's ring
    readonly property color track: Qt.rgba(1, 1, 1, 0.16)             // a progress bar's track
    readonly property color outlineChip: Qt.rgba(1, 1, 1, 0.13)       // the shortcut chips
    readonly property color outlineSelected: Qt.rgba(1, 1, 1, 0.12)   // a selected segment
    readonly property color outline: Qt.rgba(1, 1, 1, 0.1)            // fields, menus, dialogs
    readonly property color outlineFaint: Qt.rgba(1, 1, 1, 0.08)      // cards and sheets
    readonly property color fillHover: Qt.rgba(1, 1, 1, 0.08)         // a hovered menu row, a held page
    readonly property color fillButton: Qt.rgba(1, 1, 1, 0.07)        // the header's round button
    readonly property color hairlineDock: Qt.rgba(1, 1, 1, 0.07)      // the line above the dock
    readonly property color hairline: Qt.rgba(1, 1, 1, 0.06)          // the line under the header
    readonly property color fillChip: Qt.rgba(1, 1, 1, 0.055)         // the shortcut chips
    readonly property color fillSegment: Qt.rgba(1, 1, 1, 0.04)       // an unselected language segment

    // Black shades: bars over the background, the dimmed window behind a sheet, the darkening over artwork.
    readonly property color shadeHeader: Qt.rgba(0, 0, 0, 0.82)
    readonly property color shadeDock: Qt.rgba(0, 0, 0, 0.9)
    readonly property color shadeControl: Qt.rgba(0, 0, 0, 0.74)      // the heart's disc over artwork
    readonly property color scrim: Qt.rgba(0, 0, 0, 0.6)
    readonly property color artworkShadeClear: Qt.rgba(0, 0, 0, 0)
    readonly property color artworkShadeLight: Qt.rgba(0, 0, 0, 0.08)
    readonly property color artworkShadeDeep: Qt.rgba(0, 0, 0, 0.94)
    readonly property color artworkShadeDeepest: Qt.rgba(0, 0, 0, 0.95)

    // On the brand colour: text and glyphs in black.
    readonly property color textOnAccent: "black"
    // The ring around a control with keyboard focus, on the brand colour.
    readonly property color focusRing: "white"
}
