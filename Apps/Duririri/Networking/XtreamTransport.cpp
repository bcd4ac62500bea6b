#include "Networking/XtreamTransport.h"

#include "Domain/CommandError.h"
#include "Domain/XtreamStreamAddressPolicy.h"
#include "NetKit/Join.h"
#include "NetKit/InBackground.h"
#include "Networking/BodyFeed.h"
#include "NetKit/LargeList.h"
#include "NetKit/NetLog.h"
#include "Networking/XtreamDetails.h"
#include "Networking/XtreamListReader.h"

#include <QUuid>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <memory>
#include <optional>
#include <utility>

namespace sendra {

namespace {

using namespace std::chrono_literals;
using netkit::CancelToken;
using netkit::HttpSession;
using netkit::QueryItem;

constexpr auto kListTimeout = 30s;
constexpr auto kAccountTimeout = 30s;
constexpr auto kFilmDetailsTimeout = 12s;
constexpr auto kSeriesDetailsTimeout = 15s;

struct KindActions
{
    SignalKind kind;
    QString streams;
    QString categories;
};

KindActions actionsOf(SignalKind kind)
{
    switch (kind) {
    case SignalKind::broadcast:
        return {kind, QStringLiteral("get_live_streams"), QStringLiteral("get_live_categories")};
    case SignalKind::cinema:
        return {kind, QStringLiteral("get_vod_streams"), QStringLiteral("get_vod_categories")};
    case SignalKind::episodic:
        break;
    }
    return {kind, QStringLiteral("get_series"), QStringLiteral("get_series_categories")};
}

// The body of a 2xx answer; any other status, whatever its body, is invalidResponse.
// A list (`largeList`) may take 10 minutes and 1 GiB; the account check and details 60 seconds and 16 MiB.
QCoro::Task<QByteArray> fetch(HttpSession session, ProviderSession source, QList<QueryItem> query,
                              std::chrono::milliseconds timeout, CancelToken token, bool largeList = false)
{
    netkit::HttpRequest request;
    request.url = XtreamTransport::requestURL(source, query);
    request.idleTimeout = timeout;
    if (largeList)
        request.boundAsLargeList();
    const netkit::HttpResponse response = co_await session.send(std::move(request), token);
    if (!response.isSuccess())
        throw CommandFailure(CommandError::invalidResponse);
    co_return response.body;
}

QCoro::Task<QByteArray> fetchList(HttpSession session, ProviderSession source, QString action, CancelToken token)
{
    return fetch(std::move(session), std::move(source), {{QStringLiteral("action"), std::move(action)}},
                 kListTimeout, std::move(token), true);
}

// Note for every coroutine here: lambdas and braced temporaries are named before a co_await, never written inside
// one, because g++ 12 destroys such temporaries twice.

// Group names are a nicety: a category list that fails in any way leaves its kind with an empty map. Only our
// own cancellation goes on, so the join still ends as it should.
QCoro::Task<xtream::CategoryMap> categoriesOrNone(HttpSession session, ProviderSession source, QString action,
                                                  CancelToken token)
{
    try {
        const QByteArray body = co_await fetchList(session, source, action, token);
        netkit::throwIfCancelled(token);
        auto read = [body] { return xtream::readCategoryMap(body); };
        co_return co_await netkit::inBackground(std::move(read), token);
    } catch (const netkit::Cancelled&) {
        throw;
    } catch (...) {
        qCWarning(netkit::netLog, "Sendra: a category list of the panel could not be read; its groups stay unnamed");
        co_return xtream::CategoryMap{};
    }
}

// One kind's stream list, read while it arrives (readWhileArriving): a worker of the shared background pool
// (NetKit/Workers.h) cuts and parses the pieces in order, so the main thread never parses and the list is never
// held whole. A list known bad stops its transfer at once, rather than downloading up to a large list's bound.
class ListReading
{
public:
    ListReading(SignalKind kind, QUrl panel)
        : m_kind(kind)
        , m_panel(std::move(panel))
    {
    }

    // On the worker, one call at a time.
    void push(QByteArray chunk, qint64 declaredLength)
    {
        start(declaredLength);
        m_stream->push(std::move(chunk));
    }
    void end()
    {
        start(-1);
        m_stream->finish();
    }

    // Once the whole list was read (on a worker): the entries, their groups named.
    NodeTable finish(const xtream::CategoryMap& categories) { return m_reader->finish(categories); }

private:
    // The reader learns the body's declared size, which bounds what an estimate may reserve.
    void start(qint64 declaredLength)
    {
        if (m_reader)
            return;
        m_reader.emplace(m_kind, m_panel, qsizetype(std::max<qint64>(declaredLength, 0)));
        m_stream.emplace(m_reader->visitor());
        m_stream->setExpectedBytes(declaredLength);
        m_stream->failEarly();
    }

    const SignalKind m_kind;
    const QUrl m_panel;
    std::optional<xtream::StreamListReader> m_reader;
    std::optional<xtream::ObjectListStream> m_stream;
};

// The stream list of one kind, parsed as it arrives; failures as fetchList's and the walker's.
QCoro::Task<std::shared_ptr<ListReading>> streamList(HttpSession session, ProviderSession source, KindActions actions,
                                                     CancelToken token)
{
    // Relative artwork is the panel's own: taken relative to its request address, never to its query.
    auto reading = std::make_shared<ListReading>(actions.kind, netkit::appendingPath(source.origin, "player_api.php"));
    netkit::HttpRequest request;
    request.url = XtreamTransport::requestURL(source, {{QStringLiteral("action"), actions.streams}});
    request.idleTimeout = kListTimeout;
    request.boundAsLargeList();
    auto read = [reading](QByteArray chunk, qint64 declaredLength) { reading->push(std::move(chunk), declaredLength); };
    auto end = [reading] { reading->end(); };
    co_await readWhileArriving(std::move(session), std::move(request), std::move(read), std::move(end), token);
    netkit::throwIfCancelled(token);
    co_return reading;
}

QCoro::Task<NodeTable> kindNodes(HttpSession session, ProviderSession source, KindActions actions, CancelToken token)
{
    auto streams = [session, source, actions](CancelToken child) {
        return streamList(session, source, actions, std::move(child));
    };
    auto categoryNames = [session, source, action = actions.categories](CancelToken child) {
        return categoriesOrNone(session, source, action, std::move(child));
    };
    auto [feed, categories] = co_await netkit::joinAll(token, std::move(streams), std::move(categoryNames));
    netkit::throwIfCancelled(token);
    auto read = [feed = std::move(feed), categories = std::move(categories)] { return feed->finish(categories); };
    co_return co_await netkit::inBackground(std::move(read), token);
}

QCoro::Task<NodeTable> loadUniverse(HttpSession session, ProviderSession source, CancelToken token)
{
    const auto kindTask = [session, source](SignalKind kind) {
        return [session, source, kind](CancelToken child) {
            return kindNodes(session, source, actionsOf(kind), std::move(child));
        };
    };
    auto live = kindTask(SignalKind::broadcast);
    auto films = kindTask(SignalKind::cinema);
    auto series = kindTask(SignalKind::episodic);
    auto [liveNodes, filmNodes, seriesNodes] =
        co_await netkit::joinAll(token, std::move(live), std::move(films), std::move(series));
    netkit::throwIfCancelled(token);
    // Joining 200k entries moves their rows: the worker does it, not the main thread, into rows allocated once.
    auto concatenate = [all = std::move(liveNodes), films = std::move(filmNodes), series = std::move(seriesNodes)]() mutable {
        all.reserve(all.size() + films.size() + series.size());
        all.append(std::move(films));
        all.append(std::move(series));
        return std::move(all);
    };
    NodeTable all = co_await netkit::inBackground(std::move(concatenate), token);
    if (all.isEmpty())
        throw CommandFailure(CommandError::emptyCatalog);
    co_return all;
}

QCoro::Task<ContentBrief> loadDetails(HttpSession session, MediaNode node, ProviderSession source, CancelToken token)
{
    if (node.kind == SignalKind::broadcast)
        co_return ContentBrief::empty();
    const bool series = node.kind == SignalKind::episodic;
    const QList<QueryItem> query = series
        ? QList<QueryItem>{{QStringLiteral("action"), QStringLiteral("get_series_info")}, {QStringLiteral("series_id"), node.id}}
        : QList<QueryItem>{{QStringLiteral("action"), QStringLiteral("get_vod_info")}, {QStringLiteral("vod_id"), node.id}};
    const std::chrono::milliseconds timeout = series ? kSeriesDetailsTimeout : kFilmDetailsTimeout;
    const QByteArray body = co_await fetch(session, source, query, timeout, token);
    netkit::throwIfCancelled(token);
    auto read = [body, kind = node.kind, source] { return xtream::readBrief(body, kind, source); };
    co_return co_await netkit::inBackground(std::move(read), token);
}

QCoro::Task<void> checkAccount(HttpSession session, ProviderSession source, CancelToken token)
{
    const QList<QueryItem> noQuery;
    const QByteArray body = co_await fetch(session, source, noQuery, kAccountTimeout, token);
    netkit::throwIfCancelled(token);
    auto read = [body] { return xtream::accountAccepted(body); };
    const bool accepted = co_await netkit::inBackground(std::move(read), token);
    if (!accepted)
        throw CommandFailure(CommandError::invalidCredentials);
}

// Folder, user, secret, id and suffix are encoded on their own, keeping as typed every character a path segment may
// hold ("ana@mail.com", "clave+2024" reach the panel as they are): only "/", "%", "?", "#", blanks, controls,
// non-ASCII bytes and the few characters no path may carry become %XX.
QByteArray encodedSegment(const QString& text)
{
    static constexpr char hex[] = "0123456789ABCDEF";
    QByteArray out;
    const QByteArray utf8 = text.toUtf8();
    out.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        const bool plain = (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9')
                           || std::strchr("-._~!$&'()*+,;=:@", c) != nullptr;
        if (plain && byte != 0)
            out.append(c);
        else
            out.append('%').append(hex[byte >> 4]).append(hex[byte & 0xF]);
    }
    return out;
}

PlaybackTicket ticket(const MediaNode& node, const QUrl& stream, std::optional<QUrl> native, QList<QUrl> episodes = {})
{
    PlaybackTicket result;
    result.id = QUuid::createUuid();
    result.node = node;
    result.stream = stream;
    result.nativeStream = std::move(native);
    result.episodes = std::move(episodes);
    return result;
}

QCoro::Task<PlaybackTicket> seriesTicket(HttpSession session, MediaNode node, ProviderSession source, CancelToken token)
{
    const ContentBrief brief = co_await loadDetails(session, node, source, token);
    netkit::throwIfCancelled(token);
    QList<QUrl> episodes;
    for (const SeasonBundle& season : brief.seasons)
        for (const EpisodeNode& episode : season.episodes)
            episodes.append(episode.stream);
    if (episodes.isEmpty())
        throw CommandFailure(CommandError::playbackUnavailable);
    const QUrl first = episodes.first();
    co_return ticket(node, first, PlaybackTicket::nativeAlternative(node, first), std::move(episodes));
}

} // namespace

XtreamTransport::XtreamTransport(netkit::HttpSession session)
    : m_session(std::move(session))
{
}

QCoro::Task<void> XtreamTransport::authenticate(ProviderSession source, CancelToken token) const
{
    return checkAccount(m_session, std::move(source), std::move(token));
}

QCoro::Task<NodeTable> XtreamTransport::universe(ProviderSession source, CancelToken token) const
{
    return loadUniverse(m_session, std::move(source), std::move(token));
}

QCoro::Task<ContentBrief> XtreamTransport::details(MediaNode node, ProviderSession source, CancelToken token) const
{
    return loadDetails(m_session, std::move(node), std::move(source), std::move(token));
}

QCoro::Task<PlaybackTicket> XtreamTransport::stream(MediaNode node, ProviderSession source, CancelToken token) const
{
    if (auto immediate = immediateStream(node, source)) {
        return [](PlaybackTicket ready) -> QCoro::Task<PlaybackTicket> { co_return ready; }(std::move(*immediate));
    }
    if (node.kind != SignalKind::episodic) {
        return []() -> QCoro::Task<PlaybackTicket> {
            throw CommandFailure(CommandError::playbackUnavailable);
            co_return PlaybackTicket{};
        }();
    }
    return seriesTicket(m_session, std::move(node), std::move(source), std::move(token));
}

std::optional<PlaybackTicket> XtreamTransport::immediateStream(const MediaNode& node, const ProviderSession& source) const
{
    if (node.directURL)
        return ticket(node, *node.directURL, PlaybackTicket::nativeAlternative(node, *node.directURL));
    switch (node.kind) {
    case SignalKind::broadcast: {
        const auto stream = streamURL(source, QStringLiteral("live"), node.id, QStringLiteral("ts"));
        if (!stream)
            return std::nullopt;
        return ticket(node, *stream, streamURL(source, QStringLiteral("live"), node.id, QStringLiteral("m3u8")));
    }
    case SignalKind::cinema: {
        const auto stream = streamURL(source, QStringLiteral("movie"), node.id,
                                      XtreamStreamAddressPolicy::fileExtension(node.fileSuffix, QStringLiteral("mp4")));
        if (!stream)
            return std::nullopt;
        return ticket(node, *stream, PlaybackTicket::nativeAlternative(node, *stream));
    }
    case SignalKind::episodic:
        break;
    }
    return std::nullopt;
}

std::optional<QUrl> XtreamTransport::streamURL(const ProviderSession& source, const QString& folder,
                                               const QString& id, const QString& suffix)
{
    // QUrl turns "%2E" back into ".", and the HTTP stack then removes "." and ".." segments: a credential of only
    // dots would reach another path, so it has no stream address at all.
    for (const QString* credential : {&source.user, &source.secret})
        if (*credential == u"." || *credential == u"..")
            return std::nullopt;
    QByteArray base = source.origin.path(QUrl::FullyEncoded).toUtf8();
    while (base.startsWith('/'))
        base.remove(0, 1);
    while (base.endsWith('/'))
        base.chop(1);
    QByteArray path;
    for (const QByteArray& segment : {base, encodedSegment(folder), encodedSegment(source.user),
                                      encodedSegment(source.secret), encodedSegment(id) + '.' + encodedSegment(suffix)}) {
        if (!segment.isEmpty())
            path.append('/').append(segment);
    }
    if (path.isEmpty())
        path = "/";
    QUrl url = source.origin;
    // Every segment is already encoded: strict mode takes each "%XX" as it stands and encodes nothing again.
    url.setPath(QString::fromLatin1(path), QUrl::StrictMode);
    return url;
}

QUrl XtreamTransport::requestURL(const ProviderSession& source, const QList<QueryItem>& query)
{
    QList<QueryItem> items{{QStringLiteral("username"), source.user}, {QStringLiteral("password"), source.secret}};
    items.append(query);
    return netkit::withQuery(netkit::appendingPath(source.origin, "player_api.php"), items);
}

} // namespace sendra
