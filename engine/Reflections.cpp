#include "engine/Reflections.h"

#include "engine/VectorLevel.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <immintrin.h>
#define FUMARA_REFLECTIONS_SSE2 1
#if defined(__GNUC__)
#define FUMARA_REFLECTIONS_AVX 1
#endif
#endif

void accumulateTapScalar(float* wet, const float* source, const float* noise, double gain,
                         int32_t count) {
    for (int32_t i = 0; i < count; ++i) {
        const double product = static_cast<double>(source[i]) * (gain * noise[i]);
        wet[i] = static_cast<float>(wet[i] + product);
    }
}

#ifdef FUMARA_REFLECTIONS_SSE2
namespace {

inline void sse2Four(float* wet, const float* source, const float* noise, __m128d g) {
    const __m128 w = _mm_loadu_ps(wet);
    const __m128 s = _mm_loadu_ps(source);
    const __m128 n = _mm_loadu_ps(noise);
    __m128d wLow = _mm_cvtps_pd(w);
    __m128d wHigh = _mm_cvtps_pd(_mm_movehl_ps(w, w));
    const __m128d sLow = _mm_cvtps_pd(s);
    const __m128d sHigh = _mm_cvtps_pd(_mm_movehl_ps(s, s));
    const __m128d nLow = _mm_cvtps_pd(n);
    const __m128d nHigh = _mm_cvtps_pd(_mm_movehl_ps(n, n));
    wLow = _mm_add_pd(wLow, _mm_mul_pd(sLow, _mm_mul_pd(g, nLow)));
    wHigh = _mm_add_pd(wHigh, _mm_mul_pd(sHigh, _mm_mul_pd(g, nHigh)));
    _mm_storeu_ps(wet, _mm_movelh_ps(_mm_cvtpd_ps(wLow), _mm_cvtpd_ps(wHigh)));
}

void accumulateTapSse2(float* wet, const float* source, const float* noise, double gain,
                       int32_t count) {
    const __m128d g = _mm_set1_pd(gain);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        sse2Four(wet + i, source + i, noise + i, g);
    }
    accumulateTapScalar(wet + i, source + i, noise + i, gain, count - i);
}

#ifdef FUMARA_REFLECTIONS_AVX
__attribute__((target("avx"))) void
accumulateTapAvx(float* wet, const float* source, const float* noise, double gain, int32_t count) {
    const __m256d g = _mm256_set1_pd(gain);
    int32_t i = 0;
    for (; i + 8 <= count; i += 8) {
        const __m256d w0 = _mm256_cvtps_pd(_mm_loadu_ps(wet + i));
        const __m256d w1 = _mm256_cvtps_pd(_mm_loadu_ps(wet + i + 4));
        const __m256d s0 = _mm256_cvtps_pd(_mm_loadu_ps(source + i));
        const __m256d s1 = _mm256_cvtps_pd(_mm_loadu_ps(source + i + 4));
        const __m256d n0 = _mm256_cvtps_pd(_mm_loadu_ps(noise + i));
        const __m256d n1 = _mm256_cvtps_pd(_mm_loadu_ps(noise + i + 4));
        const __m256d r0 = _mm256_add_pd(w0, _mm256_mul_pd(s0, _mm256_mul_pd(g, n0)));
        const __m256d r1 = _mm256_add_pd(w1, _mm256_mul_pd(s1, _mm256_mul_pd(g, n1)));
        _mm_storeu_ps(wet + i, _mm256_cvtpd_ps(r0));
        _mm_storeu_ps(wet + i + 4, _mm256_cvtpd_ps(r1));
    }
    // Leave no dirty upper register halves behind for the SSE code that follows.
    _mm256_zeroupper();
    accumulateTapScalar(wet + i, source + i, noise + i, gain, count - i);
}
#endif

} // namespace
#endif

void accumulateTap(float* wet, const float* source, const float* noise, double gain,
                   int32_t count) {
    switch (activeVectorLevel()) {
#ifdef FUMARA_REFLECTIONS_AVX
    case VectorLevel::Avx:
        accumulateTapAvx(wet, source, noise, gain, count);
        return;
#endif
#ifdef FUMARA_REFLECTIONS_SSE2
    case VectorLevel::Sse2:
        accumulateTapSse2(wet, source, noise, gain, count);
        return;
#endif
    default:
        accumulateTapScalar(wet, source, noise, gain, count);
        return;
    }
}
