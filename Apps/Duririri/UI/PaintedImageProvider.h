#pragma once

#include <QImage>
#include <QQuickImageProvider>
#include <QSize>
#include <QString>

namespace sendra::ui {

// Images painted on the GUI thread from their address, once per size, then shared through the engine's image
// cache. Addresses are `<width>/<height>/<radius>/<colour>/...`: sizes in logical pixels, colours as aarrggbb or
// rrggbb hex (no '#', which would start the address's fragment). An address it cannot read gives a transparent
// 1x1 image.
class PaintedImageProvider final : public QQuickImageProvider
{
public:
    // Paints the image of `id` at `pixels` (a null size: its logical size).
    using Paint = QImage (*)(const QString& id, const QSize& pixels);

    explicit PaintedImageProvider(Paint paint);

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

private:
    Paint m_paint;
};

// `image://placeholder/<width>/<height>/<radius>/<start colour>/<end colour>`: the artwork placeholder's rounded
// panel, a gradient from the top-left to the bottom-right corner. A grid of placeholder tiles would otherwise fill
// one antialiased gradient path per tile on its first frame.
QImage paintPlaceholder(const QString& id, const QSize& pixels);

// `image://backdrop/<width>/<height>/<radius>/<void>/<primary>/<secondary>`: the window's background, the void
// colour, a faint glow of the primary colour from the top-right corner and a fainter diagonal wash of the
// secondary colour. Drawn as three layers instead, the two gradients were computed again for every pixel a frame
// repaints, which at a full results grid cost more than the rest of the frame.
QImage paintBackdrop(const QString& id, const QSize& pixels);

} // namespace sendra::ui
