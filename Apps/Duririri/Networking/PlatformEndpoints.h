#pragma once

#include <QUrl>

namespace sendra {

// The deployment's service addresses. Built in at configure time (CMake cache variables of the same names);
// an environment variable of the same name overrides each one for development and tests.
struct PlatformEndpoints
{
    QUrl catalog; // SENDRA_PLATFORM_CATALOG_BASE: manifests, sections and home feeds
    QUrl access;  // SENDRA_PLATFORM_ACCESS_BASE: brand resolution and access validation

    static PlatformEndpoints builtIn();
};

// SENDRA_SPEEDTEST_BASE: the speed-test service of the network check.
QUrl speedTestBase();

} // namespace sendra
