#include "Domain/XtreamStreamAddressPolicy.h"

#include <algorithm>

namespace sendra::XtreamStreamAddressPolicy {

QString fileExtension(const std::optional<QString>& value, const QString& fallback)
{
    const QString extension = value.value_or(QString()).trimmed().toLower();
    const bool plain = !extension.isEmpty() && extension.size() <= 8
        && std::all_of(extension.cbegin(), extension.cend(), [](QChar c) {
               return (c >= u'a' && c <= u'z') || (c >= u'0' && c <= u'9');
           });
    return plain ? extension : fallback;
}

} // namespace sendra::XtreamStreamAddressPolicy
