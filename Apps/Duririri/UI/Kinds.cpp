#include "UI/Kinds.h"

#include "Domain/L10n.h"
#include "Domain/SignalKind.h"
#include "UI/CommandPalette.h"

namespace sendra::ui {

Kinds::Kinds(QObject* parent) : QObject(parent)
{}

Kinds::Kind Kinds::of(const QString& kind)
{
    const auto parsed = signalKindFromStored(kind);
    if (!parsed)
        return All;
    switch (*parsed) {
    case SignalKind::broadcast:
        return Tv;
    case SignalKind::cinema:
        return Movies;
    case SignalKind::episodic:
        return Series;
    }
    return All;
}

QString Kinds::title(const QString& kind)
{
    const auto parsed = signalKindFromStored(kind);
    return QString::fromUtf8(parsed ? titleText(*parsed) : L10n::noop("Todo"));
}

QString Kinds::symbol(const QString& kind, bool generic)
{
    switch (generic ? All : of(kind)) {
    case Tv:
        return QStringLiteral("dot.radiowaves.left.and.right");
    case Movies:
        return QStringLiteral("film.stack");
    case Series:
        return QStringLiteral("rectangle.stack.badge.play");
    case All:
        break;
    }
    return QStringLiteral("square.grid.3x3.fill");
}

QColor Kinds::color(const QString& kind, const QColor& primary, const QColor& secondary)
{
    switch (of(kind)) {
    case Tv:
        return CommandPalette::red();
    case Series:
        return secondary;
    case Movies:
    case All:
        break;
    }
    return primary;
}

} // namespace sendra::ui
