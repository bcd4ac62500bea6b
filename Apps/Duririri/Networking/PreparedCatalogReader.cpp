#include "Networking/PreparedCatalogReader.h"

#include "Domain/L10n.h"
#include "Domain/OriginNormalization.h"
#include "Domain/SeededTable.h"
#include "Networking/ArtworkAddress.h"
#include "Networking/BytesMap.h"
#include "Networking/ObjectListStream.h"
#include "Networking/PlatformRequests.h"
#include "NetKit/AddressReader.h"

#include <QHashFunctions>
#include <QSet>
#include <QUuid>

#include <algorithm>
#include <charconv>
#include <string>
#include <string_view>
#include <vector>

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
    static const QString defaultGroup = QString::fromUtf8(defaultGroupName);
    node.groupName = text(item["category"]).value_or(defaultGroup);
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

namespace {

using simdjson::dom::element;

QString utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

std::optional<std::string_view> stringOf(const std::optional<element>& value)
{
    std::string_view text;
    if (!value || value->get_string().get(text) != simdjson::SUCCESS)
        return std::nullopt;
    return text;
}

// The members of an item that make an entry; a repeated key keeps its first value, as a lookup by key does.
struct RawItem
{
    std::optional<element> id;
    std::optional<element> name;
    std::optional<element> categoryId;
    std::optional<element> category;
    std::optional<element> image;
    std::optional<element> extension;
    std::optional<element> contentType;

    explicit RawItem(const simdjson::dom::object& item)
    {
        const auto keep = [](std::optional<element>& slot, const element& value) {
            if (!slot)
                slot = value;
        };
        for (const auto member : item) {
            const std::string_view key = member.key;
            if (key == "id")
                keep(id, member.value);
            else if (key == "name")
                keep(name, member.value);
            else if (key == "categoryId")
                keep(categoryId, member.value);
            else if (key == "category")
                keep(category, member.value);
            else if (key == "image")
                keep(image, member.value);
            else if (key == "extension")
                keep(extension, member.value);
            else if (key == "content_type")
                keep(contentType, member.value);
        }
    }
};

// The ids of a section so far, to refuse a repeated one. Ids are hashed as UTF-8 (without the leading byte-order
// mark that decoding drops, so equal texts hash alike); rows whose hashes match are compared as the entries' texts.
class SeenIds
{
public:
    // False when `id`, the id of `row`, equals that of an earlier row.
    bool insert(const NodeTable& table, uint32_t row, std::string_view id)
    {
        if (id.starts_with("\xEF\xBB\xBF"))
            id.remove_prefix(3);
        return m_rows.findOrAdd(id, row, [&](uint32_t earlier) { return table.id(earlier) == table.id(row); }) == row;
    }

private:
    SeededTable<> m_rows{64};
};

enum class Road {
    Head,  // before the "items" list: the section's first members are kept
    Items, // in the "items" list: its elements are read as their slices arrive
    Whole, // the section is not of the usual shape: kept whole and read at the end as readSection reads it
};

constexpr qsizetype kLongestHead = 1024 * 1024;

bool isSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Where the JSON string opening at `from` ends (after its closing quote); npos when it is not in yet. `escaped`
// tells whether it holds a backslash.
std::size_t stringEnd(std::string_view data, std::size_t from, bool& escaped)
{
    escaped = false;
    for (std::size_t i = from + 1; i < data.size(); ++i) {
        if (data[i] == '\\') {
            escaped = true;
            ++i;
        } else if (data[i] == '"') {
            return i + 1;
        }
    }
    return std::string_view::npos;
}

// The text of the JSON string `quoted` (its quotes included) into `text`; false when it is no valid string.
bool unescaped(std::string_view quoted, std::string& text)
{
    simdjson::dom::parser parser;
    std::string_view value;
    if (parser.parse(simdjson::padded_string(quoted)).get_string().get(value) != simdjson::SUCCESS)
        return false;
    text.assign(value);
    return true;
}

// Where the JSON value starting at `from` ends; npos when it is not in yet. Only its brackets and strings are
// followed: whether it is valid is the parser's question at the end.
std::size_t valueEnd(std::string_view data, std::size_t from)
{
    bool escaped = false;
    if (data[from] == '"')
        return stringEnd(data, from, escaped);
    if (data[from] == '{' || data[from] == '[') {
        std::size_t depth = 0;
        for (std::size_t i = from; i < data.size(); ++i) {
            const char c = data[i];
            if (c == '"') {
                i = stringEnd(data, i, escaped);
                if (i == std::string_view::npos)
                    return i;
                --i;
            } else if (c == '{' || c == '[') {
                ++depth;
            } else if ((c == '}' || c == ']') && --depth == 0) {
                return i + 1;
            }
        }
        return std::string_view::npos;
    }
    for (std::size_t i = from; i < data.size(); ++i)
        if (isSpace(data[i]) || data[i] == ',' || data[i] == '}' || data[i] == ']')
            return i;
    return std::string_view::npos;
}

} // namespace

struct SectionReader::State
{
    State(const CatalogIdentity& identity, SignalKind kind, const QUrl& document)
        : identity(identity)
        , kind(kind)
        , document(document)
        , images(QUrl::StrictMode)
    {
        visitor.visit = [this](const simdjson::dom::object& item) { add(item); };
        visitor.restart = [] {};
    }

    void push(QByteArray chunk, qint64 declaredLength)
    {
        if (!reserved) {
            reserved = true;
            // Never more rows than the body could hold, so a manifest's count cannot reserve gigabytes.
            const qint64 room = declaredLength > 0 ? declaredLength / 16 : 65536;
            table.reserve(qsizetype(std::clamp<qint64>(identity.count(kind), 0, room)));
        }
        if (road == Road::Items) {
            items->push(std::move(chunk));
            return;
        }
        head.append(chunk);
        // A member still coming in is looked at again only once the head has grown by half, so a long member that
        // arrives in small pieces is not scanned over and over.
        if (road == Road::Head && (head.size() < 4096 || head.size() >= scannedSize + scannedSize / 2))
            scanHead();
    }

    // Follows the section's members up to the "items" list; anything unusual takes the whole road.
    void scanHead()
    {
        const std::string_view data(head.constData(), std::size_t(head.size()));
        std::size_t at = memberFrom;
        const auto skipSpace = [&] {
            while (at < data.size() && isSpace(data[at]))
                ++at;
            return at < data.size();
        };
        if (!opened) {
            if (data.size() < 3 && std::string_view("\xEF\xBB\xBF").starts_with(data))
                return;
            at = data.starts_with("\xEF\xBB\xBF") ? 3 : 0;
            if (!skipSpace())
                return;
            if (data[at] != '{')
                return wholeRoad();
            opened = true;
            memberFrom = at + 1;
        }
        while (true) {
            at = memberFrom;
            if (!skipSpace())
                return waitForMore();
            if (data[at] != '"')
                return wholeRoad(); // the end of the object without a list, or not JSON
            bool escaped = false;
            const std::size_t keyEnd = stringEnd(data, at, escaped);
            if (keyEnd == std::string_view::npos)
                return waitForMore();
            std::string_view key = data.substr(at + 1, keyEnd - at - 2);
            if (escaped) {
                // A key written with escapes ("\u0069tems") is the same key: its section is read as it arrives too.
                if (!unescaped(data.substr(at, keyEnd - at), keyScratch))
                    return wholeRoad();
                key = keyScratch;
            }
            at = keyEnd;
            if (!skipSpace())
                return waitForMore();
            if (data[at] != ':')
                return wholeRoad();
            ++at;
            if (!skipSpace())
                return waitForMore();
            if (key == "items") {
                if (data[at] != '[')
                    return wholeRoad();
                return itemsRoad(at);
            }
            const std::size_t end = valueEnd(data, at);
            if (end == std::string_view::npos)
                return waitForMore();
            at = end;
            if (!skipSpace())
                return waitForMore();
            if (data[at] != ',')
                return wholeRoad();
            memberFrom = at + 1;
        }
    }

    void waitForMore()
    {
        scannedSize = head.size();
        // A head this long is no section of ours: it is simply read whole.
        if (head.size() > kLongestHead)
            wholeRoad();
    }

    void wholeRoad() { road = Road::Whole; }

    void itemsRoad(std::size_t bracket)
    {
        road = Road::Items;
        QByteArray list = head.sliced(qsizetype(bracket));
        head.truncate(qsizetype(bracket));
        head.squeeze();
        items.emplace(visitor);
        items->push(std::move(list));
    }

    NodeTable finish()
    {
        if (road == Road::Items) {
            // The section's other members and the list's last elements, the elements already read left out.
            head.append(items->takeRest());
            items.reset();
        }
        const ObjectDocument section = parseObject(std::exchange(head, {}));
        checkBuild(section.object, identity);
        const auto list = array(section.object["items"]);
        require(list.has_value());
        if (road != Road::Items)
            require(qint64(list->size()) == identity.count(kind));
        for (const element entry : *list) {
            const auto item = object(entry);
            require(item.has_value());
            add(*item);
        }
        require(table.size() == identity.count(kind));
        seen = SeenIds();
        return std::move(table);
    }

    void add(const simdjson::dom::object& item)
    {
        require(table.size() < identity.count(kind));
        const RawItem raw(item);
        const std::optional<std::string_view> id = valueText(raw.id, idScratch);
        const std::optional<std::string_view> name = stringOf(raw.name);
        require(id && name && !name->empty() && *name != "\xEF\xBB\xBF");
        NodeTable::RawNode node;
        node.kind = kind;
        node.id = *id;
        node.title = *name;
        node.group = group(raw);
        std::optional<QByteArray> converted;
        if (const auto image = stringOf(raw.image); image && !image->empty()) {
            if (images.keepsAsWritten(*image)) {
                node.artwork = QByteArrayView(image->data(), qsizetype(image->size()));
            } else {
                const QUrl url(utf8(*image), QUrl::StrictMode);
                if (url.isValid())
                    if (const auto artwork = artworkAddress(url, document))
                        node.artwork = QByteArrayView(converted.emplace(artwork->toEncoded()));
            }
        }
        node.fileSuffix = text(stringOf(raw.extension).value_or(std::string_view()), true, lastSuffix);
        if (const auto classification = stringOf(raw.contentType))
            node.contentClassification = text(*classification, true, lastClassification);
        const uint32_t row = uint32_t(table.size());
        table.append(node);
        require(seen.insert(table, row, *id));
    }

    // A value as the lenient text reader reads it (a text or a number's decimal form), in `scratch` when it has to
    // be formatted.
    static std::optional<std::string_view> valueText(const std::optional<element>& value, std::string& scratch)
    {
        if (!value)
            return std::nullopt;
        if (value->type() == simdjson::dom::element_type::INT64) {
            char digits[24];
            scratch.assign(digits, std::to_chars(digits, digits + sizeof digits, value->get_int64().value_unsafe()).ptr);
            return scratch;
        }
        if (const auto text = stringOf(value))
            return text;
        const std::optional<QString> text = string(*value);
        if (!text)
            return std::nullopt;
        scratch = text->toStdString();
        return scratch;
    }

    // Neighbouring entries mostly share their short texts and their group: the last answer is tried first.
    struct Last
    {
        std::string key;
        uint32_t value = UINT32_MAX;
    };

    uint32_t text(std::string_view value, bool present, Last& last)
    {
        if (!present)
            return NodeTable::nullText;
        if (last.value != UINT32_MAX && last.key == value)
            return last.value;
        auto found = texts.find(value);
        if (found == texts.end()) {
            // An empty text is a text: only the null one stands for none.
            const QString decoded = utf8(value);
            found = texts.emplace(std::string(value), table.addText(decoded.isEmpty() ? QStringView(u"") : QStringView(decoded))).first;
        }
        last = {found->first, found->second};
        return found->second;
    }

    uint32_t group(const RawItem& raw)
    {
        const std::optional<std::string_view> id = valueText(raw.categoryId, categoryScratch);
        const std::optional<std::string_view> name = stringOf(raw.category);
        groupScratch.assign(id.value_or(std::string_view())).push_back('\0');
        if (name)
            groupScratch.append(1, '\1').append(*name);
        if (lastGroup.value != UINT32_MAX && lastGroup.key == groupScratch)
            return lastGroup.value;
        auto found = groups.find(groupScratch);
        if (found == groups.end()) {
            const uint32_t index =
                table.addGroup(utf8(id.value_or(std::string_view())), name ? utf8(*name) : utf8(defaultGroupName));
            found = groups.emplace(groupScratch, index).first;
        }
        lastGroup = {found->first, found->second};
        return found->second;
    }

    CatalogIdentity identity;
    SignalKind kind;
    QUrl document;
    Road road = Road::Head;
    bool opened = false;
    bool reserved = false;
    std::size_t memberFrom = 0;
    qsizetype scannedSize = 0;
    QByteArray head;
    xtream::ObjectListVisitor visitor;
    std::optional<xtream::ObjectListStream> items;
    NodeTable table;
    SeenIds seen;
    netkit::AddressReader images;
    BytesMap<uint32_t> texts;
    BytesMap<uint32_t> groups;
    Last lastSuffix;
    Last lastClassification;
    Last lastGroup;
    std::string idScratch;
    std::string categoryScratch;
    std::string groupScratch;
    std::string keyScratch;
};

SectionReader::SectionReader(const CatalogIdentity& identity, SignalKind kind, const QUrl& document)
    : m_state(std::make_unique<State>(identity, kind, document))
{
}

SectionReader::~SectionReader() = default;

void SectionReader::push(QByteArray chunk, qint64 declaredLength)
{
    m_state->push(std::move(chunk), declaredLength);
}

NodeTable SectionReader::finish()
{
    return m_state->finish();
}

NodeTable readSectionTable(QByteArrayView body, const CatalogIdentity& identity, SignalKind kind, const QUrl& document)
{
    SectionReader reader(identity, kind, document);
    reader.push(body.toByteArray(), body.size());
    return reader.finish();
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
