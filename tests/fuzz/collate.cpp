// Titles as the collator orders them, in the fallback and in the languages whose tailorings have contractions
// (Spanish, Galician, Polish, Czech, Slovak, Vietnamese): a sort key and a comparison always return (scripts/fuzz
// gives each input a short time limit), comparing two texts agrees with comparing their keys either way round, and
// a short text orders as its canonical equivalents.
#include "FuzzSupport.h"

#include "State/NameCollator.h"

#include <QString>

#include <array>
#include <memory>
#include <string>

namespace {

constexpr std::array localeNames{"C", "es_ES", "gl_ES", "pl_PL", "cs_CZ", "sk_SK", "vi_VN"};

const sendra::NameCollator& collatorFor(std::uint8_t selector)
{
    static std::array<std::unique_ptr<sendra::NameCollator>, localeNames.size()> collators;
    auto& collator = collators[selector % localeNames.size()];
    if (!collator)
        collator = std::make_unique<sendra::NameCollator>(
            QLocale(QString::fromLatin1(localeNames[selector % localeNames.size()])));
    return *collator;
}

std::string sortKey(const sendra::NameCollator& collator, const QString& text)
{
    std::string key;
    collator.appendSortKey(text, key);
    return key;
}

int sign(const std::string& a, const std::string& b)
{
    return a < b ? -1 : a == b ? 0 : 1;
}

// Qt's normalisation reorders a run of marks by insertion: only short texts are checked against it.
constexpr qsizetype checkedEquivalents = 256;

} // namespace

// The first byte picks the language and whether the rest is UTF-8 (as readers hand titles over) or raw UTF-16
// units (lone surrogates included); a line break, if any, parts the first text from the second.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const fuzz::Input input(data, size);
    const sendra::NameCollator& collator = collatorFor(input.selector);
    const bool utf16 = (input.selector / localeNames.size()) % 2 == 1;
    const QString whole = utf16 ? QString(reinterpret_cast<const QChar*>(input.body.data()), input.body.size() / 2)
                                : QString::fromUtf8(input.body);
    const qsizetype cut = whole.indexOf(u'\n');
    const QString a = cut < 0 ? whole : whole.left(cut);
    const QString b = cut < 0 ? QString() : whole.sliced(cut + 1);

    const std::string aKey = sortKey(collator, a);
    const std::string bKey = sortKey(collator, b);
    fuzz::require(sortKey(collator, a) == aKey, "a text's key is the same each time");
    fuzz::require(collator.compare(a, b) == sign(aKey, bKey), "comparing agrees with the keys");
    fuzz::require(collator.compare(b, a) == sign(bKey, aKey), "comparing the other way round agrees with the keys");
    fuzz::require(collator.compare(a, a) == 0, "a text equals itself");
    if (a.size() <= checkedEquivalents) {
        for (const auto form : {QString::NormalizationForm_D, QString::NormalizationForm_C})
            fuzz::require(sortKey(collator, a.normalized(form)) == aKey, "canonically equivalent texts have one key");
    }
    return 0;
}
