#include "catalog-gen/QJsonListReader.h"

#include "Networking/TextFold.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <QUrl>

#include <cmath>
#include <optional>
#include <stdexcept>

namespace sendra::testkit {

namespace {

// An id as text: a text, or a number's decimal form. A boolean is no id.
std::optional<QString> lenientId(const QJsonValue& value)
{
    if (value.isString())
        return value.toString();
    if (value.isDouble()) {
        const double number = value.toDouble();
        if (std::trunc(number) == number && std::fabs(number) < 9.0e15)
            return QString::number(qint64(number));
        return QString::number(number, 'g', 17);
    }
    return std::nullopt;
}

// Artwork must be loadable: http or https with a host, a relative text taken relative to the panel's address
// (without its query, fragment and user information).
std::optional<QUrl> artwork(const QString& text, const QUrl& panel)
{
    if (text.isEmpty())
        return std::nullopt;
    QUrl url(text, QUrl::TolerantMode);
    if (!url.isValid())
        return std::nullopt;
    if (url.scheme().isEmpty()) {
        QUrl base = panel;
        base.setQuery(QString());
        base.setFragment(QString());
        base.setUserInfo(QString());
        url = base.resolved(url);
    }
    if ((url.scheme() != u"http" && url.scheme() != u"https") || url.host().isEmpty() || !url.isValid())
        return std::nullopt;
    return url;
}

} // namespace

QList<MediaNode> readStreamListWithQJson(const QByteArray& body, SignalKind kind,
                                         const QHash<QString, QString>& categories, const QUrl& panel)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(body, &error);
    if (error.error != QJsonParseError::NoError || !document.isArray())
        throw std::runtime_error("not a JSON list");
    const QJsonArray list = document.array();
    const QString idKey = kind == SignalKind::episodic ? QStringLiteral("series_id") : QStringLiteral("stream_id");
    QList<MediaNode> nodes;
    for (const QJsonValue item : list) {
        if (!item.isObject())
            throw std::runtime_error("an element is not an object");
        const QJsonObject object = item.toObject();
        const std::optional<QString> id = lenientId(object.value(idKey));
        const QJsonValue name = object.value(QStringLiteral("name"));
        if (!id || !name.isString() || name.toString().isEmpty())
            continue;
        MediaNode node;
        node.id = *id;
        node.title = name.toString();
        QString categoryId = lenientId(object.value(QStringLiteral("category_id"))).value_or(QString());
        if (categoryId.isEmpty()) {
            // The first listed id whose category is named, else the first.
            QString first;
            for (const QJsonValue listed : object.value(QStringLiteral("category_ids")).toArray()) {
                const QString id = lenientId(listed).value_or(QString());
                if (id.isEmpty())
                    continue;
                if (first.isEmpty())
                    first = id;
                if (categories.contains(id)) {
                    first = id;
                    break;
                }
            }
            categoryId = first;
        }
        const QJsonValue categoryName = object.value(QStringLiteral("category_name"));
        if (categoryName.isString() && !categoryName.toString().isEmpty())
            node.groupName = categoryName.toString();
        else
            node.groupName = categories.value(categoryId, QStringLiteral("Contenido"));
        node.groupID = categoryId.isEmpty() ? QStringLiteral("group:") + groupSlug(node.groupName) : categoryId;
        const QJsonValue icon = object.value(QStringLiteral("stream_icon"));
        const QJsonValue cover = object.value(QStringLiteral("cover"));
        if (icon.isString())
            node.artwork = artwork(icon.toString(), panel);
        else if (cover.isString())
            node.artwork = artwork(cover.toString(), panel);
        const QJsonValue extension = object.value(QStringLiteral("container_extension"));
        node.fileSuffix = extension.isString() ? extension.toString() : QString();
        node.kind = kind;
        const QJsonValue contentType = object.value(QStringLiteral("content_type"));
        if (contentType.isString())
            node.contentClassification = contentType.toString();
        nodes.append(std::move(node));
    }
    return nodes;
}

} // namespace sendra::testkit
