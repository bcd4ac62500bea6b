#pragma once

#include "Domain/CatalogTypes.h"
#include "Networking/Playlist/LineFramer.h"
#include "NetKit/CancelToken.h"
#include "NetKit/HttpSession.h"

#include <QByteArrayView>
#include <QCoro/QCoroTask>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

namespace sendra {

using playlist::Utf8Check;

// Reads a playlist as it arrives, in the pieces the network hands over, into catalogue entries: the lines that are in
// are read at once, and only the line still coming in is kept. However the text is cut, the entries are those of the
// whole text (PlaylistIngestor::parseTable). A line longer than 16 MiB is skipped as it arrives, never held whole. Use
// it from one thread at a time.
class PlaylistReader
{
public:
    // With Utf8Check::strict, a text that is not valid UTF-8 (a truncated last sequence included) fails with
    // CommandError::invalidResponse, wherever the fault is. With `chunkBytes`, the text is gathered into chunks of
    // about that many bytes, cut at line ends, each read on a worker of the shared background pool
    // (NetKit/Workers.h) as soon as it is complete; finish() reads the last one (and any no worker has begun) and
    // joins them, their rows written on the team pool. The entries, their groups and ids are those of reading
    // on one thread. Once `token` is cancelled (or the reader dropped), the workers stop within a line, and push()
    // and finish() throw netkit::Cancelled.
    explicit PlaylistReader(const QUrl& origin = QUrl(), Utf8Check utf8 = Utf8Check::lenient, qsizetype chunkBytes = 0,
                            netkit::CancelToken token = netkit::CancelToken());
    ~PlaylistReader();
    PlaylistReader(const PlaylistReader&) = delete;
    PlaylistReader& operator=(const PlaylistReader&) = delete;

    // The next piece of the text; `declaredLength` (the whole text's length, or -1) lets the entries be allocated once.
    void push(QByteArrayView piece, qint64 declaredLength = -1);
    // The end of the text: the entries, in playlist order.
    NodeTable finish();

private:
    struct State;
    std::unique_ptr<State> m_state;
};

// Reads a user's M3U playlist into catalogue entries that carry their own stream address (`directURL`). The kind
// of each entry is guessed from its group and address. Keeps nothing between calls.
class PlaylistIngestor
{
public:
    explicit PlaylistIngestor(netkit::HttpSession session);

    // Downloads the playlist (45 s without data is a time-out), read on a worker while it arrives.
    // CommandError::invalidResponse for a status outside 2xx or a body that is not valid UTF-8;
    // CommandError::emptyCatalog when it holds no entry. Transfer failures and cancellation pass through as
    // netkit::HttpError and netkit::Cancelled.
    QCoro::Task<NodeTable> download(QUrl address, netkit::CancelToken token) const;

    // The entries of a UTF-8 playlist read from `origin`, in playlist order; malformed lines are skipped. An address
    // line is an absolute address of a network scheme (netkit::isNetworkStreamScheme); any other line is skipped
    // and the information line waits for the next one. Entries without a "tvg-id" (or with one of blanks only) get a
    // name-based UUID of their address line, the same on every run. Logos are kept as artworkAddress() keeps them,
    // relative ones taken relative to `origin`.
    static NodeTable parseTable(QByteArrayView utf8, const QUrl& origin = QUrl());
    // The same as MediaNodes.
    static QList<MediaNode> parse(QByteArrayView utf8, const QUrl& origin = QUrl());

    // The fallback id of an entry without "tvg-id": UUID version 5 of the address line, upper-case.
    static QString fallbackId(QByteArrayView addressLine);

private:
    // Static, so the request's coroutine holds its own copy of the session, not this object.
    static QCoro::Task<NodeTable> downloadWith(netkit::HttpSession session, QUrl address, netkit::CancelToken token);

    netkit::HttpSession m_session;
};

} // namespace sendra
