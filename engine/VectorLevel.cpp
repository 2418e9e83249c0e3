// Finding the processor's vector level at start-up, and the cap on the level in use.
#include "engine/VectorLevel.h"

#include <atomic>

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

std::atomic<int>& active() {
    static std::atomic<int> level{static_cast<int>(detect())};
    return level;
}

} // namespace

VectorLevel supportedVectorLevel() {
    static const VectorLevel supported = detect();
    return supported;
}

VectorLevel activeVectorLevel() {
    return static_cast<VectorLevel>(active().load(std::memory_order_relaxed));
}

void limitVectorLevel(VectorLevel level) {
    const int wanted = static_cast<int>(level);
    const int supported = static_cast<int>(supportedVectorLevel());
    active().store(wanted < supported ? wanted : supported, std::memory_order_relaxed);
}
