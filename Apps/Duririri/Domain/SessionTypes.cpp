#include "Domain/SessionTypes.h"

#include "Domain/CommandError.h"
#include "Domain/OriginNormalization.h"

#include <QHash>

namespace sendra {

namespace {
template <class Enum, size_t N>
std::optional<Enum> fromStored(const std::array<Enum, N>& all, const QString& text)
{
    for (Enum value : all) {
        if (storedValue(value) == text)
            return value;
    }
    return std::nullopt;
}
} // namespace

QString storedValue(SourceMethod method)
{
    return method == SourceMethod::playlist ? QStringLiteral("Lista M3U") : QStringLiteral("Xtream Codes");
}

std::optional<SourceMethod> sourceMethodFromStored(const QString& text)
{
    return fromStored(allSourceMethods, text);
}

QString storedValue(PlatformAccessMode mode)
{
    return mode == PlatformAccessMode::privateBrand ? QStringLiteral("private") : QStringLiteral("free");
}

std::optional<PlatformAccessMode> platformAccessModeFromStored(const QString& text)
{
    return fromStored(allPlatformAccessModes, text);
}

ProviderSession ProviderSession::create(const QUrl& origin, const QString& user, const QString& secret)
{
    const QString scheme = origin.scheme().toLower();
    const bool valid = (scheme == u"http" || scheme == u"https") && !origin.host().isEmpty()
        && !user.trimmed().isEmpty() && !secret.isEmpty();
    if (!valid)
        throw CommandFailure(CommandError::invalidCredentials);
    return ProviderSession{normalizedOrigin(origin), user, secret};
}

size_t qHash(const ProviderSession& session, size_t seed) noexcept
{
    return qHashMulti(seed, session.origin, session.user, session.secret);
}

} // namespace sendra
