#include "State/NameCollator.h"

#include <unicode/ucol.h>
#include <unicode/unorm2.h>
#include <unicode/utf16.h>

#include <algorithm>
#include <vector>

namespace sendra {

namespace {

std::string icuLocaleName(const QLocale& locale)
{
    if (locale.language() == QLocale::C)
        return "en_US";
    return locale.name().toStdString();
}

const UChar* chars(QStringView text)
{
    return reinterpret_cast<const UChar*>(text.utf16());
}

UCollator* openCollator(const std::string& localeName)
{
    UErrorCode status = U_ZERO_ERROR;
    UCollator* collator = ucol_open(localeName.c_str(), &status);
    if (U_FAILURE(status)) {
        status = U_ZERO_ERROR;
        collator = ucol_open("", &status);
    }
    // Tertiary strength: the primary and secondary levels give the case-insensitive order, the tertiary level
    // only separates names that order equal without case.
    ucol_setAttribute(collator, UCOL_STRENGTH, UCOL_TERTIARY, &status);
    ucol_setAttribute(collator, UCOL_NUMERIC_COLLATION, UCOL_ON, &status);
    // Off even where a tailoring turns it on: ICU's normalising collator can loop for minutes, then crash, on a few
    // code points (a contraction starter, marks out of order, U+0344). Every text that needs it arrives decomposed.
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, UCOL_OFF, &status);
    return collator;
}

// ICU's own data, so that the decomposition below is the one its collator expects.
const UNormalizer2* nfd()
{
    static const UNormalizer2* instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        return unorm2_getInstance(nullptr, "nfc", UNORM2_DECOMPOSE, &status);
    }();
    return instance;
}

// Texts longer than this are ordered by the start of their canonical decomposition. A UTF-16 unit decomposes to at
// most four, so a text of this length or less is never cut and is ordered exactly as its decomposition.
constexpr qsizetype shortText = 1024;
constexpr qsizetype keptUnits = 4 * shortText;

// Below the combining marks every text is in FCD form, which ICU collates correctly as it is; anything else is
// decomposed here first.
bool isPlain(QStringView text)
{
    return text.size() <= shortText &&
           std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x300; });
}

void appendUnits(char32_t c, std::u16string& out)
{
    if (c > 0xFFFF) {
        out.push_back(QChar::highSurrogate(c));
        out.push_back(QChar::lowSurrogate(c));
    } else {
        out.push_back(char16_t(c));
    }
}

// The start of the text's canonical decomposition (NFD), at most keptUnits long. Each run of combining characters is
// sorted once, so even a text of nothing but marks takes n log n; canonically equivalent texts have one
// decomposition, and so one start.
void decomposeStart(QStringView text, std::u16string& out)
{
    // A code point with its combining class above the bits of the code point.
    std::vector<uint32_t> points;
    points.reserve(size_t(std::min(text.size(), keptUnits)) + 8);
    const auto combiningClass = [](uint32_t point) { return point >> 21; };
    const auto push = [&](UChar32 c) {
        points.push_back(uint32_t(unorm2_getCombiningClass(nfd(), c)) << 21 | uint32_t(c));
    };
    size_t units = 0;
    UChar parts[32];
    for (qsizetype i = 0; i < text.size();) {
        UChar32 c = text[i++].unicode();
        if (QChar::isHighSurrogate(char32_t(c)) && i < text.size() && text[i].isLowSurrogate())
            c = UChar32(QChar::surrogateToUcs4(char16_t(c), text[i++].unicode()));
        UErrorCode status = U_ZERO_ERROR;
        const int32_t length = c < 0xC0 ? -1 : unorm2_getDecomposition(nfd(), c, parts, 32, &status);
        const size_t before = points.size();
        if (length < 0 || U_FAILURE(status)) {
            push(c);
        } else {
            for (int32_t k = 0; k < length;) {
                UChar32 part;
                U16_NEXT(parts, k, length, part);
                push(part);
            }
        }
        // Nothing after a starter moves before it: once enough is kept, the rest can go.
        if (units >= size_t(keptUnits) && combiningClass(points[before]) == 0) {
            points.resize(before);
            break;
        }
        for (size_t k = before; k < points.size(); ++k)
            units += (points[k] & 0x1FFFFF) > 0xFFFF ? 2 : 1;
    }
    const auto byClass = [&](uint32_t a, uint32_t b) { return combiningClass(a) < combiningClass(b); };
    for (auto it = points.begin(); it != points.end();) {
        if (combiningClass(*it) == 0) {
            ++it;
            continue;
        }
        const auto runEnd = std::find_if(it, points.end(), [&](uint32_t p) { return combiningClass(p) == 0; });
        if (!std::is_sorted(it, runEnd, byClass))
            std::stable_sort(it, runEnd, byClass);
        it = runEnd;
    }
    out.clear();
    for (const uint32_t point : points) {
        if (out.size() >= size_t(keptUnits))
            break;
        appendUnits(point & 0x1FFFFF, out);
    }
    if (out.size() > size_t(keptUnits))
        out.resize(size_t(keptUnits) - 1); // a surrogate pair across the cut goes whole
}

// The text ICU is handed; `storage` holds a decomposition when one is made.
QStringView collatedText(QStringView text, std::u16string& storage)
{
    if (isPlain(text))
        return text;
    decomposeStart(text, storage);
    return QStringView(storage);
}

} // namespace

NameCollator::NameCollator(const QLocale& locale)
    : m_localeName(icuLocaleName(locale)), m_collator(openCollator(m_localeName))
{}

NameCollator::~NameCollator()
{
    ucol_close(m_collator);
}

const NameCollator& NameCollator::shared()
{
    // One locale for the process, decided on first use; one collator per thread, since catalogues are prepared
    // on worker threads and ICU does not promise that threads may share one.
    static const QLocale locale;
    thread_local const NameCollator collator{locale};
    return collator;
}

int NameCollator::compare(QStringView a, QStringView b) const
{
    std::u16string aStorage;
    std::u16string bStorage;
    const QStringView aText = collatedText(a, aStorage);
    const QStringView bText = collatedText(b, bStorage);
    const UCollationResult result =
        ucol_strcoll(m_collator, chars(aText), int32_t(aText.size()), chars(bText), int32_t(bText.size()));
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

void NameCollator::appendSortKey(QStringView text, std::string& out) const
{
    std::u16string storage;
    const QStringView collated = collatedText(text, storage);
    const size_t start = out.size();
    size_t room = size_t(collated.size()) * 4 + 32;
    for (;;) {
        out.resize(start + room);
        const int32_t length = ucol_getSortKey(m_collator, chars(collated), int32_t(collated.size()),
                                               reinterpret_cast<uint8_t*>(out.data() + start), int32_t(room));
        if (length > 0 && size_t(length) <= room) {
            out.resize(start + size_t(length) - 1); // drop the terminating zero
            return;
        }
        room = length > 0 ? size_t(length) : room * 2;
    }
}

} // namespace sendra
