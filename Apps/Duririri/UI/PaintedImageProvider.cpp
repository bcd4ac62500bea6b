#include "UI/PaintedImageProvider.h"

#include <QColor>
#include <QLinearGradient>
#include <QList>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <optional>

namespace sendra::ui {

namespace {

// What an address names: its logical size, corner radius and colours, and the size to paint it at.
struct Figure {
    double width = 0;
    double height = 0;
    double radius = 0; // already fitted to the size
    QList<QColor> colors;
    QSize pixels;
};

std::optional<Figure> readFigure(const QString& id, qsizetype colorCount, const QSize& requested)
{
    const QStringList parts = id.split(u'/');
    if (parts.size() != 3 + colorCount)
        return std::nullopt;
    double numbers[3];
    for (int i = 0; i < 3; ++i) {
        bool read = false;
        numbers[i] = parts[i].toDouble(&read);
        if (!read || !std::isfinite(numbers[i]) || numbers[i] < 0 || numbers[i] > 16384)
            return std::nullopt;
    }
    Figure figure{
        numbers[0], numbers[1], std::max(0.0, std::min({numbers[2], numbers[0] / 2, numbers[1] / 2})), {}, {}};
    for (qsizetype i = 3; i < parts.size(); ++i) {
        const QColor color = QColor::fromString(u'#' + parts[i]);
        if (!color.isValid())
            return std::nullopt;
        figure.colors.append(color);
    }
    figure.pixels = requested.isValid() && !requested.isEmpty()
                        ? requested
                        : QSize(int(std::ceil(figure.width)), int(std::ceil(figure.height)));
    if (figure.width <= 0 || figure.height <= 0 || figure.pixels.isEmpty() || figure.pixels.width() > 16384 ||
        figure.pixels.height() > 16384)
        return std::nullopt;
    return figure;
}

QImage nothing()
{
    QImage none(1, 1, QImage::Format_ARGB32_Premultiplied);
    none.fill(Qt::transparent);
    return none;
}

QColor withAlpha(const QColor& color, double alpha)
{
    return QColor::fromRgbF(color.redF(), color.greenF(), color.blueF(), float(alpha));
}

} // namespace

PaintedImageProvider::PaintedImageProvider(Paint paint)
    : QQuickImageProvider(QQuickImageProvider::Image), m_paint(paint)
{}

QImage PaintedImageProvider::requestImage(const QString& id, QSize* size, const QSize& requestedSize)
{
    QImage image = m_paint(id, requestedSize);
    if (size)
        *size = image.size();
    return image;
}

QImage paintPlaceholder(const QString& id, const QSize& pixels)
{
    const std::optional<Figure> figure = readFigure(id, 2, pixels);
    if (!figure)
        return nothing();
    QImage image(figure->pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(figure->pixels.width() / figure->width, figure->pixels.height() / figure->height);
    // The same figure as RoundedPanel's path: the corner radius that fits, a diagonal gradient over the whole item.
    QPainterPath path;
    path.addRoundedRect(QRectF(0, 0, figure->width, figure->height), figure->radius, figure->radius);
    QLinearGradient gradient(0, 0, figure->width, figure->height);
    gradient.setColorAt(0, figure->colors[0]);
    gradient.setColorAt(1, figure->colors[1]);
    painter.fillPath(path, gradient);
    return image;
}

QImage paintBackdrop(const QString& id, const QSize& pixels)
{
    const std::optional<Figure> figure = readFigure(id, 3, pixels);
    if (!figure)
        return nothing();
    const QColor& voidColor = figure->colors[0];
    const QColor& primary = figure->colors[1];
    const QColor& secondary = figure->colors[2];
    const double width = figure->width;
    const double height = figure->height;
    // A square, opaque background is kept without an alpha channel, so that drawing it is a plain copy.
    const bool opaque = figure->radius == 0 && voidColor.alpha() == 255;
    QImage image(figure->pixels, opaque ? QImage::Format_RGB32 : QImage::Format_ARGB32_Premultiplied);
    image.fill(opaque ? voidColor : QColor(Qt::transparent));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(figure->pixels.width() / width, figure->pixels.height() / height);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(0, 0, width, height), figure->radius, figure->radius);
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
