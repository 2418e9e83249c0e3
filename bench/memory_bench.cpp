// Memory one effect instance takes, at 44.1, 96 and 192 kHz: the heap it holds
// (the C library's count of bytes in use, small blocks and mapped ones alike)
// and the resident memory it adds to the process, measured around creating
// the instance as a host does (entry point, sample rate, block size, resume),
// with its editor object but no editor window. The time is that of creating
// and closing one instance.
//
// Counters: heapKiB and residentKiB per instance; ratios against 44.1 kHz
// come from one run.
#include "effect/PluginEntry.h"
#include "host/AEffect.h"

#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <malloc.h>
#include <unistd.h>

namespace {

intptr_t VSTCALLBACK host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

double heapBytes() {
    const struct mallinfo2 info = mallinfo2();
    return static_cast<double>(info.uordblks + info.hblkhd);
}

double residentBytes() {
    long pages = 0;
    long resident = 0;
    if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(statm);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE));
}

// Instances take the library-wide rate when they are made; a host's rate
// change on any instance sets it.
void setLibraryRate(float rate) {
    AEffect* effect = createEffectInstance(host);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

void InstanceMemory(benchmark::State& state) {
    // Blocks from 64 KiB up get their own mapping, returned on free, and the
    // heap's top is given back at once: an instance's resident memory is then
    // not hidden in pages an earlier instance left behind.
    mallopt(M_MMAP_THRESHOLD, 64 * 1024);
    mallopt(M_TRIM_THRESHOLD, 0);
    const float rate = static_cast<float>(state.range(0));
    setLibraryRate(rate);
    double heap = 0.0;
    double resident = 0.0;
    for (auto _ : state) {
        const double heapBefore = heapBytes();
        const double residentBefore = residentBytes();
        AEffect* effect = createEffectInstance(host);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, rate);
        effect->dispatcher(effect, effSetBlockSize, 0, 512, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        heap += heapBytes() - heapBefore;
        resident += residentBytes() - residentBefore;
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["heapKiB"] = heap / n / 1024.0;
    state.counters["residentKiB"] = resident / n / 1024.0;
    setLibraryRate(44100.0f);
}
BENCHMARK(InstanceMemory)->Arg(44100)->Arg(96000)->Arg(192000)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
