#include "OrrinthCore/JsonCodec.h"
#include "OrrinthCore/JsonDecoding.h"
#include "OrrinthCore/Addresses.h"

#include <QJsonArray>

namespace orrinth {

namespace json {

ContentKind contentKindFrom(Element element)
{
    const auto text = textValue(element);
    if (!text)
        fail(DecodingError::Kind::wrongType, "ContentKind", {});
    const auto kind = contentKindFromRawValue(*text);
    if (!kind)
        fail(DecodingError::Kind::invalidValue, "ContentKind", {});
    return *kind;
}

namespace {

// Artwork and stream addresses never fail an item: anything unusable is simply no address.
std::optional<QUrl> safeAddress(const Fields &fields, std::string_view key)
{
    const auto element = fields.value(key);
    if (!element)
        return std::nullopt;
    const auto text = textValue(*element);
    return text ? parseAddress(*text) : std::nullopt;
}

std::optional<ContentKind> lenientKind(const Fields &fields)
{
    const auto element = fields.value("kind");
    if (!element)
        return std::nullopt;
    const auto text = textValue(*element);
    return text ? contentKindFromRawValue(*text) : std::nullopt;
}

} // namespace

CatalogItem catalogItemFrom(Element element)
{
    const Fields fields(element, "CatalogItem");
    return CatalogItem(fields.text("id"), fields.text("name"), fields.optionalText("categoryId").value_or(QString()),
                       fields.optionalText("category").value_or(uncategorizedCategoryName()),
                       safeAddress(fields, "image"), fields.optionalText("extension").value_or(QString()),
                       lenientKind(fields), safeAddress(fields, "sourceURL"));
}

CatalogCategory catalogCategoryFrom(Element element)
{
    const Fields fields(element, "CatalogCategory");
    return CatalogCategory(fields.text("id"), fields.text("name"));
}

CatalogSection catalogSectionFrom(Element element)
{
    const Fields fields(element, "CatalogSection");
    const auto categories = fields.value("categories");
    return CatalogSection(
        fields.optionalInteger("version"), fields.optionalText("section"),
        categories ? list(*categories, "CatalogSection", "categories", catalogCategoryFrom)
                   : QList<CatalogCategory>(),
        list(fields.required("items"), "CatalogSection", "items", catalogItemFrom));
}

HomeCatalog homeCatalogFrom(Element element)
{
    const Fields fields(element, "HomeCatalog");
    const auto featured = fields.value("featured");
    return HomeCatalog(fields.integer("version"),
                       featured ? std::optional<CatalogItem>(catalogItemFrom(*featured)) : std::nullopt,
                       list(fields.required("rows"), "HomeCatalog", "rows", catalogRowFrom));
}

CatalogRow catalogRowFrom(Element element)
{
    const Fields fields(element, "CatalogRow");
    return CatalogRow(fields.text("id"), fields.text("title"),
                      list(fields.required("items"), "CatalogRow", "items", catalogItemFrom));
}

} // namespace json

ORRINTH_DECODE_JSON(ContentKind, contentKindFrom)
ORRINTH_DECODE_JSON(CatalogItem, catalogItemFrom)
ORRINTH_DECODE_JSON(CatalogCategory, catalogCategoryFrom)
ORRINTH_DECODE_JSON(CatalogSection, catalogSectionFrom)
ORRINTH_DECODE_JSON(HomeCatalog, homeCatalogFrom)
ORRINTH_DECODE_JSON(CatalogRow, catalogRowFrom)

namespace {

template <typename T>
QJsonArray jsonArray(const QList<T> &values)
{
    QJsonArray array;
    for (const T &value : values)
        array.append(toJson(value));
    return array;
}

} // namespace

QJsonValue toJson(ContentKind kind)
{
    return rawValue(kind);
}

QJsonObject toJson(const CatalogItem &item)
{
    QJsonObject object{
        {QStringLiteral("id"), item.id()},
        {QStringLiteral("name"), item.name()},
        {QStringLiteral("categoryId"), item.categoryID()},
        {QStringLiteral("category"), item.category()},
        {QStringLiteral("extension"), item.extensionName()},
    };
    if (item.imageURL())
        object.insert(QStringLiteral("image"), QString::fromUtf8(item.imageURL()->toEncoded()));
    if (item.kind())
        object.insert(QStringLiteral("kind"), toJson(*item.kind()));
    if (item.sourceURL())
        object.insert(QStringLiteral("sourceURL"), QString::fromUtf8(item.sourceURL()->toEncoded()));
    return object;
}

QJsonObject toJson(const CatalogCategory &category)
{
    return {{QStringLiteral("id"), category.id()}, {QStringLiteral("name"), category.name()}};
}

QJsonObject toJson(const CatalogSection &section)
{
    QJsonObject object{
        {QStringLiteral("categories"), jsonArray(section.categories())},
        {QStringLiteral("items"), jsonArray(section.items())},
    };
    if (section.version())
        object.insert(QStringLiteral("version"), *section.version());
    if (section.section())
        object.insert(QStringLiteral("section"), *section.section());
    return object;
}

QJsonObject toJson(const HomeCatalog &home)
{
    QJsonObject object{
        {QStringLiteral("version"), home.version()},
        {QStringLiteral("rows"), jsonArray(home.rows())},
    };
    if (home.featured())
        object.insert(QStringLiteral("featured"), toJson(*home.featured()));
    return object;
}

QJsonObject toJson(const CatalogRow &row)
{
    return {
        {QStringLiteral("id"), row.id()},
        {QStringLiteral("title"), row.title()},
        {QStringLiteral("items"), jsonArray(row.items())},
    };
}

} // namespace orrinth
