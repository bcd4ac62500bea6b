#include "UI/ArtworkProvider.h"

#include "Domain/ProductBrand.h"
#include "UI/ArtworkFetcher.h"
#include "UI/ArtworkResponse.h"

#include <QStandardPaths>

namespace sendra::ui {

ArtworkProvider::ArtworkProvider(std::chrono::milliseconds idleTimeout, std::chrono::milliseconds deadline)
    : m_cacheFolder(cacheFolder()), m_idleTimeout(idleTimeout), m_deadline(deadline)
{}

QString ArtworkProvider::cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation) + u'/' +
           ProductBrand::storageNamespace(ProductBrand::current()) + QStringLiteral("/artwork");
}

std::optional<ArtworkProvider::Request> ArtworkProvider::parseId(const QString& id)
{
    // The encoded address holds no slash: one, if present, starts the radius.
    QString encoded = id;
    int radius = 0;
    const qsizetype slash = id.lastIndexOf(u'/');
    if (slash >= 0) {
        bool number = false;
        radius = id.mid(slash + 1).toInt(&number);
        if (!number || radius < 0)
            return std::nullopt;
        encoded = id.left(slash);
    }
    const QUrl address(QUrl::fromPercentEncoding(encoded.toUtf8()));
    if (!address.isValid() || !isWebAddress(address))
        return std::nullopt;
    return Request{address, qMin(radius, 2048)};
}

QQuickImageResponse* ArtworkProvider::requestImageResponse(const QString& id, const QSize& requestedSize)
{
    auto* response = new ArtworkResponse;
    const std::optional<Request> request = parseId(id);
    if (!request) {
        response->failLater();
        return response;
    }
    ArtworkFetcher::forCurrentThread(m_cacheFolder, m_idleTimeout, m_deadline)
        ->fetch(request->address, response, requestedSize, request->radius);
    return response;
}

} // namespace sendra::ui
