#include "engine/DelayKernels.h"

#include "engine/VectorLevel.h"

#if defined(__SSE2__) || defined(_M_X64)
#include <immintrin.h>
#define FUMARA_DELAY_SSE2 1
#if defined(__GNUC__)
#define FUMARA_DELAY_AVX 1
#endif
#endif

namespace {

void readScalar(const float* P, const int32_t* k, const float* v0, const float* v1, const float* v2,
                double offset, double* Y, int32_t from, int32_t count) {
    for (int32_t i = from; i < count; ++i) {
        const double u = static_cast<double>(P[i]) - k[i] - offset;
        Y[i] = 0.5 * ((1.0 - u) * (2.0 - u) * v0[i] - (1.0 - u) * u * v2[i]) +
               u * (2.0 - u) * static_cast<double>(v1[i]);
    }
}

void writeScalar(const float* in, const float* lastP, const int32_t* w, float* xf,
                 const WriteCurve& k, double* W, int32_t from, int32_t count) {
    for (int32_t i = from; i < count; ++i) {
        const double x = static_cast<double>(in[i]) + 1e-10;
        xf[i + 2] = static_cast<float>(x);
        const double xp = xf[i + 1];
        const double xpp = xf[i];
        double D = static_cast<double>(w[i]) - lastP[i] + k.offset;
        if (D < k.offset) {
            D += k.length;
        }
        const double c = k.q + D;
        W[i] = c * (k.r - D) * xp * k.a + k.b * (D * c * x - D * (k.r - D) * xpp);
    }
}

#ifdef FUMARA_DELAY_SSE2

void readSse2(const float* P, const int32_t* k, const float* v0, const float* v1, const float* v2,
              double offset, double* Y, int32_t count) {
    const __m128d one = _mm_set1_pd(1.0), two = _mm_set1_pd(2.0), half = _mm_set1_pd(0.5);
    const __m128d off = _mm_set1_pd(offset);
    int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128d p = _mm_cvtps_pd(
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(P + i))));
        const __m128d kk =
            _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(k + i)));
        const __m128d u = _mm_sub_pd(_mm_sub_pd(p, kk), off);
        const __m128d a0 = _mm_cvtps_pd(
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v0 + i))));
        const __m128d a1 = _mm_cvtps_pd(
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v1 + i))));
        const __m128d a2 = _mm_cvtps_pd(
            _mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(v2 + i))));
        const __m128d A = _mm_sub_pd(one, u);
        const __m128d B = _mm_sub_pd(two, u);
        const __m128d t0 = _mm_mul_pd(_mm_mul_pd(A, B), a0);
        const __m128d t2 = _mm_mul_pd(_mm_mul_pd(A, u), a2);
        const __m128d t1 = _mm_mul_pd(_mm_mul_pd(u, B), a1);
        _mm_storeu_pd(Y + i, _mm_add_pd(_mm_mul_pd(half, _mm_sub_pd(t0, t2)), t1));
    }
    readScalar(P, k, v0, v1, v2, offset, Y, i, count);
}

void writeSse2(const float* in, const float* lastP, const int32_t* w, float* xf,
               const WriteCurve& k, double* W, int32_t count) {
    // The rounded inputs first: each sample's xp and xpp are earlier samples' x.
    const __m128d tiny = _mm_set1_pd(1e-10);
    int32_t i = 0;
    for (; i + 2 <= count; i += 2) {
        const __m128d x = _mm_add_pd(_mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(
                                         reinterpret_cast<const __m128i*>(in + i)))),
                                     tiny);
        _mm_storel_epi64(reinterpret_cast<__m128i*>(xf + i + 2), _mm_castps_si128(_mm_cvtpd_ps(x)));
    }
    for (; i < count; ++i) {
        xf[i + 2] = static_cast<float>(static_cast<double>(in[i]) + 1e-10);
    }

    const __m128d q = _mm_set1_pd(k.q), r = _mm_set1_pd(k.r), a = _mm_set1_pd(k.a);
    const __m128d b = _mm_set1_pd(k.b), off = _mm_set1_pd(k.offset), len = _mm_set1_pd(k.length);
    auto load2 = [](const float* p) {
        return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
    };
    for (i = 0; i + 2 <= count; i += 2) {
        const __m128d x = _mm_add_pd(load2(in + i), tiny);
        const __m128d xp = load2(xf + i + 1);
        const __m128d xpp = load2(xf + i);
        const __m128d ww =
            _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(w + i)));
        __m128d D = _mm_add_pd(_mm_sub_pd(ww, load2(lastP + i)), off);
        D = _mm_add_pd(D, _mm_and_pd(_mm_cmplt_pd(D, off), len));
        const __m128d c = _mm_add_pd(q, D);
        const __m128d e = _mm_sub_pd(r, D);
        const __m128d t1 = _mm_mul_pd(_mm_mul_pd(_mm_mul_pd(c, e), xp), a);
        const __m128d t2 = _mm_mul_pd(_mm_mul_pd(D, c), x);
        const __m128d t3 = _mm_mul_pd(_mm_mul_pd(D, e), xpp);
        _mm_storeu_pd(W + i, _mm_add_pd(t1, _mm_mul_pd(b, _mm_sub_pd(t2, t3))));
    }
    // The rest one by one (their rounded inputs are already stored).
    writeScalar(in, lastP, w, xf, k, W, i, count);
}

#ifdef FUMARA_DELAY_AVX

__attribute__((target("avx"))) void readAvx(const float* P, const int32_t* k, const float* v0,
                                            const float* v1, const float* v2, double offset,
                                            double* Y, int32_t count) {
    const __m256d one = _mm256_set1_pd(1.0), two = _mm256_set1_pd(2.0), half = _mm256_set1_pd(0.5);
    const __m256d off = _mm256_set1_pd(offset);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d p = _mm256_cvtps_pd(_mm_loadu_ps(P + i));
        const __m256d kk =
            _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(k + i)));
        const __m256d u = _mm256_sub_pd(_mm256_sub_pd(p, kk), off);
        const __m256d a0 = _mm256_cvtps_pd(_mm_loadu_ps(v0 + i));
        const __m256d a1 = _mm256_cvtps_pd(_mm_loadu_ps(v1 + i));
        const __m256d a2 = _mm256_cvtps_pd(_mm_loadu_ps(v2 + i));
        const __m256d A = _mm256_sub_pd(one, u);
        const __m256d B = _mm256_sub_pd(two, u);
        const __m256d t0 = _mm256_mul_pd(_mm256_mul_pd(A, B), a0);
        const __m256d t2 = _mm256_mul_pd(_mm256_mul_pd(A, u), a2);
        const __m256d t1 = _mm256_mul_pd(_mm256_mul_pd(u, B), a1);
        _mm256_storeu_pd(Y + i, _mm256_add_pd(_mm256_mul_pd(half, _mm256_sub_pd(t0, t2)), t1));
    }
    // Leave no dirty upper register halves behind for the SSE code that follows.
    _mm256_zeroupper();
    readScalar(P, k, v0, v1, v2, offset, Y, i, count);
}

__attribute__((target("avx"))) void writeAvx(const float* in, const float* lastP, const int32_t* w,
                                             float* xf, const WriteCurve& k, double* W,
                                             int32_t count) {
    const __m256d tiny = _mm256_set1_pd(1e-10);
    int32_t i = 0;
    for (; i + 4 <= count; i += 4) {
        const __m256d x = _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(in + i)), tiny);
        _mm_storeu_ps(xf + i + 2, _mm256_cvtpd_ps(x));
    }
    _mm256_zeroupper();
    for (; i < count; ++i) {
        xf[i + 2] = static_cast<float>(static_cast<double>(in[i]) + 1e-10);
    }

    const __m256d q = _mm256_set1_pd(k.q), r = _mm256_set1_pd(k.r), a = _mm256_set1_pd(k.a);
    const __m256d b = _mm256_set1_pd(k.b), off = _mm256_set1_pd(k.offset);
    const __m256d len = _mm256_set1_pd(k.length);
    for (i = 0; i + 4 <= count; i += 4) {
        const __m256d x = _mm256_add_pd(_mm256_cvtps_pd(_mm_loadu_ps(in + i)), tiny);
        const __m256d xp = _mm256_cvtps_pd(_mm_loadu_ps(xf + i + 1));
        const __m256d xpp = _mm256_cvtps_pd(_mm_loadu_ps(xf + i));
        const __m256d ww =
            _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(w + i)));
        __m256d D = _mm256_add_pd(_mm256_sub_pd(ww, _mm256_cvtps_pd(_mm_loadu_ps(lastP + i))), off);
        D = _mm256_add_pd(D, _mm256_and_pd(_mm256_cmp_pd(D, off, _CMP_LT_OQ), len));
        const __m256d c = _mm256_add_pd(q, D);
        const __m256d e = _mm256_sub_pd(r, D);
        const __m256d t1 = _mm256_mul_pd(_mm256_mul_pd(_mm256_mul_pd(c, e), xp), a);
        const __m256d t2 = _mm256_mul_pd(_mm256_mul_pd(D, c), x);
        const __m256d t3 = _mm256_mul_pd(_mm256_mul_pd(D, e), xpp);
        _mm256_storeu_pd(W + i, _mm256_add_pd(t1, _mm256_mul_pd(b, _mm256_sub_pd(t2, t3))));
    }
    _mm256_zeroupper();
    // The rest one by one (their rounded inputs are already stored).
    writeScalar(in, lastP, w, xf, k, W, i, count);
}

#endif

#endif // FUMARA_DELAY_SSE2

} // namespace

void delayRead(const float* P, const int32_t* k, const float* v0, const float* v1, const float* v2,
               double offset, double* Y, int32_t count) {
    switch (activeVectorLevel()) {
#ifdef FUMARA_DELAY_AVX
    case VectorLevel::Avx:
        readAvx(P, k, v0, v1, v2, offset, Y, count);
        return;
#endif
#ifdef FUMARA_DELAY_SSE2
    case VectorLevel::Sse2:
        readSse2(P, k, v0, v1, v2, offset, Y, count);
        return;
#endif
    default:
        readScalar(P, k, v0, v1, v2, offset, Y, 0, count);
        return;
    }
}

void delayWrite(const float* in, const float* lastP, const int32_t* w, float* xf,
                const WriteCurve& curve, double* W, int32_t count) {
    switch (activeVectorLevel()) {
#ifdef FUMARA_DELAY_AVX
    case VectorLevel::Avx:
        writeAvx(in, lastP, w, xf, curve, W, count);
        return;
#endif
#ifdef FUMARA_DELAY_SSE2
    case VectorLevel::Sse2:
        writeSse2(in, lastP, w, xf, curve, W, count);
        return;
#endif
    default:
        writeScalar(in, lastP, w, xf, curve, W, 0, count);
        return;
    }
}
