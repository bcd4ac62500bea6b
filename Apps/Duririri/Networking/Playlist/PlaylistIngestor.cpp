#include "Networking/Playlist/PlaylistIngestor.h"

#include "Domain/CommandError.h"
#include "Networking/BodyFeed.h"
#include "Networking/Playlist/EntryLine.h"

#include <chrono>
#include <memory>
#include <string_view>

namespace sendra {

namespace {

using namespace std::chrono_literals;

constexpr auto kDownloadTimeout = 45s;
constexpr qsizetype kChunkBytes = qsizetype(2) << 20;

} // namespace

PlaylistIngestor::PlaylistIngestor(netkit::HttpSession session) : m_session(std::move(session))
{}

QString PlaylistIngestor::fallbackId(QByteArrayView addressLine)
{
    return playlist::NameUuid().of(std::string_view(addressLine.data(), std::size_t(addressLine.size())));
}

NodeTable PlaylistIngestor::parseTable(QByteArrayView utf8, const QUrl& origin)
{
    PlaylistReader reader(origin);
    reader.push(utf8, utf8.size());
    return reader.finish();
}

QList<MediaNode> PlaylistIngestor::parse(QByteArrayView utf8, const QUrl& origin)
{
    return parseTable(utf8, origin).toList();
}

QCoro::Task<NodeTable> PlaylistIngestor::download(QUrl address, netkit::CancelToken token) const
{
    return downloadWith(m_session, std::move(address), std::move(token));
}

QCoro::Task<NodeTable> PlaylistIngestor::downloadWith(netkit::HttpSession session, QUrl address,
                                                      netkit::CancelToken token)
{
    // Read while it arrives: reading overlaps the download, and chunks of 2 MiB are read on several workers at once
    // (as a panel's three lists are), each let go once read.
    auto reader = std::make_shared<PlaylistReader>(address, Utf8Check::strict, kChunkBytes, token);
    auto nodes = std::make_shared<NodeTable>();
    netkit::HttpRequest request;
    request.url = address;
    request.idleTimeout = kDownloadTimeout;
    request.boundAsLargeList();
    auto read = [reader](QByteArray piece, qint64 declaredLength) { reader->push(piece, declaredLength); };
    auto end = [reader, nodes] { *nodes = reader->finish(); };
    co_await readWhileArriving(std::move(session), std::move(request), std::move(read), std::move(end), token);
    if (nodes->isEmpty())
        throw CommandFailure(CommandError::emptyCatalog);
    co_return std::move(*nodes);
}

} // namespace sendra
