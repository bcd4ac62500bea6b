#include "Networking/PlatformEndpoints.h"

#include "Domain/PlatformLinks.h"

namespace sendra {

namespace {

QUrl configured(const char* variable, const char* builtIn)
{
    const QString value = qEnvironmentVariable(variable);
    return QUrl(value.isEmpty() ? QString::fromUtf8(builtIn) : value);
}

} // namespace

PlatformEndpoints PlatformEndpoints::builtIn()
{
    return {configured("SENDRA_PLATFORM_CATALOG_BASE", SENDRA_PLATFORM_CATALOG_BASE), PlatformLinks::accessBase()};
}

QUrl speedTestBase()
{
    return configured("SENDRA_SPEEDTEST_BASE", SENDRA_SPEEDTEST_BASE);
}

} // namespace sendra
