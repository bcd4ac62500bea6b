#include "Networking/PreparedCatalogReader.h"

#include "Domain/L10n.h"
#include "Domain/OriginNormalization.h"
#include "Networking/ArtworkAddress.h"
#include "Networking/PlatformRequests.h"

#include <QSet>
#include <QUuid>

namespace sendra::platform {

namespace {

using namespace netkit::json;

// Every check of this reader fails with one error unless another is named.
void require(bool condition)
{
    platform::require(condition, CommandError::invalidResponse);
}

// Version and, for the protected build, mode: what every document of a build repeats.
void checkBuild(const simdjson::dom::object& document, const CatalogIdentity& identity)
{
    require(integer(document["version"]) == identity.version);
    if (identity.protectedBuild)
        require(text(document["catalogMode"]) == QStringLiteral("protected"));
}

} // namespace

CatalogIdentity readManifest(const simdjson::dom::object& manifest, const QString& brand, int slot,
                             const QUrl& origin, bool protectedBuild)
{
    require(text(manifest["client"]) == brand);
    require(integer(manifest["serverSlot"]) == slot);
    const auto served = address(manifest["origin"]);
    require(served && sameOrigin(*served, origin));
    const auto version = integer(manifest["version"]);
    require(version && *version >= 1);
    const auto generation = text(manifest["generatedAt"]);
    require(generation && !generation->isEmpty());

    CatalogIdentity identity{brand, slot, normalizedOrigin(origin), *version, *generation, protectedBuild, {}};
    const auto counts = object(manifest[protectedBuild ? "protectedCounts" : "counts"]);
    require(counts.has_value());
    for (const SignalKind kind : allSignalKinds) {
        const auto count = integer((*counts)[storedValue(kind).toStdString()]);
        require(count && *count >= 0);
        identity.counts[std::size_t(kind)] = *count;
    }
    return identity;
}

std::optional<MediaNode> readItem(const simdjson::dom::object& item, const QUrl& document)
{
    const auto id = string(item["id"]);
    const auto name = text(item["name"]);
    if (!id || !name || name->isEmpty())
        return std::nullopt;
    MediaNode node;
    node.id = *id;
    node.title = *name;
    node.kind = signalKindFromStored(text(item["kind"]).value_or(QString())).value_or(SignalKind::cinema);
    node.groupID = string(item["categoryId"]).value_or(QString());
    node.groupName = text(item["category"]).value_or(QStringLiteral("Contenido"));
    if (const auto image = address(item["image"]))
        node.artwork = artworkAddress(*image, document);
    node.fileSuffix = text(item["extension"]).value_or(QString());
    node.contentClassification = text(item["content_type"]);
    return node;
}

QList<MediaNode> readSection(const simdjson::dom::object& section, const CatalogIdentity& identity, SignalKind kind,
                             const QUrl& document)
{
    checkBuild(section, identity);
    const auto items = array(section["items"]);
    require(items && qint64(items->size()) == identity.count(kind));
    QList<MediaNode> nodes;
    nodes.reserve(qsizetype(items->size()));
    QSet<QString> seen;
    seen.reserve(qsizetype(items->size()));
    for (const simdjson::dom::element element : *items) {
        const auto item = object(element);
        require(item.has_value());
        auto node = readItem(*item, document);
        require(node && !seen.contains(node->id));
        seen.insert(node->id);
        node->kind = kind;
        node->directURL.reset();
        nodes.append(std::move(*node));
    }
    return nodes;
}

CommandFeed readHome(const simdjson::dom::object& home, const CatalogIdentity& identity, const QUrl& document)
{
    checkBuild(home, identity);
    std::optional<MediaNode> spotlight;
    if (const auto featured = object(home["featured"]))
        spotlight = readItem(*featured, document);

    QList<CommandLane> lanes;
    const auto rows = array(home["rows"]);
    const bool rowsAreObjects = rows && std::all_of(rows->begin(), rows->end(), [](simdjson::dom::element row) {
        return row.is_object();
    });
    if (rowsAreObjects) {
        for (const simdjson::dom::element element : *rows) {
            const simdjson::dom::object row = element.get_object().value_unsafe();
            CommandLane lane;
            lane.id = string(row["id"]).value_or(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper());
            lane.title = text(row["title"]).value_or(QString::fromUtf8(L10n::noop("Selección")));
            lane.subtitle = QString::fromUtf8(L10n::noop("Catálogo de acceso rápido"));
            if (const auto items = array(row["items"])) {
                for (const simdjson::dom::element item : *items) {
                    if (const auto fields = object(item))
                        if (auto node = readItem(*fields, document))
                            lane.nodes.append(std::move(*node));
                }
            }
            if (!lane.nodes.isEmpty())
                lanes.append(std::move(lane));
        }
    }
    if (lanes.isEmpty())
        fail(CommandError::emptyCatalog);
    if (!spotlight)
        spotlight = lanes.first().nodes.first();
    return CommandFeed{identity.version, std::move(spotlight), std::move(lanes)};
}

} // namespace sendra::platform
