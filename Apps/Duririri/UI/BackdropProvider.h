#pragma once

#include <QImage>
#include <QQuickImageProvider>
#include <QSize>
#include <QString>

namespace sendra::ui {

// The window's background as one image, `image://backdrop/<width>/<height>/<radius>/<void>/<primary>/<secondary>`:
// sizes in logical pixels, colours as aarrggbb or rrggbb hex. The void colour, a faint glow of the primary colour
// from the top-right corner and a fainter diagonal wash of the secondary colour, painted once per size. Drawn as
// three layers instead, the two gradients were computed again for every pixel a frame repaints, which at a full
// results grid cost more than the rest of the frame.
class BackdropProvider final : public QQuickImageProvider
{
public:
    BackdropProvider();

    QImage requestImage(const QString& id, QSize* size, const QSize& requestedSize) override;

    // The background at `pixels` (a null size: its logical size); a transparent 1x1 image for an id it cannot read.
    static QImage paint(const QString& id, const QSize& pixels);
};

} // namespace sendra::ui
