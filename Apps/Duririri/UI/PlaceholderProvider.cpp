#include "UI/PlaceholderProvider.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>

namespace sendra::ui {

PlaceholderProvider::PlaceholderProvider() : QQuickImageProvider(QQuickImageProvider::Image)
{}

QImage PlaceholderProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    QImage image = paint(id, requestedSize);
    if (size)
        *size = image.size();
    return image;
}

QImage PlaceholderProvider::paint(const QString& id, const QSize& pixels)
{
    const QStringList parts = id.split(u'/');
    bool ok = parts.size() == 5;
    auto number = [&](const QString& text) {
        bool read = false;
        const double value = text.toDouble(&read);
        ok = ok && read && std::isfinite(value) && value >= 0 && value <= 16384;
        return ok ? value : 0.0;
    };
    const double width = ok ? number(parts[0]) : 0;
    const double height = ok ? number(parts[1]) : 0;
    const double radius = ok ? number(parts[2]) : 0;
    const QColor start = ok ? QColor::fromString(u'#' + parts[3]) : QColor();
    const QColor end = ok ? QColor::fromString(u'#' + parts[4]) : QColor();
    const QSize size =
        pixels.isValid() && !pixels.isEmpty() ? pixels : QSize(int(std::ceil(width)), int(std::ceil(height)));
    if (!ok || !start.isValid() || !end.isValid() || width <= 0 || height <= 0 || size.isEmpty() ||
        size.width() > 16384 || size.height() > 16384) {
        QImage none(1, 1, QImage::Format_ARGB32_Premultiplied);
        none.fill(Qt::transparent);
        return none;
    }
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size.width() / width, size.height() / height);
    // The same figure as RoundedPanel's path: the corner radius that fits, a diagonal gradient over the whole item.
    const double bend = std::max(0.0, std::min({radius, width / 2, height / 2}));
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, width, height), bend, bend);
    QLinearGradient gradient(0, 0, width, height);
    gradient.setColorAt(0, start);
    gradient.setColorAt(1, end);
    painter.fillPath(path, gradient);
    return image;
}

} // namespace sendra::ui
