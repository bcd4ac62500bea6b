#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/SessionTypes.h"
#include "NetKit/CancelToken.h"
#include "NetKit/HttpSession.h"
#include "NetKit/UrlCodec.h"

#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

namespace sendra {

// The client of the user's Xtream Codes panel ("player_api.php"). It keeps nothing but its HTTP session:
// every operation takes the panel's credentials. Operations may run together; each one's coroutine copies what it
// needs before its first wait, so a transport destroyed mid-request leaves its tasks harmless.
//
// Failures: CommandFailure (CommandError) for answers of the wrong status or shape, netkit::JsonError for a body
// that is not JSON, netkit::HttpError for a transfer failure and netkit::Cancelled when `token` was cancelled.
// None of their messages carries an address or a credential.
class XtreamTransport
{
public:
    explicit XtreamTransport(netkit::HttpSession session);
    virtual ~XtreamTransport() = default;

    // Succeeds when the panel's account check answers "user_info"."auth" = 1; otherwise
    // CommandError::invalidCredentials (an HTTP error status is invalidResponse, never invalidCredentials).
    virtual QCoro::Task<void> authenticate(ProviderSession source, netkit::CancelToken token) const;

    // Every live channel, film and series (in that order, each in the panel's order). The six lists are fetched
    // together; the first stream list to fail cancels the others and fails the load. A category list that fails
    // only costs its kind the group names. No entry at all: CommandError::emptyCatalog.
    virtual QCoro::Task<NodeTable> universe(ProviderSession source, netkit::CancelToken token) const;

    // Synopsis, genre, year and, for a series, its seasons in ascending order. A live channel has none and costs
    // no request.
    virtual QCoro::Task<ContentBrief> details(MediaNode node, ProviderSession source,
                                              netkit::CancelToken token) const;

    // The ticket of an entry; a series reads its details and starts at its first episode.
    // CommandError::playbackUnavailable when there is nothing to play.
    virtual QCoro::Task<PlaybackTicket> stream(MediaNode node, ProviderSession source,
                                               netkit::CancelToken token) const;

    // The ticket of an entry that needs no request: playlist entries, live channels and films; nothing for a panel
    // series.
    virtual std::optional<PlaybackTicket> immediateStream(const MediaNode& node, const ProviderSession& source) const;

    // "<origin>/<folder>/<user>/<secret>/<id>.<suffix>", every segment percent-encoded exactly once (a blank as
    // "+", a "+" as "%2B", letters outside ASCII as their UTF-8 bytes). None when the user or the secret is "." or
    // "..": no address can carry them as a segment.
    static std::optional<QUrl> streamURL(const ProviderSession& source, const QString& folder, const QString& id,
                          const QString& suffix);

    // The address of a panel request: "player_api.php" under the origin, with "username", "password" and then
    // `query`, every value percent-encoded by us.
    static QUrl requestURL(const ProviderSession& source, const QList<netkit::QueryItem>& query);

private:
    netkit::HttpSession m_session;
};

} // namespace sendra
