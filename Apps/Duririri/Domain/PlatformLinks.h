#pragma once

#include <QString>
#include <QUrl>

#include <optional>

namespace sendra {

struct PlatformLinks {
    // https://<platform access host>/platform/privacy
    static QUrl privacy();
    // mailto: link to the maker's support mailbox.
    static QUrl support();
    // The base address of the platform's access endpoint (built in; SENDRA_PLATFORM_ACCESS_BASE in the
    // environment overrides it for development and tests).
    static QUrl accessBase();

    // Only https addresses with a host and without user or password; none for anything else.
    static std::optional<QUrl> safeWebURL(const std::optional<QString>& text);
    // A mailto address cut down to its recipients and the fields "to", "subject", "body", "cc" and "bcc"
    // (some mail programs attach a local file named in "attach"); none for an address without recipients or
    // of another scheme.
    static std::optional<QUrl> safeMailURL(const QUrl& address);
};

} // namespace sendra
