#pragma once

#include <QHashFunctions>
#include <QString>
#include <QUrl>

#include <array>
#include <optional>

namespace sendra {

// Stored value doubles as display text: "Xtream Codes", "Lista M3U".
enum class SourceMethod { portal, playlist };
inline constexpr std::array<SourceMethod, 2> allSourceMethods{SourceMethod::portal, SourceMethod::playlist};
QString storedValue(SourceMethod method);
std::optional<SourceMethod> sourceMethodFromStored(const QString& text);

// Stored as "free" / "private".
enum class PlatformAccessMode { free, privateBrand };
inline constexpr std::array<PlatformAccessMode, 2> allPlatformAccessModes{PlatformAccessMode::free,
                                                                          PlatformAccessMode::privateBrand};
QString storedValue(PlatformAccessMode mode);
std::optional<PlatformAccessMode> platformAccessModeFromStored(const QString& text);

// The access form as the user fills it in; saved whole in the keychain.
struct SourceDraft {
    PlatformAccessMode accessMode = PlatformAccessMode::free;
    SourceMethod method = SourceMethod::portal;
    QString brandIdentifier;
    QString server;
    QString user;
    QString password;
    QString playlist;

    friend bool operator==(const SourceDraft&, const SourceDraft&) = default;
};

// The validated credentials of an Xtream Codes panel. Build it with create(); the JSON reader is the only
// other way in (it restores a session that was valid when saved).
struct ProviderSession {
    QUrl origin;    // normalised origin
    QString user;   // exactly as typed, not trimmed
    QString secret; // exactly as typed

    // Throws CommandFailure(CommandError::invalidCredentials) unless the origin is an http(s) address with
    // a host, the user is not blank and the secret is not empty.
    static ProviderSession create(const QUrl& origin, const QString& user, const QString& secret);

    friend bool operator==(const ProviderSession&, const ProviderSession&) = default;
};
size_t qHash(const ProviderSession& session, size_t seed = 0) noexcept;

} // namespace sendra
