// What a person types, a link or a source carries is cut down to what can be sent or shown safely: access codes
// to 0-9, identity names to what is visible, mail links to their recipients and message fields, a source's huge
// titles and names to what a text item can lay out at once.
#include "AppHarness.h"
#include "CommandDeckProbe.h"
#include "StubPlayers.h"
#include "TestDeck.h"

#include "Domain/ProductBrand.h"
#include "UI/AccessCode.h"
#include "UI/Browse.h"
#include "UI/FloatingPlayer.h"
#include "UI/Links.h"
#include "UI/NodeValues.h"

#include <QDesktopServices>
#include <QJsonDocument>
#include <QJsonObject>

namespace uitest {

using sendra::testing::film;

namespace {

// Stands in for the desktop's mail program.
class MailProgram : public QObject
{
    Q_OBJECT

public:
    QList<QUrl> opened;

public slots:
    void open(const QUrl& address) { opened.append(address); }
};

} // namespace

TEST(AccessCodeFilter, TurnsDecimalDigitsOfAnyScriptIntoZeroToNineAndDropsEverythingElse)
{
    struct Case {
        const char* typed;
        const char* kept;
    };
    const Case cases[] = {
        {"123a", "123"},
        {"12-34-56", "1234"}, // pasted with dashes between pairs
        {" 1 2 ", "12"},
        {"abc", ""},
        {"", ""},
        {"١٢٣٤٥", "1234"},             // Arabic-Indic
        {"۵۶۷", "567"},                // Extended Arabic-Indic (Persian)
        {"१२३४", "1234"},              // Devanagari
        {"１２-３４", "1234"},           // full-width
        {"𝟏𝟐-𝟑𝟒𝟓", "1234"},           // beyond the basic plane: two UTF-16 units each
        {"½x7", "7"},                  // a fraction is no digit
        {"五²①Ⅻ", ""},                 // nor a numeral ideograph, a superscript, a circled or Roman number
        {"1\uFE0F\u20E32x34", "1234"}, // a keycap is one character
        {"9\u0301", "9"},              // a digit with a combining mark
    };
    for (const Case& c : cases) {
        const QString kept = ui::accessCodeCharacters(QString::fromUtf8(c.typed));
        EXPECT_EQ(kept, QString::fromLatin1(c.kept)) << c.typed;
        EXPECT_EQ(ui::characterCount(kept), kept.size()) << c.typed;
    }
}

using UntrustedInputTest = AppTest;

// Digits of other scripts typed into the code sheet reach the platform as 0-9, so the code is admitted; before,
// the button was enabled and the code always refused without asking the platform.
TEST_F(UntrustedInputTest, ACodeTypedInArabicIndicDigitsReachesThePlatformAsZeroToNine)
{
    AppHarness& app = open();
    const QString slug = ProductBrand::presentation(ProductBrand::current()).slug;
    app.platform.setIdentifierAnswer("orr-club",
                                     fakes::FakePlatform::privateAnswer(slug, "orr-club", {{app.panelOrigin(), 1}}));
    app.platform.acceptCode(slug.toStdString(), "demo", "1234");
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("access.connect"); }));
    ASSERT_TRUE(app.type("access.server.field", "orr-club"));
    ASSERT_TRUE(app.type("access.user.field", "demo"));
    ASSERT_TRUE(app.type("access.password.field", "s3cret"));
    ASSERT_TRUE(app.click("access.connect"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("codeSheet.field"); }, 10000));

    ASSERT_TRUE(app.type("codeSheet.field", QString::fromUtf8("١٢٣")));
    EXPECT_EQ(app.property("codeSheet.field", "text").toString(), "123");
    EXPECT_FALSE(app.property("codeSheet.validate", "enabled").toBool());
    ASSERT_TRUE(app.type("codeSheet.field", QString::fromUtf8("١٢x-٣٤")));
    EXPECT_EQ(app.deck().accessCode(), "1234");
    EXPECT_TRUE(app.property("codeSheet.validate", "enabled").toBool());
    ASSERT_TRUE(app.click("codeSheet.validate"));
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().accessCodeRequired() && !app.deck().isConnecting(); }, 10000));
    EXPECT_FALSE(app.deck().errorMessage()) << app.deck().errorMessage()->toStdString();
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("codeSheet.field"); }));
}

// The identity form treats a name with nothing visible as blank, and a name typed with direction overrides and
// isolates (it would show reordered) is stored without them.
TEST_F(UntrustedInputTest, AnIdentityNameWithNothingVisibleIsBlankAndLosesItsDirectionOverrides)
{
    AppHarness& app = open();
    app.connectPanel(QString());
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("identity.name"); }));
    ASSERT_TRUE(app.type("identity.name", QString::fromUtf8("\u200B \u2060\u200D")));
    EXPECT_FALSE(app.property("identity.name", "text").toString().isEmpty()) << "the field refused the characters";
    EXPECT_FALSE(app.property("identity.create", "enabled").toBool());
    ASSERT_TRUE(app.type("identity.name", QString::fromUtf8("Ana\u202E \u2066Mar\u00EDa\u2069")));
    EXPECT_TRUE(app.property("identity.create", "enabled").toBool());
    ASSERT_TRUE(app.click("identity.create"));
    ASSERT_TRUE(app.deck().activeIdentity());
    EXPECT_EQ(app.deck().activeIdentity()->name, QString::fromUtf8("Ana Mar\u00EDa"));
}

// Some mail programs attach a local file named in the link ("attach", "attachment") or take headers of any
// name: a mailto link reaches the desktop with only its recipients, "to", "subject", "body", "cc" and "bcc".
TEST(Links, AMailtoLinkKeepsOnlyItsRecipientsAndMessageFields)
{
    MailProgram mail;
    QDesktopServices::setUrlHandler(QStringLiteral("mailto"), &mail, "open");
    const ui::Links opener;
    EXPECT_TRUE(opener.open(QStringLiteral("mailto:help@example.com,b@example.com?Subject=Hola%20t%C3%BA&attach=/home/"
                                           "ana/.ssh/id_rsa&body=a%26b%3Dc&ATTACHMENT=%2Fetc%2Fpasswd&cc=c@example.com"
                                           "&X-Header=1&bcc=d@example.com&to=e@example.com#frag")));
    EXPECT_TRUE(opener.open(QStringLiteral("mailto:help@example.com?attach=/home/ana/a.pdf")));
    EXPECT_FALSE(opener.open(QStringLiteral("mailto:help@example.com%3Fattach%3D%2Fhome%2Fana%2Fa.pdf")));
    EXPECT_FALSE(opener.open(QStringLiteral("mailto:?attach=/home/ana/a.pdf")));
    QDesktopServices::unsetUrlHandler(QStringLiteral("mailto"));

    ASSERT_EQ(mail.opened.size(), 2);
    EXPECT_EQ(mail.opened[0].toString(QUrl::FullyEncoded),
              "mailto:help@example.com,b@example.com?Subject=Hola%20t%C3%BA&body=a%26b%3Dc&cc=c@example.com"
              "&bcc=d@example.com&to=e@example.com");
    EXPECT_EQ(mail.opened[1].toString(QUrl::FullyEncoded), "mailto:help@example.com");
}

namespace {

// One grapheme cluster: 50,000 emoji of a family joined by zero-width joiners.
QString joinedEmoji()
{
    const QString family[] = {QString::fromUtf8("👨"), QString::fromUtf8("👩"), QString::fromUtf8("👧"),
                              QString::fromUtf8("👦")};
    QString text;
    for (int i = 0; i < 50'000; ++i) {
        if (i > 0)
            text += QChar(0x200D);
        text += family[i % 4];
    }
    return text;
}

QString letters()
{
    QString text(2'000'000, Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i)
        text[i] = QChar(char16_t(u'a' + i % 26));
    return text;
}

QString withoutJoiners(QString text)
{
    return text.remove(QChar(0x200D));
}

// What a text item was handed of a huge text: more than a window shows, yet bounded, its start (a run of
// joined emoji broken where it may wrap), cut neither inside a surrogate pair nor after a joiner, and ended with
// "…"; drawn, an item of a few lines shows "…" within them.
void expectCut(QObject* item, const QString& huge, qsizetype limit = ui::shownNameLimit)
{
    ASSERT_NE(item, nullptr);
    const QString shown = item->property("text").toString();
    const QString name = item->objectName();
    EXPECT_LE(shown.size(), limit + 1) << name.toStdString();
    EXPECT_GE(shown.size(), limit * 9 / 10) << name.toStdString();
    ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << name.toStdString();
    const QString kept = shown.chopped(1);
    EXPECT_TRUE(withoutJoiners(huge).startsWith(withoutJoiners(kept))) << name.toStdString();
    EXPECT_FALSE(kept.back().isHighSurrogate()) << name.toStdString();
    EXPECT_NE(kept.back(), QChar(0x200D)) << name.toStdString();
    auto* quick = qobject_cast<QQuickItem*>(item);
    if (quick && quick->isVisible() && quick->property("maximumLineCount").toInt() < 10 &&
        item->metaObject()->indexOfProperty("truncated") >= 0) {
        EXPECT_TRUE(item->property("truncated").toBool()) << name.toStdString();
    }
}

} // namespace

// A title, a category name or a synopsis of megabytes (one cluster of joined emoji, or two million letters) among
// ordinary entries: every screen that draws it (the spotlight, the library's rows, header and grid, the search
// results, the detail sheet, both players) is handed a bounded prefix ending in "…", and ordinary titles as they
// are.
TEST_F(UntrustedInputTest, AHugeTitleOrCategoryNameReachesEveryScreenAsABoundedElidedPrefix)
{
    StubPlayers stubs;
    AppHarness::Options options;
    options.prepare = [&](AppHarness& app) { app.context().setSessionFactory(stubs.factory()); };
    AppHarness& app = open(std::move(options));
    app.connectPanel();
    ui::FloatingPlayer& floating = app.app->floating();
    const QString action = QString::fromUtf8("Acción");
    const QString longTitled = QStringLiteral("Títulos extensos");
    const QString inLongGroup = QStringLiteral("Película en categoría larga");

    int round = 0;
    for (const QString& huge : {joinedEmoji(), letters()}) {
        SCOPED_TRACE(huge.size());
        // New ids each round: the deck keeps the details it loaded by id.
        const int ids = 10 * ++round;
        QList<MediaNode> nodes;
        for (int id = 1; id <= 5; ++id)
            nodes.append(film(ids + id, QStringLiteral("Película %1").arg(id), QStringLiteral("5"), action));
        nodes.append(film(ids + 6, huge, QStringLiteral("8"), longTitled));
        nodes.append(film(ids + 7, inLongGroup, QStringLiteral("9"), huge));
        CommandDeckProbe::install(app.deck(), nodes);
        const QString plot = QString::fromUtf8(
            QJsonDocument(QJsonObject{{"info", QJsonObject{{"plot", huge}}}}).toJson(QJsonDocument::Compact));
        app.panel.answer("get_vod_info", fakes::Reply::json(plot.toStdString()));

        // The spotlight draws all seven; its pages are turned with "next".
        app.deck().selectDock(CommandDeck::Dock::center);
        ASSERT_TRUE(app.waitFor([&] { return app.property("carousel", "count").toInt() == 7; }));
        int cut = 0;
        for (int page = 0; page < 7; ++page) {
            ASSERT_TRUE(app.waitFor([&] { return app.property("carousel", "index").toInt() == page; }));
            ASSERT_TRUE(app.waitFor([&] { return app.isShown("carousel.title"); }));
            QObject* title = app.find("carousel.title");
            const QString shown = title->property("text").toString();
            if (shown != inLongGroup && !shown.startsWith(QStringLiteral("Película "))) {
                app.drawn();
                expectCut(title, huge);
                ++cut;
            } else {
                EXPECT_FALSE(title->property("truncated").toBool()) << shown.toStdString();
            }
            ASSERT_TRUE(app.click("carousel.next"));
        }
        EXPECT_EQ(cut, 1);

        // The library's rows name the categories; a category's grid and the header's capsule.
        app.deck().selectDock(CommandDeck::Dock::library);
        app.singleton<ui::Browse>().setChosenKind(QString());
        app.singleton<ui::Browse>().chooseGroup(QString());
        // (A name without letters, as the emoji, is not offered as a row.)
        const int rowCount = int(app.deck().browsableGroups().size());
        ASSERT_TRUE(app.waitFor([&] { return app.property("library.rows", "count").toInt() == rowCount; }));
        QStringList rows;
        for (int row = 0; row < rowCount; ++row) {
            QMetaObject::invokeMethod(app.find("library.rows"), "positionViewAtIndex", Q_ARG(int, row), Q_ARG(int, 1));
            const QString name = QStringLiteral("library.row.%1.title").arg(row);
            ASSERT_TRUE(app.waitFor([&] { return app.isShown(name); }));
            app.drawn();
            QObject* title = app.find(name);
            rows.append(title->property("text").toString());
            if (rows.back() != action && rows.back() != longTitled)
                expectCut(title, huge);
        }
        EXPECT_TRUE(rows.contains(action) && rows.contains(longTitled)) << rows.join(", ").toStdString();
        app.singleton<ui::Browse>().openLibrary(QStringLiteral("movies"), QStringLiteral("movies:9"));
        ASSERT_TRUE(app.waitFor([&] { return app.isShown("library.grid.tile.0.title"); }));
        expectCut(app.find("library.menu"), huge);
        EXPECT_EQ(app.property("library.grid.tile.0.title", "text").toString(), inLongGroup);
        app.singleton<ui::Browse>().openLibrary(QStringLiteral("movies"), QStringLiteral("movies:8"));
        ASSERT_TRUE(app.waitFor([&] { return app.property("library.menu", "text").toString() == longTitled; }));
        ASSERT_TRUE(app.waitFor([&] { return app.isShown("library.grid.tile.0.title"); }));
        expectCut(app.find("library.grid.tile.0.title"), huge);

        // Found by its category's name and shown cut.
        app.deck().selectDock(CommandDeck::Dock::discover);
        app.singleton<ui::Browse>().setSearchText(QStringLiteral("extensos"));
        ASSERT_TRUE(app.waitFor([&] { return app.isShown("discover.result.0.title"); }));
        EXPECT_EQ(app.deck().searchResults().size(), 1);
        expectCut(app.find("discover.result.0.title"), huge);
        app.singleton<ui::Browse>().setSearchText(QStringLiteral("Película 3"));
        ASSERT_TRUE(app.waitFor([&] {
            return app.property("discover.result.0.title", "text").toString() == QStringLiteral("Película 3");
        }));

        // The detail sheet: title, synopsis, and a category name.
        app.deck().open(nodes[5]);
        ASSERT_TRUE(app.waitFor([&] { return app.isShown("detail.title"); }));
        expectCut(app.find("detail.title"), huge);
        EXPECT_EQ(app.property("detail.group", "text").toString(), longTitled);
        ASSERT_TRUE(app.waitFor([&] { return app.deck().selectedBrief().has_value(); }));
        ASSERT_TRUE(app.waitFor(
            [&] { return app.property("detail.synopsis", "text").toString().endsWith(QChar(0x2026)); }));
        expectCut(app.find("detail.synopsis"), huge, ui::shownSynopsisLimit);
        app.deck().open(nodes[6]);
        ASSERT_TRUE(app.waitFor([&] { return app.property("detail.title", "text").toString() == inLongGroup; }));
        expectCut(app.find("detail.group"), huge);
        app.deck().setSelectedNode(std::nullopt);
        ASSERT_TRUE(app.waitFor([&] { return !app.isShown("detail.title"); }));

        // The player in the main window and in the floating window.
        app.deck().play(nodes[5]);
        ASSERT_TRUE(app.waitFor([&] { return app.singleton<ui::Deck>().embeddedHost() != nullptr; }));
        expectCut(sendra::testing::findInWindow(app.window(), QStringLiteral("titleText")), huge);
        app.deck().minimizePlayback(0);
        ASSERT_TRUE(app.waitFor([&] { return floating.isShowing() && floating.window()->isVisible(); }));
        expectCut(sendra::testing::findInWindow(floating.window(), QStringLiteral("titleText")), huge);
        const QString windowTitle = floating.window()->title();
        EXPECT_LE(windowTitle.size(), ui::shownNameLimit + 1);
        EXPECT_TRUE(windowTitle.endsWith(QChar(0x2026)));
        app.deck().closePlayback(0);
        ASSERT_TRUE(app.waitFor([&] { return !floating.isShowing(); }));
    }
}

} // namespace uitest

#include "UntrustedInputTest.moc"
