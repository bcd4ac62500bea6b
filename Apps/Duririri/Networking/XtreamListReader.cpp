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
#include <vector>

namespace sendra::xtream {

namespace {

using simdjson::dom::element;
using simdjson::dom::object;

// The raw pieces of one stream list element, as views into the parser's memory.
struct RawEntry
{
    std::optional<element> id;
    std::optional<std::string_view> name;
    std::optional<element> categoryId;
    std::optional<element> categoryIds;
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

// An id or a category id as text, in `scratch` when it has to be formatted; the common integer is written straight
// there. A boolean is no id (PHP's `true` is no category "1").
std::optional<std::string_view> valueText(const element& value, std::string& scratch)
{
    if (value.is_bool())
        return std::nullopt;
    if (value.type() == simdjson::dom::element_type::INT64) {
        char digits[24];
        scratch.assign(digits, std::to_chars(digits, digits + sizeof digits, value.get_int64().value_unsafe()).ptr);
        return scratch;
    }
    if (const auto text = textOf(value))
        return text;
    const std::optional<QString> text = string(value);
    if (!text)
        return std::nullopt;
    scratch = text->toStdString();
    return scratch;
}

// One pass over the element's members; a repeated key keeps its last value, as the platform reader does.
RawEntry collect(const object& item, std::string_view idKey)
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
            if (key == idKey)
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
            else if (key == "category_ids")
                raw.categoryIds = member.value;
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

QString utf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

} // namespace

// Entries go straight into the table. Entries without a category name of their own share one group per category
// id, named when the list ends from the category list (which may arrive after the entries).
struct StreamListReader::State
{
    State(SignalKind kind, QUrl panel)
        : kind(kind)
        , idKey(kind == SignalKind::episodic ? "series_id" : "stream_id")
        , panel(std::move(panel))
    {
        const QUrl base = this->panel.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo |
                                               QUrl::RemovePath);
        if ((base.scheme() == u"http" || base.scheme() == u"https") && !base.host().isEmpty())
            origin = base.toEncoded().toStdString();
    }

    void add(const object& item)
    {
        const RawEntry raw = collect(item, idKey);
        // A lone byte-order mark is dropped like any leading one: it names nothing.
        if (!raw.id || !raw.name || raw.name->empty() || *raw.name == "\xEF\xBB\xBF")
            return;
        const std::optional<std::string_view> id = valueText(*raw.id, idScratch);
        if (!id)
            return;
        NodeTable::RawNode node;
        node.kind = kind;
        node.id = *id;
        node.title = *raw.name;
        node.group = group(raw);
        std::optional<QByteArray> converted;
        if (const auto& picture = raw.icon ? raw.icon : raw.cover) {
            if (addresses.keepsAsWritten(*picture)) {
                node.artwork = QByteArrayView(picture->data(), qsizetype(picture->size()));
            } else if (onPanel(*picture)) {
                node.artwork = QByteArrayView(pathScratch);
            } else if (const auto address = readArtwork(addresses, *picture, panel)) {
                converted = address->toEncoded();
                node.artwork = QByteArrayView(*converted);
            }
        }
        if (raw.extension)
            node.fileSuffix = text(*raw.extension, lastSuffix);
        if (raw.contentType)
            node.contentClassification = text(*raw.contentType, lastClassification);
        table.append(node);
    }

    // A path on the panel itself ("/images/1.jpg"), the common relative artwork, joined to the panel's origin
    // without a QUrl: only when resolving could change nothing (no dot segments) and QUrl would keep the joined
    // text as written. The result is in pathScratch.
    bool onPanel(std::string_view path)
    {
        if (origin.empty() || path.size() < 2 || path[0] != '/' || path[1] == '/')
            return false;
        for (std::string_view odd : {"/.", "%2E", "%2e", "\\"}) {
            if (path.find(odd) != std::string_view::npos)
                return false;
        }
        pathScratch.assign(origin).append(path);
        return addresses.keepsAsWritten(pathScratch);
    }

    // Neighbouring entries mostly share their short texts and their category: the last answer is tried first.
    struct Last {
        std::string key;
        uint32_t value = UINT32_MAX;
    };

    uint32_t text(std::string_view value, Last& last)
    {
        if (last.value != UINT32_MAX && last.key == value)
            return last.value;
        auto found = texts.find(value);
        if (found == texts.end())
            found = texts.emplace(std::string(value), table.addText(utf8(value))).first;
        last = {found->first, found->second};
        return found->second;
    }

    uint32_t group(const RawEntry& raw)
    {
        // No category id, or one with no text form, is the empty id. Panels send the category twice, in
        // "category_id" and in "category_ids"; some entries fill only the list, which then stands in for it.
        std::string_view categoryId = raw.categoryId
                                          ? valueText(*raw.categoryId, categoryScratch).value_or(std::string_view())
                                          : std::string_view();
        if (categoryId.empty() && raw.categoryIds) {
            bool several = false;
            categoryId = firstListedId(*raw.categoryIds, several);
            if (several)
                return listedGroup(raw.categoryName);
        }
        if (raw.categoryName && !raw.categoryName->empty()) {
            namedScratch.assign(categoryId).push_back('\0');
            namedScratch.append(*raw.categoryName);
            auto found = namedGroups.find(namedScratch);
            if (found == namedGroups.end()) {
                const QString name = utf8(*raw.categoryName);
                found = namedGroups.emplace(namedScratch, table.addGroup(categoryId.empty() ? slugGroupId(name)
                                                                                            : utf8(categoryId), name)).first;
            }
            return found->second;
        }
        if (lastGroup.value != UINT32_MAX && lastGroup.key == categoryId)
            return lastGroup.value;
        // Small numbers, written as they would be formatted, are looked up by value.
        if (!categoryId.empty() && categoryId.size() <= 5 && (categoryId[0] != '0' || categoryId.size() == 1)) {
            uint32_t number = 0;
            const auto [end, error] = std::from_chars(categoryId.data(), categoryId.data() + categoryId.size(), number);
            if (error == std::errc() && end == categoryId.data() + categoryId.size()) {
                if (number >= groupsByNumber.size())
                    groupsByNumber.resize(number + 1, UINT32_MAX);
                uint32_t& group = groupsByNumber[number];
                if (group == UINT32_MAX)
                    group = byId(categoryId);
                return group;
            }
        }
        return byId(categoryId);
    }

    // The first non-empty id of a "category_ids" list (numbers or texts); `several` tells whether it lists more, which
    // are all in listedIds then. One id, the common list, is read without a copy.
    std::string_view firstListedId(const element& value, bool& several)
    {
        several = false;
        simdjson::dom::array ids;
        if (value.get_array().get(ids) != simdjson::SUCCESS)
            return {};
        std::string_view first;
        for (const element id : ids) {
            const std::optional<std::string_view> text = valueText(id, first.empty() ? listedScratch : otherScratch);
            if (!text || text->empty())
                continue;
            if (first.empty()) {
                first = *text;
                continue;
            }
            if (!several)
                listedIds.assign(1, std::string(first));
            several = true;
            listedIds.emplace_back(*text);
        }
        return first;
    }

    // Entries that list several ids belong to the first one whose category is named, which is known only once the
    // category list is in: such a group gets a placeholder until then. No other group has an empty id and a name.
    uint32_t listedGroup(const std::optional<std::string_view>& ownName)
    {
        const bool named = ownName && !ownName->empty();
        listedKey.clear();
        for (const std::string& id : listedIds) {
            const auto size = uint32_t(id.size());
            listedKey.append(reinterpret_cast<const char*>(&size), sizeof size).append(id);
        }
        if (named)
            listedKey.append(sizeof(uint32_t), '\xFF').append(*ownName);
        auto found = listedGroupIndex.find(listedKey);
        if (found == listedGroupIndex.end()) {
            const uint32_t group = table.addGroup(QString(), QString::number(listed.size()));
            listed.push_back({group, listedIds, named ? std::optional<std::string>(*ownName) : std::nullopt});
            found = listedGroupIndex.emplace(listedKey, group).first;
        }
        return found->second;
    }

    uint32_t byId(std::string_view categoryId)
    {
        auto found = groupsById.find(categoryId);
        if (found == groupsById.end())
            found = groupsById.emplace(std::string(categoryId), table.addGroup(utf8(categoryId), QString())).first;
        lastGroup = {found->first, found->second};
        return found->second;
    }

    QString slugGroupId(const QString& groupName) { return QStringLiteral("group:") + groupSlug(groupName); }

    void nameGroups(const CategoryMap& categories)
    {
        const QString fallback = utf8(defaultGroupName);
        for (const auto& [categoryId, group] : groupsById) {
            const QString id = utf8(categoryId);
            const QString name = categories.value(id, fallback);
            table.renameGroup(group, id.isEmpty() ? slugGroupId(name) : id, name);
        }
        for (const Listed& entry : listed) {
            QString id = utf8(entry.ids.front());
            for (const std::string& candidate : entry.ids) {
                const QString text = utf8(candidate);
                if (categories.contains(text)) {
                    id = text;
                    break;
                }
            }
            table.renameGroup(entry.group, id, entry.ownName ? utf8(*entry.ownName) : categories.value(id, fallback));
        }
    }

    void restart()
    {
        table = NodeTable();
        texts.clear();
        groupsById.clear();
        groupsByNumber.clear();
        namedGroups.clear();
        listed.clear();
        listedGroupIndex.clear();
        lastSuffix = lastClassification = lastGroup = Last();
    }

    SignalKind kind;
    std::string_view idKey;
    QUrl panel;
    NodeTable table;
    netkit::AddressReader addresses;
    BytesMap<uint32_t> texts;
    BytesMap<uint32_t> groupsById;
    std::vector<uint32_t> groupsByNumber;
    BytesMap<uint32_t> namedGroups; // category id, NUL, category name
    std::string namedScratch;
    struct Listed {
        uint32_t group;
        std::vector<std::string> ids;
        std::optional<std::string> ownName;
    };
    std::vector<Listed> listed;
    BytesMap<uint32_t> listedGroupIndex; // each id after its length, then the entry's own category name if any
    std::vector<std::string> listedIds;
    std::string listedKey;
    std::string listedScratch;
    std::string otherScratch;
    Last lastSuffix;
    Last lastClassification;
    Last lastGroup;
    std::string idScratch;
    std::string categoryScratch;
    std::string origin; // the panel's scheme and authority, when its relative paths can be joined to it
    std::string pathScratch;
    ObjectListVisitor visitor;
};

StreamListReader::StreamListReader(SignalKind kind, QUrl panel, qsizetype bodyBytes)
    : m_state(std::make_unique<State>(kind, std::move(panel)))
{
    State& state = *m_state;
    state.visitor.visit = [&state](const object& item) { state.add(item); };
    state.visitor.restart = [&state] { state.restart(); };
    // A little over the estimate, so the rows are allocated once; but never more than a real element's least size
    // allows, or a body of empty objects would reserve gigabytes. Without the body's size the rows just grow.
    const qsizetype ceiling = bodyBytes / 150;
    state.visitor.expect = [&state, ceiling](qsizetype count) {
        state.table.reserve(std::min(count + count / 16, ceiling));
    };
}

StreamListReader::~StreamListReader() = default;

const ObjectListVisitor& StreamListReader::visitor() const
{
    return m_state->visitor;
}

NodeTable StreamListReader::finish(const CategoryMap& categories)
{
    m_state->nameGroups(categories);
    NodeTable table = std::move(m_state->table);
    m_state->restart();
    return table;
}

CategoryMap readCategoryMap(QByteArrayView body)
{
    CategoryMap map;
    walkObjectList(body, {.visit =
                              [&map](const object& item) {
                                  const std::optional<QString> id = netkit::json::string(item["category_id"]);
                                  std::string_view name;
                                  if (!id || item["category_name"].get_string().get(name) != simdjson::SUCCESS
                                      || name.empty())
                                      return;
                                  map.insert(*id, QString::fromUtf8(name.data(), qsizetype(name.size())));
                              },
                          .restart = [&map] { map.clear(); }});
    return map;
}

NodeTable readStreamTable(QByteArrayView body, SignalKind kind, const CategoryMap& categories, const QUrl& panel)
{
    StreamListReader reader(kind, panel, body.size());
    walkObjectList(body, reader.visitor());
    return reader.finish(categories);
}

QList<MediaNode> readStreamList(QByteArrayView body, SignalKind kind, const CategoryMap& categories,
                                const QUrl& panel)
{
    return readStreamTable(body, kind, categories, panel).toList();
}

} // namespace sendra::xtream
