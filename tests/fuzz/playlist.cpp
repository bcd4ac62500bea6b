// The application's and the core library's playlist readers over arbitrary bytes: neither may crash, and every
// entry either keeps must carry an absolute address of a network scheme, kept as QUrl would write it. A playlist read
// in pieces gives the entries of the whole text.
#include "FuzzSupport.h"

#include "NetKit/Blocks.h"
#include "NetKit/PlaylistText.h"
#include "NetKit/UrlCodec.h"
#include "Networking/Playlist/PlaylistIngestor.h"
#include "OrrinthCore/M3UParser.h"

#include <QString>
#include <QUrl>

#include <simdjson.h>

#include <optional>
#include <vector>

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

    // However the text arrives, the entries are the same (and the strict reader refuses exactly what is not UTF-8).
    for (const qsizetype largest : {qsizetype(1), 1 + bytes.size() / 3}) {
        sendra::PlaylistReader reader(input.selector & 1 ? origin : QUrl(),
                                      input.selector & 2 ? sendra::Utf8Check::strict : sendra::Utf8Check::lenient);
        std::uint32_t seed = std::uint32_t(size) + input.selector;
        std::optional<QList<sendra::MediaNode>> streamed;
        try {
            for (qsizetype at = 0; at < bytes.size();) {
                seed = seed * 1664525u + 1013904223u;
                const qsizetype piece = std::min(1 + qsizetype(seed >> 8) % largest, bytes.size() - at);
                reader.push(bytes.sliced(at, piece));
                at += piece;
            }
            streamed = reader.finish().toList();
        } catch (const sendra::CommandFailure&) {
        }
        const bool valid = !(input.selector & 2) || simdjson::validate_utf8(bytes.data(), std::size_t(bytes.size()));
        fuzz::require(streamed.has_value() == valid, "only text that is not UTF-8 is refused");
        if (streamed) {
            // Ids made for entries without one are stable, so the lists compare whole.
            fuzz::require(*streamed == nodes, "a playlist read in pieces gives the entries of the whole text");
        }
    }

    // The one-pass reading of an information line finds what the two readings apart find.
    const std::string_view text(bytes.data(), std::size_t(bytes.size()));
    for (std::size_t at = 0; at <= text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        const std::string_view line = text.substr(at, end - at);
        const netkit::playlist::InformationLine info(line);
        const netkit::playlist::Attributes attributes(line);
        fuzz::require(info.tvgId == attributes.tvgId && info.tvgLogo == attributes.tvgLogo
                          && info.groupTitle == attributes.groupTitle
                          && info.titleComma == netkit::playlist::titleComma(line),
                      "an information line reads the same in one pass");
        at = end + 1;
    }

    // The tables' own UTF-8 decoding gives QString's characters for valid text, whole and from any byte on (short
    // texts take other roads), and never writes past the room of the bytes it reads.
    if (simdjson::validate_utf8(bytes.data(), std::size_t(bytes.size()))) {
        for (const std::size_t from : {std::size_t(0), std::size_t(input.selector) % (text.size() + 1)}) {
            const std::string_view piece = text.substr(from);
            std::vector<char16_t> out(piece.size());
            const std::size_t units = netkit::decodeUtf8(piece, out.data());
            fuzz::require(QStringView(out.data(), qsizetype(units)) == QString::fromUtf8(piece.data(), qsizetype(piece.size())),
                          "the tables decode UTF-8 as QString does");
        }
    }

    const QList<orrinth::CatalogItem> items = orrinth::M3UParser().parse(QString::fromUtf8(bytes));
    (void)items;
    return 0;
}
