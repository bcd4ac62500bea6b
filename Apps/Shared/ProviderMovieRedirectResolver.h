#pragma once

#include "NetKit/CancelToken.h"

#include <QByteArray>
#include <QUrl>
#include <QCoro/QCoroTask>

#include <chrono>
#include <optional>

class QNetworkAccessManager;

namespace sendra::playback {

struct ProbeTimeouts
{
    std::chrono::milliseconds request{5000};  // nothing arrives for this long
    std::chrono::milliseconds resource{6000}; // the whole exchange takes longer than this
};

// Finds out where a panel's film address redirects to, without following the redirect: the engine then opens
// the target directly. Never fails; any trouble yields the captured target or else the requested address.
class ProviderMovieRedirectResolver
{
public:
    ProviderMovieRedirectResolver() = delete;

    // A path component "movie", compared without regard to case.
    static bool isProviderMovie(const QUrl &url);

    // HEAD first; when that stays on the same host, a one-byte GET decides.
    static QCoro::Task<QUrl> resolve(QNetworkAccessManager *network, QUrl url, netkit::CancelToken token,
                                     ProbeTimeouts timeouts = {});

    // One probe request. A GET is dropped as soon as its headers arrive; no body is read.
    static QCoro::Task<QUrl> resolveRedirect(QNetworkAccessManager *network, QUrl url, QByteArray method,
                                             std::optional<QByteArray> range, netkit::CancelToken token,
                                             ProbeTimeouts timeouts = {});
};

} // namespace sendra::playback
