#pragma once

#include "Domain/BrandTypes.h"
#include "Domain/CatalogTypes.h"
#include "Networking/PlatformEndpoints.h"
#include "NetKit/CancelToken.h"
#include "NetKit/HttpSession.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QUrl>

#include <chrono>

namespace sendra {

// Idle time-outs of each request kind of the platform client (scaled down by tests).
struct PanelTimeouts
{
    std::chrono::milliseconds resolve{25000};
    std::chrono::milliseconds validate{20000};
    std::chrono::milliseconds manifest{5000};
    std::chrono::milliseconds section{10000};
    std::chrono::milliseconds home{5000};
};

// The client of the maker's platform service: brand resolution, private access validation and prepared
// catalogues. It keeps nothing but its fields; operations may run together, and each copies what it needs before
// its first wait, so destroying the client mid-request leaves its tasks harmless.
//
// Failures: CommandFailure for answers of the wrong status or shape, netkit::JsonError for a body that is not
// JSON, netkit::HttpError for a transfer failure, netkit::Cancelled when `token` was cancelled. No message
// carries an address.
class PanelAccess
{
public:
    using Timeouts = PanelTimeouts;

    // With the deployment's endpoints (PlatformEndpoints::builtIn()).
    explicit PanelAccess(netkit::HttpSession session);
    PanelAccess(netkit::HttpSession session, PlatformEndpoints endpoints, Timeouts timeouts = {});
    virtual ~PanelAccess() = default;

    QUrl endpoint() const { return m_endpoints.catalog; }
    QUrl accessEndpoint() const { return m_endpoints.access; }

    // The brand of an identifier the user typed (trimmed and lower-cased before sending).
    virtual QCoro::Task<BrandResolution> resolve(const QString& identifier, netkit::CancelToken token) const;
    // The brand of a source's origin, when the source may be used (else CommandError::unauthorizedOrigin).
    virtual QCoro::Task<BrandResolution> resolve(const QUrl& origin, bool playlist, netkit::CancelToken token) const;

    // Succeeds when the platform accepts the four-digit code.
    virtual QCoro::Task<void> validatePrivateAccess(const BrandPresentation& brand, const QString& username,
                                                    const QString& code, netkit::CancelToken token) const;
    // True when the platform admits the user at `origin` without a code; false when it refuses.
    virtual QCoro::Task<bool> permitsPrivateProviderAccess(const BrandPresentation& brand, const QString& username,
                                                           const QUrl& origin, netkit::CancelToken token) const;

    // One consistent build of a brand server's prepared catalogue, with its home feed when that is usable.
    virtual QCoro::Task<LoadedCatalog> preparedCatalog(const QString& brand, int slot, const QUrl& origin,
                                                       bool protectedBuild, netkit::CancelToken token) const;

    // Scheme, user information, host and port of `address`; the address unchanged when it has no origin.
    static QUrl normalized(const QUrl& address);

private:
    netkit::HttpSession m_session;
    PlatformEndpoints m_endpoints;
    Timeouts m_timeouts;
};

} // namespace sendra
