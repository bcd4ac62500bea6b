#include "NetKit/LenientJson.h"

#include <gtest/gtest.h>

using namespace netkit;

namespace {

// Reads key "v" of a one-key object, so every case goes through the same lookup the clients use.
struct Probe
{
    JsonDocument document;
    explicit Probe(const std::string& value)
        : document(JsonDocument::parse(QByteArray::fromStdString(R"({"v":)" + value + "}")))
    {
    }
    auto value() const { return document.root()["v"]; }
};

std::optional<qint64> integerOf(const std::string& json)
{
    return json::integer(Probe(json).value());
}

std::optional<QString> stringOf(const std::string& json)
{
    return json::string(Probe(json).value());
}

} // namespace

TEST(LenientJson, IntegerReadsNumbersAndStrictDecimalTexts)
{
    EXPECT_EQ(integerOf(R"("42")"), 42);
    EXPECT_EQ(integerOf(R"("+42")"), 42);
    EXPECT_EQ(integerOf(R"("-7")"), -7);
    EXPECT_EQ(integerOf(R"("007")"), 7);
    EXPECT_EQ(integerOf("42"), 42);
    EXPECT_EQ(integerOf("42.9"), 42);
    EXPECT_EQ(integerOf("-42.9"), -42) << "truncated toward zero";
    EXPECT_EQ(integerOf("4.2e1"), 42);
    EXPECT_EQ(integerOf(R"("9223372036854775807")"), std::numeric_limits<qint64>::max());
    EXPECT_EQ(integerOf(R"("-9223372036854775808")"), std::numeric_limits<qint64>::min());
    EXPECT_EQ(integerOf("-9223372036854775808"), std::numeric_limits<qint64>::min());

    for (const char* nothing : {R"(" 42")", R"("42 ")", R"("4 2")", R"("")", R"("+")", R"("-")", R"("+-4")",
                                R"("4.0")", R"("1e3")", R"("0x10")", R"("٤٢")", R"("12345678901234567890")",
                                R"("9223372036854775808")", R"("-9223372036854775809")", "18446744073709551615",
                                "9.3e18", "-9.3e18", "1e300", "null", "true", "[1]", R"({"a":1})"}) {
        EXPECT_EQ(integerOf(nothing), std::nullopt) << nothing;
    }

    const JsonDocument document = JsonDocument::parse(R"({"a":1})");
    EXPECT_EQ(json::integer(document.root()["missing"]), std::nullopt);
    EXPECT_EQ(json::integer(document.root()["a"]["deeper"]), std::nullopt) << "a failed lookup chain is absent";
}

TEST(LenientJson, StringReadsTextsAndNumbersOnly)
{
    EXPECT_EQ(stringOf("17"), QStringLiteral("17"));
    EXPECT_EQ(stringOf("-3"), QStringLiteral("-3"));
    EXPECT_EQ(stringOf("18446744073709551615"), QStringLiteral("18446744073709551615"));
    EXPECT_EQ(stringOf("0.1"), QStringLiteral("0.1"));
    EXPECT_EQ(stringOf("42.5"), QStringLiteral("42.5"));
    EXPECT_EQ(stringOf(R"("  padded  ")"), QStringLiteral("  padded  ")) << "never trimmed";
    EXPECT_EQ(stringOf(R"("Películas \u00f1")"), QStringLiteral("Películas ñ"));
    EXPECT_EQ(stringOf(R"("")"), QString());
    EXPECT_TRUE(stringOf(R"("")").has_value());
    for (const char* nothing : {"null", "true", "false", "[]", "{}"})
        EXPECT_EQ(stringOf(nothing), std::nullopt) << nothing;

    EXPECT_EQ(json::text(Probe("17").value()), std::nullopt) << "the strict reader wants a JSON string";
    EXPECT_EQ(json::boolean(Probe(R"("true")").value()), std::nullopt);
    EXPECT_EQ(json::boolean(Probe("false").value()), false);
}

TEST(LenientJson, DocumentsThatAreNotJsonFailWithTheReadersError)
{
    for (const char* body : {"", "not json", "{\"a\":", "\xff\xfe{}", "\xEF\xBB\xBF", "\xEF\xBB\xBF\xEF\xBB\xBF{}", " \xEF\xBB\xBF{}"})
        EXPECT_THROW(JsonDocument::parse(QByteArray(body)), JsonError) << body;
    // One leading byte-order mark is no part of the text.
    EXPECT_EQ(json::integer(JsonDocument::parse("\xEF\xBB\xBF{\"a\":7}").root()["a"]), 7);
    const JsonDocument array = JsonDocument::parse("[1,2]");
    EXPECT_TRUE(array.root().is_array());
    EXPECT_FALSE(json::object(array.root()));
}
