#pragma once

#include <QString>

namespace sendra {

// The active brand's two colours ("#rrggbb"), process-wide. The deck assigns them after every change of the
// active brand; the screens read them when they next draw. Main thread only.
struct ActiveBrandColors {
    static QString activePrimary();   // "#f5f5f7" until first assigned
    static QString activeSecondary(); // "#686872" until first assigned
    static void setActivePrimary(const QString& hex);
    static void setActiveSecondary(const QString& hex);
};

} // namespace sendra
