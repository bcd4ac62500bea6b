#include "AppHarness.h"

#include "UI/UiConfig.h"

#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QSignalSpy>

#include <chrono>

namespace uitest {

using namespace std::chrono_literals;
using fakes::FakePlatform;
using fakes::Reply;

AppHarness::AppHarness(Options options)
    : TestDeck(options.serveCatalogue ? std::optional(sendra::testing::SmallCatalogue{}) : std::nullopt),
      UiDriver([this] { return app ? app->window() : nullptr; }), m_options(std::move(options))
{
    static const bool styled = [] {
        QQuickStyle::setStyle(QStringLiteral("Basic"));
        // The running product and its English table: Brimvale Sendra's bundle in the build tree.
        qputenv("SENDRA_BUNDLE_DIR", SENDRA_BUNDLES_DIR "/brimvale");
        ui::UiConfig::setDefaults({.carouselInterval = 7000, .animationsEnabled = false});
        return true;
    }();
    Q_UNUSED(styled);
    platform.setOriginAnswer(panelOrigin().toStdString(), FakePlatform::freeAnswer());
    vaultObject = newVault();
    ui::SendraApplication::Setup setup;
    setup.vault = vaultObject.get();
    setup.clients = [this](QNetworkAccessManager* manager) {
        return clients(manager, PanelTimeouts{5s, 5s, 5s, 5s, 5s}, speedTest.baseUrl());
    };
    app = std::make_unique<ui::SendraApplication>(std::move(setup));
    QObject::connect(&app->engine(), &QQmlEngine::warnings, [this](const QList<QQmlError>& errors) {
        for (const QQmlError& error : errors)
            collector.add(error.toString());
    });
}

AppHarness::~AppHarness()
{
    app.reset();
    speedTest.release();
}

bool AppHarness::start()
{
    if (m_options.prepare)
        m_options.prepare(*this);
    if (!app->start())
        return false;
    window()->resize(m_options.size);
    window()->show();
    if (!QTest::qWaitForWindowExposed(window()))
        return false;
    return waitFor([this] { return app->deck() != nullptr; });
}

void AppHarness::connectPanel(const QString& identity)
{
    deck().setDraft(panelDraft());
    deck().connect();
    EXPECT_TRUE(waitFor([this] { return !deck().isConnecting(); }));
    EXPECT_EQ(deck().errorMessage(), std::nullopt);
    if (!identity.isEmpty()) {
        deck().addIdentity(identity, QStringLiteral("scope"));
        EXPECT_EQ(deck().phase(), CommandDeck::Phase::ready);
    }
}

} // namespace uitest
