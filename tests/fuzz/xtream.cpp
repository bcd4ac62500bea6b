// The Xtream Codes readers over arbitrary answers: category lists, stream lists of each kind, details of a film or
// series, and the account check. Bad answers end in their clear errors; nothing else may escape or crash.
#include "FuzzSupport.h"

#include "Domain/SessionTypes.h"
#include "Networking/XtreamDetails.h"
#include "Networking/XtreamListReader.h"

#include <QUrl>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::Input input(data, size);
    static const QUrl panel(QStringLiteral("http://panel.example:8080/player_api.php"));
    static const sendra::ProviderSession source =
        sendra::ProviderSession::create(QUrl(QStringLiteral("http://panel.example:8080")), QStringLiteral("ana"),
                                        QStringLiteral("s3cr+t"));
    static const sendra::xtream::CategoryMap categories{{QStringLiteral("1"), QStringLiteral("Noticias")},
                                                        {QStringLiteral("7"), QStringLiteral("Drama")}};
    const auto kind = sendra::SignalKind((input.selector >> 2) % 3);
    fuzz::expectingRefusals([&] {
        switch (input.selector & 3) {
        case 0:
            (void)sendra::xtream::readCategoryMap(input.body);
            break;
        case 1: {
            const QList<sendra::MediaNode> nodes = sendra::xtream::readStreamList(input.body, kind, categories, panel);
            for (const sendra::MediaNode& node : nodes) {
                // An empty id is an id (only a missing one skips the element).
                fuzz::require(!node.title.isEmpty() && node.kind == kind, "a listed entry has a name and the list's kind");
                if (node.artwork)
                    fuzz::require(node.artwork->url().toEncoded() == node.artwork->text().toLatin1(), "an artwork address is kept as QUrl writes it");
            }
            break;
        }
        case 2:
            (void)sendra::xtream::readBrief(input.body, kind, source);
            break;
        default:
            (void)sendra::xtream::accountAccepted(input.body);
            break;
        }
    });
    return 0;
}
