// What a person types or a link carries is cut down to what can be sent or shown safely: access codes to 0-9,
// identity names to what is visible, mail links to their recipients and message fields.
#include "AppHarness.h"

#include "Domain/ProductBrand.h"
#include "UI/AccessCode.h"
#include "UI/Links.h"

#include <QDesktopServices>

namespace uitest {

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

} // namespace uitest

#include "UntrustedInputTest.moc"
