#pragma once

#include "OrrinthCore/CatalogItem.h"
#include "OrrinthCore/ContentDetails.h"
#include "OrrinthCore/CoreErrors.h"
#include "OrrinthCore/HttpTransport.h"
#include "OrrinthCore/XtreamCredentials.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUrl>

#include <memory>

namespace orrinth {

// The library's client of an Xtream Codes panel's JSON interface ("player_api.php"). Statuses outside 2xx and
// answers of the wrong shape throw CredentialFailure; bodies that are not JSON throw DecodingError; transport
// failures (netkit::HttpError) and our own cancellation (netkit::Cancelled) pass through unchanged.
// No cache: every call asks the panel again. Operations may run concurrently.
class XtreamClient
{
public:
    explicit XtreamClient(std::shared_ptr<HttpTransport> transport);

    // Succeeds when the panel accepts the account (user_info.auth is 1).
    QCoro::Task<void> validate(XtreamCredentials credentials, netkit::CancelToken token = {});

    // Live channels, then films, then series, each in the panel's order. A failed category or list request
    // counts as empty; only an empty overall result fails.
    QCoro::Task<QList<CatalogItem>> catalogItems(XtreamCredentials credentials, netkit::CancelToken token = {});

    // The first episode of the series' first season.
    QCoro::Task<QUrl> firstEpisodeURL(QString seriesID, XtreamCredentials credentials,
                                      netkit::CancelToken token = {});

    // The items with their category names taken from the panel's category lists, same order and count. Never
    // fails for the panel's sake: a failed list leaves the affected items unchanged.
    QCoro::Task<QList<CatalogItem>> applyingCategoryNames(QList<CatalogItem> items, XtreamCredentials credentials,
                                                          netkit::CancelToken token = {});

    // Every episode address, season by season.
    QCoro::Task<QList<QUrl>> episodeURLs(QString seriesID, XtreamCredentials credentials,
                                         netkit::CancelToken token = {});

    QCoro::Task<ContentDetails> movieDetails(QString movieID, XtreamCredentials credentials,
                                             netkit::CancelToken token = {});
    QCoro::Task<ContentDetails> seriesDetails(QString seriesID, XtreamCredentials credentials,
                                              netkit::CancelToken token = {});

private:
    std::shared_ptr<HttpTransport> m_transport;
};

} // namespace orrinth
