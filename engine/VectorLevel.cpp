// Finding the processor's vector level and family at start-up, the cap on the level in use,
// and the level of each group of kernels under the cap.
#include "engine/VectorLevel.h"

namespace {

VectorLevel detect() {
#if defined(__SSE2__) || defined(_M_X64)
#if defined(__GNUC__)
    // The run-time library's probe also checks that the system saves the wide registers.
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512bw")) {
        return VectorLevel::Avx512;
    }
    if (__builtin_cpu_supports("avx2")) {
        return VectorLevel::Avx2;
    }
#endif
    return VectorLevel::Sse2;
#else
    return VectorLevel::Scalar;
#endif
}

bool amdFamily() {
#if (defined(__SSE2__) || defined(_M_X64)) && defined(__GNUC__)
    __builtin_cpu_init();
    return __builtin_cpu_is("amd");
#else
    return false;
#endif
}

// The widest level worth using for a group on this processor's family, measured with the
// engine benchmark's stage table. AMD processors run 512-bit vectors as two 256-bit halves,
// and there the reflections measured slower with AVX-512 than with AVX2 (8.0 against 6.7 ns
// per frame on an EPYC); on Intel processors every group is fastest at the widest level.
VectorLevel familyCeiling(KernelGroup group) {
    static const bool amd = amdFamily();
    if (amd && group == KernelGroup::Reflections) {
        return VectorLevel::Avx2;
    }
    return VectorLevel::Avx512;
}

int lower(VectorLevel a, VectorLevel b) {
    return static_cast<int>(a) < static_cast<int>(b) ? static_cast<int>(a) : static_cast<int>(b);
}

void apply(VectorLevel level) {
    const int capped = lower(level, supportedVectorLevel());
    for (int g = 0; g < kKernelGroups; ++g) {
        const KernelGroup group = static_cast<KernelGroup>(g);
        vectorlevel::groupLevels[g].store(
            lower(static_cast<VectorLevel>(capped), familyCeiling(group)),
            std::memory_order_relaxed);
    }
}

} // namespace

namespace vectorlevel {

std::atomic<int> groupLevels[kKernelGroups] = {{-1}, {-1}, {-1}, {-1}};

int probe(KernelGroup group) {
    // Two threads probing at once store the same values.
    apply(supportedVectorLevel());
    return groupLevels[static_cast<int>(group)].load(std::memory_order_relaxed);
}

} // namespace vectorlevel

VectorLevel supportedVectorLevel() {
    static const VectorLevel supported = detect();
    return supported;
}

void limitVectorLevel(VectorLevel level) {
    apply(level);
}
