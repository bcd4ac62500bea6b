#include "Domain/OriginNormalization.h"

namespace sendra {

QUrl normalizedOrigin(const QUrl& address)
{
    if (!address.isValid())
        return address;
    QUrl origin = address;
    origin.setPath(QString());
    origin.setQuery(QString());
    origin.setFragment(QString());
    return origin.isValid() ? origin : address;
}

} // namespace sendra
