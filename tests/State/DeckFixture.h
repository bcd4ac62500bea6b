#pragma once

// A deck over real HTTP on loopback: the fake platform service and one fake Xtream Codes panel with a small,
// hand-written catalogue (two live channels, three films of which one is adult, one series of five episodes),
// with scaled-down time-outs and a clock the test moves.
#include "Domain/ProductBrand.h"
#include "State/CommandDeck.h"
#include "Storage/CommandVault.h"
#include "Storage/MemorySecretStore.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeXtreamPanel.h"

#include <QNetworkAccessManager>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimeZone>
#include <QTest>

#include <qcoro/qcorotask.h>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace decktest {

using namespace sendra;
using namespace std::chrono_literals;
using fakes::FakePlatform;
using fakes::FakeXtreamPanel;
using fakes::RecordedRequest;
using fakes::Reply;

constexpr int panelSlot = 2;
const QString catalogSlug = QStringLiteral("calvenor"); // the slug FakePlatform::providerAnswer names

inline void serveCatalogue(FakeXtreamPanel& panel)
{
    panel.answer("get_live_categories", Reply::json(R"([{"category_id":"1","category_name":"Noticias"}])"));
    panel.answer("get_live_streams", Reply::json(R"([{"stream_id":1,"name":"Canal Uno","category_id":"1"},
        {"stream_id":2,"name":"Canal Dos","category_id":"1"}])"));
    panel.answer("get_vod_categories", Reply::json(R"([{"category_id":"5","category_name":"Acción"},
        {"category_id":"6","category_name":"Adultos"}])"));
    panel.answer("get_vod_streams", Reply::json(R"([
        {"stream_id":10,"name":"Película A","category_id":"5","container_extension":"mkv"},
        {"stream_id":11,"name":"Película B","category_id":"5","container_extension":"mp4"},
        {"stream_id":12,"name":"Noche XXX","category_id":"6","container_extension":"mp4"}])"));
    panel.answer("get_series_categories", Reply::json(R"([{"category_id":"7","category_name":"Drama"}])"));
    panel.answer("get_series", Reply::json(R"([{"series_id":20,"name":"Serie Larga","category_id":"7"}])"));
    panel.answer("get_vod_info", [](const RecordedRequest& request) {
        const std::string id = request.queryValue("vod_id").value_or("");
        return Reply::json(R"({"info":{"plot":"Trama )" + id + R"(","genre":"Acción"},"movie_data":{"stream_id":)" +
                           id + "}}");
    });
    // Two seasons: episodes 201-203 and 204-205.
    panel.answer("get_series_info", Reply::json(R"({"info":{"plot":"Una serie"},"episodes":{
        "1":[{"id":"201","episode_num":1,"container_extension":"mkv"},{"id":"202","episode_num":2,"container_extension":"mkv"},
             {"id":"203","episode_num":3,"container_extension":"mkv"}],
        "2":[{"id":"204","episode_num":1,"container_extension":"mkv"},{"id":"205","episode_num":2,"container_extension":"mkv"}]}})"));
}

// The platform's prepared build of the panel's server: `films` films ("XXX 100", "Estreno 101", ...); the
// protected build leaves out the first and has one of its own, "Familiar 199".
inline FakePlatform::Build preparedBuild(qint64 version, int films)
{
    FakePlatform::Build build;
    build.version = version;
    for (int i = 0; i < films; ++i) {
        const QString id = QString::number(100 + i);
        build.normal.movies.append(FakePlatform::item(id, (i == 0 ? "XXX " : "Estreno ") + id, "movies", "Cine"));
    }
    FakePlatform::Sections protectedBuild = build.normal;
    protectedBuild.movies.removeFirst();
    protectedBuild.movies.append(FakePlatform::item("199", "Familiar 199", "movies", "Cine"));
    build.protectedSections = protectedBuild;
    return build;
}

class DeckFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        serveCatalogue(panel);
        deck = makeDeck(openVault());
    }

    void TearDown() override
    {
        panel.release();
        platform.release();
    }

    CommandVault& openVault()
    {
        vaults.push_back(std::make_unique<CommandVault>(ProductBrand::storageNamespace(ProductBrand::current()),
                                                        folder.filePath("sendra.ini"), secrets));
        QCoro::waitFor(vaults.back()->load());
        return *vaults.back();
    }

    std::unique_ptr<CommandDeck> makeDeck(CommandVault& vault)
    {
        const netkit::HttpSession session(&manager);
        const PanelTimeouts timeouts{2s, 2s, 2s, 2s, 2s};
        CommandDeck::Clients clients{
            std::make_shared<const PanelAccess>(session, PlatformEndpoints{platform.baseUrl(), platform.baseUrl()},
                                                timeouts),
            std::make_shared<const XtreamTransport>(session), std::make_shared<const PlaylistIngestor>(session)};
        auto made = std::make_unique<CommandDeck>(vault, std::move(clients));
        made->setClock([this] { return now; });
        return made;
    }

    QString origin() const { return panel.baseUrl().toString(); }

    // Connects the panel on the free road (with the platform's prepared catalogue when `prepared`) and makes an
    // identity, so that resume markers are kept.
    void connectPanel(bool prepared = false)
    {
        platform.setOriginAnswer(origin().toStdString(), prepared ? FakePlatform::providerAnswer(origin(), panelSlot)
                                                                  : FakePlatform::freeAnswer());
        SourceDraft draft;
        draft.server = origin();
        draft.user = "demo";
        draft.password = "s3cret";
        deck->setDraft(draft);
        deck->connect();
        waitUntil([this] { return !deck->isConnecting(); }, "the connection ends");
        ASSERT_EQ(deck->errorMessage(), std::nullopt);
        deck->addIdentity("Ana", "person");
        ASSERT_EQ(deck->phase(), CommandDeck::Phase::ready);
    }

    void publish(qint64 version, int films)
    {
        platform.publish(catalogSlug.toStdString(), panelSlot, origin().toStdString(), preparedBuild(version, films));
    }

    template<class Condition>
    void waitUntil(Condition condition, const char* what, int ms = 5000)
    {
        ASSERT_TRUE(QTest::qWaitFor(condition, ms)) << "timed out waiting until " << what;
    }

    void waitForHeld(fakes::LoopbackServer& server)
    {
        waitUntil([&server] { return server.heldCount() > 0; }, "a request is held");
    }

    // Lets the event loop run a little, for answers that must not change anything.
    static void idle(int ms = 150) { QTest::qWait(ms); }

    // The visible entries, kind after kind.
    QList<MediaNode> visible() const
    {
        QList<MediaNode> out;
        const NodesByKind byKind = deck->nodesByKind();
        for (SignalKind kind : allSignalKinds)
            out.append(byKind.value(kind).toList());
        return out;
    }

    // The visible entry with this node key.
    MediaNode node(const QString& key) const
    {
        for (const MediaNode& candidate : visible())
            if (candidate.catalogKey() == key)
                return candidate;
        ADD_FAILURE() << "no entry " << key.toStdString();
        return {};
    }

    QStringList titles() const
    {
        QStringList out;
        for (const MediaNode& candidate : visible())
            out.append(candidate.title);
        return out;
    }

    // The servers go last: the manager's open connections close before they stop.
    FakePlatform platform;
    FakeXtreamPanel panel{"demo", "s3cret"};
    QTemporaryDir folder;
    std::shared_ptr<MemorySecretStore> secrets = std::make_shared<MemorySecretStore>();
    std::vector<std::unique_ptr<CommandVault>> vaults;
    QNetworkAccessManager manager;
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
    std::unique_ptr<CommandDeck> deck;
};

} // namespace decktest
