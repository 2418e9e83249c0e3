// The clock the benchmarks time with: the calling thread's processor time.
#pragma once

#include <chrono>
#include <ctime>

namespace bench {

// The calling thread's processor time in nanoseconds where the platform measures it (so that
// time spent descheduled on a busy machine does not count), else the wall clock.
inline double threadNanoseconds() {
#if defined(__linux__)
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
#else
    return std::chrono::duration<double, std::nano>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

} // namespace bench
