#pragma once

// The real application window over a deck on loopback fakes: the fake platform service and one free Xtream
// Codes panel with a small catalogue, a vault in a temporary folder with an in-memory keyring. Screens are found
// by objectName, clicked with real mouse events and typed into with real key events; any QML warning fails the
// test that owns the harness (check `warnings()` at its end, or use AppTest, which does).
#include "QmlScreenHarness.h"
#include "Storage/CommandVault.h"
#include "Storage/MemorySecretStore.h"
#include "UI/AppContext.h"
#include "UI/AppQml.h"
#include "UI/Deck.h"
#include "UI/Details.h"
#include "UI/SendraApplication.h"
#include "fakes/FakePlatform.h"
#include "fakes/FakeSpeedTest.h"
#include "fakes/FakeXtreamPanel.h"

#include <QQmlApplicationEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace uitest {

using namespace sendra;

// A small catalogue on the fake panel: two channels, three films, one series with two seasons.
void serveSmallCatalogue(fakes::FakeXtreamPanel& panel);

class AppHarness
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

    QQuickWindow* window() const { return app->window(); }
    CommandDeck& deck() const { return *app->deck(); }
    // One of the QML singletons over the deck (ui::Deck, ui::Access, ui::Browse, ui::Details, ui::Systems).
    template <class Singleton>
    Singleton& singleton() const
    {
        return *ui::appSingleton<Singleton>(app->engine());
    }
    ui::AppContext& context() const { return app->context(); }
    CommandVault& vault() const { return *vaultObject; }

    // The object with that objectName (items, popups and view delegates); null when none.
    QObject* find(const QString& objectName) const;
    QQuickItem* item(const QString& objectName) const { return qobject_cast<QQuickItem*>(find(objectName)); }
    // Visible, with every ancestor visible and inside an open popup when it sits in one.
    bool isShown(const QString& objectName) const;
    QVariant property(const QString& objectName, const char* name) const;
    // A real left click at the item's centre; false when the item is missing or not shown.
    bool click(const QString& objectName, Qt::MouseButton button = Qt::LeftButton);
    // Lets the window draw a frame: what changed is laid out and shown.
    void drawn();
    // Focuses the item by clicking it, selects what it holds and types the text.
    bool type(const QString& objectName, const QString& text);
    void key(int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);
    // Types the text as key presses into whatever has the focus, without waiting.
    void typeKeys(const QString& text);
    // Lets the event loop run until the condition holds (false after `ms`).
    static bool waitFor(const std::function<bool()>& condition, int ms = 5000);
    static void idle(int ms = 50) { QTest::qWait(ms); }

    // Connects the free panel through the deck (no clicking) and, with a name, creates an identity.
    void connectPanel(const QString& identity = QStringLiteral("Ana"));

    QString panelOrigin() const { return panel.baseUrl().toString(); }
    QStringList warnings() const { return collector.warnings(); }

    // Servers first: they outlive the application's network manager.
    fakes::FakePlatform platform;
    fakes::FakeXtreamPanel panel{"demo", "s3cret"};
    // The network check's service.
    fakes::FakeSpeedTest speedTest;
    QTemporaryDir folder;
    std::shared_ptr<MemorySecretStore> secrets = std::make_shared<MemorySecretStore>();
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
