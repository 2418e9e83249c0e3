// A reflection tap's accumulation as one vector kernel, dispatched by vector level, and its
// scalar version.
#include "engine/Reflections.h"

#include "engine/Simd.h"

namespace {

struct AccumulateTap {
    static constexpr KernelGroup group = KernelGroup::Reflections;
    template <int W>
    static FUMARA_ALWAYS_INLINE void run(float* wet, const float* source, const float* noise,
                                         double gain, int32_t count) {
        simd::forGroups<simd::kDoubles<W>>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            const auto product =
                simd::loadWidened(lanes, source + i) * (gain * simd::loadWidened(lanes, noise + i));
            L::storeFloats(wet + i, L::narrow(simd::loadWidened(lanes, wet + i) + product));
        });
    }
};

} // namespace

void accumulateTap(float* wet, const float* source, const float* noise, double gain,
                   int32_t count) {
    simd::dispatch<AccumulateTap>(wet, source, noise, gain, count);
}
