// The platform service's answers as the application and the core library read them: brand resolutions, manifests,
// catalogue sections, home feeds and single items. Bad answers end in their clear errors; nothing else may
// escape or crash. A section read while it arrives gives what the whole section gives, or fails as it does.
#include "FuzzSupport.h"

#include "NetKit/LenientJson.h"
#include "Networking/BrandResolutionReader.h"
#include "Networking/PreparedCatalogReader.h"
#include "OrrinthCore/JsonCodec.h"

#include <QUrl>

#include <optional>

namespace {

// A section's entries as the whole-document reader gives them and as they come out of SectionReader with the body
// in pieces of 1 to `largest` bytes; nothing for a refusal.
std::optional<QList<sendra::MediaNode>> wholeSection(QByteArrayView body, const sendra::platform::CatalogIdentity& identity,
                                                     sendra::SignalKind kind, const QUrl& document)
{
    try {
        const netkit::JsonDocument parsed = netkit::JsonDocument::parse(body);
        const auto object = netkit::json::object(parsed.root());
        if (!object)
            return std::nullopt;
        return sendra::platform::readSection(*object, identity, kind, document);
    } catch (const sendra::CommandFailure&) {
    } catch (const netkit::JsonError&) {
    }
    return std::nullopt;
}

std::optional<QList<sendra::MediaNode>> streamedSection(QByteArrayView body, const sendra::platform::CatalogIdentity& identity,
                                                        sendra::SignalKind kind, const QUrl& document, qsizetype largest,
                                                        std::uint32_t seed)
{
    try {
        sendra::platform::SectionReader reader(identity, kind, document);
        for (qsizetype at = 0; at < body.size();) {
            seed = seed * 1664525u + 1013904223u;
            const qsizetype piece = std::min(1 + qsizetype(seed >> 8) % largest, body.size() - at);
            reader.push(body.sliced(at, piece).toByteArray(), body.size());
            at += piece;
        }
        return reader.finish().toList();
    } catch (const sendra::CommandFailure&) {
    } catch (const netkit::JsonError&) {
    }
    return std::nullopt;
}

void readWithTheApplication(std::uint8_t selector, QByteArrayView body)
{
    static const QUrl document(QStringLiteral("https://catalog.example/api/catalog/brand/movies?serverSlot=1"));
    static const QUrl origin(QStringLiteral("http://panel.example:8080"));
    if ((selector & 7) == 2) {
        sendra::platform::CatalogIdentity identity;
        identity.version = 3;
        identity.protectedBuild = selector & 8;
        const auto kind = sendra::SignalKind((selector >> 4) % 3);
        // The count the section's list has, so that a well-formed section is read.
        qint64 count = 2;
        try {
            const netkit::JsonDocument parsed = netkit::JsonDocument::parse(body);
            if (const auto object = netkit::json::object(parsed.root()))
                if (const auto items = netkit::json::array((*object)["items"]))
                    count = qint64(items->size());
        } catch (const netkit::JsonError&) {
        }
        identity.counts = {count, count, count};
        const auto again = wholeSection(body, identity, kind, document);
        fuzz::require(streamedSection(body, identity, kind, document, 1, selector) == again,
                      "a section read byte by byte gives what the whole section gives");
        fuzz::require(streamedSection(body, identity, kind, document, 1 + body.size() / 3, std::uint32_t(body.size())) == again,
                      "a section read in pieces gives what the whole section gives");
    }
    const netkit::JsonDocument parsed = netkit::JsonDocument::parse(body);
    const auto object = netkit::json::object(parsed.root());
    if (!object)
        return;
    sendra::platform::CatalogIdentity identity;
    identity.version = 3;
    identity.generation = QStringLiteral("g");
    identity.protectedBuild = selector & 8;
    identity.counts = {2, 2, 2};
    const auto kind = sendra::SignalKind((selector >> 4) % 3);
    switch (selector & 7) {
    case 0:
        (void)sendra::platform::readBrandResolution(*object, document);
        break;
    case 1:
        (void)sendra::platform::readManifest(*object, QStringLiteral("brand"), 1, origin, selector & 8);
        break;
    case 2:
        (void)sendra::platform::readSection(*object, identity, kind, document);
        break;
    case 3:
        (void)sendra::platform::readHome(*object, identity, document);
        break;
    default:
        (void)sendra::platform::readItem(*object, document);
        break;
    }
}

void readWithTheCore(std::uint8_t selector, QByteArrayView body)
{
    switch (selector & 7) {
    case 0:
        (void)orrinth::decodeJson<orrinth::BrandResolution>(body);
        break;
    case 1:
        (void)orrinth::decodeJson<orrinth::CatalogManifest>(body);
        break;
    case 2:
        (void)orrinth::decodeJson<orrinth::CatalogSection>(body);
        break;
    case 3:
        (void)orrinth::decodeJson<orrinth::HomeCatalog>(body);
        break;
    case 4:
        (void)orrinth::decodeJson<orrinth::BrandConfiguration>(body);
        break;
    case 5:
        (void)orrinth::decodeJson<orrinth::PlatformDescriptor>(body);
        break;
    case 6:
        (void)orrinth::decodeJson<orrinth::ResolvedBrand>(body);
        break;
    default:
        (void)orrinth::decodeJson<orrinth::CatalogItem>(body);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::Input input(data, size);
    fuzz::expectingRefusals([&] { readWithTheApplication(input.selector, input.body); });
    fuzz::expectingRefusals([&] { readWithTheCore(input.selector, input.body); });
    return 0;
}
