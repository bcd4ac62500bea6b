#include "UI/ArtworkResponse.h"

#include <QQuickTextureFactory>

namespace sendra::ui {

ArtworkResponse::ArtworkResponse() : m_delivery(std::make_shared<Delivery>())
{
    m_delivery->response = this;
}

ArtworkResponse::~ArtworkResponse()
{
    QMutexLocker lock(&m_delivery->mutex);
    m_delivery->response = nullptr;
}

QQuickTextureFactory* ArtworkResponse::textureFactory() const
{
    return QQuickTextureFactory::textureFactoryForImage(m_image);
}

void ArtworkResponse::cancel()
{
    QMetaObject::invokeMethod(
        this,
        [this] {
            // The engine may delete this response inside deliver(): keep what runs after it.
            const std::function<void()> onCancel = m_onCancel;
            deliver(m_delivery, {});
            if (onCancel)
                onCancel();
        },
        Qt::QueuedConnection);
}

void ArtworkResponse::failLater()
{
    QMetaObject::invokeMethod(
        this, [delivery = m_delivery] { deliver(delivery, {}); }, Qt::QueuedConnection);
}

void deliver(const std::shared_ptr<Delivery>& delivery, const QImage& image)
{
    QMutexLocker lock(&delivery->mutex);
    if (!delivery->response || delivery->done)
        return;
    delivery->done = true;
    if (image.isNull()) {
        QImage nothing(1, 1, QImage::Format_ARGB32_Premultiplied);
        nothing.fill(Qt::transparent);
        delivery->response->m_image = nothing;
    } else {
        delivery->response->m_image = image;
    }
    emit delivery->response->finished();
}

bool isWanted(const QList<Waiter>& waiters)
{
    for (const Waiter& waiter : waiters) {
        QMutexLocker lock(&waiter.delivery->mutex);
        if (waiter.delivery->response && !waiter.delivery->done)
            return true;
    }
    return false;
}

} // namespace sendra::ui
