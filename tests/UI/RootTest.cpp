#include "AppHarness.h"

namespace uitest {

namespace {

// Exactly one phase screen is in the window.
QStringList phaseScreens(const AppHarness& app)
{
    QStringList shown;
    for (const char* name : {"root.starting", "access.screen", "identity.screen", "shell.screen"}) {
        if (app.find(QString::fromLatin1(name)))
            shown.append(QString::fromLatin1(name));
    }
    return shown;
}

} // namespace

using RootTest = AppTest;

// Start, access, identities and the shell follow the deck's phase, one screen at a time; the one alert shows the
// error (not the playback message) titled with the brand's name, and dismissing it clears both messages.
TEST_F(RootTest, routesEachPhaseAndTheAlertClearsBothMessages)
{
    AppHarness& app = open();
    ASSERT_TRUE(app.waitFor([&] { return phaseScreens(app) == QStringList{"access.screen"}; }))
        << phaseScreens(app).join(',').toStdString();

    app.deck().setErrorMessage(QStringLiteral("No fue posible validar el código."));
    app.deck().setPlaybackMessage(QStringLiteral("No fue posible reproducir."));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("root.alert.message"); }));
    EXPECT_EQ(app.property("root.alert.message", "text").toString(), "No fue posible validar el código.");
    EXPECT_EQ(app.property("root.alert.title", "text").toString(), app.deck().activeBrand().name);
    const auto textLeft = [&](const char* name) {
        QQuickItem* label = app.item(name);
        return label->mapToScene(QPointF(label->property("leftPadding").toReal(), 0)).x();
    };
    EXPECT_EQ(textLeft("root.alert.message"), textLeft("root.alert.title"));
    ASSERT_TRUE(app.click("root.alert.accept"));
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().errorMessage() && !app.deck().playbackMessage(); }));
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("root.alert.message"); }));

    // A later failure shows the alert again, translated in English.
    app.deck().selectLanguage(AppLanguage::english);
    app.deck().setPlaybackMessage(QStringLiteral("No fue posible reproducir."));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("root.alert.message"); }));
    EXPECT_NE(app.property("root.alert.message", "text").toString(), "No fue posible reproducir.");
    app.key(Qt::Key_Escape);
    EXPECT_TRUE(app.waitFor([&] { return !app.deck().playbackMessage(); }));

    app.connectPanel(QString());
    EXPECT_TRUE(app.waitFor([&] { return phaseScreens(app) == QStringList{"identity.screen"}; }));
    app.deck().addIdentity(QStringLiteral("Ana"), QStringLiteral("scope"));
    EXPECT_TRUE(app.waitFor([&] { return phaseScreens(app) == QStringList{"shell.screen"}; }));
    app.deck().selectLanguage(AppLanguage::spanish);
}

} // namespace uitest
