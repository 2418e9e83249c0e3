// A thin layer over the compiler's vector extensions, so that each data-parallel kernel of the
// engine is written once, as a template over a lane count, and compiled for every vector
// width: Lanes<N> names the vectors of N doubles, N floats and N 32-bit integers and moves
// them to and from memory. Lanes<1> is plain scalars, so the same template also gives the
// portable version. Arithmetic on these types is the ordinary operators, lane by lane, with
// the same rounding as the scalar expressions.
#pragma once

#include "engine/VectorLevel.h"

#include <cstdint>
#include <cstring>
#include <type_traits>

#if defined(__GNUC__)
#define FUMARA_VECTORS 1
#define FUMARA_ALWAYS_INLINE inline __attribute__((always_inline))
#define FUMARA_INLINE_LAMBDA __attribute__((always_inline))
#define FUMARA_FLATTEN __attribute__((flatten))
#else
#define FUMARA_ALWAYS_INLINE inline
#define FUMARA_INLINE_LAMBDA
#define FUMARA_FLATTEN
#endif

// Function attributes that compile one function for a wider instruction set than the rest of
// the module, which keeps running on processors without it.
#if defined(FUMARA_VECTORS) && (defined(__x86_64__) || defined(__i386__))
#define FUMARA_X86_KERNELS 1
#define FUMARA_TARGET_AVX2 __attribute__((target("avx2")))
#define FUMARA_TARGET_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw")))
#endif

#ifdef FUMARA_X86_KERNELS
// The compiler's own wide conversions start from an undefined register, which it then
// reports as possibly uninitialised once they are inlined.
#pragma GCC diagnostic push
#ifndef __clang__
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <immintrin.h>
#pragma GCC diagnostic pop
#endif

namespace simd {

#ifdef FUMARA_VECTORS
template <class T, int N> struct VectorOf {
    typedef T type __attribute__((vector_size(sizeof(T) * N)));
};
#endif
template <class T> struct VectorOf<T, 1> { typedef T type; };

template <int N> struct Lanes {
    static constexpr int size = N;
    using F64 = typename VectorOf<double, N>::type;
    using F32 = typename VectorOf<float, N>::type;
    using I32 = typename VectorOf<int32_t, N>::type;

    static FUMARA_ALWAYS_INLINE F64 splat(double value) { return F64{} + value; }

    static FUMARA_ALWAYS_INLINE F64 loadDoubles(const double* p) {
        F64 v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static FUMARA_ALWAYS_INLINE F32 loadFloats(const float* p) {
        F32 v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    static FUMARA_ALWAYS_INLINE I32 loadInts(const int32_t* p) {
        I32 v;
        std::memcpy(&v, p, sizeof v);
        return v;
    }
    // Floats or integers widened to doubles (exact).
    static FUMARA_ALWAYS_INLINE F64 widen(F32 v) {
        if constexpr (N == 1) {
            return v;
        } else {
            return __builtin_convertvector(v, F64);
        }
    }
    static FUMARA_ALWAYS_INLINE F64 widen(I32 v) {
        if constexpr (N == 1) {
            return v;
        } else {
            return __builtin_convertvector(v, F64);
        }
    }
    // Doubles rounded to floats.
    static FUMARA_ALWAYS_INLINE F32 narrow(F64 v) {
        if constexpr (N == 1) {
            return static_cast<float>(v);
        } else {
            return __builtin_convertvector(v, F32);
        }
    }
    static FUMARA_ALWAYS_INLINE void storeDoubles(double* p, F64 v) {
        std::memcpy(p, &v, sizeof v);
    }
    static FUMARA_ALWAYS_INLINE void storeFloats(float* p, F32 v) { std::memcpy(p, &v, sizeof v); }
    static FUMARA_ALWAYS_INLINE void storeInts(int32_t* p, I32 v) { std::memcpy(p, &v, sizeof v); }
};

// N floats or 32-bit integers from memory, widened to doubles: loadWidened(Lanes<N>(), p).
template <int N, class T>
FUMARA_ALWAYS_INLINE typename Lanes<N>::F64 loadWidened(Lanes<N>, const T* p) {
    if constexpr (N == 1) {
        return static_cast<double>(*p);
    } else if constexpr (std::is_same_v<T, float>) {
        return Lanes<N>::widen(Lanes<N>::loadFloats(p));
    } else {
        return Lanes<N>::widen(Lanes<N>::loadInts(p));
    }
}
#if defined(FUMARA_X86_KERNELS) && !defined(__clang__)
// The same in one instruction each (GCC's generic conversion takes several). Each carries its
// instruction set, so it is not forced inline into the generic code between it and the kernel
// entry; the entries (flatten) inline it once that code is inlined into them. Clang converts
// in one instruction by itself, and refuses wide vectors returned from a function with an
// instruction set to generic code without it, so it uses the generic conversion.
inline Lanes<2>::F64 loadWidened(Lanes<2>, const float* p) {
    return _mm_cvtps_pd(_mm_castsi128_ps(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p))));
}
inline Lanes<2>::F64 loadWidened(Lanes<2>, const int32_t* p) {
    return _mm_cvtepi32_pd(_mm_loadl_epi64(reinterpret_cast<const __m128i*>(p)));
}
FUMARA_TARGET_AVX2 inline Lanes<4>::F64 loadWidened(Lanes<4>, const float* p) {
    return _mm256_cvtps_pd(_mm_loadu_ps(p));
}
FUMARA_TARGET_AVX2 inline Lanes<4>::F64 loadWidened(Lanes<4>, const int32_t* p) {
    return _mm256_cvtepi32_pd(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}
FUMARA_TARGET_AVX512 inline Lanes<8>::F64 loadWidened(Lanes<8>, const float* p) {
    return _mm512_cvtps_pd(_mm256_loadu_ps(p));
}
FUMARA_TARGET_AVX512 inline Lanes<8>::F64 loadWidened(Lanes<8>, const int32_t* p) {
    return _mm512_cvtepi32_pd(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}
#endif

// N floats held in a vector, widened to doubles: widened(Lanes<N>(), v).
template <int N>
FUMARA_ALWAYS_INLINE typename Lanes<N>::F64 widened(Lanes<N>, typename Lanes<N>::F32 v) {
    return Lanes<N>::widen(v);
}
#if defined(FUMARA_X86_KERNELS) && !defined(__clang__)
FUMARA_TARGET_AVX2 inline Lanes<4>::F64 widened(Lanes<4>, Lanes<4>::F32 v) {
    return _mm256_cvtps_pd(v);
}
FUMARA_TARGET_AVX512 inline Lanes<8>::F64 widened(Lanes<8>, Lanes<8>::F32 v) {
    return _mm512_cvtps_pd(v);
}
#endif

// The rest of forGroups from i: one group of N if it fits, then of N / 2 and so on while such a
// vector holds at least 16 bytes of Bytes-byte elements, then one by one at N = 1.
template <int N, int Bytes, class Group>
FUMARA_ALWAYS_INLINE void forTail(int32_t i, int32_t count, Group& group) {
    if constexpr (N >= 2 && N * Bytes >= 16) {
        if (i + N <= count) {
            group(Lanes<N>(), i);
            i += N;
        }
        forTail<N / 2, Bytes>(i, count, group);
    } else {
        for (; i < count; ++i) {
            group(Lanes<1>(), i);
        }
    }
}

// Runs group(Lanes<N>(), i) for whole groups of N samples from 0 to count, then the rest in
// narrower groups and one by one through the same code (forTail). Bytes: the size of the
// elements the group works on (8 for doubles, 4 for floats and 32-bit integers).
template <int N, int Bytes = 8, class Group>
FUMARA_ALWAYS_INLINE void forGroups(int32_t count, Group&& group) {
    int32_t i = 0;
    if constexpr (N > 1) {
        for (; i + N <= count; i += N) {
            group(Lanes<N>(), i);
        }
    }
    forTail<N / 2, Bytes>(i, count, group);
}

// A kernel is a struct K with `template <int W> static R run(...)`, always inlined, where W is
// the register width in bytes: 8 for the scalar level (one double), then 16, 32 and 64, and
// `static constexpr KernelGroup group`. It processes kDoubles<W> doubles or kFloats<W> floats
// per operation. dispatch<K>(...) runs the version compiled for its group's level, and
// dispatchFor<K>(count, ...) one whose vectors `count` samples fill.
template <int W> constexpr int kDoubles = W / 8;
template <int W> constexpr int kFloats = W == 8 ? 1 : W / 4;

template <class K, class... A> FUMARA_FLATTEN auto runScalar(A... a) {
    return K::template run<8>(a...);
}
#ifdef FUMARA_X86_KERNELS
template <class K, class... A> FUMARA_FLATTEN auto runSse2(A... a) {
    return K::template run<16>(a...);
}
template <class K, class... A> FUMARA_TARGET_AVX2 FUMARA_FLATTEN auto runAvx2(A... a) {
    return K::template run<32>(a...);
}
template <class K, class... A> FUMARA_TARGET_AVX512 FUMARA_FLATTEN auto runAvx512(A... a) {
    return K::template run<64>(a...);
}
#endif

// The level for `count` samples: the group's level, or the widest below it whose vectors the
// samples fill (a call too short for one vector of its level runs entirely in the tail).
template <class K> FUMARA_ALWAYS_INLINE VectorLevel levelFor(int32_t count) {
    const VectorLevel level = kernelLevel(K::group);
    if (count >= K::template lanes<64>) {
        return level;
    }
    const VectorLevel fits = count >= K::template lanes<32>   ? VectorLevel::Avx2
                             : count >= K::template lanes<16> ? VectorLevel::Sse2
                                                              : VectorLevel::Scalar;
    return static_cast<int>(fits) < static_cast<int>(level) ? fits : level;
}

template <class K, class... A> FUMARA_ALWAYS_INLINE auto dispatchAt(VectorLevel level, A... a) {
    switch (level) {
#ifdef FUMARA_X86_KERNELS
    case VectorLevel::Avx512:
        return runAvx512<K>(a...);
    case VectorLevel::Avx2:
        return runAvx2<K>(a...);
    case VectorLevel::Sse2:
        return runSse2<K>(a...);
#endif
    default:
        return runScalar<K>(a...);
    }
}

// Runs the version for the kernel group's level.
template <class K, class... A> FUMARA_ALWAYS_INLINE auto dispatch(A... a) {
    return dispatchAt<K>(kernelLevel(K::group), a...);
}

// The same for `count` samples, with narrower vectors when they do not fill the level's: for
// kernels that declare `template <int W> static constexpr int lanes`, their lanes at width W.
template <class K, class... A> FUMARA_ALWAYS_INLINE auto dispatchFor(int32_t count, A... a) {
    return dispatchAt<K>(levelFor<K>(count), a...);
}

} // namespace simd
