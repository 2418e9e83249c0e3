// A thin layer over the compiler's vector extensions, so that each data-parallel kernel of the
// engine is written once, as a template over a lane count, and compiled for every vector
// width: Lanes<N> names the vectors of N doubles, N floats and N 32-bit integers and moves
// them to and from memory. Lanes<1> is plain scalars, so the same template also gives the
// portable version. Arithmetic on these types is the ordinary operators, lane by lane, with
// the same rounding as the scalar expressions.
#pragma once

#include <cstdint>
#include <cstring>

#if defined(__GNUC__)
#define FUMARA_VECTORS 1
#define FUMARA_ALWAYS_INLINE inline __attribute__((always_inline))
// Kernels pass wide vectors only between functions inlined into one target-specific caller,
// so the calling convention that the compiler warns about never applies.
#pragma GCC diagnostic ignored "-Wpsabi"
#else
#define FUMARA_ALWAYS_INLINE inline
#endif

// Function attributes that compile one function for a wider instruction set than the rest of
// the module, which keeps running on processors without it.
#if defined(FUMARA_VECTORS) && (defined(__x86_64__) || defined(__i386__))
#define FUMARA_X86_KERNELS 1
#define FUMARA_TARGET_AVX __attribute__((target("avx")))
#define FUMARA_TARGET_AVX2 __attribute__((target("avx2")))
#define FUMARA_TARGET_AVX512 __attribute__((target("avx512f,avx512vl,avx512dq,avx512bw")))
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
    static FUMARA_ALWAYS_INLINE F64 loadWidened(const float* p) { return widen(loadFloats(p)); }
    static FUMARA_ALWAYS_INLINE F64 loadWidened(const int32_t* p) { return widen(loadInts(p)); }

    static FUMARA_ALWAYS_INLINE void storeDoubles(double* p, F64 v) {
        std::memcpy(p, &v, sizeof v);
    }
    static FUMARA_ALWAYS_INLINE void storeFloats(float* p, F32 v) { std::memcpy(p, &v, sizeof v); }
    static FUMARA_ALWAYS_INLINE void storeInts(int32_t* p, I32 v) { std::memcpy(p, &v, sizeof v); }
};

} // namespace simd
