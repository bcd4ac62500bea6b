#include "UiDriver.h"

#include "QmlScreenHarness.h"

#include <QSignalSpy>
#include <QTest>

namespace sendra::testing {

UiDriver::UiDriver(std::function<QQuickWindow*()> window, int settleAfterInput)
    : m_window(std::move(window)), m_settle(settleAfterInput)
{}

QObject* UiDriver::find(const QString& objectName) const
{
    return findInWindow(window(), objectName);
}

QVariant UiDriver::property(const QString& objectName, const char* name) const
{
    const QObject* object = find(objectName);
    return object ? object->property(name) : QVariant();
}

bool UiDriver::isShown(const QString& objectName) const
{
    QQuickItem* target = item(objectName);
    if (!target || !target->window())
        return false;
    for (QQuickItem* at = target; at; at = at->parentItem()) {
        if (!at->isVisible() || at->opacity() <= 0.0)
            return false;
    }
    return true;
}

bool UiDriver::click(const QString& objectName, Qt::MouseButton button)
{
    QQuickItem* target = item(objectName);
    if (!target || !isShown(objectName))
        return false;
    // An item that has just appeared is placed when the window next polishes, before it draws.
    if (!waitFor([&] { return target->width() > 0 && target->height() > 0; }, 2000))
        return false;
    drawn();
    const QPointF centre = target->mapToScene(QPointF(target->width() / 2, target->height() / 2));
    QTest::mouseClick(window(), button, Qt::NoModifier, centre.toPoint());
    if (m_settle > 0)
        idle(m_settle);
    return true;
}

bool UiDriver::type(const QString& objectName, const QString& text)
{
    if (!click(objectName))
        return false;
    item(objectName)->forceActiveFocus();
    QTest::keyClick(window(), Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(window(), Qt::Key_Backspace);
    typeKeys(text);
    if (m_settle > 0)
        idle(m_settle);
    return true;
}

void UiDriver::typeKeys(const QString& text)
{
    for (const QChar c : text) {
        const Qt::Key code =
            c.isLetterOrNumber() && c.unicode() < 128 ? Qt::Key(c.toUpper().unicode()) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, window(), code, QString(c), Qt::NoModifier);
    }
}

void UiDriver::key(int key, Qt::KeyboardModifiers modifiers)
{
    QTest::keyClick(window(), Qt::Key(key), modifiers);
    if (m_settle > 0)
        idle(m_settle);
}

void UiDriver::drawn()
{
    QSignalSpy frames(window(), &QQuickWindow::frameSwapped);
    window()->update();
    frames.wait(2000);
}

bool UiDriver::waitFor(const std::function<bool()>& condition, int ms)
{
    return QTest::qWaitFor(condition, ms);
}

void UiDriver::idle(int ms)
{
    QTest::qWait(ms);
}

namespace {

// Images of the item tree whose picture comes from an image provider and is still on its way.
int loadingPictures(const QQuickItem* item)
{
    int loading = 0;
    const QVariant source = item->property("source");
    if (source.metaType() == QMetaType::fromType<QUrl>() && source.toUrl().scheme() == u"image" &&
        item->property("status").toInt() == 2 /* Image.Loading */)
        ++loading;
    for (const QQuickItem* child : item->childItems())
        loading += loadingPictures(child);
    return loading;
}

} // namespace

bool UiDriver::waitForPictures(QQuickWindow* window, int ms, int* pending)
{
    // Two quiet looks in a row: a picture that loads can make room for delegates with pictures of their own.
    int quiet = 0;
    const bool done = QTest::qWaitFor(
        [&] {
            quiet = loadingPictures(window->contentItem()) == 0 ? quiet + 1 : 0;
            return quiet >= 2;
        },
        ms);
    if (pending)
        *pending = loadingPictures(window->contentItem());
    return done;
}

} // namespace sendra::testing
