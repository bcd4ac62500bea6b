#pragma once

#include <QImage>
#include <QQuickImageProvider>
#include <QSize>
#include <QString>

namespace sendra::ui {

// The artwork placeholder's rounded panel (a gradient from the top-left to the bottom-right corner) as
// `image://placeholder/<width>/<height>/<radius>/<start colour>/<end colour>`: sizes in logical pixels, colours as
// aarrggbb or rrggbb hex (no '#', which would start the address's fragment). Painted once per size on the GUI
// thread, then shared through the engine's image cache: a grid of placeholder tiles would otherwise fill one
// antialiased gradient path per tile on its first frame.
class PlaceholderProvider final : public QQuickImageProvider
{
public:
    PlaceholderProvider();

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The panel at `pixels` (a null size: its logical size); a transparent 1x1 image for an id it cannot read.
    static QImage paint(const QString& id, const QSize& pixels);
};

} // namespace sendra::ui
