#include "UI/NodeValues.h"

namespace sendra::ui {

QString artworkText(const std::optional<QUrl>& artwork)
{
    return artwork ? artwork->toString(QUrl::FullyEncoded) : QString();
}

QString artworkText(const std::optional<AddressText>& artwork)
{
    return artwork ? artwork->text() : QString();
}

QVariantMap nodeValue(const MediaNode& node, const QSet<QString>& favorites)
{
    const QString key = node.catalogKey();
    return {
        {QStringLiteral("key"), key},
        {QStringLiteral("id"), node.id},
        {QStringLiteral("title"), shownText(node.title)},
        {QStringLiteral("groupID"), node.groupID},
        {QStringLiteral("groupName"), shownText(node.groupName)},
        {QStringLiteral("artwork"), artworkText(node.artwork)},
        {QStringLiteral("kind"), storedValue(node.kind)},
        {QStringLiteral("generic"), node.contentClassification == u"generic"},
        {QStringLiteral("isFavorite"), favorites.contains(key)},
        {QStringLiteral("ownStream"), node.directURL.has_value()},
    };
}

QVariantMap groupValue(const MediaGroup& group)
{
    return {{QStringLiteral("id"), group.id},
            {QStringLiteral("name"), shownText(group.name)},
            {QStringLiteral("kind"), storedValue(group.kind)}};
}

QVariantMap identityValue(const ViewerIdentity& identity)
{
    return {{QStringLiteral("id"), identity.id.toString(QUuid::WithoutBraces)},
            {QStringLiteral("name"), identity.name},
            {QStringLiteral("glyph"), identity.glyph}};
}

} // namespace sendra::ui
