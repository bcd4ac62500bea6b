#pragma once

// Header-only on purpose: QtCore is all it needs, so value-type libraries can use it without linking NetKit.

#include <QString>
#include <QUrl>

#include <optional>

namespace netkit {

// The origin of an address: path emptied, query and fragment removed; scheme, user information, host and port
// kept, case untouched. Nothing when the address cannot be taken apart or rebuilt.
inline std::optional<QUrl> originOf(const QUrl& address)
{
    if (!address.isValid())
        return std::nullopt;
    QUrl origin = address;
    origin.setPath(QString());
    origin.setQuery(QString());
    origin.setFragment(QString());
    if (!origin.isValid())
        return std::nullopt;
    return origin;
}

// originOf, or the address unchanged when it has no origin.
inline QUrl normalizedOrigin(const QUrl& address)
{
    return originOf(address).value_or(address);
}

} // namespace netkit
