#include "QmlScreenHarness.h"

#include <QCoreApplication>
#include <QMutex>
#include <QQmlEngine>
#include <QRegularExpression>
#include <QSet>

namespace sendra::testing {

namespace {

QMutex collectorMutex;
QmlWarningCollector* activeCollector = nullptr;

bool comesFromQml(const QMessageLogContext& context, const QString& message)
{
    const QString category = QString::fromLatin1(context.category ? context.category : "");
    const QString file = QString::fromUtf8(context.file ? context.file : "");
    static const QRegularExpression qmlLocation(QStringLiteral(R"(\.qml(:\d+)?)"));
    // Qt's list views warn from C++ without a category ("DelegateModel::cancel: index out range").
    return category.startsWith(QLatin1String("qml")) || category.startsWith(QLatin1String("js")) ||
           file.endsWith(QLatin1String(".qml")) || message.contains(qmlLocation) ||
           message.startsWith(QLatin1String("DelegateModel"));
}

void collect(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    if (type != QtDebugMsg && type != QtInfoMsg && comesFromQml(context, message)) {
        QMutexLocker lock(&collectorMutex);
        if (activeCollector)
            activeCollector->add(message);
    }
}

} // namespace

QmlWarningCollector::QmlWarningCollector()
{
    QMutexLocker lock(&collectorMutex);
    activeCollector = this;
    m_previous = qInstallMessageHandler(collect);
}

QmlWarningCollector::~QmlWarningCollector()
{
    QMutexLocker lock(&collectorMutex);
    qInstallMessageHandler(m_previous);
    activeCollector = nullptr;
}

void QmlWarningCollector::add(const QString& warning)
{
    m_warnings.append(warning);
}

QStringList QmlWarningCollector::warnings() const
{
    QMutexLocker lock(&collectorMutex);
    return m_warnings;
}

QmlScreenHarness::QmlScreenHarness(const std::function<void(QQmlEngine&)>& prepareEngine, QSize size)
    : UiDriver([this] { return m_view.get(); }, 0), m_view(std::make_unique<QQuickView>())
{
    QObject::connect(m_view->engine(), &QQmlEngine::warnings, [this](const QList<QQmlError>& errors) {
        QMutexLocker lock(&collectorMutex);
        for (const QQmlError& error : errors)
            m_collector.add(error.toString());
    });
    prepareEngine(*m_view->engine());
    m_view->setResizeMode(QQuickView::SizeRootObjectToView);
    m_view->resize(size);
}

QmlScreenHarness::~QmlScreenHarness()
{
    unload();
}

bool QmlScreenHarness::load(const QUrl& source, const QVariantMap& initialProperties)
{
    m_view->setInitialProperties(initialProperties);
    m_view->setSource(source);
    {
        QMutexLocker lock(&collectorMutex);
        for (const QQmlError& error : m_view->errors())
            m_collector.add(error.toString());
    }
    if (m_view->status() != QQuickView::Ready || !m_view->rootObject())
        return false;
    m_view->show();
    return true;
}

void QmlScreenHarness::unload()
{
    if (!m_view)
        return;
    m_view->setSource(QUrl());
    // The root item goes with a deferred delete; its destruction handlers run here, not at some later turn.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QQuickItem* QmlScreenHarness::root() const
{
    return m_view->rootObject();
}

namespace {

QObject* search(QObject* object, const QString& name, QSet<QObject*>& seen)
{
    if (!object || seen.contains(object))
        return nullptr;
    seen.insert(object);
    if (object->objectName() == name)
        return object;
    for (QObject* child : object->children()) {
        if (QObject* found = search(child, name, seen))
            return found;
    }
    if (auto* item = qobject_cast<QQuickItem*>(object)) {
        for (QQuickItem* child : item->childItems()) {
            if (QObject* found = search(child, name, seen))
                return found;
        }
    }
    return nullptr;
}

} // namespace

QObject* findInWindow(QQuickWindow* window, const QString& objectName)
{
    if (!window)
        return nullptr;
    QSet<QObject*> seen;
    if (QObject* found = search(window->contentItem(), objectName, seen))
        return found;
    return search(window, objectName, seen);
}

QStringList QmlScreenHarness::warnings() const
{
    return m_collector.warnings();
}

} // namespace sendra::testing
