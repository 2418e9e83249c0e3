// What the process holds in memory right now, for the memory benchmark and the
// leak and stress tests: the C library allocator's bytes in use and the
// resident set.
#pragma once

#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace processmemory {

// Bytes the C library's allocator holds for the program, small blocks and
// mapped ones alike (0 under a sanitizer, whose allocator keeps its own books).
inline long heapInUse() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<long>(info.uordblks + info.hblkhd);
}

// Bytes of the process resident in memory (0 when /proc cannot tell).
inline long residentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

} // namespace processmemory
