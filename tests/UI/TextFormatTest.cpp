#include "Shared/QmlTextLookup.h"

#include <gtest/gtest.h>

using sendra::playback::formatText;
using sendra::playback::groupedNumber;

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
