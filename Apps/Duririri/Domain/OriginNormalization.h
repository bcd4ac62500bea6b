#pragma once

#include <QUrl>

namespace sendra {

// The origin of an address: path emptied, query and fragment removed; scheme, user information, host and
// port kept. An address that cannot be taken apart or rebuilt is returned unchanged. Apply it before every
// origin comparison and to every origin sent to the platform service.
QUrl normalizedOrigin(const QUrl& address);

} // namespace sendra
