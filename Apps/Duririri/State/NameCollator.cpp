#include "State/NameCollator.h"

#include <unicode/ucol.h>

#include <algorithm>

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

UCollator* openCollator(const std::string& localeName, bool normalizing)
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
    ucol_setAttribute(collator, UCOL_NORMALIZATION_MODE, normalizing ? UCOL_ON : UCOL_OFF, &status);
    return collator;
}

// Text made only of characters below the combining marks is in FCD form (every character's decomposition starts
// with a base character), which ICU collates correctly without checking.
bool needsNoNormalization(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() < 0x300; });
}

} // namespace

NameCollator::NameCollator(const QLocale& locale)
    : m_localeName(icuLocaleName(locale))
    , m_collator(openCollator(m_localeName, true))
    , m_plainCollator(openCollator(m_localeName, false))
{
}

NameCollator::~NameCollator()
{
    ucol_close(m_collator);
    ucol_close(m_plainCollator);
}

const UCollator* NameCollator::collatorFor(QStringView text) const
{
    return needsNoNormalization(text) ? m_plainCollator : m_collator;
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
    const UCollationResult result =
        ucol_strcoll(needsNoNormalization(a) && needsNoNormalization(b) ? m_plainCollator : m_collator, chars(a), int32_t(a.size()), chars(b), int32_t(b.size()));
    return result == UCOL_LESS ? -1 : result == UCOL_GREATER ? 1 : 0;
}

void NameCollator::appendSortKey(QStringView text, std::string& out) const
{
    const size_t start = out.size();
    size_t room = size_t(text.size()) * 4 + 32;
    for (;;) {
        out.resize(start + room);
        const int32_t length = ucol_getSortKey(collatorFor(text), chars(text), int32_t(text.size()),
                                               reinterpret_cast<uint8_t*>(out.data() + start), int32_t(room));
        if (length > 0 && size_t(length) <= room) {
            out.resize(start + size_t(length) - 1); // drop the terminating zero
            return;
        }
        room = length > 0 ? size_t(length) : room * 2;
    }
}

} // namespace sendra
