#pragma once

#include "UiDriver.h"

#include <QPointer>
#include <QQuickItem>
#include <QQuickView>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <functional>
#include <memory>

namespace sendra::testing {

// Collects every QML warning while it lives: the engine's own warnings and any message logged from QML or
// JavaScript. A screen test fails when it collected any.
class QmlWarningCollector
{
public:
    QmlWarningCollector();
    ~QmlWarningCollector();
    QmlWarningCollector(const QmlWarningCollector&) = delete;
    QmlWarningCollector& operator=(const QmlWarningCollector&) = delete;

    QStringList warnings() const;
    void add(const QString& warning);

private:
    QtMessageHandler m_previous = nullptr;
    QStringList m_warnings;
};

// The object with that objectName in a window: its items, popups (open or closed) and view delegates, which
// sit in the item tree but not always in the object tree. Null when none.
QObject* findInWindow(QQuickWindow* window, const QString& objectName);

// One QML screen in an offscreen window (software renderer), loaded with its required properties, driven by
// the UiDriver (input is delivered at once; what it starts is left to the caller's waits).
// Usage in a test:
//     QmlScreenHarness screen([](QQmlEngine &engine) { registerPlaybackQml(engine); });
//     ASSERT_TRUE(screen.load(QUrl("qrc:/qt/qml/Sendra/Playback/PlayerScreen.qml"), {{"session", ...}}));
//     screen.click("retryButton");
//     EXPECT_TRUE(screen.warnings().isEmpty()) << screen.warnings().join('\n').toStdString();
class QmlScreenHarness : public UiDriver
{
public:
    explicit QmlScreenHarness(const std::function<void(QQmlEngine&)>& prepareEngine, QSize size = {1024, 640});
    ~QmlScreenHarness();

    // False (with the errors among warnings()) when the component does not load.
    bool load(const QUrl& source, const QVariantMap& initialProperties);
    // Destroys the loaded screen, as a window closing would.
    void unload();

    QQuickItem* root() const;
    QQuickView& view() { return *m_view; }

    QStringList warnings() const;

private:
    QmlWarningCollector m_collector;
    std::unique_ptr<QQuickView> m_view;
};

} // namespace sendra::testing
