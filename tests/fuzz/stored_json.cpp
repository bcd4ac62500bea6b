// The JSON the vault keeps (identities, favourites, resume points, the saved source, access grants) read back
// from arbitrary bytes: a failed read is nothing stored, never a crash, a list keeps every record that reads on
// its own (one record damaged on disk costs only itself), and whatever reads back is written again in a form that
// reads back the same.
#include "FuzzSupport.h"

#include "Domain/StoredJson.h"
#include "Storage/CommandVault.h"

#include <cstring>

namespace {

// The list written again with one record damaged as a disk or an editor damages it: a quote or a brace lost, or
// the record cut short. Every other record that reads is still read, in order and once; the damaged one may
// read (a brace inside a text, say) or not.
template <class T>
void damagedRecordCostsOnlyItself(const QJsonArray& elements, std::uint8_t selector, const QByteArray& bytes)
{
    if (elements.size() < 2)
        return;
    const qsizetype damaged = (selector / 6) % elements.size();
    const std::size_t choice = qHash(bytes);
    QByteArray list = "[";
    QList<T> others;
    qsizetype readBefore = 0;
    for (qsizetype i = 0; i < elements.size(); ++i) {
        QByteArray element = QJsonDocument(QJsonArray{elements[i]}).toJson(QJsonDocument::Compact).chopped(1).sliced(1);
        if (i == damaged) {
            const char* const kinds[] = {"\"", "{}", ""};
            const char* lost = kinds[choice % 3];
            QList<qsizetype> at;
            for (qsizetype j = 0; j < element.size(); ++j) {
                if (*lost ? std::strchr(lost, element[j]) != nullptr : j > 0)
                    at.append(j);
            }
            if (at.isEmpty())
                return;
            const qsizetype where = at[(choice / 3) % at.size()];
            element = *lost ? element.remove(where, 1) : element.left(where);
        } else if (std::optional<T> record = sendra::fromJson<T>(elements[i])) {
            others.append(std::move(*record));
            readBefore += i < damaged;
        }
        list += (i > 0 ? "," : "") + element;
    }
    list += "]";
    std::optional<QList<T>> decoded = sendra::decodeList<T>(list);
    fuzz::require(decoded.has_value(), "a damaged list is still a list");
    if (decoded->size() == others.size() + 1)
        decoded->removeAt(readBefore);
    fuzz::require(sendra::encodeList(*decoded) == sendra::encodeList(others), "a damaged record costs only itself");
}

template <class T>
void listRoundTrip(const QByteArray& bytes, std::uint8_t selector)
{
    const std::optional<QList<T>> decoded = sendra::decodeList<T>(bytes);
    if (!decoded)
        return;
    if (const std::optional<QJsonValue> whole = sendra::parseJsonDocument(bytes); whole && whole->isArray()) {
        qsizetype readable = 0;
        for (const QJsonValue& element : whole->toArray())
            readable += sendra::fromJson<T>(element).has_value();
        fuzz::require(decoded->size() == readable, "a list keeps every record that reads");
        damagedRecordCostsOnlyItself<T>(whole->toArray(), selector, bytes);
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
        listRoundTrip<sendra::ResumeMarker>(bytes, input.selector);
        break;
    case 1:
        listRoundTrip<sendra::ViewerIdentity>(bytes, input.selector);
        break;
    case 2:
        recordRoundTrip<sendra::SourceDraft>(bytes);
        break;
    case 3:
        recordRoundTrip<sendra::ProviderSession>(bytes);
        break;
    case 4:
        listRoundTrip<sendra::CommandVault::PrivateAccessGrant>(bytes, input.selector);
        break;
    default:
        if (const std::optional<QStringList> texts = sendra::CommandVault::decodeTexts(bytes))
            fuzz::require(sendra::CommandVault::decodeTexts(sendra::CommandVault::encodeTexts(*texts)) == texts, "a written text list reads back equal");
        break;
    }
    return 0;
}
