// The platform service's answers as the application and the core library read them: brand resolutions, manifests,
// catalogue sections, home feeds and single items. Bad answers end in their clear errors; nothing else may
// escape or crash.
#include "FuzzSupport.h"

#include "NetKit/LenientJson.h"
#include "Networking/BrandResolutionReader.h"
#include "Networking/PreparedCatalogReader.h"
#include "OrrinthCore/JsonCodec.h"

#include <QUrl>

namespace {

void readWithTheApplication(std::uint8_t selector, QByteArrayView body)
{
    static const QUrl document(QStringLiteral("https://catalog.example/api/catalog/brand/movies?serverSlot=1"));
    static const QUrl origin(QStringLiteral("http://panel.example:8080"));
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
