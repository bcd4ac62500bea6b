#include "Networking/ArtworkAddress.h"

namespace sendra {

namespace {

bool isWebScheme(const QString& scheme)
{
    return scheme == u"http" || scheme == u"https";
}

} // namespace

std::optional<QUrl> artworkAddress(const QUrl& address, const QUrl& base)
{
    if (!address.isRelative())
        return isWebScheme(address.scheme()) && !address.host().isEmpty() ? std::optional(address) : std::nullopt;
    if (!isWebScheme(base.scheme()) || base.host().isEmpty())
        return std::nullopt;
    const QUrl resolved =
        base.adjusted(QUrl::RemoveQuery | QUrl::RemoveFragment | QUrl::RemoveUserInfo).resolved(address);
    if (!resolved.isValid() || !isWebScheme(resolved.scheme()) || resolved.host().isEmpty())
        return std::nullopt;
    return resolved;
}

std::optional<QUrl> readArtwork(netkit::AddressReader& reader, std::string_view utf8, const QUrl& base)
{
    const auto url = reader.read(utf8);
    return url ? artworkAddress(*url, base) : std::nullopt;
}

namespace {

AddressText verbatim(std::string_view utf8)
{
    return AddressText::fromEncoded(QByteArray(utf8.data(), qsizetype(utf8.size())));
}

} // namespace

std::optional<AddressText> readArtworkText(netkit::AddressReader& reader, std::string_view utf8, const QUrl& base)
{
    if (reader.keepsAsWritten(utf8))
        return verbatim(utf8);
    const auto url = readArtwork(reader, utf8, base);
    return url ? std::optional<AddressText>(*url) : std::nullopt;
}

} // namespace sendra
