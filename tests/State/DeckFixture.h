#pragma once

// A deck over real HTTP on loopback: the fake platform service and one fake Xtream Codes panel with the small
// catalogue (two live channels, four films of which one is adult, one series of five episodes), with
// scaled-down time-outs and a clock the test moves.
#include "TestDeck.h"

#include <QNetworkAccessManager>
#include <QStringList>
#include <QTimeZone>
#include <QTest>

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

// The small catalogue with an adult film and five episodes.
constexpr sendra::testing::SmallCatalogue deckCatalogue{.adultFilm = true, .longSeries = true};

class DeckFixture : public ::testing::Test, protected sendra::testing::TestDeck
{
protected:
    DeckFixture() : TestDeck(deckCatalogue) {}

    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        deck = makeDeck(openVault());
    }

    void TearDown() override
    {
        panel.release();
        platform.release();
    }

    std::unique_ptr<CommandDeck> makeDeck(CommandVault& vault)
    {
        auto made = TestDeck::makeDeck(vault, &manager);
        made->setClock([this] { return now; });
        return made;
    }

    QString origin() const { return panelOrigin(); }

    // Connects the panel on the free road (with the platform's prepared catalogue when `prepared`) and makes an
    // identity, so that resume markers are kept.
    void connectPanel(bool prepared = false)
    {
        platform.setOriginAnswer(origin().toStdString(), prepared ? FakePlatform::providerAnswer(origin(), panelSlot)
                                                                  : FakePlatform::freeAnswer());
        deck->setDraft(panelDraft());
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

    template <class Condition>
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

    // The servers (in TestDeck) go last: the manager's open connections close before they stop.
    QNetworkAccessManager manager;
    QDateTime now = QDateTime(QDate(2026, 3, 1), QTime(12, 0), Qt::UTC);
    std::unique_ptr<CommandDeck> deck;
};

} // namespace decktest
