#pragma once

// What this process has used so far, every thread counted: page faults and CPU time, for benchmarks that measure in a
// process of their own. On a busy machine these move far less than the wall time.
#include <sys/resource.h>

namespace bench {

struct CpuTime {
    double userMs;
    double systemMs; // the kernel's work on the process's behalf: page faults, zeroing pages
};

inline long processFaults()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt + usage.ru_majflt;
}

inline CpuTime processCpuTime()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3; };
    return {ms(usage.ru_utime), ms(usage.ru_stime)};
}

} // namespace bench
