// The JSON the vault keeps (identities, favourites, resume points, the saved source, access grants) read back
// from arbitrary bytes: a failed read is nothing stored, never a crash, a list keeps every record that reads on
// its own, and whatever reads back is written again in a form that reads back the same.
#include "FuzzSupport.h"

#include "Domain/StoredJson.h"
#include "Storage/CommandVault.h"

namespace {

template <class T>
void listRoundTrip(const QByteArray& bytes)
{
    const std::optional<QList<T>> decoded = sendra::decodeList<T>(bytes);
    if (!decoded)
        return;
    if (const std::optional<QJsonValue> whole = sendra::parseJsonDocument(bytes); whole && whole->isArray()) {
        qsizetype readable = 0;
        for (const QJsonValue& element : whole->toArray())
            readable += sendra::fromJson<T>(element).has_value();
        fuzz::require(decoded->size() == readable, "a list keeps every record that reads");
    }
    const QByteArray written = sendra::encodeList(*decoded);
    const std::optional<QList<T>> again = sendra::decodeList<T>(written);
    fuzz::require(again.has_value() && again->size() == decoded->size(), "a written list reads back whole");
    fuzz::require(sendra::encodeList(*again) == written, "a list read back writes the same");
}

template <class T>
void recordRoundTrip(const QByteArray& bytes)
{
    const std::optional<T> decoded = sendra::decodeRecord<T>(bytes);
    if (!decoded)
        return;
    const std::optional<T> again = sendra::decodeRecord<T>(sendra::encodeRecord(*decoded));
    fuzz::require(again.has_value() && *again == *decoded, "a written record reads back equal");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::Input input(data, size);
    const QByteArray bytes = input.body.toByteArray();
    switch (input.selector % 6) {
    case 0:
        listRoundTrip<sendra::ResumeMarker>(bytes);
        break;
    case 1:
        listRoundTrip<sendra::ViewerIdentity>(bytes);
        break;
    case 2:
        recordRoundTrip<sendra::SourceDraft>(bytes);
        break;
    case 3:
        recordRoundTrip<sendra::ProviderSession>(bytes);
        break;
    case 4:
        listRoundTrip<sendra::CommandVault::PrivateAccessGrant>(bytes);
        break;
    default:
        if (const std::optional<QStringList> texts = sendra::CommandVault::decodeTexts(bytes))
            fuzz::require(sendra::CommandVault::decodeTexts(sendra::CommandVault::encodeTexts(*texts)) == texts, "a written text list reads back equal");
        break;
    }
    return 0;
}
