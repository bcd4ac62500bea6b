// The parental filter with its reload and the catalogue refresh, against the loopback platform and panel.
#include "DeckFixture.h"

#include <QDir>
#include <QFile>

#include "State/CountedText.h"

using namespace decktest;

namespace {

class DeckParentalTest : public DeckFixture
{
protected:
    std::size_t catalogueRequests() const { return platform.requestCount("/api/catalog/calvenor/manifest"); }
    std::optional<fakes::RecordedRequest> lastSection() const
    {
        return platform.lastRequest("/api/catalog/calvenor/movies");
    }
};

using DeckRefreshTest = DeckParentalTest;

const QString sameText = "Ya tienes la versión más reciente: %1 elementos (versión %2).";

} // namespace

TEST(CountedText, PlaceholdersAreFilledWithPlainIntegersOrTheSpanishTextIsUsed)
{
    EXPECT_EQ(fillIntegers("Episodio %lld de %lld", {1234567, -3}), "Episodio 1234567 de -3");
    EXPECT_EQ(fillIntegers("100%% de %lld", {7}), "100% de 7");
    EXPECT_EQ(fillIntegers("%lld%lld", {1, 2}), "12");
    for (const char* malformed : {"%lld", "%lld %lld %lld", "%d and %lld", "%1$lld %lld", "50% %lld", "%ll"})
        EXPECT_EQ(fillIntegers(malformed, {1, 2}), std::nullopt) << malformed;
    const QString spanish = "Contenido actualizado: %lld elementos (versión %lld).";
    EXPECT_EQ(fillTranslated("Content updated: %lld items (version %lld).", spanish, {1234, 41}),
              "Content updated: 1234 items (version 41).");
    EXPECT_EQ(fillTranslated("Content updated: %s items", spanish, {1234, 41}),
              "Contenido actualizado: 1234 elementos (versión 41).");
}

TEST_F(DeckParentalTest, APinNeedsFourNumbersTwice)
{
    for (const char* pin : {"123", "12345", "12a4", "", "1 23"})
        EXPECT_EQ(deck->activateParental(pin, pin), "El PIN debe tener cuatro números.") << pin;
    EXPECT_EQ(deck->activateParental("1234", "1235"), "Los PIN no coinciden.");
    EXPECT_FALSE(deck->parentalEnabled());
    EXPECT_FALSE(vaults.front()->parentalEnabled());

    // Digits of any script count; the flag and the digest are kept, and nothing loaded means no feed to build.
    const QString arabic = QString::fromUtf8("١٢٣٤");
    EXPECT_EQ(deck->activateParental(arabic, arabic), std::nullopt);
    EXPECT_TRUE(deck->parentalEnabled());
    EXPECT_TRUE(vaults.front()->parentalEnabled());
    EXPECT_TRUE(vaults.front()->validatePIN(arabic));
    EXPECT_FALSE(deck->feed());

    // A PIN the settings file cannot take is reported, and the protection stays as it was.
    deck->setParental(false);
    const QString file = folder.filePath("sendra.ini");
    ASSERT_TRUE(QFile::remove(file));
    ASSERT_TRUE(QDir().mkpath(file));
    EXPECT_EQ(deck->activateParental("4321", "4321"), "No fue posible guardar el PIN.");
    EXPECT_FALSE(deck->parentalEnabled());
    EXPECT_TRUE(QDir(file).removeRecursively());
}

TEST_F(DeckParentalTest, WithoutAPreparedCatalogueTheSwitchFiltersAtOnceAndAsksNothing)
{
    connectPanel();
    ASSERT_TRUE(titles().contains("Noche XXX"));
    const std::size_t platformAsked = platform.requestCount();
    const std::size_t panelAsked = panel.requestCount();
    deck->setParental(true);
    EXPECT_FALSE(titles().contains("Noche XXX"));
    EXPECT_TRUE(titles().contains("Película A"));
    ASSERT_TRUE(deck->feed());
    for (const CommandLane& lane : deck->feed()->lanes)
        for (const MediaNode& entry : lane.nodes)
            EXPECT_NE(entry.title, "Noche XXX") << "in lane " << lane.id.toStdString();
    deck->setParental(false);
    EXPECT_TRUE(titles().contains("Noche XXX"));
    idle();
    EXPECT_EQ(platform.requestCount(), platformAsked);
    EXPECT_EQ(panel.requestCount(), panelAsked);
}

TEST_F(DeckParentalTest, APreparedCatalogueIsReloadedInTheBuildOfTheNewSetting)
{
    publish(7, 3);
    connectPanel(true);
    EXPECT_EQ(titles(), (QStringList{"XXX 100", "Estreno 101", "Estreno 102"}));

    deck->setParental(true);
    EXPECT_EQ(titles(), (QStringList{"Estreno 101", "Estreno 102"})) << "filtered at once";
    waitUntil([this] { return titles().contains("Familiar 199"); }, "the protected build is in");
    EXPECT_EQ(lastSection()->queryValue("catalogMode"), "protected");
    EXPECT_EQ(deck->errorMessage(), std::nullopt);

    // On and off again before the first reload is back: only the second one counts.
    deck->setParental(false);
    deck->setParental(true);
    deck->setParental(false);
    waitUntil([this] { return titles().contains("XXX 100"); }, "the normal build is in");
    idle();
    EXPECT_EQ(titles(), (QStringList{"XXX 100", "Estreno 101", "Estreno 102"}));
    EXPECT_EQ(lastSection()->queryValue("catalogMode"), std::nullopt);

    // The source unlinked while a reload is on its way: nothing applied, nothing reported.
    platform.route("GET", "/api/catalog/calvenor/manifest", Reply::json("{}").held());
    deck->setParental(true);
    waitForHeld(platform);
    deck->disconnect();
    platform.release();
    idle();
    EXPECT_TRUE(titles().isEmpty());
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
}

TEST_F(DeckParentalTest, AReloadFallsBackToThePanelAndReportsOnlyWhenBothFail)
{
    publish(7, 3);
    connectPanel(true);
    platform.route("GET", "/api/catalog/calvenor/manifest", Reply::empty(500));
    deck->setParental(true);
    waitUntil([this] { return titles().contains("Película A"); }, "the panel's catalogue is in");
    EXPECT_FALSE(titles().contains("Noche XXX"));
    EXPECT_EQ(deck->errorMessage(), std::nullopt);

    panel.answer("get_live_streams", Reply::empty(500));
    deck->setParental(false);
    waitUntil([this] { return deck->errorMessage().has_value(); }, "the reload fails");
    EXPECT_EQ(deck->errorMessage(),
              "No fue posible actualizar el catálogo. Se conserva la vista actual; vuelve a intentarlo.");
    EXPECT_TRUE(titles().contains("Noche XXX")) << "the view filtered at once stays";
}

TEST_F(DeckRefreshTest, OnlyABrandServerWithAPreparedCatalogueHasAnUpdate)
{
    connectPanel();
    const std::size_t asked = platform.requestCount();
    deck->refreshCatalog();
    idle();
    EXPECT_FALSE(deck->isRefreshingCatalog());
    const QString nothing = "No hay una actualización disponible para esta fuente.";
    EXPECT_EQ(deck->catalogRefreshMessage(), nothing);
    ASSERT_TRUE(deck->catalogRefreshNotice());
    EXPECT_EQ(deck->catalogRefreshNotice()->title, "No se pudo actualizar");
    EXPECT_EQ(deck->catalogRefreshNotice()->message, nothing);
    EXPECT_EQ(platform.requestCount(), asked);
}

TEST_F(DeckRefreshTest, TheReportComparesVersionsAndCountsEveryLoadedEntry)
{
    publish(41, 1234);
    connectPanel(true);
    const auto refresh = [this] {
        deck->refreshCatalog();
        EXPECT_TRUE(deck->isRefreshingCatalog());
        EXPECT_EQ(deck->catalogRefreshMessage(), "Consultando la versión más reciente…");
        EXPECT_FALSE(deck->catalogRefreshNotice());
        waitUntil([this] { return !deck->isRefreshingCatalog(); }, "the refresh ends");
    };

    // Twice at once is one refresh: two questions to the platform, one load.
    const std::size_t resolves = platform.requestCount("/api/platform/resolve");
    deck->refreshCatalog();
    refresh();
    EXPECT_EQ(platform.requestCount("/api/platform/resolve"), resolves + 2);
    EXPECT_EQ(deck->catalogRefreshMessage(), sameText.arg(1234).arg(41));
    EXPECT_EQ(deck->catalogRefreshNotice()->title, "Contenido revisado");
    EXPECT_EQ(deck->catalogRefreshNotice()->message, deck->catalogRefreshMessage());

    publish(42, 3);
    refresh();
    EXPECT_EQ(deck->catalogRefreshMessage(), "Contenido actualizado: 3 elementos (versión 42).");
    EXPECT_EQ(deck->catalogRefreshNotice()->title, "Actualización terminada");
    EXPECT_EQ(titles(), (QStringList{"XXX 100", "Estreno 101", "Estreno 102"}));
    refresh();
    EXPECT_EQ(deck->catalogRefreshMessage(), sameText.arg(3).arg(42)) << "the new version was kept";

    // The server no longer allowed: the failure texts, and the catalogue shown stays.
    platform.setOriginAnswer(origin().toStdString(), FakePlatform::privateAnswer("otra", "otra", {}));
    publish(43, 2);
    refresh();
    const QString failure = "No fue posible actualizar el contenido. Se conserva la versión anterior.";
    EXPECT_EQ(deck->catalogRefreshMessage(), failure);
    EXPECT_EQ(deck->catalogRefreshNotice()->title, "No se pudo actualizar");
    EXPECT_EQ(titles().size(), 3);
}

TEST_F(DeckRefreshTest, ARefreshWithoutAPreviousVersionCountsAsChanged)
{
    // The connection's prepared load is unreadable, so the panel's whole catalogue is shown, with no version.
    publish(7, 3);
    platform.setManifestTweak([](QJsonObject& manifest, int served) {
        if (served == 0)
            manifest.remove("version");
    });
    connectPanel(true);
    ASSERT_TRUE(titles().contains("Película A"));
    deck->refreshCatalog();
    waitUntil([this] { return !deck->isRefreshingCatalog(); }, "the refresh ends");
    EXPECT_EQ(deck->catalogRefreshMessage(), "Contenido actualizado: 3 elementos (versión 7).");
    EXPECT_EQ(titles(), (QStringList{"XXX 100", "Estreno 101", "Estreno 102"}));
}

TEST_F(DeckRefreshTest, UnlinkingDuringARefreshEndsItSilently)
{
    publish(7, 3);
    connectPanel(true);
    platform.route("GET", "/api/catalog/calvenor/manifest", Reply::json("{}").held());
    deck->refreshCatalog();
    waitForHeld(platform);
    deck->disconnect();
    waitUntil([this] { return !deck->isRefreshingCatalog(); }, "the refresh ends");
    EXPECT_EQ(deck->catalogRefreshMessage(), std::nullopt);
    EXPECT_FALSE(deck->catalogRefreshNotice());
    platform.release();
    idle();
    EXPECT_TRUE(titles().isEmpty());
    EXPECT_EQ(deck->errorMessage(), std::nullopt);
}

// Rules no other test pins: the source is saved only once its catalogue is in; details are cached per kind and
// forgotten on unlinking; a refresh counts every entry it loaded, those the filter hides included.
TEST_F(DeckRefreshTest, SavingCachingFeedsAndCountsFollowTheirRules)
{
    const auto actionCount = [this](const char* action) {
        std::size_t count = 0;
        for (const fakes::RecordedRequest& request : panel.requests())
            count += request.queryValue("action") == std::string(action);
        return count;
    };
    // A series with the id of a film: their details must never be mistaken for each other.
    panel.answer("get_series", Reply::json(R"([{"series_id":10,"name":"Serie Diez","category_id":"7"}])"));

    // A load that fails saves nothing; only a connection whose catalogue is in is remembered.
    panel.answer("get_live_streams", Reply::empty(500));
    platform.setOriginAnswer(origin().toStdString(), FakePlatform::freeAnswer());
    SourceDraft draft;
    draft.server = origin();
    draft.user = "demo";
    draft.password = "s3cret";
    deck->setDraft(draft);
    deck->connect();
    waitUntil([this] { return !deck->isConnecting(); }, "the failed connection ends");
    EXPECT_TRUE(deck->errorMessage().has_value());
    QCoro::waitFor(vaults.back()->settled());
    EXPECT_FALSE(vaults.back()->source());
    EXPECT_FALSE(secrets->items().contains(CommandVault::sourceAccount));
    sendra::testing::serveSmallCatalogue(panel, deckCatalogue);
    panel.answer("get_series", Reply::json(R"([{"series_id":10,"name":"Serie Diez","category_id":"7"}])"));
    connectPanel();
    EXPECT_EQ(vaults.back()->source(), draft);

    const auto detailsIn = [this] { return !deck->isLoadingBrief(); };
    deck->open(node("movies:10"));
    waitUntil(detailsIn, "the film's details");
    EXPECT_EQ(deck->selectedBrief()->synopsis, "Trama 10");
    deck->open(node("series:10"));
    waitUntil([this] { return deck->selectedBrief() && deck->selectedBrief()->synopsis == "Una serie"; },
              "the series' own details");
    deck->open(node("movies:10"));
    EXPECT_EQ(deck->selectedBrief()->synopsis, "Trama 10") << "from the cache, at once";
    EXPECT_EQ(actionCount("get_vod_info"), 1u);
    EXPECT_EQ(actionCount("get_series_info"), 1u);
    deck->disconnect();
    connectPanel();
    deck->open(node("movies:10"));
    waitUntil(detailsIn, "the film's details again");
    EXPECT_EQ(actionCount("get_vod_info"), 2u) << "unlinking empties the cache";

    deck->disconnect();

    // A refresh under the filter counts the entries it hides too.
    FakePlatform::Build build = preparedBuild(50, 3);
    build.protectedSections->movies.append(FakePlatform::item("300", "XXX 300", "movies", "Cine"));
    platform.publish(catalogSlug.toStdString(), panelSlot, origin().toStdString(), build);
    connectPanel(true);
    deck->setParental(true);
    waitUntil([this] { return titles().contains("Familiar 199"); }, "the protected build is in");
    deck->refreshCatalog();
    waitUntil([this] { return !deck->isRefreshingCatalog(); }, "the refresh ends");
    EXPECT_EQ(deck->catalogRefreshMessage(), sameText.arg(4).arg(50));
    EXPECT_FALSE(titles().contains("XXX 300"));
    EXPECT_EQ(titles().size(), 3);
}
