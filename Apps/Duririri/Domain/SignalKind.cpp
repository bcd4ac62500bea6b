#include "Domain/SignalKind.h"

#include "Domain/L10n.h"

namespace sendra {

namespace {
QStringView storedView(SignalKind kind)
{
    switch (kind) {
    case SignalKind::broadcast: return u"tv";
    case SignalKind::cinema: return u"movies";
    case SignalKind::episodic: return u"series";
    }
    return u"tv";
}
} // namespace

QString storedValue(SignalKind kind)
{
    return storedView(kind).toString();
}

std::optional<SignalKind> signalKindFromStored(const QString& text)
{
    for (SignalKind kind : allSignalKinds) {
        if (text == storedView(kind))
            return kind;
    }
    return std::nullopt;
}

const char* titleText(SignalKind kind)
{
    switch (kind) {
    case SignalKind::broadcast: return L10n::noop("TV");
    case SignalKind::cinema: return L10n::noop("Películas");
    case SignalKind::episodic: return L10n::noop("Series");
    }
    return L10n::noop("TV");
}

size_t qHash(SignalKind kind, size_t seed) noexcept
{
    return qHash(storedView(kind), seed);
}

} // namespace sendra
