#pragma once

#include "Domain/CatalogTypes.h"
#include "Domain/SessionTypes.h"

#include <QByteArrayView>

namespace sendra::xtream {

// The details reply of a film ("get_vod_info") or series ("get_series_info"). Throws netkit::JsonError when the
// body is not JSON and CommandFailure(invalidResponse) when it is not an object; missing or odd members only give
// empty texts or fewer seasons.
ContentBrief readBrief(QByteArrayView body, SignalKind kind, const ProviderSession& source);

// True when the account check's "user_info"."auth" is 1 (the number, true or exactly the text "1").
// Throws as readBrief does.
bool accountAccepted(QByteArrayView body);

} // namespace sendra::xtream
