#pragma once

#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QStringList>
#include <QVariantMap>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

class AppContext;

// The rails' rules as QML calls them (see RailRules.h). One per engine.
class Rails final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    static Rails* create(QQmlEngine* engine, QJSEngine*);
    Rails(AppContext* context, QObject* parent);

    Q_INVOKABLE int lastLeading(int count, double contentWidth, double viewWidth, double spacing) const;
    Q_INVOKABLE int dragTarget(int lastLeading, int originIndex, double translationX) const;
    // The carousel's turn as {page, restartWait}.
    Q_INVOKABLE QVariantMap carouselTurn(const QStringList& shown, const QStringList& fresh, int page, int step) const;
    // The values of one role for every row of a list model (a rail's item identities).
    Q_INVOKABLE QStringList keys(QObject* model, const QString& role) const;
    // "Ver más" of a rail over a NodeListModel: opens the library where all of the model's entries lead.
    Q_INVOKABLE void openMore(QObject* model) const;

private:
    QPointer<AppContext> m_context;
};

} // namespace sendra::ui
