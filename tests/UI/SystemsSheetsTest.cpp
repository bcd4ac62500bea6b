#include "AppHarness.h"
#include "DemoCatalog.h"
#include "StubPlayers.h"

#include "fakes/FakePlaylistHost.h"

#include <QRegularExpression>

namespace uitest {

namespace {

using fakes::FakeSpeedTest;

QString text(const AppHarness& app, const QString& name)
{
    return app.property(name, "text").toString();
}

// The shell's systems section.
void showSystems(AppHarness& app)
{
    app.singleton<ui::Deck>().selectDock(ui::Deck::Systems);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("systems.console"); }));
}

} // namespace

class SystemsSheetsTest : public AppTest
{
protected:
    // The window over the free panel, with players that open nothing.
    AppHarness& openWithStubPlayers()
    {
        AppHarness::Options options;
        options.prepare = [this](AppHarness& app) { app.context().setSessionFactory(stubs.factory()); };
        AppHarness& app = open(std::move(options));
        app.connectPanel();
        return app;
    }

    // Both outlive the application, which the harness takes down.
    fakes::FakePlaylistHost playlistHost;
    StubPlayers stubs;
};

// The network check's button while a check runs (label, cannot be pressed twice, still running after leaving the
// section), its values and a failed check;
// the refresh's notice in the alert (dismissing clears it), the live switch to English, identity change and
// unlinking without confirmation.
TEST_F(SystemsSheetsTest, systemsConsoleFollowsTheDecksWork)
{
    AppHarness& app = open();
    app.connectPanel();
    showSystems(app);

    EXPECT_EQ(text(app, "systems.check.label"), "Iniciar diagnóstico");
    EXPECT_EQ(text(app, "systems.refresh.detail"), "Consulta la versión más reciente disponible");
    EXPECT_EQ(text(app, "systems.identity.detail"), "Ana");
    app.speedTest.setBehaviour(FakeSpeedTest::Step::latency, {.mode = fakes::Reply::Mode::Hold});
    ASSERT_TRUE(app.click("systems.check"));
    ASSERT_TRUE(app.waitFor([&] { return app.speedTest.heldCount() == 1; }));
    EXPECT_EQ(text(app, "systems.check.label"), "Midiendo conexión…");
    EXPECT_FALSE(app.property("systems.check", "enabled").toBool());
    app.click("systems.check");
    app.idle();
    EXPECT_EQ(app.speedTest.requestsFor(FakeSpeedTest::Step::latency).size(), 1u);
    // Leaving the section does not stop the check; coming back shows it still running.
    app.singleton<ui::Deck>().selectDock(ui::Deck::Center);
    ASSERT_TRUE(app.waitFor([&] { return !app.find("systems.console"); }));
    showSystems(app);
    EXPECT_EQ(text(app, "systems.check.label"), "Midiendo conexión…");
    app.speedTest.setBehaviour(FakeSpeedTest::Step::latency, {});
    app.speedTest.release();
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().networkCheckRunning(); }, 20000));
    EXPECT_EQ(text(app, "systems.check.label"), "Iniciar diagnóstico");
    const QRegularExpression oneDecimal(QStringLiteral("^\\d+\\.\\d$"));
    EXPECT_TRUE(oneDecimal.match(text(app, "systems.download.value")).hasMatch())
        << text(app, "systems.download.value").toStdString();
    EXPECT_TRUE(oneDecimal.match(text(app, "systems.upload.value")).hasMatch());
    EXPECT_TRUE(QRegularExpression("^\\d+$").match(text(app, "systems.latency.value")).hasMatch());

    app.speedTest.setBehaviour(FakeSpeedTest::Step::latency, {.status = 500});
    ASSERT_TRUE(app.click("systems.check"));
    ASSERT_TRUE(app.waitFor([&] { return text(app, "systems.latency.value") == "—"; }, 20000));

    // The refresh of a source without prepared versions ends at once with a notice; asked for in English, its
    // texts still follow the switch back to Spanish.
    app.deck().selectLanguage(AppLanguage::english);
    ASSERT_TRUE(app.waitFor([&] { return text(app, "systems.check.label") == "Run diagnostics"; }));
    ASSERT_TRUE(app.click("systems.refresh"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("systems.notice.message"); }));
    EXPECT_EQ(text(app, "systems.notice.title"), "Update failed");
    EXPECT_EQ(text(app, "systems.notice.message"), "No update is available for this source.");
    EXPECT_EQ(text(app, "systems.refresh.detail"), "No update is available for this source.");
    ASSERT_TRUE(app.click("systems.notice.accept"));
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().catalogRefreshNotice(); }));
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("systems.notice.message"); }));
    EXPECT_EQ(text(app, "systems.language.es.label"), "Español");
    EXPECT_EQ(text(app, "systems.language.en.label"), "English");
    ASSERT_TRUE(app.click("systems.language.es"));
    EXPECT_EQ(app.deck().appLanguage(), AppLanguage::spanish);
    EXPECT_EQ(text(app, "systems.check.label"), "Iniciar diagnóstico");
    EXPECT_EQ(text(app, "systems.refresh.detail"), "No hay una actualización disponible para esta fuente.");

    ASSERT_TRUE(app.click("systems.identity"));
    ASSERT_TRUE(app.waitFor([&] { return app.find("identity.screen"); }));
    app.deck().setPhase(CommandDeck::Phase::ready);
    showSystems(app);
    ASSERT_TRUE(app.click("systems.unlink"));
    EXPECT_TRUE(app.waitFor([&] { return app.find("access.screen"); }));
    EXPECT_EQ(app.deck().phase(), CommandDeck::Phase::access);
    EXPECT_FALSE(app.vault().source().has_value());
}

// A film: the fallback synopsis and the loading line while its details load, then the trimmed synopsis; the
// favourite toggles without closing; the language switches live; an error shows above the sheet; "Reproducir" plays and
// closes. A series: no play button, its seasons ("Temporada %lld" in English), and an episode row plays that episode
// and closes.
TEST_F(SystemsSheetsTest, detailSheetShowsTheEntryAndPlaysFromIt)
{
    AppHarness& app = openWithStubPlayers();

    app.panel.answer("get_vod_info", fakes::Reply::json(R"({"info":{"plot":"\n  Una trama  \n"}})").held());
    app.deck().selectLanguage(AppLanguage::english);
    app.deck().open(*nodeTitled(app.deck(), "Película A"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("detail.title"); }));
    EXPECT_EQ(text(app, "detail.kind.text"), "MOVIES");
    EXPECT_EQ(text(app, "detail.favorite.label"), "Add to favorites");
    app.deck().selectLanguage(AppLanguage::spanish);
    EXPECT_EQ(text(app, "detail.kind.text"), "PELÍCULAS");
    EXPECT_EQ(text(app, "detail.title"), "Película A");
    EXPECT_EQ(text(app, "detail.group"), "Acción");
    EXPECT_EQ(text(app, "detail.synopsis"), "Información proporcionada por la fuente conectada.");
    EXPECT_TRUE(app.isShown("detail.loading"));
    EXPECT_EQ(text(app, "detail.loading.text"), "Cargando información…");
    EXPECT_TRUE(app.isShown("detail.play"));
    ASSERT_TRUE(app.waitFor([&] { return app.panel.heldCount() == 1; }));
    app.panel.release();
    ASSERT_TRUE(app.waitFor([&] { return !app.isShown("detail.loading"); }));
    EXPECT_EQ(text(app, "detail.synopsis"), "Una trama");

    ASSERT_TRUE(app.click("detail.favorite"));
    EXPECT_TRUE(app.waitFor([&] { return text(app, "detail.favorite.label") == "En favoritos"; }));
    ASSERT_TRUE(app.click("detail.favorite"));
    EXPECT_TRUE(app.waitFor([&] { return text(app, "detail.favorite.label") == "Agregar favorito"; }));

    app.deck().setErrorMessage(QStringLiteral("No fue posible reproducir."));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("root.alert.accept"); }));
    ASSERT_TRUE(app.click("root.alert.accept"));
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().errorMessage(); })) << "the alert is under the sheet";
    EXPECT_TRUE(app.deck().selectedNode().has_value());

    ASSERT_TRUE(app.click("detail.play"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().playback().has_value() && !app.deck().selectedNode(); }));
    EXPECT_EQ(app.deck().playback()->node.title, "Película A");
    ASSERT_TRUE(app.waitFor([&] { return !app.isShown("detail.synopsis"); }));
    app.deck().closePlayback(0);

    app.deck().selectLanguage(AppLanguage::english);
    app.deck().open(*nodeTitled(app.deck(), "Serie Larga"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("detail.episode.1.0"); }));
    EXPECT_FALSE(app.isShown("detail.play"));
    EXPECT_EQ(text(app, "detail.season.0.title"), "Season 1");
    EXPECT_EQ(text(app, "detail.season.1.title"), "Season 2");
    EXPECT_EQ(text(app, "detail.episode.0.1.number"), "02");
    ASSERT_TRUE(app.click("detail.episode.0.1"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().playback().has_value() && !app.deck().selectedNode(); }));
    EXPECT_EQ(app.deck().playback()->episodeIndex, 1);
    EXPECT_EQ(app.deck().playback()->episodes.size(), 3);
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("detail.synopsis"); }));
    app.deck().closePlayback(0);
    app.deck().selectLanguage(AppLanguage::spanish);
}

// A panel's series whose details hold no season still offers no "Reproducir". A series of the demo's playlist is
// one address with empty details: the loading line ends, "Reproducir" plays that address and closes the sheet, and
// its resume marker plays it again from where it was left, as a film's does.
TEST_F(SystemsSheetsTest, aPlaylistSeriesPlaysFromItsSheetAndResumes)
{
    AppHarness& app = openWithStubPlayers();

    app.panel.answer("get_series_info", fakes::Reply::json("{}"));
    app.deck().open(*nodeTitled(app.deck(), "Serie Larga"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("detail.title") && !app.isShown("detail.loading"); }));
    EXPECT_FALSE(app.isShown("detail.play"));
    ASSERT_TRUE(app.click("detail.close"));
    ASSERT_TRUE(app.waitFor([&] { return !app.isShown("detail.title"); }));

    const demo::DemoCatalog catalog(3000, 1, playlistHost.baseUrl());
    SourceDraft draft;
    draft.method = SourceMethod::playlist;
    draft.playlist =
        playlistHost.publish("/lists/demo.m3u", catalog.playlist(playlistHost.baseUrl()).toStdString()).toString();
    app.platform.setOriginAnswer(playlistHost.baseUrl().toString().toStdString(), fakes::FakePlatform::freeAnswer());
    app.deck().setDraft(draft);
    app.deck().connect();
    ASSERT_TRUE(app.waitFor([&] { return !app.deck().isConnecting(); }, 20000));
    ASSERT_EQ(app.deck().errorMessage(), std::nullopt);
    ASSERT_EQ(app.deck().phase(), CommandDeck::Phase::ready);
    const NodeView series = app.deck().nodesByKind().value(SignalKind::episodic);
    ASSERT_FALSE(series.isEmpty());
    const MediaNode node = series[0];
    ASSERT_TRUE(node.directURL);

    app.deck().open(node);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("detail.title") && !app.isShown("detail.loading"); }));
    EXPECT_FALSE(app.find("detail.season.0"));
    ASSERT_TRUE(app.click("detail.play"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().playback().has_value() && !app.deck().selectedNode(); }));
    EXPECT_EQ(app.deck().playback()->stream, node.directURL->url());
    EXPECT_TRUE(app.deck().playback()->episodes.isEmpty());
    EXPECT_TRUE(app.waitFor([&] { return !app.isShown("detail.title"); }));
    app.deck().closePlayback(0.4);

    app.singleton<ui::Deck>().selectDock(ui::Deck::Center);
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("center.resume.card.0.open"); }));
    ASSERT_EQ(app.deck().resumeMarkers().size(), 1);
    EXPECT_EQ(app.deck().resumeMarkers()[0].id, node.catalogKey());
    EXPECT_NEAR(app.deck().resumeMarkers()[0].fraction, 0.4, 1e-9);
    ASSERT_TRUE(app.click("center.resume.card.0.open"));
    ASSERT_TRUE(app.waitFor([&] { return app.deck().playback().has_value(); }));
    EXPECT_EQ(app.deck().playback()->stream, node.directURL->url());
    EXPECT_NEAR(app.deck().playback()->resumeFraction, 0.4, 1e-9);
    app.deck().closePlayback(0);
}

// With no PIN stored the protection could never be switched off: the sheet asks for a new PIN instead. Then the
// three messages (through the lookup; the fields keep what was typed), activation, a wrong and a right PIN to
// switch it off, Return that submits nothing, and "Cerrar".
TEST_F(SystemsSheetsTest, parentalSheetSwitchesTheProtectionWithItsPins)
{
    AppHarness& app = open();
    app.connectPanel();
    app.deck().setParental(true);
    showSystems(app);
    EXPECT_EQ(text(app, "systems.parental.title"), "Protección activa");

    ASSERT_TRUE(app.click("systems.parental"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("parental.pin.field"); }));
    EXPECT_TRUE(app.isShown("parental.missingPin"));
    EXPECT_TRUE(app.isShown("parental.confirmation.field"));
    ASSERT_TRUE(app.type("parental.pin.field", "2580"));
    ASSERT_TRUE(app.type("parental.confirmation.field", "2580"));
    ASSERT_TRUE(app.click("parental.action"));
    ASSERT_TRUE(app.waitFor([&] { return !app.isShown("parental.pin.field"); }));
    EXPECT_TRUE(app.deck().parentalEnabled());
    EXPECT_TRUE(app.vault().validatePIN("2580"));

    // Switching it off: a wrong PIN, Return, then the right one.
    ASSERT_TRUE(app.click("systems.parental"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("parental.pin.field"); }));
    EXPECT_EQ(text(app, "parental.pin.field"), "");
    EXPECT_FALSE(app.isShown("parental.confirmation.field"));
    EXPECT_EQ(text(app, "parental.action.label"), "Desactivar protección");
    ASSERT_TRUE(app.type("parental.pin.field", "0000"));
    ASSERT_TRUE(app.click("parental.action"));
    EXPECT_EQ(text(app, "parental.message"), "El PIN es incorrecto.");
    app.deck().selectLanguage(AppLanguage::english);
    EXPECT_TRUE(app.waitFor([&] { return text(app, "parental.message") == "The PIN is incorrect."; }));
    app.deck().selectLanguage(AppLanguage::spanish);
    EXPECT_EQ(text(app, "parental.pin.field"), "0000");
    ASSERT_TRUE(app.type("parental.pin.field", "2580"));
    app.key(Qt::Key_Return);
    EXPECT_TRUE(app.isShown("parental.pin.field"));
    EXPECT_TRUE(app.deck().parentalEnabled());
    ASSERT_TRUE(app.click("parental.action"));
    ASSERT_TRUE(app.waitFor([&] { return !app.isShown("parental.pin.field"); }));
    EXPECT_FALSE(app.deck().parentalEnabled());
    EXPECT_EQ(text(app, "systems.parental.title"), "Control parental");

    // Switching it on: the length and digit rules, the confirmation, then success.
    ASSERT_TRUE(app.click("systems.parental"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("parental.confirmation.field"); }));
    EXPECT_FALSE(app.isShown("parental.missingPin"));
    EXPECT_EQ(text(app, "parental.action.label"), "Activar protección");
    const struct {
        const char* pin;
        const char* confirmation;
        const char* message;
    } failures[] = {
        {"12a4", "12a4", "El PIN debe tener cuatro números."},
        {"123", "999", "El PIN debe tener cuatro números."},
        {"1234", "1235", "Los PIN no coinciden."},
    };
    for (const auto& failure : failures) {
        ASSERT_TRUE(app.type("parental.pin.field", failure.pin));
        ASSERT_TRUE(app.type("parental.confirmation.field", failure.confirmation));
        ASSERT_TRUE(app.click("parental.action"));
        EXPECT_EQ(text(app, "parental.message"), failure.message) << failure.pin;
        EXPECT_EQ(text(app, "parental.pin.field"), failure.pin);
        EXPECT_FALSE(app.deck().parentalEnabled());
    }
    app.deck().selectLanguage(AppLanguage::english);
    EXPECT_TRUE(app.waitFor([&] { return text(app, "parental.message") == "The PINs don't match."; }));
    ASSERT_TRUE(app.click("parental.action"));
    app.deck().selectLanguage(AppLanguage::spanish);
    EXPECT_EQ(text(app, "parental.message"), "Los PIN no coinciden.");
    ASSERT_TRUE(app.type("parental.confirmation.field", "1234"));
    ASSERT_TRUE(app.click("parental.action"));
    ASSERT_TRUE(app.waitFor([&] { return !app.isShown("parental.pin.field"); }));
    EXPECT_TRUE(app.deck().parentalEnabled());
    EXPECT_TRUE(app.vault().validatePIN("1234"));

    // "Cerrar" changes nothing, whatever the fields hold.
    ASSERT_TRUE(app.click("systems.parental"));
    ASSERT_TRUE(app.waitFor([&] { return app.isShown("parental.pin.field"); }));
    ASSERT_TRUE(app.type("parental.pin.field", "1234"));
    ASSERT_TRUE(app.click("parental.close"));
    ASSERT_TRUE(app.waitFor([&] { return !app.isShown("parental.pin.field"); }));
    EXPECT_TRUE(app.deck().parentalEnabled());
}

} // namespace uitest
