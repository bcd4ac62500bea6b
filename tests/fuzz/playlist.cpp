// The application's and the core library's playlist readers over arbitrary bytes: neither may crash, and every
// entry either keeps must carry an absolute address of a network scheme, kept as QUrl would write it.
#include "FuzzSupport.h"

#include "NetKit/UrlCodec.h"
#include "Networking/PlaylistIngestor.h"
#include "OrrinthCore/M3UParser.h"

#include <QString>
#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::Input input(data, size);
    static const QUrl origin(QStringLiteral("http://lists.example:8080/u/p/get.php?type=m3u"));
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));

    const QList<sendra::MediaNode> nodes = sendra::PlaylistIngestor::parse(bytes, input.selector & 1 ? origin : QUrl());
    for (const sendra::MediaNode& node : nodes) {
        fuzz::require(node.directURL.has_value() && !node.id.isEmpty(), "a playlist entry has an address and an id");
        // Kept as the text QUrl itself would give, and an absolute address of a network scheme.
        const QUrl url = node.directURL->url();
        fuzz::require(url.toEncoded() == node.directURL->text().toLatin1(), "a stream address is kept as QUrl writes it");
        fuzz::require(!url.isRelative() && netkit::isNetworkStreamScheme(url.scheme()), "a stream address is absolute, of a network scheme");
        if (node.artwork) {
            const QUrl artwork = node.artwork->url();
            fuzz::require(artwork.toEncoded() == node.artwork->text().toLatin1(), "a logo address is kept as QUrl writes it");
        }
    }

    const QList<orrinth::CatalogItem> items = orrinth::M3UParser().parse(QString::fromUtf8(bytes));
    (void)items;
    return 0;
}
