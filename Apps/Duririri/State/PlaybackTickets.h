#pragma once

#include "Domain/CatalogTypes.h"

#include <QList>
#include <QUrl>

namespace sendra {

// A reported or stored fraction that is not a number (or infinite) counts as nothing played.
double finiteFraction(double fraction);
// Where a re-issued or resumed ticket starts: 0 ... 0.94, so that the player never starts at the very end.
double resumeStart(double fraction);

// A new ticket (fresh id) for `stream` of `node`, with its native alternative worked out from the two.
PlaybackTicket issueTicket(const MediaNode& node, const QUrl& stream, QList<QUrl> episodes = {}, int episodeIndex = 0,
                           double resumeFraction = 0);

// Every episode address of a series' details: seasons in order, episodes in order within each.
QList<QUrl> episodeStreams(const ContentBrief& brief);

} // namespace sendra
