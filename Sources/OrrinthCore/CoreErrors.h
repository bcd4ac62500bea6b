#pragma once

#include <QHashFunctions>

#include <exception>
#include <stdexcept>
#include <string>

namespace orrinth {

// Refusals of the core platform client.
enum class PanelError {
    invalidResponse,
    disabled,
    locked,
    noAvailableServer,
    invalidAccessCode,
    invalidBrandIdentifier,
    privateIdentifierRequired,
};

// The exception that carries a PanelError through a coroutine. It says nothing beyond the case.
class PanelFailure : public std::exception
{
public:
    explicit PanelFailure(PanelError error) : m_error(error) {}
    PanelError error() const { return m_error; }
    const char *what() const noexcept override { return "platform service refused the request"; }

private:
    PanelError m_error;
};

// The library's one error for panel work: unusable access details or unusable panel answers.
enum class CredentialError { invalid };

class CredentialFailure : public std::exception
{
public:
    CredentialError error() const { return CredentialError::invalid; }
    const char *what() const noexcept override { return "unusable panel credentials or answer"; }
};

// A body that is not JSON, or JSON that does not have the shape a record needs. The message names the
// record and key, never a value: values may be addresses that carry passwords.
class DecodingError : public std::runtime_error
{
public:
    enum class Kind { syntax, missingValue, wrongType, invalidValue };

    DecodingError(Kind kind, const std::string &what) : std::runtime_error(what), m_kind(kind) {}
    Kind kind() const { return m_kind; }

private:
    Kind m_kind;
};

} // namespace orrinth
