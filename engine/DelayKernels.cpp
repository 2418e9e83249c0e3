#include "engine/DelayKernels.h"

#include "engine/DelayHead.h"
#include "engine/Simd.h"
#include "engine/VectorLevel.h"

namespace {

// Each kernel is one template over the lane count N: whole groups of N samples, then the rest
// one by one through the same template at N = 1.

template <int N>
FUMARA_ALWAYS_INLINE void readGroup(const float* P, const int32_t* k, const float* v0,
                                    const float* v1, const float* v2, double offset, double* Y,
                                    int32_t i) {
    using L = simd::Lanes<N>;
    const typename L::F64 u = (L::loadWidened(P + i) - L::loadWidened(k + i)) - offset;
    L::storeDoubles(Y + i, delayhead::interpolate(u, L::loadWidened(v0 + i), L::loadWidened(v1 + i),
                                                  L::loadWidened(v2 + i)));
}

template <int N>
FUMARA_ALWAYS_INLINE void readAll(const float* P, const int32_t* k, const float* v0,
                                  const float* v1, const float* v2, double offset, double* Y,
                                  int32_t count) {
    int32_t i = 0;
    for (; i + N <= count; i += N) {
        readGroup<N>(P, k, v0, v1, v2, offset, Y, i);
    }
    for (; i < count; ++i) {
        readGroup<1>(P, k, v0, v1, v2, offset, Y, i);
    }
}

// The rounded inputs first: each sample's xp and xpp are earlier samples' x.
template <int N> FUMARA_ALWAYS_INLINE void roundGroup(const float* in, float* xf, int32_t i) {
    using L = simd::Lanes<N>;
    L::storeFloats(xf + i + 2, L::narrow(L::loadWidened(in + i) + 1e-10));
}

template <int N>
FUMARA_ALWAYS_INLINE void writeGroup(const float* in, const float* lastP, const int32_t* w,
                                     const float* xf, const WriteCurve& k, double* W, int32_t i) {
    using L = simd::Lanes<N>;
    using V = typename L::F64;
    const V x = L::loadWidened(in + i) + 1e-10;
    const V D = delayhead::curveStart(L::loadWidened(w + i), L::loadWidened(lastP + i),
                                      L::splat(k.offset), L::splat(k.length));
    L::storeDoubles(W + i, delayhead::curveValue(D, L::splat(k.q), L::splat(k.r), L::splat(k.a),
                                                 L::splat(k.b), x, L::loadWidened(xf + i + 1),
                                                 L::loadWidened(xf + i)));
}

template <int N>
FUMARA_ALWAYS_INLINE void writeAll(const float* in, const float* lastP, const int32_t* w, float* xf,
                                   const WriteCurve& k, double* W, int32_t count) {
    int32_t i = 0;
    for (; i + N <= count; i += N) {
        roundGroup<N>(in, xf, i);
    }
    for (; i < count; ++i) {
        roundGroup<1>(in, xf, i);
    }
    for (i = 0; i + N <= count; i += N) {
        writeGroup<N>(in, lastP, w, xf, k, W, i);
    }
    for (; i < count; ++i) {
        writeGroup<1>(in, lastP, w, xf, k, W, i);
    }
}

void readScalar(const float* P, const int32_t* k, const float* v0, const float* v1, const float* v2,
                double offset, double* Y, int32_t count) {
    readAll<1>(P, k, v0, v1, v2, offset, Y, count);
}
void writeScalar(const float* in, const float* lastP, const int32_t* w, float* xf,
                 const WriteCurve& k, double* W, int32_t count) {
    writeAll<1>(in, lastP, w, xf, k, W, count);
}

#ifdef FUMARA_X86_KERNELS
void readSse2(const float* P, const int32_t* k, const float* v0, const float* v1, const float* v2,
              double offset, double* Y, int32_t count) {
    readAll<2>(P, k, v0, v1, v2, offset, Y, count);
}
void writeSse2(const float* in, const float* lastP, const int32_t* w, float* xf,
               const WriteCurve& k, double* W, int32_t count) {
    writeAll<2>(in, lastP, w, xf, k, W, count);
}
FUMARA_TARGET_AVX void readAvx(const float* P, const int32_t* k, const float* v0, const float* v1,
                               const float* v2, double offset, double* Y, int32_t count) {
    readAll<4>(P, k, v0, v1, v2, offset, Y, count);
}
FUMARA_TARGET_AVX void writeAvx(const float* in, const float* lastP, const int32_t* w, float* xf,
                                const WriteCurve& k, double* W, int32_t count) {
    writeAll<4>(in, lastP, w, xf, k, W, count);
}
#endif

} // namespace

void delayRead(const float* P, const int32_t* k, const float* v0, const float* v1, const float* v2,
               double offset, double* Y, int32_t count) {
    switch (activeVectorLevel()) {
#ifdef FUMARA_X86_KERNELS
    case VectorLevel::Avx:
        readAvx(P, k, v0, v1, v2, offset, Y, count);
        return;
    case VectorLevel::Sse2:
        readSse2(P, k, v0, v1, v2, offset, Y, count);
        return;
#endif
    default:
        readScalar(P, k, v0, v1, v2, offset, Y, count);
        return;
    }
}

void delayWrite(const float* in, const float* lastP, const int32_t* w, float* xf,
                const WriteCurve& curve, double* W, int32_t count) {
    switch (activeVectorLevel()) {
#ifdef FUMARA_X86_KERNELS
    case VectorLevel::Avx:
        writeAvx(in, lastP, w, xf, curve, W, count);
        return;
    case VectorLevel::Sse2:
        writeSse2(in, lastP, w, xf, curve, W, count);
        return;
#endif
    default:
        writeScalar(in, lastP, w, xf, curve, W, count);
        return;
    }
}
