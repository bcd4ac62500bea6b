#pragma once

// The real application window over a deck on loopback fakes: the fake platform service and one free Xtream
// Codes panel with a small catalogue, a vault in a temporary folder with an in-memory keyring. Screens are found
// by objectName, clicked with real mouse events and typed into with real key events; any QML warning fails the
// test that owns the harness (check `warnings()` at its end, or use AppTest, which does).
#include "QmlScreenHarness.h"
#include "TestDeck.h"
#include "UI/AppContext.h"
#include "UI/AppQml.h"
#include "UI/Deck.h"
#include "UI/Details.h"
#include "UI/SendraApplication.h"
#include "fakes/FakeSpeedTest.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace uitest {

using namespace sendra;

// The fakes, the vault folder and the keyring come from TestDeck (the panel serves its small catalogue unless
// told not to); input goes through the UiDriver into the main window.
class AppHarness : public sendra::testing::TestDeck, public sendra::testing::UiDriver
{
public:
    struct Options {
        QSize size{1440, 900};
        // Runs before the window loads (a test may seed the vault or swap the player factory).
        std::function<void(AppHarness&)> prepare;
        bool serveCatalogue = true;
    };

    AppHarness() : AppHarness(Options()) {}
    explicit AppHarness(Options options);
    ~AppHarness();

    // Waits until the deck exists and the window shows its first phase.
    bool start();

    CommandDeck& deck() const { return *app->deck(); }
    // One of the QML singletons over the deck (ui::Deck, ui::Access, ui::Browse, ui::Details, ui::Systems).
    template <class Singleton>
    Singleton& singleton() const
    {
        return *ui::appSingleton<Singleton>(app->engine());
    }
    ui::AppContext& context() const { return app->context(); }
    CommandVault& vault() const { return *vaultObject; }

    // Connects the free panel through the deck (no clicking) and, with a name, creates an identity.
    void connectPanel(const QString& identity = QStringLiteral("Ana"));

    QStringList warnings() const { return collector.warnings(); }

    // The network check's service; like TestDeck's servers, it outlives the application's network manager.
    fakes::FakeSpeedTest speedTest;
    std::unique_ptr<CommandVault> vaultObject;
    sendra::testing::QmlWarningCollector collector;
    std::unique_ptr<ui::SendraApplication> app;

private:
    Options m_options;
};

// A test with its own application window; fails on any QML warning.
class AppTest : public ::testing::Test
{
protected:
    void TearDown() override
    {
        if (harness) {
            const QStringList warnings = harness->warnings();
            EXPECT_TRUE(warnings.isEmpty()) << warnings.join('\n').toStdString();
        }
        harness.reset();
    }
    AppHarness& open(AppHarness::Options options = {})
    {
        harness = std::make_unique<AppHarness>(std::move(options));
        EXPECT_TRUE(harness->start());
        return *harness;
    }
    std::unique_ptr<AppHarness> harness;
};

// The first library entry with this title.
inline std::optional<sendra::MediaNode> nodeTitled(const sendra::CommandDeck& deck, const QString& title)
{
    for (const sendra::MediaNode& node : deck.libraryNodes()) {
        if (node.title == title)
            return node;
    }
    return std::nullopt;
}

} // namespace uitest
