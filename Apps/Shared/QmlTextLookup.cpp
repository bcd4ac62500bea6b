#include "Shared/QmlTextLookup.h"

#include "Domain/L10n.h"

namespace sendra::playback {

QString QmlTextLookup::text(const QString &spanish) const
{
    return L10n::text(spanish);
}

} // namespace sendra::playback
