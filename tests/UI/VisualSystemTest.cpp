#include "Domain/CommandPalette.h"
#include "Domain/ProductBrand.h"
#include "UI/ArtworkProvider.h"
#include "UI/ArtworkSource.h"
#include "UI/LinkOpener.h"
#include "UI/Palette.h"
#include "UI/SymbolMap.h"

#include <QDirIterator>
#include <QFile>
#include <QRawFont>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using sendra::ui::ArtworkSource;
using sendra::ui::LinkOpener;
using sendra::ui::Palette;
using sendra::ui::SymbolMap;

namespace {

QString rgb(const QColor& color)
{
    return QStringLiteral("%1 %2 %3 %4").arg(color.red()).arg(color.green()).arg(color.blue()).arg(color.alpha());
}

QStringList literals(const QString& expression)
{
    static const QRegularExpression literal(QStringLiteral(R"re("([^"\\]*)")re"));
    QStringList found;
    for (auto match = literal.globalMatch(expression); match.hasNext();)
        found.append(match.next().captured(1));
    return found;
}

// The symbol names a QML file uses, read the way SymbolMap.h asks the screens to write them.
QStringList symbolNamesIn(const QString& qml)
{
    QStringList names;
    static const QRegularExpression property(QStringLiteral(R"((?:^|[\s{;])(\w*[sS]ymbol)\s*:([^\n]*))"),
                                             QRegularExpression::MultilineOption);
    for (auto match = property.globalMatch(qml); match.hasNext();)
        names += literals(match.next().captured(2));

    static const QRegularExpression block(QStringLiteral(R"(\bSymbol\s*\{)"));
    static const QRegularExpression name(QStringLiteral(R"((?:^|[\s{;])name\s*:([^\n;}]*))"),
                                         QRegularExpression::MultilineOption);
    for (auto match = block.globalMatch(qml); match.hasNext();) {
        const auto opening = match.next();
        qsizetype at = opening.capturedEnd();
        for (int depth = 1; at < qml.size() && depth > 0; ++at)
            depth += qml[at] == u'{' ? 1 : qml[at] == u'}' ? -1 : 0;
        const QString body = qml.mid(opening.capturedEnd(), at - opening.capturedEnd());
        for (auto inner = name.globalMatch(body); inner.hasNext();)
            names += literals(inner.next().captured(1));
    }

    static const QRegularExpression call(QStringLiteral(R"re(Symbols\.(?:glyph|contains)\(\s*"([^"]+)")re"));
    for (auto match = call.globalMatch(qml); match.hasNext();)
        names.append(match.next().captured(1));
    return names;
}

// The places a QML text draws with a size or a white transparency of its own instead of Theme's, one line each
// ("<line>: <text>"): a number in a font size, white with an alpha as Qt.rgba or as a "#aarrggbb" text.
QStringList offThemeLiteralsIn(const QString& qml)
{
    static const QRegularExpression size(QStringLiteral(R"(\bfont\.(?:pixelSize|pointSize)\s*:([^\n;]*))"));
    static const QRegularExpression number(QStringLiteral(R"((?<![\w.])\d)"));
    static const QRegularExpression white(
        QStringLiteral(R"(Qt\.rgba\(\s*(?:1(?:\.0*)?|255\s*/\s*255)\s*,\s*(?:1(?:\.0*)?|255\s*/\s*255)\s*,)"
                       R"(\s*(?:1(?:\.0*)?|255\s*/\s*255)\s*,|"#[0-9a-fA-F]{2}[fF]{6}")"));
    QStringList found;
    const QStringList lines = qml.split(u'\n');
    for (qsizetype at = 0; at < lines.size(); ++at) {
        const QString& line = lines[at];
        const auto sized = size.match(line);
        if ((sized.hasMatch() && number.match(sized.captured(1)).hasMatch()) || white.match(line).hasMatch())
            found.append(QStringLiteral("%1: %2").arg(at + 1).arg(line.trimmed()));
    }
    return found;
}

} // namespace

// Colour texts as brands send them, read by the screens' own rules rather than QML's.
TEST(VisualSystem, hexColoursFollowTheScreensRules)
{
    const QString f5 = QStringLiteral("245 245 247 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("#f5f5f7")), f5);
    EXPECT_EQ(rgb(Palette::colorFromHex("#F5F5F7")), f5);
    EXPECT_EQ(rgb(Palette::colorFromHex("f5f5f7")), f5);
    EXPECT_EQ(rgb(Palette::colorFromHex("  #f5f5f7 \n")), f5);
    EXPECT_EQ(rgb(Palette::colorFromHex("\"#f5f5f7\";")), f5);
    EXPECT_EQ(rgb(Palette::colorFromHex("0xf5f5f7")), f5);
    EXPECT_EQ(rgb(Palette::colorFromHex("#0Xf5f5f7")), f5);
    // No shorthand expansion, no alpha: the low 24 bits are the colour.
    EXPECT_EQ(rgb(Palette::colorFromHex("#abc")), "0 10 188 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("#ff000080")), "0 0 128 255");
    // Reading stops at the first other character; what is inside the text is not trimmed.
    EXPECT_EQ(rgb(Palette::colorFromHex("#12 34 56")), "0 0 18 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("#ff4108zz")), "255 65 8 255");
    // Alphanumerics of any script stop the trimming, and are not hexadecimal digits.
    EXPECT_EQ(rgb(Palette::colorFromHex("ñ#ff4108")), "0 0 0 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("#ff4108é")), "255 65 8 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("#８f5bff")), "0 0 0 255"); // a full-width digit is no hexadecimal digit
    // Nothing readable is opaque black.
    EXPECT_EQ(rgb(Palette::colorFromHex("")), "0 0 0 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("#")), "0 0 0 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("purple")), "0 0 0 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("0x")), "0 0 0 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("rgb(1,2,3)")), "0 0 0 255");
    // Too long for 64 bits: all ones, white; exactly 64 bits still reads its low bytes.
    EXPECT_EQ(rgb(Palette::colorFromHex("#1234567890abcdef12")), "255 255 255 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("#fedcba9876543210")), "84 50 16 255");
    EXPECT_EQ(rgb(Palette::colorFromHex("#00000000000000000000ff4108")), "255 65 8 255");
}

// Every symbol a screen names, every identity glyph and every kind's symbol has a glyph in the bundled font.
// Before the deck names a brand (the start-up spinner's first frame) the screens draw in the running product's
// colours, not the deck's neutral grey.
TEST(VisualSystem, paletteStartsInTheProductsColours)
{
    sendra::CommandPalette::setActivePrimary(QStringLiteral("#f5f5f7"));
    sendra::CommandPalette::setActiveSecondary(QStringLiteral("#686872"));
    const sendra::BrandPresentation product = sendra::ProductBrand::presentation(sendra::ProductBrand::current());
    const Palette palette;
    EXPECT_EQ(rgb(palette.primary()), rgb(Palette::colorFromHex(product.primaryColor)));
    EXPECT_EQ(rgb(palette.secondary()), rgb(Palette::colorFromHex(product.secondaryColor)));
    EXPECT_NE(rgb(palette.primary()), rgb(Palette::colorFromHex(QStringLiteral("#f5f5f7"))));
}

TEST(VisualSystem, everySymbolTheScreensNameHasAGlyph)
{
    QDirIterator files(QStringLiteral(SENDRA_SOURCE_DIR "/Apps/Duririri/UI/qml"), {QStringLiteral("*.qml")},
                       QDir::Files, QDirIterator::Subdirectories);
    while (files.hasNext()) {
        QFile file(files.next());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
        for (const QString& name : symbolNamesIn(QString::fromUtf8(file.readAll())))
            if (!SymbolMap::contains(name))
                ADD_FAILURE() << "no glyph for \"" << name.toStdString() << "\" in " << file.fileName().toStdString();
    }
    // The reading convention itself: the components' own names must be seen, or the check above checks nothing.
    const QStringList seen = [] {
        QStringList all;
        for (const char* component : {"CommandInput", "CalvenorMark"}) {
            QFile file(QStringLiteral(SENDRA_SOURCE_DIR "/Apps/Duririri/UI/qml/Components/%1.qml")
                           .arg(QLatin1String(component)));
            if (file.open(QIODevice::ReadOnly))
                all += symbolNamesIn(QString::fromUtf8(file.readAll()));
        }
        return all;
    }();
    EXPECT_TRUE(seen.contains("eye.fill") && seen.contains("eye.slash.fill") && seen.contains("play.fill"))
        << seen.join(' ').toStdString();
    EXPECT_EQ(symbolNamesIn(R"(Row { Symbol { id: s; name: on ? "a.b" : "c" } Item { name: "not.a.symbol" } })"),
              QStringList({"a.b", "c"}));
    EXPECT_EQ(symbolNamesIn("Chip {\n    leadingSymbol: \"plus\"\n    symbol: x ? \"y.z\" : \"w\"\n}"),
              QStringList({"plus", "y.z", "w"}));

    const QStringList glyphs = SymbolMap::identityGlyphs();
    EXPECT_EQ(glyphs, QStringList({"bolt.shield.fill", "scope", "sparkles", "mountain.2.fill", "moon.stars.fill",
                                   "flame.fill", "paperplane.fill", "cube.transparent.fill"}));
    for (const QString& glyph : glyphs)
        EXPECT_TRUE(SymbolMap::contains(glyph)) << glyph.toStdString();

    EXPECT_EQ(SymbolMap::forKind("tv", false), "dot.radiowaves.left.and.right");
    EXPECT_EQ(SymbolMap::forKind("movies", false), "film.stack");
    EXPECT_EQ(SymbolMap::forKind("series", false), "rectangle.stack.badge.play");
    EXPECT_EQ(SymbolMap::forKind("series", true), "square.grid.3x3.fill");
    EXPECT_EQ(SymbolMap::forKind("radio", false), "square.grid.3x3.fill");

    // Each mapped codepoint is drawn by the bundled font (a wrong one draws an empty box), and an unknown name
    // draws a visible glyph rather than nothing.
    QFile font(QStringLiteral(":/qt/qml/Sendra/App/assets/MaterialIcons-Regular.ttf"));
    ASSERT_TRUE(font.open(QIODevice::ReadOnly));
    const QRawFont raw(font.readAll(), 24);
    ASSERT_TRUE(raw.isValid());
    QStringList names = SymbolMap::names();
    EXPECT_GE(names.size(), 60);
    for (const QString& name : names)
        EXPECT_TRUE(raw.supportsCharacter(*SymbolMap::codepoint(name))) << name.toStdString();
    EXPECT_TRUE(raw.supportsCharacter(SymbolMap::fallbackCodepoint()));
    const char32_t fallback = SymbolMap::fallbackCodepoint();
    EXPECT_EQ(SymbolMap::glyph("no.such.symbol"), QString::fromUcs4(&fallback, 1));
    EXPECT_EQ(SymbolMap::fontFamily(), raw.familyName());
}

// The screens take their type sizes and white transparencies from Theme, so one change there reaches them all.
TEST(VisualSystem, screensDrawWithThemesSizesAndTransparencies)
{
    const QString root = QStringLiteral(SENDRA_SOURCE_DIR "/Apps/Duririri/UI/qml/");
    int scanned = 0;
    for (const char* folder : {"Entry", "Shell", "Consoles", "Sheets"}) {
        QDirIterator files(root + QLatin1String(folder), {QStringLiteral("*.qml")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            QFile file(files.next());
            ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << file.fileName().toStdString();
            ++scanned;
            for (const QString& place : offThemeLiteralsIn(QString::fromUtf8(file.readAll())))
                ADD_FAILURE() << file.fileName().toStdString() << ":" << place.toStdString();
        }
    }
    EXPECT_GE(scanned, 15);

    // The reading itself: what it must catch and what it must let through.
    EXPECT_EQ(offThemeLiteralsIn("Text {\n    font.pixelSize: 13\n}").size(), 1);
    EXPECT_EQ(offThemeLiteralsIn("Text { font.pixelSize: wide ? Theme.fontTitle3 : 15 }").size(), 1);
    EXPECT_EQ(offThemeLiteralsIn("Text { font.pointSize: 9.5 }").size(), 1);
    EXPECT_EQ(offThemeLiteralsIn("Text { color: Qt.rgba(1, 1, 1, 0.55) }").size(), 1);
    EXPECT_EQ(offThemeLiteralsIn("Rectangle { color: Qt.rgba(1.0, 1.0, 1.0, pressed ? 0.08 : 0) }").size(), 1);
    EXPECT_EQ(offThemeLiteralsIn("Rectangle { border.color: \"#1fFFFFFF\" }").size(), 1);
    EXPECT_EQ(offThemeLiteralsIn("Text {\n    font.pixelSize: Theme.fontTitle3\n    color: Theme.textSecondary\n}"),
              QStringList());
    EXPECT_EQ(offThemeLiteralsIn("Rectangle { color: Qt.rgba(primary.r, primary.g, primary.b, 0.1) }"), QStringList());
    EXPECT_EQ(offThemeLiteralsIn("Rectangle { color: Qt.rgba(0, 0, 0, 0.6); radius: 12 }"), QStringList());
}

// Addresses from brands and catalogues are untrusted: links open only web and mail addresses, artwork is fetched
// only from web addresses.
TEST(VisualSystem, untrustedAddressesOpenAndLoadOnlyAsWebAddresses)
{
    for (const char* address : {"https://example.com/privacy", "http://example.com", "HTTPS://Example.com/a?b=c",
                                "mailto:support@example.com"})
        EXPECT_TRUE(LinkOpener::isOpenable(QUrl(QString::fromLatin1(address)))) << address;
    for (const char* address : {"", "file:///etc/passwd", "javascript:alert(1)", "ftp://example.com/x",
                                "smb://host/share", "x-scheme-handler://run", "https://", "mailto:", "/privacy",
                                "example.com/privacy", "data:text/html,<b>x</b>"})
        EXPECT_FALSE(LinkOpener::isOpenable(QUrl(QString::fromLatin1(address)))) << address;
    LinkOpener opener;
    EXPECT_FALSE(opener.open("file:///etc/passwd"));
    EXPECT_FALSE(opener.open("javascript:alert(1)"));

    EXPECT_EQ(ArtworkSource::source("https://cdn.example.com/p/a b.jpg?x=1&y=%2F"),
              "image://art/https%3A%2F%2Fcdn.example.com%2Fp%2Fa%20b.jpg%3Fx%3D1%26y%3D%252F");
    EXPECT_EQ(ArtworkSource::source("http://example.com/a.png", 12), "image://art/http%3A%2F%2Fexample.com%2Fa.png/12");
    for (const char* address : {"", "file:///home/user/a.png", "qrc:/a.png", "data:image/png;base64,AAAA",
                                "ftp://example.com/a.png", "https://", "/a.png"})
        EXPECT_EQ(ArtworkSource::source(QString::fromLatin1(address)), QString()) << address;

    // The provider's own reading of an id, for sources not built by ArtworkSource.
    const auto parsed = sendra::ui::ArtworkProvider::parseId("https%3A%2F%2Fexample.com%2Fa%2520b.png/8");
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->address, QUrl("https://example.com/a%20b.png"));
    EXPECT_EQ(parsed->radius, 8);
    EXPECT_FALSE(sendra::ui::ArtworkProvider::parseId("file%3A%2F%2F%2Fetc%2Fpasswd"));
    EXPECT_FALSE(sendra::ui::ArtworkProvider::parseId("https%3A%2F%2Fexample.com%2Fa.png/x"));
}
