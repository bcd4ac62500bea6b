#pragma once

#include <QQuickAsyncImageProvider>
#include <QSize>
#include <QString>
#include <QUrl>

#include <chrono>
#include <optional>

namespace sendra::ui {

// The artwork of catalogue entries and brand images, as `image://art/<address>` with the address
// percent-encoded (encodeURIComponent in QML), optionally followed by `/<radius>` to round the corners by that many
// pixels of the delivered image. Only http and https addresses are fetched, and only raster pictures (told by their
// first bytes) are decoded; anything else fails, and the item shows its placeholder. Requests for one address share
// one transfer; transfers go through a disk cache in the product's cache folder, a few at a time; decoding straight
// to the size drawn, scaling to fill the requested size, cropping and rounding happen on worker threads. Whatever a
// picture host sends, the memory and time one picture may take are bounded (see ArtworkFetcher.h), and a hostile
// picture never keeps the others waiting for long. A failed load gives a 1x1 transparent image rather than an error
// (which the engine would log as a QML warning): items treat an image of at most 1x1 pixel as not loaded.
class ArtworkProvider final : public QQuickAsyncImageProvider
{
public:
    // A transfer that receives nothing for `idleTimeout`, or has not ended `deadline` after it started, fails.
    explicit ArtworkProvider(std::chrono::milliseconds idleTimeout = defaultIdleTimeout,
                             std::chrono::milliseconds deadline = defaultDeadline);

    QQuickImageResponse* requestImageResponse(const QString& id, const QSize& requestedSize) override;

    struct Request {
        QUrl address;
        int radius = 0;
    };
    // The address and corner radius in an image id; no value when the address is not a web address.
    static std::optional<Request> parseId(const QString& id);

    // Folder of the disk cache, below the XDG cache folder, one per product.
    static QString cacheFolder();
    static constexpr std::chrono::milliseconds defaultIdleTimeout{20'000};
    static constexpr std::chrono::milliseconds defaultDeadline{30'000};

private:
    QString m_cacheFolder;
    std::chrono::milliseconds m_idleTimeout;
    std::chrono::milliseconds m_deadline;
};

} // namespace sendra::ui
