#pragma once

#include <QLocale>
#include <QStringView>

#include <memory>
#include <string>

struct UCollator;

namespace sendra {

// The order of names and titles: the locale's collation, case-insensitive, digit runs by numeric value
// ("canal 2" before "Canal 10"). Names that compare equal that way are ordered by case and width, so the
// order is total up to canonically equivalent texts; callers break the last ties by first appearance. A text from a
// source may be megabytes of marks: ordering one is linear in it but for each run of marks out of canonical order,
// which is sorted (n log n in the run), and texts alike in their first four thousand units (decomposed) compare equal.
// ICU never normalises (its normalising collator can loop for minutes on a few code points): a text beyond the
// plain Latin range reaches it decomposed, here if it is not already.
//
// Built on ICU directly rather than QCollator: the catalogue needs the raw sort-key bytes to rank 200k titles
// in one pass, and QCollatorSortKey hides them. The settings are the ones QCollator would use.
class NameCollator
{
public:
    // Under the C or POSIX locale collation falls back to a real one, because ICU would otherwise compare code
    // points and ignore numeric mode.
    explicit NameCollator(const QLocale& locale);
    ~NameCollator();
    NameCollator(const NameCollator&) = delete;
    NameCollator& operator=(const NameCollator&) = delete;

    // The collator of the default locale as it was on first use (one instance per thread).
    static const NameCollator& shared();

    // The ICU locale the collator was opened with ("es_ES", "en_US" for the C locale).
    const std::string& localeName() const { return m_localeName; }

    int compare(QStringView a, QStringView b) const;
    // Appends the text's sort key, without its terminating zero: comparing keys bytewise gives compare().
    void appendSortKey(QStringView text, std::string& out) const;

private:
    std::string m_localeName;
    UCollator* m_collator = nullptr;
};

} // namespace sendra
