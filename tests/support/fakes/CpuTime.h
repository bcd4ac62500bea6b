#pragma once
// CPU time spent, as the kernel counts it: for the tests that compare costs or bound work on a busy machine, where
// wall-clock time also counts the waits for a core.
#include <ctime>

namespace sendra::fakes {

// Milliseconds of CPU time the whole process has used (every thread, the pools' workers among them).
inline double processCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

} // namespace sendra::fakes
