#include "AppHarness.h"

#include "Domain/ProductBrand.h"
#include "NetKit/HttpSession.h"
#include "State/NetworkCheck.h"
#include "UI/UiConfig.h"

#include <QQmlApplicationEngine>
#include <QQuickStyle>
#include <QSignalSpy>
#include <qcoro/qcorotask.h>

#include <chrono>

namespace uitest {

using namespace std::chrono_literals;
using fakes::FakePlatform;
using fakes::Reply;

AppHarness::AppHarness(Options options) : TestDeck(options.serveCatalogue ? std::optional(sendra::testing::SmallCatalogue{}) : std::nullopt), m_options(std::move(options))
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


QObject* AppHarness::find(const QString& objectName) const
{
    return sendra::testing::findInWindow(window(), objectName);
}

bool AppHarness::isShown(const QString& objectName) const
{
    QQuickItem* target = item(objectName);
    if (!target || !target->window())
        return false;
    for (QQuickItem* at = target; at; at = at->parentItem()) {
        if (!at->isVisible())
            return false;
    }
    return true;
}

QVariant AppHarness::property(const QString& objectName, const char* name) const
{
    QObject* object = find(objectName);
    return object ? object->property(name) : QVariant();
}

bool AppHarness::click(const QString& objectName, Qt::MouseButton button)
{
    QQuickItem* target = item(objectName);
    if (!target || !isShown(objectName))
        return false;
    // Where a person would click: on the frame that shows the item where its layout has put it (an item that
    // has just appeared is placed when the window next polishes, before it draws).
    if (!waitFor([&] { return target->width() > 0 && target->height() > 0; }, 2000))
        return false;
    drawn();
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(window(), button, Qt::NoModifier, centre.toPoint());
    idle(10);
    return true;
}

bool AppHarness::type(const QString& objectName, const QString& text)
{
    if (!click(objectName))
        return false;
    QQuickItem* target = item(objectName);
    target->forceActiveFocus();
    QTest::keyClick(window(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window(), Qt::Key_Backspace);
    typeKeys(text);
    idle(10);
    return true;
}

void AppHarness::typeKeys(const QString& text)
{
    for (const QChar c : text) {
        const Qt::Key code = c.isLetterOrNumber() && c.unicode() < 128 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, window(), code, QString(c), Qt::NoModifier);
    }
}

void AppHarness::drawn()
{
    QSignalSpy frames(window(), &QQuickWindow::frameSwapped);
    window()->update();
    frames.wait(2000);
}

void AppHarness::key(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(window(), Qt::Key(key), modifiers);
    idle(10);
}

bool AppHarness::waitFor(const std::function<bool()>& condition, int ms)
{
    return QTest::qWaitFor(condition, ms);
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
