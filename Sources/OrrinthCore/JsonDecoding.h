#pragma once

// Strict readers of the library's JSON records over simdjson's DOM: a key read with a default gives it when
// missing or null and fails on another type; a required key fails when missing, null or of another type.

#include "OrrinthCore/BrandModels.h"
#include "OrrinthCore/CatalogSection.h"
#include "OrrinthCore/CoreErrors.h"
#include "NetKit/LenientJson.h"

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QUrl>

#include <simdjson.h>

#include <optional>
#include <string_view>

namespace orrinth::json {

using Element = simdjson::dom::element;
using Object = simdjson::dom::object;

// Parses a whole body; broken JSON throws DecodingError (syntax).
netkit::JsonDocument parseDocument(QByteArrayView bytes);

// Parses the whole body and reads its root with `read`.
template <typename Read>
auto decodeDocument(QByteArrayView bytes, Read read)
{
    const netkit::JsonDocument document = parseDocument(bytes);
    return read(document.root());
}

[[noreturn]] void fail(DecodingError::Kind kind, const char *record, std::string_view key);

std::optional<QString> textValue(Element element);
// A JSON number that is a whole number within the 64-bit range; anything else is no value.
std::optional<qint64> integerValue(Element element);

// The members of one JSON object, read under the name of the record being built.
class Fields
{
public:
    Fields(Element element, const char *record);

    // Missing or null give nothing.
    std::optional<Element> value(std::string_view key) const;
    Element required(std::string_view key) const;

    QString text(std::string_view key) const;
    std::optional<QString> optionalText(std::string_view key) const;
    qint64 integer(std::string_view key) const;
    std::optional<qint64> optionalInteger(std::string_view key) const;
    bool boolean(std::string_view key) const;
    std::optional<bool> optionalBoolean(std::string_view key) const;
    QUrl address(std::string_view key) const;

    const char *record() const { return m_record; }

private:
    Object m_object;
    const char *m_record;
};

// A list fails as a whole when one element fails.
template <typename Decode>
auto list(Element element, const char *record, std::string_view key, Decode decode)
{
    using Value = decltype(decode(element));
    simdjson::dom::array array;
    if (element.get_array().get(array) != simdjson::SUCCESS)
        fail(DecodingError::Kind::wrongType, record, key);
    QList<Value> values;
    values.reserve(qsizetype(array.size()));
    for (Element child : array)
        values.append(decode(child));
    return values;
}

// Record readers, shared by the public codec and the clients (which read large answers off the main thread).
ContentKind contentKindFrom(Element element);
CatalogItem catalogItemFrom(Element element);
CatalogCategory catalogCategoryFrom(Element element);
CatalogSection catalogSectionFrom(Element element);
HomeCatalog homeCatalogFrom(Element element);
CatalogRow catalogRowFrom(Element element);
BrandServer brandServerFrom(Element element);
BrandConfiguration brandConfigurationFrom(Element element);
ResolvedBrand resolvedBrandFrom(Element element);
PlatformDescriptor platformDescriptorFrom(Element element);
BrandResolution brandResolutionFrom(Element element);
CatalogManifest catalogManifestFrom(Element element);

} // namespace orrinth::json

// The public decodeJson<Type> of a record type, reading its root with json::`read`.
#define ORRINTH_DECODE_JSON(Type, read)                                                                          \
    template <>                                                                                                    \
    Type decodeJson<Type>(QByteArrayView bytes)                                                                    \
    {                                                                                                              \
        return json::decodeDocument(bytes, json::read);                                                            \
    }
