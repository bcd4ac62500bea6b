#include "Domain/CommandError.h"

#include "Domain/L10n.h"

namespace sendra {

QString spanishMessage(CommandError error)
{
    switch (error) {
    case CommandError::invalidCredentials: return QStringLiteral("Verifica tu usuario y contraseña.");
    case CommandError::invalidBrandIdentifier: return QStringLiteral("Identificador no reconocido.");
    case CommandError::invalidAccessCode: return QStringLiteral("Verifica tu código de acceso.");
    case CommandError::noAvailableServer:
        return QStringLiteral("El servicio no está disponible en este momento.");
    case CommandError::unauthorizedOrigin:
        return QStringLiteral("No fue posible continuar con los datos ingresados.");
    case CommandError::privateIdentifierRequired:
        return QStringLiteral("Completa los datos requeridos para continuar.");
    case CommandError::accessConfigurationUnavailable:
        return QStringLiteral("El acceso no está disponible en este momento. Inténtalo nuevamente.");
    case CommandError::emptyCatalog: return QStringLiteral("La fuente no contiene contenido disponible.");
    case CommandError::invalidResponse:
        return QStringLiteral("No fue posible completar la solicitud. Inténtalo nuevamente.");
    case CommandError::playbackUnavailable: return QStringLiteral("No fue posible preparar la reproducción.");
    }
    return {};
}

QString errorDescription(CommandError error)
{
    return L10n::text(spanishMessage(error));
}

const char* caseName(CommandError error)
{
    switch (error) {
    case CommandError::invalidCredentials: return "invalidCredentials";
    case CommandError::invalidBrandIdentifier: return "invalidBrandIdentifier";
    case CommandError::invalidAccessCode: return "invalidAccessCode";
    case CommandError::noAvailableServer: return "noAvailableServer";
    case CommandError::unauthorizedOrigin: return "unauthorizedOrigin";
    case CommandError::privateIdentifierRequired: return "privateIdentifierRequired";
    case CommandError::accessConfigurationUnavailable: return "accessConfigurationUnavailable";
    case CommandError::emptyCatalog: return "emptyCatalog";
    case CommandError::invalidResponse: return "invalidResponse";
    case CommandError::playbackUnavailable: return "playbackUnavailable";
    }
    return "unknown";
}

} // namespace sendra
