#include "UI/TileFill.h"

#include <QPainter>
#include <QPainterPath>

namespace sendra::ui {

QImage fillTile(const QImage& image, const QSize& size, int radius)
{
    if (image.isNull())
        return {};
    QSize target = size;
    if (target.width() <= 0 && target.height() <= 0)
        target = image.size();
    else if (target.width() <= 0)
        target.setWidth(qMax(1, qRound(double(image.width()) * target.height() / image.height())));
    else if (target.height() <= 0)
        target.setHeight(qMax(1, qRound(double(image.height()) * target.width() / image.width())));
    // A request size comes from QML: never let one allocate more than a large poster needs.
    target = target.boundedTo(QSize(4096, 4096));

    // Crop to the part that shows before scaling it: a sliver scaled up to cover the tile whole would take
    // thousands of times the tile's memory (4096x1 to 300 wide is 4096*450 pixels wide).
    const double factor = qMax(double(target.width()) / image.width(), double(target.height()) / image.height());
    const QSize shown(qBound(1, qRound(target.width() / factor), image.width()),
                      qBound(1, qRound(target.height() / factor), image.height()));
    const QImage part = shown == image.size()
                            ? image
                            : image.copy((image.width() - shown.width()) / 2, (image.height() - shown.height()) / 2,
                                         shown.width(), shown.height());
    QImage cropped =
        part.size() == target ? part : part.scaled(target, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    if (radius <= 0)
        return cropped;

    QImage rounded(target, QImage::Format_ARGB32_Premultiplied);
    rounded.fill(Qt::transparent);
    QPainter painter(&rounded);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QBrush(cropped));
    QPainterPath path;
    const qreal r = qMin<qreal>(radius, qMin(target.width(), target.height()) / 2.0);
    path.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(target)), r, r);
    painter.drawPath(path);
    painter.end();
    return rounded;
}

} // namespace sendra::ui
