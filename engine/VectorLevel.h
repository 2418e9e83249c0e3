// The vector instruction levels of the engine's kernels: the one the processor supports, a cap
// for tests and benchmarks, and the level each group of kernels runs at under that cap.
#pragma once

#include <atomic>

// Which vector instructions the engine's data-parallel kernels use. All levels give identical
// results; the highest the processor supports is chosen at start-up. Tests and benchmarks can
// cap it to exercise the lower levels. The module itself needs no more than SSE2 (x86) or
// nothing (other processors): the wider kernels are compiled for their instruction sets
// function by function and only called when the processor has them.
enum class VectorLevel : int {
    Scalar = 0, // one double per operation
    Sse2 = 1,   // 128-bit vectors
    Avx2 = 2,   // 256-bit vectors
    Avx512 = 3, // 512-bit vectors (AVX-512 F, VL, DQ and BW)
};

// The groups of kernels whose level is chosen on its own. Under the cap each group runs at the
// widest level that measures fastest for it on the processor's family (VectorLevel.cpp).
enum class KernelGroup : int {
    Mix = 0,         // the mono sum and the output mix
    Reflections = 1, // the reflection taps
    DelayLine = 2,   // a delay line's reads, writes and outputs
    Filters = 3,     // the three filters around the first comb, side by side
};
constexpr int kKernelGroups = 4;

// The highest level this processor and build support.
VectorLevel supportedVectorLevel();
// Uses at most `level` from now on (never more than supported). Not for the audio thread.
void limitVectorLevel(VectorLevel level);

namespace vectorlevel {
// Each group's level, or -1 before the processor has been probed.
extern std::atomic<int> groupLevels[kKernelGroups];
int probe(KernelGroup group);
} // namespace vectorlevel

// The level a group of kernels runs at now: one load.
inline VectorLevel kernelLevel(KernelGroup group) {
    int level = vectorlevel::groupLevels[static_cast<int>(group)].load(std::memory_order_relaxed);
    if (level < 0) {
        level = vectorlevel::probe(group);
    }
    return static_cast<VectorLevel>(level);
}
