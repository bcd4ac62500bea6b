// The Xtream Codes readers over arbitrary answers: category lists, stream lists of each kind, details of a film or
// series, and the account check. Bad answers end in their clear errors; nothing else may escape or crash. A list
// read while it arrives visits what the whole-body walk visits.
#include "FuzzSupport.h"

#include "Domain/SessionTypes.h"
#include "Networking/XtreamDetails.h"
#include "Networking/XtreamListReader.h"

#include <QUrl>

#include <functional>
#include <string>
#include <vector>

namespace {

using sendra::xtream::ObjectListVisitor;

// What a walk visited (each element minified), or only how it failed.
std::vector<std::string> walked(const std::function<void(const ObjectListVisitor&)>& walk, bool keepsWhatItVisited)
{
    std::vector<std::string> seen;
    const ObjectListVisitor visitor{.visit = [&](const simdjson::dom::object& item) { seen.push_back(simdjson::minify(item)); },
                                    .restart =
                                        [&] {
                                            fuzz::require(!keepsWhatItVisited || seen.empty(),
                                                          "a stream never drops what it visited");
                                            seen.clear();
                                        }};
    try {
        walk(visitor);
    } catch (const sendra::CommandFailure& failure) {
        return {"failed: " + std::to_string(int(failure.error()))};
    } catch (const netkit::JsonError&) {
        return {"failed: not JSON"};
    }
    return seen;
}

// The body pushed in pieces of 1 to `largest` bytes (a sequence fixed by `seed`), slices cut after `sliceBytes`.
std::vector<std::string> streamed(QByteArrayView body, std::size_t sliceBytes, std::uint32_t seed, qsizetype largest,
                                  bool failEarly = false)
{
    return walked(
        [&](const ObjectListVisitor& visitor) {
            sendra::xtream::ObjectListStream stream(visitor, sliceBytes);
            if (failEarly)
                stream.failEarly();
            for (qsizetype at = 0; at < body.size();) {
                seed = seed * 1664525u + 1013904223u;
                const qsizetype piece = 1 + qsizetype(seed >> 8) % largest;
                stream.push(body.sliced(at, std::min(piece, body.size() - at)).toByteArray());
                at += piece;
            }
            stream.finish();
        },
        true);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::Input input(data, size);
    // However the list arrives, the stream visits what the whole-body walk visits, or fails the same way.
    const auto whole = walked([&](const ObjectListVisitor& visitor) { sendra::xtream::walkObjectList(input.body, visitor); }, false);
    fuzz::require(streamed(input.body, 1 + input.selector % 61, input.selector, 1) == whole,
                  "a list streamed byte by byte visits what the whole body does");
    fuzz::require(streamed(input.body, 4096, std::uint32_t(size), 1 + input.body.size() / 3) == whole,
                  "a list streamed in pieces visits what the whole body does");
    fuzz::require(streamed(input.body, 1 + input.selector % 61, input.selector, 1 + input.selector % 7, true) == whole,
                  "a list that fails early fails only when the whole body fails, and the same way");

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
