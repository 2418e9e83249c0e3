// The mono sum (limiting, non-finite samples to 0, the signal test) and the output mix as
// vector kernels.
#include "engine/MixKernels.h"

#include "engine/Simd.h"
#include "engine/Tuning.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <type_traits>

namespace {

// The largest float at or below `threshold`: for every float f, f > threshold (compared in
// double) exactly when f > floatAtOrBelow(threshold) (compared in float).
float floatAtOrBelow(double threshold) {
    float f = static_cast<float>(threshold);
    if (static_cast<double>(f) > threshold) {
        f = std::nextafter(f, 0.0f);
    }
    return f;
}

const float kLeftThreshold = floatAtOrBelow(tuning::kLeftSignalThreshold);
const float kRightThreshold = floatAtOrBelow(tuning::kRightSignalThreshold);

// The selections below compile to blends on vectors; single floats take the library's
// branch-free forms.
template <class V> FUMARA_ALWAYS_INLINE V magnitude(V x) {
    if constexpr (std::is_same_v<V, float>) {
        return std::fabs(x);
    } else {
        return x < 0.0f ? -x : x;
    }
}

template <class V> FUMARA_ALWAYS_INLINE V larger(V a, V b) {
    if constexpr (std::is_same_v<V, float>) {
        return std::max(a, b);
    } else {
        return b < a ? a : b;
    }
}

// Non-finite samples become 0, the others are limited to +-limit.
template <class V> FUMARA_ALWAYS_INLINE V limited(V x, float limit) {
    if constexpr (std::is_same_v<V, float>) {
        return std::isfinite(x) ? std::min(std::max(x, -limit), limit) : 0.0f;
    } else {
        const V finite = magnitude(x) <= FLT_MAX ? x : V{};
        const V raised = finite < -limit ? V{} - limit : finite;
        return limit < raised ? V{} + limit : raised;
    }
}

struct MonoSum {
    static constexpr KernelGroup group = KernelGroup::Mix;
    template <int W> static constexpr int lanes = simd::kFloats<W>;
    template <int W>
    static FUMARA_ALWAYS_INLINE bool run(const float* left, const float* right, float* mono,
                                         int32_t count, float limit, float leftThreshold,
                                         float rightThreshold) {
        // The loudest left and right samples, lane by lane, decide at the end.
        constexpr int N = simd::kFloats<W>;
        typename simd::Lanes<N>::F32 loudestLeft{}, loudestRight{};
        float tailLeft = 0.0f, tailRight = 0.0f;
        simd::forGroups<N, 4>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            const auto l = limited(L::loadFloats(left + i), limit);
            const auto r = limited(L::loadFloats(right + i), limit);
            L::storeFloats(mono + i, l + r);
            if constexpr (L::size == N && N > 1) {
                loudestLeft = larger(magnitude(l), loudestLeft);
                loudestRight = larger(magnitude(r), loudestRight);
            } else if constexpr (L::size > 1) {
                for (int j = 0; j < L::size; ++j) {
                    tailLeft = larger(magnitude(l[j]), tailLeft);
                    tailRight = larger(magnitude(r[j]), tailRight);
                }
            } else {
                tailLeft = larger(magnitude(l), tailLeft);
                tailRight = larger(magnitude(r), tailRight);
            }
        });
        if constexpr (N > 1) {
            // The lanes hold something only when a whole group ran.
            if (count >= N) {
                for (int j = 0; j < N; ++j) {
                    tailLeft = larger(loudestLeft[j], tailLeft);
                    tailRight = larger(loudestRight[j], tailRight);
                }
            }
        }
        return tailLeft > leftThreshold || tailRight > rightThreshold;
    }
};

struct OutputMix {
    static constexpr KernelGroup group = KernelGroup::Mix;
    template <int W> static constexpr int lanes = simd::kDoubles<W>;
    template <int W>
    static FUMARA_ALWAYS_INLINE void
    run(const float* inLeft, const float* inRight, const float* wetLeft, const float* wetRight,
        float* outLeft, float* outRight, double dry, double wet, int32_t count) {
        simd::forGroups<simd::kDoubles<W>>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            // Both inputs are read before either output is written (they may be the same).
            const auto l = simd::loadWidened(lanes, inLeft + i);
            const auto r = simd::loadWidened(lanes, inRight + i);
            const auto left =
                dry * l + (wet * simd::loadWidened(lanes, wetLeft + i)) * tuning::kWetOutputGain;
            const auto right =
                dry * r + (wet * simd::loadWidened(lanes, wetRight + i)) * tuning::kWetOutputGain;
            L::storeFloats(outLeft + i, L::narrow(left));
            L::storeFloats(outRight + i, L::narrow(right));
        });
    }
};

} // namespace

bool monoSum(const float* left, const float* right, float* mono, int32_t count, float limit) {
    return simd::dispatchFor<MonoSum>(count, left, right, mono, count, limit, kLeftThreshold,
                                      kRightThreshold);
}

bool monoSumOfFew(const float* left, const float* right, float* mono, int32_t count, float limit) {
    return MonoSum::run<8>(left, right, mono, count, limit, kLeftThreshold, kRightThreshold);
}

void outputMix(const float* inLeft, const float* inRight, const float* wetLeft,
               const float* wetRight, float* outLeft, float* outRight, double dry, double wet,
               int32_t count) {
    simd::dispatchFor<OutputMix>(count, inLeft, inRight, wetLeft, wetRight, outLeft, outRight, dry,
                                 wet, count);
}

void outputMixOfFew(const float* inLeft, const float* inRight, const float* wetLeft,
                    const float* wetRight, float* outLeft, float* outRight, double dry, double wet,
                    int32_t count) {
    OutputMix::run<8>(inLeft, inRight, wetLeft, wetRight, outLeft, outRight, dry, wet, count);
}
