#include "State/NameCollator.h"

#include <unicode/normalizer2.h>
#include <unicode/ucol.h>
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
const icu::Normalizer2& nfd()
{
    static const icu::Normalizer2* instance = [] {
        UErrorCode status = U_ZERO_ERROR;
        return icu::Normalizer2::getNFDInstance(status);
    }();
    return *instance;
}

// Texts longer than this are ordered by the start of their canonical decomposition. A UTF-16 unit decomposes to at
// most four, so a text of this length or less is never cut and is ordered exactly as its decomposition.
constexpr qsizetype shortText = 1024;
constexpr qsizetype keptUnits = 4 * shortText;

// Below the combining marks every text is in FCD form, which ICU collates correctly as it is, and so is a text in
// NFD already (most titles in Cyrillic, CJK or with a dash); anything else is decomposed here first.
bool isPlain(QStringView text)
{
    if (text.size() > shortText)
        return false;
    if (std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x300; }))
        return true;
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString units(false, chars(text), int32_t(text.size())); // read-only, no copy
    return nfd().isNormalized(units, status) && U_SUCCESS(status);
}

uint8_t combiningClass(UChar32 c)
{
    return nfd().getCombiningClass(c);
}

// Puts each run of combining characters in `text` in canonical order: by class, marks of one class kept in the order
// they came (a stable sort, n log n in the run).
void reorderRuns(std::u16string& text)
{
    std::vector<uint32_t> run; // a code point with its combining class above its bits
    const auto classOf = [](uint32_t point) { return point >> 21; };
    const auto byClass = [&](uint32_t a, uint32_t b) { return classOf(a) < classOf(b); };
    const auto units = reinterpret_cast<const UChar*>(text.data());
    const int32_t length = int32_t(text.size());
    for (int32_t i = 0; i < length;) {
        // The run of combining characters from i, if one starts there.
        const int32_t runStart = i;
        run.clear();
        while (i < length) {
            int32_t next = i;
            UChar32 c;
            U16_NEXT(units, next, length, c);
            const uint8_t cc = combiningClass(c);
            if (cc == 0)
                break;
            run.push_back(uint32_t(cc) << 21 | uint32_t(c));
            i = next;
        }
        if (run.empty()) {
            U16_FWD_1(units, i, length);
            continue;
        }
        if (!std::is_sorted(run.begin(), run.end(), byClass)) {
            std::stable_sort(run.begin(), run.end(), byClass);
            size_t out = size_t(runStart);
            for (const uint32_t point : run) {
                const char32_t c = point & 0x1FFFFF;
                if (c > 0xFFFF) {
                    text[out++] = QChar::highSurrogate(c);
                    text[out++] = QChar::lowSurrogate(c);
                } else {
                    text[out++] = char16_t(c);
                }
            }
        }
    }
}

// The start of the text's canonical decomposition (NFD), at most keptUnits long: each character's decomposition in
// turn, then the runs of combining characters put in order if any is out of it; canonically equivalent texts have
// one decomposition, and so one start.
void decomposeStart(QStringView text, std::u16string& out)
{
    out.clear();
    out.reserve(size_t(std::min(text.size(), keptUnits)) + 8);
    uint8_t lastClass = 0;
    bool outOfOrder = false;
    // Appends a code point of the decomposition; false once enough is kept and the next character starts with a
    // starter: nothing after a starter moves before it, so the rest can go.
    const auto append = [&](UChar32 c, uint8_t cc, bool startsCharacter) {
        if (startsCharacter && cc == 0 && out.size() >= size_t(keptUnits))
            return false;
        outOfOrder = outOfOrder || (cc != 0 && cc < lastClass);
        lastClass = cc;
        if (c > 0xFFFF) {
            out.push_back(QChar::highSurrogate(char32_t(c)));
            out.push_back(QChar::lowSurrogate(char32_t(c)));
        } else {
            out.push_back(char16_t(c));
        }
        return true;
    };
    const icu::Normalizer2& decomposer = nfd();
    icu::UnicodeString decomposition;
    for (qsizetype i = 0; i < text.size();) {
        UChar32 c = text[i++].unicode();
        if (QChar::isHighSurrogate(char32_t(c)) && i < text.size() && text[i].isLowSurrogate())
            c = UChar32(QChar::surrogateToUcs4(char16_t(c), text[i++].unicode()));
        bool kept = true;
        // Most letters of most scripts decompose to themselves and are starters: that is asked the cheap way.
        if (c < 0xC0 || decomposer.isInert(c)) {
            kept = append(c, 0, true);
        } else if (decomposer.getDecomposition(c, decomposition)) {
            for (int32_t k = 0; kept && k < decomposition.length();) {
                const UChar32 part = decomposition.char32At(k);
                kept = append(part, combiningClass(part), k == 0);
                k += U16_LENGTH(part);
            }
        } else {
            kept = append(c, combiningClass(c), true);
        }
        if (!kept)
            break;
    }
    if (outOfOrder)
        reorderRuns(out);
    if (out.size() > size_t(keptUnits)) {
        // a surrogate pair across the cut goes whole
        const size_t cut = size_t(keptUnits) - (QChar::isHighSurrogate(out[size_t(keptUnits) - 1]) &&
                                                QChar::isLowSurrogate(out[size_t(keptUnits)]));
        out.resize(cut);
    }
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
