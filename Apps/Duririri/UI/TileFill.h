#pragma once

#include <QImage>
#include <QSize>

namespace sendra::ui {

// `image` scaled to fill `size` (keeping its proportions, centred, the overflow cropped) with its corners rounded by
// `radius`. A size with one dimension 0 or less scales to the other; an invalid size keeps the image's own. A null
// image gives a null image.
QImage fillTile(const QImage& image, const QSize& size, int radius);

} // namespace sendra::ui
