#pragma once

#include <QObject>
#include <QString>
#include <QtQml/qqmlregistration.h>

namespace sendra::ui {

// Builds the artwork provider's image sources for QML, so every screen encodes addresses the same way.
class Artwork final : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    explicit Artwork(QObject* parent = nullptr);

    // "image://art/<encoded address>[/<radius>]" for a web address; empty for anything else, which the caller
    // shows as its placeholder without asking the provider.
    Q_INVOKABLE static QString source(const QString& address, int radius = 0);
};

} // namespace sendra::ui
