#include "UI/BackdropProvider.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace sendra::ui {

namespace {

QColor withAlpha(const QColor& color, double alpha)
{
    return QColor::fromRgbF(color.redF(), color.greenF(), color.blueF(), float(alpha));
}

} // namespace

BackdropProvider::BackdropProvider() : QQuickImageProvider(QQuickImageProvider::Image)
{}

QImage BackdropProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    QImage image = paint(id, requestedSize);
    if (size)
        *size = image.size();
    return image;
}

QImage BackdropProvider::paint(const QString& id, const QSize& pixels)
{
    const QStringList parts = id.split(u'/');
    bool ok = parts.size() == 6;
    auto number = [&](const QString& text) {
        bool read = false;
        const double value = text.toDouble(&read);
        ok = ok && read && std::isfinite(value) && value >= 0 && value <= 16384;
        return ok ? value : 0.0;
    };
    const double width = ok ? number(parts[0]) : 0;
    const double height = ok ? number(parts[1]) : 0;
    const double radius = ok ? number(parts[2]) : 0;
    const QColor voidColor = ok ? QColor::fromString(u'#' + parts[3]) : QColor();
    const QColor primary = ok ? QColor::fromString(u'#' + parts[4]) : QColor();
    const QColor secondary = ok ? QColor::fromString(u'#' + parts[5]) : QColor();
    const QSize size =
        pixels.isValid() && !pixels.isEmpty() ? pixels : QSize(int(std::ceil(width)), int(std::ceil(height)));
    if (!ok || !voidColor.isValid() || !primary.isValid() || !secondary.isValid() || width <= 0 || height <= 0 ||
        size.isEmpty() || size.width() > 16384 || size.height() > 16384) {
        QImage none(1, 1, QImage::Format_ARGB32_Premultiplied);
        none.fill(Qt::transparent);
        return none;
    }
    // A square, opaque background is kept without an alpha channel, so that drawing it is a plain copy.
    const double bend = std::max(0.0, std::min({radius, width / 2, height / 2}));
    const bool opaque = bend == 0 && voidColor.alpha() == 255;
    QImage image(size, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    image.fill(opaque ? voidColor : QColor(Qt::transparent));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size.width() / width, size.height() / height);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, width, height), bend, bend);
    if (!opaque)
        painter.fillPath(shape, voidColor);

    QRadialGradient glow(QPointF(width, 0), 520, QPointF(width, 0), 20);
    glow.setColorAt(0, withAlpha(primary, 0.12));
    glow.setColorAt(1, withAlpha(primary, 0));
    painter.fillPath(shape, glow);

    QLinearGradient wash(0, 0, width, height);
    wash.setColorAt(0, withAlpha(secondary, 0));
    wash.setColorAt(0.5, withAlpha(secondary, 0.035));
    wash.setColorAt(1, withAlpha(secondary, 0));
    painter.fillPath(shape, wash);
    return image;
}

} // namespace sendra::ui
