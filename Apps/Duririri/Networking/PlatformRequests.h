#pragma once

// Shared pieces of the platform client's requests and answer readers.

#include "Domain/CommandError.h"
#include "NetKit/CancelToken.h"
#include "NetKit/HttpSession.h"
#include "NetKit/LenientJson.h"

#include <QByteArray>
#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

namespace sendra::platform {

using JsonValue = simdjson::simdjson_result<simdjson::dom::element>;

// The body of a 2xx answer to a platform GET; every other status becomes its CommandError: 404 the caller's
// `notFound`; on "/api/platform/" paths 503 accessConfigurationUnavailable and 403 privateIdentifierRequired or
// unauthorizedOrigin; everything else, non-HTTP answers and unfollowed redirects included, invalidResponse.
// `fresh` answers never come from a cache and carry "Cache-Control: no-cache"; platform paths skip the cache too.
// A `largeList` (a catalogue section) gets a list's deadline and size limit rather than an ordinary answer's.
QCoro::Task<QByteArray> fetch(netkit::HttpSession session, QUrl url, CommandError notFound, bool fresh,
                              std::chrono::milliseconds timeout, netkit::CancelToken token, bool largeList = false);

// A parsed body whose root is an object: netkit::JsonError when it is not JSON, invalidResponse when the JSON
// is not an object.
struct ObjectDocument
{
    netkit::JsonDocument document;
    simdjson::dom::object object;
};
ObjectDocument parseObject(QByteArrayView body);

// fetch() and parseObject() in one: the shared GET of the platform client.
QCoro::Task<ObjectDocument> dictionary(netkit::HttpSession session, QUrl url, CommandError notFound, bool fresh,
                                       std::chrono::milliseconds timeout, netkit::CancelToken token);

// The address a JSON text spells, when it is one.
std::optional<QUrl> address(const JsonValue& value);

// Both addresses have an origin and the origins are equal; a broken address matches nothing, not even itself.
bool sameOrigin(const QUrl& a, const QUrl& b);

// The full text of an origin as sent in a query.
QString originText(const QUrl& origin);

[[noreturn]] inline void fail(CommandError error)
{
    throw CommandFailure(error);
}

inline void require(bool condition, CommandError error)
{
    if (!condition)
        fail(error);
}

} // namespace sendra::platform
