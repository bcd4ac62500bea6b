#include "Networking/XtreamDetails.h"

#include "Domain/XtreamStreamAddressPolicy.h"
#include "Networking/XtreamTransport.h"
#include "Networking/XtreamValues.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace sendra::xtream {

namespace {

using simdjson::dom::array;
using simdjson::dom::element;
using simdjson::dom::object;

std::optional<object> objectOf(const JsonValue& value)
{
    object result;
    if (value.get_object().get(result) != simdjson::SUCCESS)
        return std::nullopt;
    return result;
}

std::optional<QString> textOf(const JsonValue& value)
{
    std::string_view text;
    if (value.get_string().get(text) != simdjson::SUCCESS)
        return std::nullopt;
    return QString::fromUtf8(text.data(), qsizetype(text.size()));
}

// A list whose every element is an object; anything else is no list at all.
std::optional<array> objectList(const JsonValue& value)
{
    array list;
    if (value.get_array().get(list) != simdjson::SUCCESS)
        return std::nullopt;
    for (const element item : list)
        if (!item.is_object())
            return std::nullopt;
    return list;
}

std::optional<int> smallInteger(std::optional<qint64> value)
{
    if (!value || *value < std::numeric_limits<int>::min() || *value > std::numeric_limits<int>::max())
        return std::nullopt;
    return int(*value);
}

std::optional<EpisodeNode> episode(const object& item, int position, const ProviderSession& source)
{
    const std::optional<QString> id = string(item["id"]);
    if (!id)
        return std::nullopt;
    std::optional<QString> extension = textOf(item["container_extension"]);
    if (!extension) {
        if (const auto info = objectOf(item["info"]))
            extension = textOf((*info)["container_extension"]);
    }
    EpisodeNode node;
    node.id = *id;
    node.number = smallInteger(integer(item["episode_num"])).value_or(position + 1);
    const std::optional<QString> title = textOf(item["title"]);
    node.title = title && !title->isEmpty() ? *title : QStringLiteral("Episodio %1").arg(node.number);
    const auto stream = XtreamTransport::streamURL(source, QStringLiteral("series"), node.id,
                                                   XtreamStreamAddressPolicy::fileExtension(extension, QStringLiteral("mp4")));
    if (!stream)
        return std::nullopt;
    node.stream = *stream;
    return node;
}

struct SeasonSource
{
    QString key;
    std::vector<object> episodes;
    bool usable = true;
};

// "episodes" as season key -> episode objects, in the order the keys first appear.
std::vector<SeasonSource> seasonSources(const JsonValue& episodes)
{
    std::vector<SeasonSource> seasons;
    const auto slotFor = [&seasons](const QString& key) -> SeasonSource& {
        const auto found = std::find_if(seasons.begin(), seasons.end(), [&](const SeasonSource& s) { return s.key == key; });
        if (found != seasons.end())
            return *found;
        return seasons.emplace_back(SeasonSource{key, {}, true});
    };
    if (const auto byKey = objectOf(episodes)) {
        for (const auto member : *byKey) {
            const QString key = QString::fromUtf8(member.key.data(), qsizetype(member.key.size()));
            SeasonSource& season = slotFor(key);
            // A repeated key replaces the earlier value, as the platform reader does; a value that is not a list
            // of objects drops the season.
            season.episodes.clear();
            const std::optional<array> list = objectList(JsonValue(element(member.value)));
            season.usable = list.has_value();
            if (!list)
                continue;
            for (const element item : *list)
                season.episodes.push_back(item.get_object().value_unsafe());
        }
        std::erase_if(seasons, [](const SeasonSource& s) { return !s.usable; });
    } else if (const auto list = objectList(episodes)) {
        for (const element item : *list) {
            const object episodeObject = item.get_object().value_unsafe();
            const QString key = string(episodeObject["season"]).value_or(QStringLiteral("1"));
            slotFor(key).episodes.push_back(episodeObject);
        }
    }
    return seasons;
}

QList<SeasonBundle> readSeasons(const JsonValue& episodes, const ProviderSession& source)
{
    std::vector<SeasonSource> sources = seasonSources(episodes);
    const auto keyValue = [](const QString& key) {
        return smallInteger(netkit::json::integerFromText(key.toStdString()));
    };
    std::stable_sort(sources.begin(), sources.end(), [&](const SeasonSource& a, const SeasonSource& b) {
        return keyValue(a.key).value_or(0) < keyValue(b.key).value_or(0);
    });
    QList<SeasonBundle> seasons;
    for (const SeasonSource& found : sources) {
        SeasonBundle season;
        season.number = keyValue(found.key).value_or(1);
        for (std::size_t i = 0; i < found.episodes.size(); ++i)
            if (auto node = episode(found.episodes[i], int(i), source))
                season.episodes.append(std::move(*node));
        if (!season.episodes.isEmpty())
            seasons.append(std::move(season));
    }
    return seasons;
}

} // namespace

ContentBrief readBrief(QByteArrayView body, SignalKind kind, const ProviderSession& source)
{
    const ObjectReply reply = parseObject(body);
    ContentBrief brief;
    if (const auto info = objectOf(reply.object["info"])) {
        brief.synopsis = firstText(*info, {"plot", "description"});
        brief.genre = firstText(*info, {"genre"});
        brief.year = firstText(*info, {"year", "releasedate", "releaseDate"});
    }
    if (kind == SignalKind::episodic)
        brief.seasons = readSeasons(reply.object["episodes"], source);
    return brief;
}

bool accountAccepted(QByteArrayView body)
{
    const ObjectReply reply = parseObject(body);
    const auto userInfo = objectOf(reply.object["user_info"]);
    if (!userInfo)
        return false;
    const JsonValue auth = (*userInfo)["auth"];
    if (const auto text = textOf(auth))
        return *text == QLatin1String("1");
    return integer(auth) == 1;
}

} // namespace sendra::xtream
