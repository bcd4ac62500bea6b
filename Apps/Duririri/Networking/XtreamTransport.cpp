#include "Networking/XtreamTransport.h"

#include "Domain/CommandError.h"
#include "Domain/XtreamStreamAddressPolicy.h"
#include "NetKit/Join.h"
#include "Networking/BackgroundWork.h"
#include "NetKit/LargeList.h"
#include "Networking/XtreamDetails.h"
#include "Networking/XtreamListReader.h"

#include <QFuture>
#include <QPromise>
#include <QScopeGuard>
#include <QThreadPool>
#include <QUuid>

#include <chrono>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
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
        co_return co_await runInBackground(std::move(read));
    } catch (const netkit::Cancelled&) {
        throw;
    } catch (...) {
        co_return xtream::CategoryMap{};
    }
}

// One kind's stream list, read while it arrives: the main thread hands each piece of the body over, and a worker
// of Qt's pool cuts and parses the pieces, one batch at a time and in order. The main thread never parses and the
// list is never held whole; parsing overlaps the download.
class ListFeed : public std::enable_shared_from_this<ListFeed>
{
public:
    ListFeed(SignalKind kind, QUrl panel)
        : m_kind(kind)
        , m_panel(std::move(panel))
    {
        m_parsed.start();
    }

    // The next piece of the body (main thread).
    void push(QByteArray chunk, qint64 declaredLength)
    {
        const std::lock_guard lock(m_mutex);
        if (m_dropped || m_failure)
            return;
        if (m_declaredLength < 0)
            m_declaredLength = declaredLength;
        m_inbox.append(std::move(chunk));
        schedule();
    }

    // After the last piece (main thread): ends once every piece is parsed and the list finished, or the parse
    // failed (see rethrow()).
    QFuture<void> close()
    {
        const std::lock_guard lock(m_mutex);
        m_closed = true;
        schedule();
        return m_parsed.future();
    }

    // The list is not wanted any more: what is still to parse is dropped.
    void drop()
    {
        const std::lock_guard lock(m_mutex);
        m_dropped = true;
        m_inbox.clear();
    }

    // Once close()'s future ended: the parse's failure, if there was one.
    void rethrow()
    {
        const std::lock_guard lock(m_mutex);
        if (m_failure)
            std::rethrow_exception(m_failure);
    }

    // Once close()'s future ended without a failure (on a worker): the entries, their groups named.
    NodeTable finish(const xtream::CategoryMap& categories) { return m_reader->finish(categories); }

private:
    // With m_mutex held. One worker at a time, so the pieces are parsed in order.
    void schedule()
    {
        if (m_running)
            return;
        m_running = true;
        QThreadPool::globalInstance()->start([self = shared_from_this()] { self->drain(); });
    }

    // The reader learns the body's declared size, which bounds what an estimate may reserve.
    void start(qint64 declaredLength)
    {
        if (m_reader)
            return;
        m_reader.emplace(m_kind, m_panel, qsizetype(std::max<qint64>(declaredLength, 0)));
        m_stream.emplace(m_reader->visitor());
        m_stream->setExpectedBytes(declaredLength);
    }

    // On the worker: parses what came in until nothing is left; after close(), finishes the list.
    void drain()
    {
        while (true) {
            QList<QByteArray> batch;
            qint64 declaredLength = -1;
            bool last = false;
            bool skip = false;
            {
                const std::lock_guard lock(m_mutex);
                batch.swap(m_inbox);
                declaredLength = m_declaredLength;
                skip = m_dropped || m_failure;
                if (batch.isEmpty()) {
                    if (!m_closed) {
                        m_running = false;
                        return;
                    }
                    last = true;
                }
            }
            std::exception_ptr failure;
            try {
                if (!skip) {
                    start(declaredLength);
                    for (QByteArray& chunk : batch)
                        m_stream->push(std::exchange(chunk, {}));
                    if (last)
                        m_stream->finish();
                }
            } catch (...) {
                failure = std::current_exception();
            }
            if (failure) {
                const std::lock_guard lock(m_mutex);
                m_failure = failure;
                m_inbox.clear();
            }
            if (last) {
                m_parsed.finish();
                return;
            }
        }
    }

    const SignalKind m_kind;
    const QUrl m_panel;
    std::mutex m_mutex;
    QList<QByteArray> m_inbox;
    qint64 m_declaredLength = -1;
    bool m_running = false;
    bool m_closed = false;
    bool m_dropped = false;
    std::exception_ptr m_failure;
    QPromise<void> m_parsed;
    // The worker's own, made with the first piece.
    std::optional<xtream::StreamListReader> m_reader;
    std::optional<xtream::ObjectListStream> m_stream;
};

// The stream list of one kind, parsed as it arrives; failures as fetchList's and the walker's.
QCoro::Task<std::shared_ptr<ListFeed>> streamList(HttpSession session, ProviderSession source, KindActions actions,
                                                  CancelToken token)
{
    // Relative artwork is the panel's own: taken relative to its request address, never to its query.
    auto feed = std::make_shared<ListFeed>(actions.kind, netkit::appendingPath(source.origin, "player_api.php"));
    auto dropUnlessRead = qScopeGuard([feed] { feed->drop(); });
    netkit::HttpRequest request;
    request.url = XtreamTransport::requestURL(source, {{QStringLiteral("action"), actions.streams}});
    request.idleTimeout = kListTimeout;
    request.boundAsLargeList();
    request.takeBody = [feed](QByteArray chunk, qint64 declaredLength) { feed->push(std::move(chunk), declaredLength); };
    const netkit::HttpResponse response = co_await session.send(std::move(request), token);
    if (!response.isSuccess())
        throw CommandFailure(CommandError::invalidResponse);
    netkit::throwIfCancelled(token);
    QFuture<void> parsed = feed->close();
    co_await parsed;
    netkit::throwIfCancelled(token);
    feed->rethrow();
    dropUnlessRead.dismiss();
    co_return feed;
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
    co_return co_await runInBackground(std::move(read));
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
    NodeTable all = co_await runInBackground(std::move(concatenate));
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
    co_return co_await runInBackground(std::move(read));
}

QCoro::Task<void> checkAccount(HttpSession session, ProviderSession source, CancelToken token)
{
    const QList<QueryItem> noQuery;
    const QByteArray body = co_await fetch(session, source, noQuery, kAccountTimeout, token);
    netkit::throwIfCancelled(token);
    auto read = [body] { return xtream::accountAccepted(body); };
    const bool accepted = co_await runInBackground(std::move(read));
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
