#include "UI/Artwork.h"

#include "UI/ArtworkProvider.h"

#include <QUrl>

namespace sendra::ui {

Artwork::Artwork(QObject* parent) : QObject(parent)
{}

QString Artwork::source(const QString& address, int radius)
{
    const QString encoded = QString::fromLatin1(QUrl::toPercentEncoding(address.trimmed()));
    QString id = encoded;
    if (radius > 0)
        id += u'/' + QString::number(radius);
    if (!ArtworkProvider::parseId(id))
        return {};
    return QStringLiteral("image://art/") + id;
}

} // namespace sendra::ui
