#include "Shared/QmlTextLookup.h"
#include "UI/NodeValues.h"

#include <gtest/gtest.h>

using sendra::playback::formatText;
using sendra::playback::groupedNumber;
using sendra::ui::shownText;

// Counts and names in the translated formats, in both languages' digit grouping.
TEST(TextFormat, numbersNamesAndPositionsInBothLanguages)
{
    EXPECT_EQ(groupedNumber(1234, "es"), "1234");
    EXPECT_EQ(groupedNumber(12345, "es"), "12.345");
    EXPECT_EQ(groupedNumber(1234567, "es"), "1.234.567");
    EXPECT_EQ(groupedNumber(1234, "en"), "1,234");
    EXPECT_EQ(groupedNumber(200000, "en"), "200,000");
    EXPECT_EQ(groupedNumber(-12345, "es"), "-12.345");
    EXPECT_EQ(groupedNumber(999, "en"), "999");

    EXPECT_EQ(formatText("Temporada %lld", "es", {3}), "Temporada 3");
    EXPECT_EQ(formatText("%lld elementos", "en", {250000}), "250,000 elementos");
    EXPECT_EQ(formatText("Guardados por %@", "es", {"Ana"}), "Guardados por Ana");
    EXPECT_EQ(formatText("%2$@ — %1$lld", "en", {12000, "Cine"}), "Cine — 12,000");
    EXPECT_EQ(formatText("100%% %d", "es", {5}), "100% 5");
    // A missing argument leaves an empty slot, never a crash; an unknown conversion stays as written.
    EXPECT_EQ(formatText("%lld y %lld", "es", {1}), "1 y ");
    EXPECT_EQ(formatText("50%x", "es", {}), "50%x");
}

// Where a long text is cut for the screens: between two characters as a reader sees them, except inside a cluster
// longer than any font draws as one, which is cut near the limit whatever precedes it. Each row gives how much of
// the text is kept (joiners a long cluster is broken at are not compared).
TEST(TextFormat, aLongTextIsCutBetweenCharactersAndALongClusterNearTheLimit)
{
    const auto joinedRun = [](int emoji) {
        QString run;
        for (int i = 0; i < emoji; ++i)
            run += (i > 0 ? QStringLiteral("\u200D") : QString()) + QString::fromUtf8("\U0001F468");
        return run;
    };
    const QString family = QString::fromUtf8("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466");
    const struct {
        const char* name;
        QString text;
        qsizetype limit;
        qsizetype kept;
    } rows[] = {
        {"the limit on a boundary", QStringLiteral("abcdef"), 3, 3},
        {"inside a surrogate pair", QStringLiteral("ab") + QString::fromUtf8("\U0001F600") + "cd", 3, 2},
        {"inside a letter's marks", QStringLiteral("abe\u0301\u0301fg"), 4, 2},
        {"inside the second flag", QString::fromUtf8("\U0001F1EA\U0001F1F8\U0001F1EB\U0001F1F7"), 6, 4},
        {"inside a short joined cluster after a word", "Quokka " + family + "!", 10, 7},
        {"inside a run alone, before a joiner", joinedRun(50'000), 1024, 1022},
        {"inside a run after a word, before a joiner", "Quokka " + joinedRun(50'000), 1024, 1023},
        {"inside a letter's long run of marks after a word", "Quokka a" + QString(5000, QChar(0x0301)), 1024, 1024},
    };
    for (const auto& row : rows) {
        const QString shown = shownText(row.text, row.limit);
        ASSERT_TRUE(shown.endsWith(QChar(0x2026))) << row.name;
        EXPECT_EQ(QString(shown.chopped(1)).remove(QChar(0x200D)), row.text.first(row.kept).remove(QChar(0x200D)))
            << row.name << ": " << shown.size() << " units shown";
        EXPECT_NE(shown.chopped(1).back(), QChar(0x200D)) << row.name;
    }
    EXPECT_EQ(shownText(QStringLiteral("abc"), 3), QStringLiteral("abc"));
}
