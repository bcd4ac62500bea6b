#pragma once

#include "Domain/CatalogTypes.h"

#include <QList>
#include <QStringList>

#include <functional>
#include <optional>

namespace sendra {

// Favourites and resume markers are written to the settings file on every change, and each write rewrites the
// whole file on the main thread: what they keep of an entry stays small whatever a source sends. An entry's
// identity (its key, addresses and suffix) cannot be cut without making it another entry, so one longer than this
// is not kept at all; a real one is a few dozen units.
inline constexpr qsizetype keptIdentityLimit = 4096;

bool isKeptKey(const QString& key);

// Whether an entry's whole title or group name holds an adult keyword (reads both texts whole).
bool holdsAdultText(const MediaNode& node);

// The marker as it is kept: its entry's title and group name as the screens show them, a long group id cut the
// same way (it only screens the home centre), a long artwork address left out. None for an entry whose identity
// is longer than kept ones, or, when a text is cut, whose `adultTexts` holds an adult keyword (the centre never
// shows such a marker, and the shown part would no longer tell).
std::optional<ResumeMarker> keptMarker(const ResumeMarker& marker,
                                       const std::function<bool(const MediaNode&)>& adultTexts = holdsAdultText);

// What a stored list keeps (lists written before these bounds hold whole texts); `changed` tells whether that
// differs from what was read, so that it is written back once.
QList<ResumeMarker> keptMarkers(const QList<ResumeMarker>& markers, bool& changed);
QStringList keptKeys(const QStringList& keys, bool& changed);

} // namespace sendra
