// The entry screens in the real window over the loopback fakes: the access form, the private access-code sheet
// and the identity screen, driven with real clicks and keys.
#include "AppHarness.h"

#include "Domain/ProductBrand.h"
#include "Shared/QmlTextLookup.h"

#include <QQmlApplicationEngine>
#include <QQmlComponent>

namespace uitest {

namespace {

using fakes::FakePlatform;
using fakes::Reply;

const QString privateIdentifier = QStringLiteral("orr-club");
const char* const validatePath = "/api/platform/access/validate";

QString text(const AppHarness& app, const char* name)
{
    return app.property(name, "text").toString();
}

bool enabled(const AppHarness& app, const char* name)
{
    return app.property(name, "enabled").toBool();
}

bool aFieldHasFocus(const AppHarness& app)
{
    QQuickItem* focused = app.window()->activeFocusItem();
    return focused && focused->inherits("QQuickTextInput");
}

QString english(const QString& spanish)
{
    return playback::textIn(storedValue(AppLanguage::english), spanish);
}

} // namespace

using EntryScreensTest = AppTest;

// The wide layout needs the regular size class and 820 pixels; the layout's frame is never lower than the offered
// height less its padding, nor than 680 (wide) or 660 (narrow) pixels, so a short window scrolls.
TEST_F(EntryScreensTest, TheAccessLayoutFollowsSizeClassWidthAndHeight)
{
    AppHarness& app = open({.size = {1080, 700}});
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("access.wide"); })) << "the desktop window is wide";

    QQmlComponent component(&app.app->engine());
    component.setData("import Sendra.App\nAccessScreen {}", QUrl(QStringLiteral("qrc:/entry-test/Access.qml")));
    ASSERT_TRUE(component.isReady()) << component.errorString().toStdString();
    struct Case {
        bool regular;
        int width;
        int height;
        bool wide;
        double leastFrame;
    };
    const Case cases[] = {
        {true, 820, 600, true, 680},    {true, 819, 600, false, 660}, {false, 1200, 600, false, 660},
        {true, 820, 1000, true, 952},   {true, 819, 1000, false, 980},
    };
    for (const Case& c : cases) {
        std::unique_ptr<QObject> object(component.createWithInitialProperties(
            {{"regularSizeClass", c.regular}, {"width", c.width}, {"height", c.height}}));
        auto* screen = qobject_cast<QQuickItem*>(object.get());
        ASSERT_TRUE(screen);
        screen->setParentItem(app.window()->contentItem());
        app.idle();
        const QString name = QStringLiteral("%1x%2%3").arg(c.width).arg(c.height).arg(c.regular ? "" : " compact");
        EXPECT_EQ(screen->findChild<QObject*>(QStringLiteral("access.wide")) != nullptr, c.wide) << name.toStdString();
        EXPECT_EQ(screen->findChild<QObject*>(QStringLiteral("access.narrow")) != nullptr, !c.wide) << name.toStdString();
        auto* frame = screen->findChild<QQuickItem*>(QStringLiteral("access.frame"));
        ASSERT_TRUE(frame);
        EXPECT_GE(frame->height(), c.leastFrame) << name.toStdString();
        auto* scroller = screen->findChild<QQuickItem*>(QStringLiteral("access.scroll"));
        if (c.height == 600) {
            EXPECT_GT(scroller->property("contentHeight").toDouble(), c.height) << name.toStdString();
        }
    }
}

// No field takes focus at start and Return never connects; values typed under one method survive the switch to
// the other; the button, enabled with empty fields, takes the focus from the fields, shows the deck's step while
// connecting and cannot be pressed again. Texts follow a live language switch, placeholders stay as written.
TEST_F(EntryScreensTest, TheAccessFormWritesTheDraftAndConnectsOnlyFromItsButton)
{
    AppHarness& app = open({.size = {1080, 700}});
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("access.server.field"); }));
    EXPECT_FALSE(aFieldHasFocus(app));

    ASSERT_TRUE(app.type("access.server.field", "panel.example"));
    ASSERT_TRUE(app.type("access.user.field", "ana"));
    ASSERT_TRUE(app.type("access.password.field", "pw"));
    app.key(Qt::Key_Return);
    app.key(Qt::Key_Enter);
    app.idle(100);
    EXPECT_FALSE(app.deck().isConnecting());
    EXPECT_EQ(app.platform.requestCount(), 0u) << "Return connected";

    ASSERT_TRUE(app.click("access.method.playlist"));
    EXPECT_TRUE(app.waitFor([&] { return app.isShown("access.playlist.field"); }));
    for (const char* portalField : {"access.server", "access.user", "access.password"})
        EXPECT_FALSE(app.isShown(portalField)) << portalField;
    ASSERT_TRUE(app.type("access.playlist.field", "http://lists.example/all.m3u"));
    ASSERT_TRUE(app.click("access.method.portal"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("access.server.field"); }));
    EXPECT_FALSE(app.isShown("access.playlist"));
    EXPECT_EQ(text(app, "access.server.field"), "panel.example");
    EXPECT_EQ(text(app, "access.user.field"), "ana");
    EXPECT_EQ(text(app, "access.password.field"), "pw");
    const SourceDraft& draft = app.deck().draft();
    EXPECT_EQ(draft.method, SourceMethod::portal);
    EXPECT_EQ(draft.server, "panel.example");
    EXPECT_EQ(draft.password, "pw");
    EXPECT_EQ(draft.playlist, "http://lists.example/all.m3u");

    // The platform's answer is held: the deck stays on its first step.
    app.platform.route("GET", "/api/platform/resolve", Reply::empty(503).held());
    ASSERT_TRUE(app.click("access.user.field"));
    ASSERT_TRUE(aFieldHasFocus(app));
    ASSERT_TRUE(app.click("access.connect"));
    ASSERT_TRUE(app.waitFor([&] { return app.platform.heldCount() > 0; }));
    EXPECT_FALSE(aFieldHasFocus(app)) << "the connect button leaves no field focused";
    const QString step = app.deck().connectionStatus();
    EXPECT_FALSE(step.isEmpty());
    EXPECT_EQ(text(app, "access.connect.label"), step);
    EXPECT_TRUE(app.isShown("access.connect.spinner"));
    EXPECT_FALSE(enabled(app, "access.connect"));
    app.click("access.connect");
    app.idle(100);
    EXPECT_EQ(app.platform.requestCount("/api/platform/resolve"), 1u) << "a busy button was pressed again";

    app.deck().selectLanguage(AppLanguage::english);
    EXPECT_EQ(text(app, "access.connect.label"), english(step));
    EXPECT_NE(english(step), step);
    EXPECT_EQ(text(app, "access.title"), english("Vincula tu señal"));
    EXPECT_EQ(text(app, "access.header"), "CONNECT SOURCE");
    EXPECT_EQ(text(app, "access.method.playlist.label"), "M3U playlist");
    EXPECT_EQ(text(app, "access.feature.parental.title"), english("Protección parental"));
    EXPECT_EQ(text(app, "access.support.label"), "Support");
    EXPECT_EQ(app.property("access.server.field", "placeholderText").toString(), "Acceso");

    app.platform.release();
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().isConnecting(); }));
    EXPECT_TRUE(enabled(app, "access.connect"));
    EXPECT_EQ(text(app, "access.connect.label"), "Continue");
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("root.alert.accept"); }));
    ASSERT_TRUE(app.click("root.alert.accept"));
    EXPECT_EQ(app.deck().draft().user, "ana") << "a failed connection keeps the form";
    app.deck().selectLanguage(AppLanguage::spanish);
}

// A private brand's code: the sheet takes the focus, keeps only four numbers, submits nothing on Return, shows
// the deck's error above itself, and is left only by its buttons or Escape, never while the deck validates. The
// brand it shows recolours the access screen, and cancelling brings the product's colours back. The right code
// closes it and connects.
TEST_F(EntryScreensTest, TheCodeSheetFiltersTheCodeAndIsLeftOnlyWhenIdle)
{
    AppHarness& app = open();
    const QString slug = ProductBrand::presentation(ProductBrand::current()).slug;
    app.platform.setIdentifierAnswer(privateIdentifier.toStdString(),
                                     FakePlatform::privateAnswer(slug, privateIdentifier, {{app.panelOrigin(), 1}}));
    app.platform.acceptCode(slug.toStdString(), "demo", "4321");
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("access.connect"); }));
    const QColor productColour = app.property("access.connect.background", "color").value<QColor>();
    ASSERT_NE(productColour, QColor("#112233"));

    ASSERT_TRUE(app.type("access.server.field", privateIdentifier));
    ASSERT_TRUE(app.type("access.user.field", "demo"));
    ASSERT_TRUE(app.type("access.password.field", "s3cret"));
    ASSERT_TRUE(app.click("access.connect"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("codeSheet.field"); }, 10000));
    EXPECT_EQ(app.window()->activeFocusItem(), app.item("codeSheet.field"));
    EXPECT_EQ(app.property("access.connect.background", "color").value<QColor>(), QColor("#112233"));
    EXPECT_FALSE(enabled(app, "codeSheet.validate"));
    // The sample code shows in the empty, focused field, and goes with the first digit.
    EXPECT_TRUE(app.isShown("codeSheet.placeholder"));

    ASSERT_TRUE(app.type("codeSheet.field", "12a"));
    EXPECT_EQ(text(app, "codeSheet.field"), "12");
    EXPECT_FALSE(app.isShown("codeSheet.placeholder"));
    EXPECT_EQ(app.deck().accessCode(), "12");
    EXPECT_FALSE(enabled(app, "codeSheet.validate"));
    ASSERT_TRUE(app.type("codeSheet.field", "9-8-7-6-5"));
    EXPECT_EQ(text(app, "codeSheet.field"), "9876");
    EXPECT_TRUE(enabled(app, "codeSheet.validate"));
    // The connection asked the platform once already (whether the panel's provider is admitted).
    const std::size_t asked = app.platform.requestCount(validatePath);
    app.key(Qt::Key_Return);
    app.idle(100);
    EXPECT_EQ(app.platform.requestCount(validatePath), asked) << "Return validated";

    // A wrong code: the alert shows above the open sheet (a real click reaches its button) and the code stays.
    ASSERT_TRUE(app.type("codeSheet.field", "1111"));
    ASSERT_TRUE(app.click("codeSheet.validate"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("root.alert.accept"); }));
    EXPECT_TRUE(app.isShown("codeSheet.field"));
    ASSERT_TRUE(app.click("root.alert.accept"));
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("root.alert.accept"); })) << "the alert is under the sheet";
    EXPECT_FALSE(app.deck().errorMessage());
    EXPECT_EQ(text(app, "codeSheet.field"), "1111");

    // Idle: Escape is "Cancelar".
    app.key(Qt::Key_Escape);
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("codeSheet.field"); }));
    EXPECT_FALSE(app.deck().accessCodeRequired());
    EXPECT_EQ(app.deck().activeBrand(), ProductBrand::presentation(ProductBrand::current()));
    EXPECT_EQ(app.property("access.connect.background", "color").value<QColor>(), productColour);

    // Connecting again and typing the right code: while the deck validates both buttons are disabled and Escape
    // does nothing; then the sheet closes and the source is connected.
    ASSERT_TRUE(app.click("access.connect"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("codeSheet.field"); }, 10000));
    EXPECT_TRUE(app.isShown("codeSheet.placeholder"));
    app.typeKeys(QStringLiteral("4321"));
    app.deck().selectLanguage(AppLanguage::english);
    EXPECT_EQ(text(app, "codeSheet.title"), "Access code");
    EXPECT_EQ(text(app, "codeSheet.validate.label"), "Validate and enter");
    EXPECT_EQ(app.property("codeSheet.cancel", "text").toString(), "Cancel");
    app.platform.route("POST", validatePath, Reply::json(R"({"valid":true})").held());
    ASSERT_TRUE(app.click("codeSheet.validate"));
    ASSERT_TRUE(app.waitFor([&] { return app.platform.heldCount() > 0; }));
    EXPECT_FALSE(enabled(app, "codeSheet.validate"));
    EXPECT_FALSE(enabled(app, "codeSheet.cancel"));
    EXPECT_EQ(text(app, "codeSheet.validate.label"), english(app.deck().connectionStatus()));
    app.key(Qt::Key_Escape);
    EXPECT_TRUE(app.deck().accessCodeRequired());
    EXPECT_TRUE(app.isShown("codeSheet.field"));
    app.platform.release();
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("codeSheet.field"); }, 10000));
    EXPECT_TRUE(app.waitFor([&] { return app.deck().phase() == CommandDeck::Phase::profiles; }, 10000))
        << app.deck().errorMessage().value_or(QString()).toStdString();
    EXPECT_FALSE(app.deck().accessCodeRequired());
    app.deck().selectLanguage(AppLanguage::spanish);
}

// Tiles select and delete (from the context menu, two identities of one name told apart); the form's button is
// disabled for a blank name, the glyph choice goes with the name, and the texts follow a language switch.
TEST_F(EntryScreensTest, IdentitiesAreChosenDeletedAndCreatedFromTheScreen)
{
    AppHarness& app = open({.size = {1080, 700}});
    app.connectPanel(QString());
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("identity.name"); }));
    EXPECT_FALSE(app.isShown("identity.tiles"));
    EXPECT_FALSE(enabled(app, "identity.create"));

    app.deck().addIdentity(QStringLiteral("Ana"), QStringLiteral("scope"));
    app.deck().addIdentity(QStringLiteral("Ana"), QStringLiteral("flame.fill"));
    app.deck().setPhase(CommandDeck::Phase::profiles);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("identity.tile.1"); }));
    const QUuid first = app.deck().identities()[0].id;
    ASSERT_TRUE(app.click("identity.tile.1", Qt::RightButton));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("identity.menu.delete"); }));
    // The menu is drawn dark under its white text, also while the pointer is over the item.
    QQuickItem* remove = app.item("identity.menu.delete");
    const QPointF over = remove->mapToScene(QPointF(remove->width() / 2, remove->height() / 2));
    QTest::mouseMove(app.window(), over.toPoint());
    // The offscreen platform turns hover effects off: the keyboard highlights the item as hovering does.
    if (!remove->property("highlighted").toBool())
        app.key(Qt::Key_Down);
    ASSERT_TRUE(app.waitFor([&] { return remove->property("highlighted").toBool(); }));
    app.drawn();
    const QImage drawn = app.window()->grabWindow();
    const QRectF band(remove->mapToScene(QPointF(0, 0)), QSizeF(remove->width(), remove->height()));
    double lightness = 0;
    int pixels = 0;
    for (int y = int(band.top()) + 2; y < int(band.bottom()) - 2; ++y) {
        for (int x = int(band.left()) + 2; x < int(band.right()) - 2; ++x) {
            lightness += QColor(drawn.pixel(x, y)).lightnessF();
            ++pixels;
        }
    }
    ASSERT_GT(pixels, 0);
    EXPECT_LT(lightness / pixels, 0.45) << "the hovered item's band is light under white text";
    ASSERT_TRUE(app.click("identity.menu.delete"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().identities().size() == 1; }));
    EXPECT_EQ(app.deck().identities()[0].id, first);
    EXPECT_TRUE(app.waitFor([&] { return !app.find("identity.tile.1"); }));
    ASSERT_TRUE(app.click("identity.tile.0"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().phase() == CommandDeck::Phase::ready; }));
    EXPECT_EQ(app.deck().activeIdentity()->id, first);

    app.deck().setPhase(CommandDeck::Phase::profiles);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("identity.name"); }));
    ASSERT_TRUE(app.type("identity.name", "  \t "));
    EXPECT_FALSE(enabled(app, "identity.create"));
    app.key(Qt::Key_Return);
    EXPECT_EQ(app.deck().identities().size(), 1);

    app.deck().selectLanguage(AppLanguage::english);
    EXPECT_EQ(text(app, "identity.title"), english("¿Quién toma el mando?"));
    EXPECT_EQ(text(app, "identity.create.label"), "Create and continue");
    EXPECT_LT(app.item("identity.create.arrow")->mapToScene(QPointF(0, 0)).x(),
              app.item("identity.create.label")->mapToScene(QPointF(0, 0)).x());
    EXPECT_EQ(app.property("identity.name", "placeholderText").toString(), "Name");
    EXPECT_EQ(text(app, "identity.pill.text"), english("Identidades locales").toUpper());
    EXPECT_EQ(text(app, "identity.tile.0.name"), "Ana");

    ASSERT_TRUE(app.type("identity.name", "  Bea  "));
    EXPECT_TRUE(enabled(app, "identity.create"));
    EXPECT_TRUE(app.property("identity.glyph.0", "selected").toBool());
    ASSERT_TRUE(app.click("identity.glyph.3"));
    EXPECT_TRUE(app.property("identity.glyph.3", "selected").toBool());
    EXPECT_FALSE(app.property("identity.glyph.0", "selected").toBool());
    ASSERT_TRUE(app.click("identity.create"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().phase() == CommandDeck::Phase::ready; }));
    ASSERT_TRUE(app.deck().activeIdentity());
    EXPECT_EQ(app.deck().activeIdentity()->name, "Bea");
    EXPECT_EQ(app.deck().activeIdentity()->glyph, "mountain.2.fill");
    app.deck().selectLanguage(AppLanguage::spanish);
}

// What a person does on a fresh start: the free panel's credentials typed, "Continuar", a new identity, the shell.
TEST_F(EntryScreensTest, APersonConnectsTheFreePanelAndCreatesAnIdentity)
{
    AppHarness& app = open();
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("access.server.field"); }));
    ASSERT_TRUE(app.type("access.server.field", app.panelOrigin()));
    ASSERT_TRUE(app.type("access.user.field", "demo"));
    ASSERT_TRUE(app.type("access.password.field", "s3cret"));
    ASSERT_TRUE(app.click("access.connect"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("identity.name"); }, 10000))
        << app.deck().errorMessage().value_or(QString()).toStdString();
    ASSERT_TRUE(app.type("identity.name", "Ana"));
    ASSERT_TRUE(app.click("identity.create"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().phase() == CommandDeck::Phase::ready; }));
    EXPECT_TRUE(app.waitFor([&] { return app.isShown("shell.screen"); }));
    EXPECT_EQ(app.deck().activeIdentity()->name, "Ana");
}

} // namespace uitest
