#pragma once

#include <QImage>
#include <QList>
#include <QQuickImageResponse>
#include <QRecursiveMutex>
#include <QSize>

#include <functional>
#include <memory>

namespace sendra::ui {

class ArtworkResponse;

// One request's result slot, shared by the response and whoever delivers it: a delivery after the engine dropped
// the response, or a second delivery, does nothing. Recursive, because the engine may delete the response from
// inside the finished() emitted under the lock.
struct Delivery {
    QRecursiveMutex mutex;
    ArtworkResponse* response = nullptr;
    bool done = false;
};

// Hands `image` to the response, from any thread. A failure (null image) is delivered as the 1x1 transparent
// image, never as an error: the engine reports errors as QML warnings, and a missing poster is an ordinary state
// that shows the placeholder.
void deliver(const std::shared_ptr<Delivery>& delivery, const QImage& image);

// What the engine waits on for one image id.
class ArtworkResponse final : public QQuickImageResponse
{
public:
    ArtworkResponse();
    ~ArtworkResponse() override;

    QQuickTextureFactory* textureFactory() const override;
    // The engine still expects finished() after a cancel; never emitted from inside its own call.
    void cancel() override;

    // Fails on the next turn of the reader's event loop, once the engine listens for finished().
    void failLater();

    std::shared_ptr<Delivery> delivery() const { return m_delivery; }
    // Runs after a cancel has been delivered, in the response's thread.
    void setOnCancel(std::function<void()> onCancel) { m_onCancel = std::move(onCancel); }

private:
    friend void deliver(const std::shared_ptr<Delivery>&, const QImage&);

    std::shared_ptr<Delivery> m_delivery;
    std::function<void()> m_onCancel;
    QImage m_image;
};

// One response waiting for a picture, and the tile it is drawn in.
struct Waiter {
    std::shared_ptr<Delivery> delivery;
    QSize size;
    int radius = 0;
};

// Whether any of `waiters` still waits: the others' responses were cancelled, deleted or delivered.
bool isWanted(const QList<Waiter>& waiters);

} // namespace sendra::ui
