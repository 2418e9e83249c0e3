#include "engine/DelayKernels.h"

#include "engine/DelayHead.h"
#include "engine/Simd.h"

namespace {

struct Read {
    template <int W>
    static FUMARA_ALWAYS_INLINE void run(const float* P, const int32_t* k, const float* v0,
                                         const float* v1, const float* v2, double offset, double* Y,
                                         int32_t count) {
        simd::forGroups<simd::kDoubles<W>>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            const auto u =
                (simd::loadWidened(lanes, P + i) - simd::loadWidened(lanes, k + i)) - offset;
            L::storeDoubles(Y + i, delayhead::interpolate(u, simd::loadWidened(lanes, v0 + i),
                                                          simd::loadWidened(lanes, v1 + i),
                                                          simd::loadWidened(lanes, v2 + i)));
        });
    }
};

struct Write {
    template <int W>
    static FUMARA_ALWAYS_INLINE void run(const float* in, const float* lastP, const int32_t* w,
                                         float* xf, WriteCurve k, double* curve, int32_t count) {
        constexpr int N = simd::kDoubles<W>;
        // The rounded inputs first: each sample's xp and xpp are earlier samples' x.
        simd::forGroups<N>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            L::storeFloats(xf + i + 2, L::narrow(simd::loadWidened(lanes, in + i) + 1e-10));
        });
        simd::forGroups<N>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            const auto x = simd::loadWidened(lanes, in + i) + 1e-10;
            const auto D = delayhead::curveStart(simd::loadWidened(lanes, w + i),
                                                 simd::loadWidened(lanes, lastP + i),
                                                 L::splat(k.offset), L::splat(k.length));
            L::storeDoubles(curve + i, delayhead::curveValue(D, L::splat(k.q), L::splat(k.r),
                                                             L::splat(k.a), L::splat(k.b), x,
                                                             simd::loadWidened(lanes, xf + i + 1),
                                                             simd::loadWidened(lanes, xf + i)));
        });
    }
};

} // namespace

void delayRead(const float* P, const int32_t* k, const float* v0, const float* v1, const float* v2,
               double offset, double* Y, int32_t count) {
    simd::dispatch<Read>(P, k, v0, v1, v2, offset, Y, count);
}

void delayWrite(const float* in, const float* lastP, const int32_t* w, float* xf,
                const WriteCurve& curve, double* W, int32_t count) {
    simd::dispatch<Write>(in, lastP, w, xf, curve, W, count);
}
