// The clock the benchmarks time with: the calling thread's processor time.
#pragma once

#include <ctime>

namespace bench {

// The calling thread's processor time in nanoseconds: time spent descheduled on a busy machine
// does not count (the benchmarks are built for Linux only).
inline double threadNanoseconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

} // namespace bench
