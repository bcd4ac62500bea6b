#pragma once

#include "OrrinthCore/BrandModels.h"
#include "OrrinthCore/CatalogSection.h"
#include "OrrinthCore/ContentKind.h"
#include "OrrinthCore/CoreErrors.h"
#include "OrrinthCore/HttpTransport.h"

#include <QString>
#include <QUrl>

#include <memory>

namespace orrinth {

// The library's client of the maker's platform service. Every answer is checked before it is handed back;
// refusals throw PanelFailure, bodies that do not decode throw DecodingError, and transport failures
// (netkit::HttpError, netkit::Cancelled) pass through unchanged. No cache, no retries: one call, one request.
// Operations may run concurrently; each needs the client only until its request is sent.
class PanelClient
{
public:
    // `baseURL` serves configurations, catalogues and access validation; `accessBaseURL` brand resolution.
    PanelClient(QUrl baseURL, QUrl accessBaseURL, std::shared_ptr<HttpTransport> transport);

    const QUrl &baseURL() const { return m_baseURL; }
    const QUrl &accessBaseURL() const { return m_accessBaseURL; }

    QCoro::Task<BrandConfiguration> configuration(QString brand, netkit::CancelToken token = {});
    QCoro::Task<BrandResolution> resolvePrivateBrand(QString identifier, netkit::CancelToken token = {});
    QCoro::Task<CatalogManifest> manifest(QString brand, BrandServer server, netkit::CancelToken token = {});
    // `protectedCatalog` asks for the parental form of the catalogue.
    QCoro::Task<CatalogSection> catalog(QString brand, BrandServer server, CatalogManifest manifest,
                                        ContentKind kind, bool protectedCatalog, netkit::CancelToken token = {});
    QCoro::Task<HomeCatalog> homeCatalog(QString brand, BrandServer server, CatalogManifest manifest,
                                         bool protectedCatalog, netkit::CancelToken token = {});
    QCoro::Task<void> validatePrivateAccess(QString brand, QString username, QString code,
                                            netkit::CancelToken token = {});

    // The address without path, query and fragment, case kept; unchanged when it cannot be reduced.
    static QUrl normalized(const QUrl &url);

private:
    std::shared_ptr<HttpTransport> m_transport;
    QUrl m_baseURL;
    QUrl m_accessBaseURL;
};

} // namespace orrinth
