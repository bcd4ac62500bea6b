#pragma once

#include "Domain/AddressText.h"
#include "Domain/SignalKind.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUrl>
#include <QUuid>

#include <optional>
#include <string_view>

namespace sendra {

// One playable catalogue entry. Addresses are kept as checked text (`artwork.url()`, or a QUrl by conversion,
// where one is needed); the readers share the texts entries have in common (group names, suffixes, kinds).
struct MediaNode {
    QString id;
    QString title;
    QString groupID;
    QString groupName;
    std::optional<AddressText> artwork;
    QString fileSuffix;
    SignalKind kind = SignalKind::broadcast;
    std::optional<AddressText> directURL;
    // "generic" marks entries shown without the live/film/series split.
    std::optional<QString> contentClassification;

    // The identity across kinds: "<kind stored value>:<id>", e.g. "movies:123".
    QString catalogKey() const;

    friend bool operator==(const MediaNode&, const MediaNode&) = default;
};
size_t qHash(const MediaNode& node, size_t seed = 0) noexcept;

// The node key of an entry of the given kind and id (same form as MediaNode::catalogKey).
QString catalogKey(SignalKind kind, const QString& id);

// The group of entries whose category is missing or has no name. It is data, shown as written in every language.
inline constexpr std::string_view defaultGroupName = "Contenido";

// A category of one kind.
struct MediaGroup {
    QString id;
    QString name;
    SignalKind kind = SignalKind::broadcast;

    friend bool operator==(const MediaGroup&, const MediaGroup&) = default;
};
size_t qHash(const MediaGroup& group, size_t seed = 0) noexcept;

// One rail of the home feed.
struct CommandLane {
    QString id;
    QString title;
    QString subtitle;
    QList<MediaNode> nodes;
    // Whether the title or subtitle is one of the application's own fixed texts (shown through the text lookup);
    // otherwise it is data (a category's or the platform's name) and is shown as it is.
    bool titleIsText = false;
    bool subtitleIsText = false;
};

// The home feed.
struct CommandFeed {
    qint64 revision = 0;
    std::optional<MediaNode> spotlight;
    QList<CommandLane> lanes;
};

// A resume point of one viewer identity; `id` is the node key of `node`.
struct ResumeMarker {
    QString id;
    MediaNode node;
    double fraction = 0; // 0...1
    QDateTime updatedAt;
    std::optional<int> episodeIndex;
};

// One playback handed to the player.
struct PlaybackTicket {
    QUuid id;
    MediaNode node;
    QUrl stream;
    std::optional<QUrl> nativeStream;
    QList<QUrl> episodes;
    int episodeIndex = 0;
    double resumeFraction = 0;

    // The .mp4 sibling of a panel film or episode whose container the native engine cannot open;
    // none for live channels, native-playable files and addresses not of the panel's movie/series form.
    static std::optional<QUrl> nativeVODCandidate(const MediaNode& node, const QUrl& stream);
    // The native engine's alternative to `stream` of `node`: a live ".ts" channel (extension compared in lower
    // case) has an ".m3u8" twin at the same address; films and episodes follow nativeVODCandidate.
    static std::optional<QUrl> nativeAlternative(const MediaNode& node, const QUrl& stream);
};

struct EpisodeNode {
    QString id;
    int number = 0;
    QString title;
    QUrl stream;
};

struct SeasonBundle {
    int number = 0;
    QList<EpisodeNode> episodes;
};

// Details of a film or series.
struct ContentBrief {
    QString synopsis;
    QString genre;
    QString year; // text, as the panels give it
    QList<SeasonBundle> seasons;

    // The details of a live channel: no texts, no seasons.
    static ContentBrief empty() { return {}; }
};

// A local viewer profile.
struct ViewerIdentity {
    QUuid id;
    QString name;
    QString glyph;

    friend bool operator==(const ViewerIdentity&, const ViewerIdentity&) = default;
};
size_t qHash(const ViewerIdentity& identity, size_t seed = 0) noexcept;

} // namespace sendra

// The compact table of entries and LoadedCatalog, which holds one.
#include "Domain/NodeTable.h"
