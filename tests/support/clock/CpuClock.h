#pragma once

#include <ctime>

namespace sendra::testing {

// Processor time in seconds: unlike the wall clock, it does not run on while a busy machine lets others work.
// `Thread` counts the calling thread alone; `Process` every thread of the process, the workers' included.
enum class CpuOf { Thread, Process };

inline double cpuSeconds(CpuOf of = CpuOf::Thread)
{
    timespec now{};
    clock_gettime(of == CpuOf::Thread ? CLOCK_THREAD_CPUTIME_ID : CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

} // namespace sendra::testing
