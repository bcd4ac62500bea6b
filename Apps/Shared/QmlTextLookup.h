#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace sendra::playback {

// The text lookup as QML sees it: `L10n.text("Cerrar")`, the same call form as L10n::text in C++.
class QmlTextLookup final : public QObject
{
    Q_OBJECT
    QML_NAMED_ELEMENT(L10n)
    QML_SINGLETON

public:
    using QObject::QObject;

    Q_INVOKABLE QString text(const QString &spanish) const;
};

} // namespace sendra::playback
