// The reflection taps' kernel, one template over the vector width dispatched by the
// reflections' vector level.
#include "engine/TapKernel.h"

#include "engine/Simd.h"

#include <cstring>

namespace {

struct AccumulateTaps {
    static constexpr KernelGroup group = KernelGroup::Reflections;
    template <int W> static constexpr int lanes = simd::kDoubles<W>;
    template <int W>
    static FUMARA_ALWAYS_INLINE void run(float* wet, int32_t count, const TapRuns* taps) {
        std::memset(wet, 0, sizeof(float) * static_cast<size_t>(count));
        for (int j = 0; j < TapRuns::kTaps; ++j) {
            const float* source = taps->source + taps->sourceAt[j];
            const float* noise = taps->noise + taps->noiseAt[j];
            const double gain = taps->gain[j];
            simd::forGroups<simd::kDoubles<W>>(
                count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
                    using L = decltype(lanes);
                    const auto product = simd::loadWidened(lanes, source + i) *
                                         (gain * simd::loadWidened(lanes, noise + i));
                    L::storeFloats(wet + i, L::narrow(simd::loadWidened(lanes, wet + i) + product));
                });
        }
    }
};

} // namespace

void accumulateTaps(float* wet, int32_t count, const TapRuns& taps) {
    simd::dispatchFor<AccumulateTaps>(count, wet, count, &taps);
}
