#include "Domain/CatalogTypes.h"

#include <QHash>
#include <QStringList>

#include <utility>

namespace sendra {

namespace {
template <class T>
size_t hashOptional(size_t seed, const std::optional<T>& value) noexcept
{
    seed = qHashMulti(seed, value.has_value());
    return value ? qHashMulti(seed, *value) : seed;
}

// Extensions the native engine opens as they are.
bool isNativePlayableExtension(const QString& extension)
{
    return extension == u"mp4" || extension == u"m4v" || extension == u"mov" || extension == u"m3u8";
}

// The encoded path's last segment (trailing slashes aside): where it starts and where it ends.
std::pair<qsizetype, qsizetype> lastSegment(const QString& path)
{
    qsizetype end = path.size();
    while (end > 0 && path.at(end - 1) == u'/')
        --end;
    return {path.lastIndexOf(u'/', end - 1) + 1, end};
}
} // namespace

QString catalogKey(SignalKind kind, const QString& id)
{
    return storedValue(kind) + u':' + id;
}

QString MediaNode::catalogKey() const
{
    return sendra::catalogKey(kind, id);
}

size_t qHash(const MediaNode& node, size_t seed) noexcept
{
    seed = qHashMulti(seed, node.id, node.title, node.groupID, node.groupName);
    seed = hashOptional(seed, node.artwork);
    seed = qHashMulti(seed, node.fileSuffix, node.kind);
    seed = hashOptional(seed, node.directURL);
    return hashOptional(seed, node.contentClassification);
}

size_t qHash(const MediaGroup& group, size_t seed) noexcept
{
    return qHashMulti(seed, group.id, group.name, group.kind);
}

size_t qHash(const ViewerIdentity& identity, size_t seed) noexcept
{
    return qHashMulti(seed, identity.id, identity.name, identity.glyph);
}

std::optional<QUrl> PlaybackTicket::nativeVODCandidate(const MediaNode& node, const QUrl& stream)
{
    if (node.kind == SignalKind::broadcast)
        return std::nullopt;

    const QStringList components = stream.path(QUrl::FullyDecoded).split(u'/', Qt::SkipEmptyParts);
    if (components.size() < 4)
        return std::nullopt;
    const QString& last = components.last();
    const qsizetype lastDot = last.lastIndexOf(u'.');
    const bool hasExtension = lastDot > 0 && lastDot + 1 < last.size();
    if (hasExtension && isNativePlayableExtension(last.mid(lastDot + 1).toLower()))
        return std::nullopt;
    const QStringView expectedRoot = node.kind == SignalKind::cinema ? u"movie" : u"series";
    if (components.first() != expectedRoot)
        return std::nullopt;

    // Work on the encoded path so that escapes elsewhere in it survive untouched.
    QString path = stream.path(QUrl::FullyEncoded);
    const auto [segmentStart, end] = lastSegment(path);
    const qsizetype dot = path.lastIndexOf(u'.', end - 1);
    if (hasExtension && dot > segmentStart)
        path.replace(dot, end - dot, QStringLiteral(".mp4"));
    else
        path.insert(end, QStringLiteral(".mp4"));

    QUrl candidate = stream;
    candidate.setPath(path, QUrl::TolerantMode);
    if (!candidate.isValid())
        return std::nullopt;
    return candidate;
}

std::optional<QUrl> PlaybackTicket::nativeAlternative(const MediaNode& node, const QUrl& stream)
{
    if (node.kind != SignalKind::broadcast)
        return nativeVODCandidate(node, stream);
    // Work on the encoded path so that escapes elsewhere in it stay as they are.
    QString path = stream.path(QUrl::FullyEncoded);
    const auto [start, end] = lastSegment(path);
    const qsizetype dot = path.lastIndexOf(u'.', end - 1);
    // A name that is only an extension (".ts") has none, as a file name.
    if (dot <= start || QStringView(path).sliced(dot + 1, end - dot - 1).compare(u"ts", Qt::CaseInsensitive) != 0)
        return std::nullopt;
    path.replace(dot + 1, end - dot - 1, QStringLiteral("m3u8"));
    QUrl native = stream;
    native.setPath(path, QUrl::StrictMode);
    return native;
}

} // namespace sendra
