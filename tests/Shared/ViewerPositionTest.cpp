#include "Shared/ViewerPosition.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

using namespace sendra::playback;

namespace {

// A ten-second film without a length whose demuxer reads 30% ahead of the picture: at play time t (ms) libvlc's
// position is 0.3 + t / 10 s, and everything is read at seven seconds.
double readAt(qint64 time)
{
    return std::min(1.0, 0.3 + double(time) / 10000.0);
}

struct Report {
    qint64 time; // ms
    double read;
};

std::vector<Report> steadyTo(qint64 last)
{
    std::vector<Report> reports;
    for (const qint64 time : {500, 1500, 2500, 4000})
        if (time <= last)
            reports.push_back({time, readAt(time)});
    return reports;
}

std::vector<Report> operator+(std::vector<Report> first, const std::vector<Report>& then)
{
    first.insert(first.end(), then.begin(), then.end());
    return first;
}

} // namespace

// The viewer's place in a film without a length follows the play time at the byte rate from where the last stretch
// began, whatever libvlc's share of bytes read says; a jump nobody asked for starts a stretch where the viewer was.
TEST(ViewerPosition, aFilmWithoutALengthIsWherePlayTimeAndByteRateSay)
{
    struct Case {
        const char* name;
        std::vector<Report> reports;
        double expected;
    };
    const std::vector<Case> cases{
        {"the first second: the rate is still unknown", steadyTo(500) + std::vector<Report>{{1200, readAt(1200)}}, 0},
        {"steady play", steadyTo(4000), 0.4},
        {"everything read: the rate stays the one before",
         steadyTo(4000) + std::vector<Report>{{7000, 1.0}, {8000, 1.0}}, 0.8},
        {"a jump back", steadyTo(4000) + std::vector<Report>{{1000, 0.5}, {2000, 0.6}}, 0.5},
        {"a leap", steadyTo(4000) + std::vector<Report>{{60000, 0.55}, {61000, 0.65}}, 0.5},
        {"never past what was read", steadyTo(4000) + std::vector<Report>{{1000, 0.3}, {1800, 0.38}}, 0.4},
    };
    for (const Case& c : cases) {
        ViewerPosition position;
        position.reopen();
        double viewer = -1;
        for (const Report& report : c.reports)
            viewer = position.report(0, report.time, report.read);
        EXPECT_NEAR(viewer, c.expected, 1e-9) << c.name;
        EXPECT_NEAR(position.at(0, c.reports.back().time, c.reports.back().read), c.expected, 1e-9) << c.name;
    }

    // The controls' jumps land by the rate once it is known; with a length libvlc's share is the play time's.
    ViewerPosition position;
    position.reopen();
    position.report(0, 500, readAt(500));
    position.jump(0, 2);
    EXPECT_NEAR(position.report(0, 1500, readAt(1500)), 0.15, 1e-9) << "no rate yet: the jump moved nothing";
    for (const Report& report : steadyTo(4000))
        position.report(0, report.time, report.read);
    position.jump(0.4, 2);
    EXPECT_NEAR(position.report(0, 6100, readAt(6100)), 0.6, 1e-9);
    EXPECT_NEAR(position.report(0, 7100, 1.0), 0.7, 1e-9);
    EXPECT_EQ(position.report(10000, 7500, 0.75), 0.75);
    // Opened again, its play time counts from the start again: no jump back from where it was.
    position.reopen();
    position.report(0, 500, readAt(500));
    EXPECT_NEAR(position.report(0, 1500, readAt(1500)), 0.15, 1e-9);
}

// A move shows until the engine reports from its target: reports nearer the old place are held back (a paused
// engine may repeat its old time for as long as it likes), the first one nearer the target ends it, and so does the
// old place playing on for good (the engine never moved).
TEST(ShownMove, holdsBackReportsOfTheOldPlaceUntilTheEngineMovesOrPlaysOn)
{
    ShownMove back(2000, 0, 0);
    for (int i = 0; i < 3 * ShownMove::staleStepLimit; ++i)
        EXPECT_TRUE(back.holdsBack(2000)) << "paused at the old place, report " << i;
    EXPECT_TRUE(back.holdsBack(2040)) << "a late report from before the move";
    EXPECT_FALSE(back.holdsBack(300)) << "played on from the target";

    ShownMove ahead(2000, 15000, 0.5);
    EXPECT_FALSE(ahead.holdsBack(13500)) << "landed on a picture before the target, nearer it than the old place";

    ShownMove ignored(2000, 15000, 0.5);
    int held = 0;
    for (qint64 time = 2000; ignored.holdsBack(time) && time < 10000; time += 250)
        ++held;
    EXPECT_EQ(held, ShownMove::staleStepLimit);
}
