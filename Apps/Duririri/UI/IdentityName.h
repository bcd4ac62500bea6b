#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// The identity form's view of a name: blank when the deck would refuse it, that is when nothing visible is left
// once control, direction-override and unpaired surrogate characters are taken out (only blanks or zero-width
// characters, say), so the create button is never enabled for a name that creates nothing.
class IdentityName final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit IdentityName(QObject* parent = nullptr) : QObject(parent) {}

    Q_INVOKABLE static bool isBlank(const QString& typed);
};

} // namespace sendra::ui
