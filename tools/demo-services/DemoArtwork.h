#pragma once

#include "fakes/LoopbackServer.h"

#include <QByteArray>
#include <QSize>
#include <QString>

#include <chrono>
#include <optional>

namespace sendra::demo {

// Pictures drawn on request with Qt's painter: a few styles and colours chosen from the address, with the
// entry's title on them. Addresses (the title in the query's "t", else the name is drawn):
//   /art/poster/<name>.jpg     480x720   films and series
//   /art/logo/<name>.png       400x400   channels, transparent corners
//   /art/wide/<name>.jpg       1280x720  carousel and detail pictures
//   /art/brand/<name>.png      720x240   a brand's logo, transparent
//   /art/isotype/<name>.png    256x256   a brand's isotype, transparent
//   /art/missing/...           404
//   /art/slow/<any of the above>          the same picture, a few seconds late
// Every answer carries Content-Type, Content-Length, Cache-Control, Last-Modified and an ETag; a request
// repeating the ETag or the date gets 304.
namespace artwork {

constexpr std::chrono::milliseconds slowDelay{4000};

// The picture's size for a path below "/art/" ("poster/film-1007.jpg"), if the path names one.
std::optional<QSize> sizeFor(const QString& path);
// The encoded picture (JPEG or PNG after the path's extension); empty for an unknown path.
QByteArray draw(const QString& path, const QString& title);

} // namespace artwork

// Serves "/art/*" on `server`. Needs a QGuiApplication (fonts).
void routeArtwork(fakes::LoopbackServer& server);

} // namespace sendra::demo
