#include "Networking/XtreamListReader.h"

#include "Domain/CommandError.h"
#include "NetKit/LenientJson.h"
#include "Networking/ArtworkAddress.h"
#include "Networking/BytesMap.h"
#include "NetKit/LargeList.h"
#include "Networking/TextFold.h"
#include "Networking/XtreamValues.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace sendra::xtream {

namespace {

using simdjson::dom::element;
using simdjson::dom::object;

bool isJsonSpace(char c)
{
    return c == ' ' || c == '\n' || c == '\r' || c == '\t';
}

// Where the list may be cut at or after `from`: just after a "}" followed by "," and "{" (blanks allowed
// between). Such a place can also lie inside a string or a nested list, but a slice cut there never parses
// (it ends in an open string or an open object), which sends the walk down the whole-body road.
std::size_t nextCut(const char* data, std::size_t from, std::size_t end)
{
    while (from < end) {
        const void* found = std::memchr(data + from, '}', end - from);
        if (!found)
            return end;
        const std::size_t after = std::size_t(static_cast<const char*>(found) - data) + 1;
        std::size_t i = after;
        while (i < end && isJsonSpace(data[i]))
            ++i;
        if (i < end && data[i] == ',') {
            ++i;
            while (i < end && isJsonSpace(data[i]))
                ++i;
            if (i < end && data[i] == '{')
                return after;
        }
        from = after;
    }
    return end;
}

// False when the body could not be walked slice by slice; nothing is thrown here.
bool walkInSlices(QByteArrayView body, const ObjectListVisitor& visitor)
{
    body = netkit::withoutByteOrderMark(body);
    constexpr std::size_t kSlice = 512 * 1024;
    const char* data = body.data();
    std::size_t first = 0;
    std::size_t last = std::size_t(body.size());
    while (first < last && isJsonSpace(data[first]))
        ++first;
    while (last > first && isJsonSpace(data[last - 1]))
        --last;
    if (last - first < 2 || data[first] != '[' || data[last - 1] != ']')
        return false;
    std::size_t pos = first + 1;
    const std::size_t end = last - 1;
    while (pos < end && isJsonSpace(data[pos]))
        ++pos;
    if (pos == end)
        return true;

    simdjson::dom::parser parser;
    std::unique_ptr<char[]> buffer;
    std::size_t bufferSize = 0;
    bool firstSlice = true;
    while (true) {
        const std::size_t cut = nextCut(data, std::min(end, pos + kSlice), end);
        const std::size_t length = cut - pos;
        if (bufferSize < length + 2 + simdjson::SIMDJSON_PADDING) {
            bufferSize = length + 2 + simdjson::SIMDJSON_PADDING;
            buffer.reset(new char[bufferSize]);
        }
        buffer[0] = '[';
        std::memcpy(buffer.get() + 1, data + pos, length);
        buffer[length + 1] = ']';
        simdjson::dom::array slice;
        if (parser.parse(buffer.get(), length + 2, false).get_array().get(slice) != simdjson::SUCCESS)
            return false;
        if (firstSlice)
            visitor.expect(qsizetype(slice.size() * (end - first) / length + 1));
        firstSlice = false;
        for (const element item : slice) {
            object entry;
            if (item.get_object().get(entry) != simdjson::SUCCESS)
                return false;
            visitor.visit(entry);
        }
        if (cut == end)
            return true;
        pos = cut;
        while (data[pos] != '{')
            ++pos;
    }
}

// Shares one QString among all entries that carry the same short text (category ids, extensions, content
// types): a 200k-film list has a few hundred distinct ones.
class TextPool
{
public:
    const QString& operator()(std::string_view text)
    {
        auto found = m_texts.find(text);
        if (found == m_texts.end())
            found = m_texts.emplace(std::string(text), QString::fromUtf8(text.data(), qsizetype(text.size()))).first;
        return found->second;
    }

private:
    BytesMap<QString> m_texts;
};

// The raw pieces of one stream list element, as views into the parser's memory.
struct RawEntry
{
    std::optional<element> id;
    std::optional<std::string_view> name;
    std::optional<element> categoryId;
    std::optional<std::string_view> categoryName;
    std::optional<std::string_view> icon;
    std::optional<std::string_view> cover;
    std::optional<std::string_view> extension;
    std::optional<std::string_view> contentType;
};

std::optional<std::string_view> textOf(const element& value)
{
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS)
        return std::nullopt;
    return text;
}

// The id as `string` reads it; the common integer id is written straight into its string.
std::optional<QString> idText(const element& value)
{
    if (value.type() != simdjson::dom::element_type::INT64)
        return string(value);
    char digits[24];
    char* end = std::to_chars(digits, digits + sizeof digits, value.get_int64().value_unsafe()).ptr;
    QString text(qsizetype(end - digits), Qt::Uninitialized);
    std::copy(digits, end, text.data());
    return text;
}

class StreamListBuilder
{
public:
    StreamListBuilder(SignalKind kind, const CategoryMap& categories, const QUrl& panel)
        : m_kind(kind)
        , m_idKey(kind == SignalKind::episodic ? "series_id" : "stream_id")
        , m_categories(categories)
        , m_panel(panel)
    {
    }

    QList<MediaNode> nodes;

    void add(const object& item)
    {
        const RawEntry raw = collect(item);
        if (!raw.id || !raw.name || raw.name->empty())
            return;
        std::optional<QString> id = idText(*raw.id);
        if (!id)
            return;
        MediaNode& node = nodes.emplaceBack();
        node.id = std::move(*id);
        node.title = QString::fromUtf8(raw.name->data(), qsizetype(raw.name->size()));
        setGroup(node, raw);
        if (raw.icon)
            node.artwork = readArtworkText(m_addresses, *raw.icon, m_panel);
        else if (raw.cover)
            node.artwork = readArtworkText(m_addresses, *raw.cover, m_panel);
        if (raw.extension)
            node.fileSuffix = m_pool(*raw.extension);
        node.kind = m_kind;
        if (raw.contentType)
            node.contentClassification = m_pool(*raw.contentType);
    }

private:
    struct Group
    {
        QString id;
        QString name;
    };

    // One pass over the element's members; a repeated key keeps its last value, as the platform reader does.
    RawEntry collect(const object& item) const
    {
        RawEntry raw;
        for (const auto member : item) {
            const std::string_view key = member.key;
            switch (key.size()) {
            case 4:
                if (key == "name")
                    raw.name = textOf(member.value);
                break;
            case 5:
                if (key == "cover")
                    raw.cover = textOf(member.value);
                break;
            case 9:
                if (key == m_idKey)
                    raw.id = member.value;
                break;
            case 11:
                if (key == "category_id")
                    raw.categoryId = member.value;
                else if (key == "stream_icon")
                    raw.icon = textOf(member.value);
                break;
            case 12:
                if (key == "content_type")
                    raw.contentType = textOf(member.value);
                break;
            case 13:
                if (key == "category_name")
                    raw.categoryName = textOf(member.value);
                break;
            case 19:
                if (key == "container_extension")
                    raw.extension = textOf(member.value);
                break;
            default:
                break;
            }
        }
        return raw;
    }

    // The category id as the text `string` gives for it, in `scratch` when it has to be formatted.
    static std::string_view categoryText(const std::optional<element>& value, std::string& scratch)
    {
        if (!value)
            return {};
        if (const auto text = textOf(*value))
            return *text;
        int64_t number = 0;
        if (value->get_int64().get(number) == simdjson::SUCCESS) {
            char digits[24];
            scratch.assign(digits, std::to_chars(digits, digits + sizeof digits, number).ptr);
            return scratch;
        }
        scratch = string(*value).value_or(QString()).toStdString();
        return scratch;
    }

    const QString& slugGroupId(const QString& groupName)
    {
        auto found = m_slugIds.constFind(groupName);
        if (found == m_slugIds.cend())
            found = m_slugIds.insert(groupName, QStringLiteral("group:") + groupSlug(groupName));
        return *found;
    }

    // Entries without their own category name share one Group per category id.
    const Group& groupForId(std::string_view categoryId)
    {
        auto found = m_groupsById.find(categoryId);
        if (found != m_groupsById.end())
            return found->second;
        const QString& id = m_pool(categoryId);
        Group group;
        group.name = m_categories.value(id, m_contenido);
        group.id = id.isEmpty() ? slugGroupId(group.name) : id;
        return m_groupsById.emplace(std::string(categoryId), std::move(group)).first->second;
    }

    void setGroup(MediaNode& node, const RawEntry& raw)
    {
        std::string scratch;
        const std::string_view categoryId = categoryText(raw.categoryId, scratch);
        if (raw.categoryName && !raw.categoryName->empty()) {
            node.groupName = m_pool(*raw.categoryName);
            node.groupID = categoryId.empty() ? slugGroupId(node.groupName) : m_pool(categoryId);
            return;
        }
        const Group& group = groupForId(categoryId);
        node.groupID = group.id;
        node.groupName = group.name;
    }

    SignalKind m_kind;
    std::string_view m_idKey;
    const CategoryMap& m_categories;
    const QUrl& m_panel;
    const QString m_contenido = QStringLiteral("Contenido");
    netkit::AddressReader m_addresses;
    TextPool m_pool;
    QHash<QString, QString> m_slugIds;
    BytesMap<Group> m_groupsById;
};

} // namespace

void walkObjectList(QByteArrayView body, const ObjectListVisitor& visitor)
{
    if (walkInSlices(body, visitor))
        return;
    visitor.restart();
    const netkit::JsonDocument document = netkit::JsonDocument::parse(body);
    simdjson::dom::array list;
    if (document.root().get_array().get(list) != simdjson::SUCCESS)
        throw CommandFailure(CommandError::invalidResponse);
    // The whole list must be objects before anything is read from it.
    for (const element item : list)
        if (!item.is_object())
            throw CommandFailure(CommandError::invalidResponse);
    visitor.expect(qsizetype(list.size()));
    for (const element item : list)
        visitor.visit(item.get_object().value_unsafe());
}

CategoryMap readCategoryMap(QByteArrayView body)
{
    CategoryMap map;
    walkObjectList(body, {.visit =
                              [&map](const object& item) {
                                  const std::optional<QString> id = string(item["category_id"]);
                                  std::string_view name;
                                  if (!id || item["category_name"].get_string().get(name) != simdjson::SUCCESS
                                      || name.empty())
                                      return;
                                  map.insert(*id, QString::fromUtf8(name.data(), qsizetype(name.size())));
                              },
                          .restart = [&map] { map.clear(); }});
    return map;
}

QList<MediaNode> readStreamList(QByteArrayView body, SignalKind kind, const CategoryMap& categories,
                                const QUrl& panel)
{
    StreamListBuilder builder(kind, categories, panel);
    // A little over the estimate, so the list is allocated once; but never more than a real element's least size
    // allows, or a body of empty objects would reserve gigabytes.
    const qsizetype ceiling = body.size() / 150;
    walkObjectList(body, {.visit = [&builder](const object& item) { builder.add(item); },
                          .restart = [&builder] { builder.nodes.clear(); },
                          .expect = [&](qsizetype count) { netkit::reserveLarge(builder.nodes, std::min(count + count / 16, ceiling)); }});
    return std::move(builder.nodes);
}

} // namespace sendra::xtream
