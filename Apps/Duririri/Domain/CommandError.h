#pragma once

#include <QString>

#include <array>
#include <exception>

namespace sendra {

// The one error enumeration for what the user sees. Each case has a fixed Spanish message.
enum class CommandError {
    invalidCredentials,
    invalidBrandIdentifier,
    invalidAccessCode,
    noAvailableServer,
    unauthorizedOrigin,
    privateIdentifierRequired,
    accessConfigurationUnavailable,
    emptyCatalog,
    invalidResponse,
    playbackUnavailable,
};

inline constexpr std::array<CommandError, 10> allCommandErrors{
    CommandError::invalidCredentials,        CommandError::invalidBrandIdentifier,
    CommandError::invalidAccessCode,         CommandError::noAvailableServer,
    CommandError::unauthorizedOrigin,        CommandError::privateIdentifierRequired,
    CommandError::accessConfigurationUnavailable, CommandError::emptyCatalog,
    CommandError::invalidResponse,           CommandError::playbackUnavailable,
};

// The Spanish message (the key of the English table).
QString spanishMessage(CommandError error);
// The message in the interface language as it is now (read again on every call).
QString errorDescription(CommandError error);
// The case name, for diagnostics; never carries user data.
const char* caseName(CommandError error);

// Carries a CommandError through exceptions and coroutines: `throw CommandFailure(CommandError::...)`.
class CommandFailure : public std::exception {
public:
    explicit CommandFailure(CommandError error) noexcept : m_error(error) {}
    CommandError error() const noexcept { return m_error; }
    QString errorDescription() const { return sendra::errorDescription(m_error); }
    const char* what() const noexcept override { return caseName(m_error); }

private:
    CommandError m_error;
};

} // namespace sendra
