// The delay line's kernels, each one template over a vector width, and their entry points,
// which run the version for the delay line's vector level. Included by DelayKernels.h: the
// entry points are inline, so that a call costs one call, to the version for the level.
#pragma once

#include "engine/DelayHead.h"
#include "engine/Simd.h"
#include "engine/Tuning.h"

namespace delaykernels {

struct Read {
    static constexpr KernelGroup group = KernelGroup::DelayLine;
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
    static constexpr KernelGroup group = KernelGroup::DelayLine;
    template <int W>
    static FUMARA_ALWAYS_INLINE void run(const float* in, const float* lastP, const int32_t* w,
                                         float* xf, WriteCurve k, double* curve, int32_t count) {
        constexpr int N = simd::kDoubles<W>;
        // The rounded inputs first: each sample's xp and xpp are earlier samples' x.
        simd::forGroups<N>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            L::storeFloats(xf + i + 2,
                           L::narrow(simd::loadWidened(lanes, in + i) + tuning::kLineInputOffset));
        });
        simd::forGroups<N>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            const auto x = simd::loadWidened(lanes, in + i) + tuning::kLineInputOffset;
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

struct Spans {
    static constexpr KernelGroup group = KernelGroup::DelayLine;
    template <int W>
    static FUMARA_ALWAYS_INLINE void run(const int32_t* cells, int32_t length, int32_t* writes,
                                         int32_t* counts, int32_t count) {
        simd::forGroups<simd::kFloats<W>, 4>(count,
                                             [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
                                                 using L = decltype(lanes);
                                                 using I = typename L::I32;
                                                 const I previous = L::loadInts(cells + i - 1);
                                                 const I cell = L::loadInts(cells + i);
                                                 I first = previous + 1;
                                                 first = first >= length ? first - length : first;
                                                 I n = cell - first + 1;
                                                 n = n < 0 ? n + length : n;
                                                 L::storeInts(writes + i, first);
                                                 L::storeInts(counts + i, n);
                                             });
    }
};

struct Output {
    static constexpr KernelGroup group = KernelGroup::DelayLine;
    template <int W>
    static FUMARA_ALWAYS_INLINE void run(const double* Y, const float* in, float* out, double dry,
                                         double wet, bool plain, int32_t count) {
        simd::forGroups<simd::kDoubles<W>>(count, [&](auto lanes, int32_t i) FUMARA_INLINE_LAMBDA {
            using L = decltype(lanes);
            const auto y = L::narrow(L::loadDoubles(Y + i));
            if (plain) {
                L::storeFloats(out + i, y);
            } else {
                L::storeFloats(out + i, L::narrow(dry * simd::loadWidened(lanes, in + i) +
                                                  wet * simd::widened(lanes, y)));
            }
        });
    }
};

struct PutSingles {
    static constexpr KernelGroup group = KernelGroup::DelayLine;
    template <int W>
    static FUMARA_ALWAYS_INLINE void run(float* cell, int32_t length, const int32_t* writes,
                                         const int32_t* counts, const double* curve,
                                         double feedback, bool plain, int32_t count) {
        constexpr int N = simd::kDoubles<W>;
        auto one = [&](int32_t i) FUMARA_INLINE_LAMBDA {
            if (counts[i] != 1) {
                return;
            }
            const int32_t w = writes[i];
            const float value = plain ? static_cast<float>(curve[i])
                                      : static_cast<float>(cell[w] * feedback + curve[i]);
            cell[w] = value;
            if (w < 2) {
                cell[w + length] = value;
            }
        };
        int32_t i = 0;
        if constexpr (N > 1) {
            using L = simd::Lanes<N>;
            for (; i + N <= count; i += N) {
                // N samples that write one cell each write N consecutive cells: one vector,
                // unless they wrap around or touch the mirrored cells. A running head writes
                // at least one cell per sample, so N samples that end N - 1 cells after the
                // first one's cell, writing one there, wrote one cell each.
                const int32_t w = writes[i];
                const bool consecutive = w >= 2 && w + N <= length && counts[i + N - 1] == 1 &&
                                         writes[i + N - 1] == w + N - 1;
                if (!consecutive) {
                    for (int32_t j = i; j < i + N; ++j) {
                        one(j);
                    }
                    continue;
                }
                const auto values = L::loadDoubles(curve + i);
                if (plain) {
                    L::storeFloats(cell + w, L::narrow(values));
                } else {
                    L::storeFloats(cell + w,
                                   L::narrow(simd::loadWidened(L(), cell + w) * feedback + values));
                }
            }
        }
        for (; i < count; ++i) {
            one(i);
        }
    }
};

struct FilterTrioLoop {
    static constexpr KernelGroup group = KernelGroup::Filters;
    using L = simd::Lanes<4>;
    using V = L::F64;
    using Mask = decltype(V{} < V{});

    // The filters' settings and memory in the lanes of vectors: input, echo, output, unused.
    struct Lanes {
        V g, c0, c1, c2, c3, m, keep;
        Mask complementary, mixing;
        V s1, s2;
    };

    // One step of the three filters. Front: the input and echo lanes have a sample (i < to);
    // Back: the output lane has one (i >= from + kTrioLag). A lane without a sample keeps its
    // memory and stores nothing.
    template <int W, bool Front, bool Back>
    static FUMARA_ALWAYS_INLINE void step(Lanes& f, const float* in, const double* Y, float* inputs,
                                          float* results, float* out, double dry, double wet,
                                          int32_t i) {
        const double read = Front ? Y[i] : 0.0;
        const V x = V{Front ? in[i] : 0.0f, static_cast<float>(read),
                      Back ? results[i - kTrioLag] : 0.0f, 0.0f} +
                    tuning::kFilterInputOffset;
        const V y0 = f.g * x;
        const V w = y0 - f.c0 * f.s1 - f.c1 * f.s2;
        V y = w + f.c2 * f.s1 + f.c3 * f.s2;
        V s1;
        if constexpr (W >= 32) {
            s1 = simd::widened(L(), L::narrow(w));
        } else {
            s1 = L::widen(L::narrow(w));
        }
        if constexpr (Front && Back) {
            f.s2 = f.s1;
            f.s1 = s1;
        } else {
            const Mask active{Front ? -1 : 0, Front ? -1 : 0, Back ? -1 : 0, 0};
            f.s2 = active ? f.s1 : f.s2;
            f.s1 = active ? s1 : f.s1;
        }
        y = f.complementary ? x - y : y;
        y = f.mixing ? (y + f.m * x) * f.keep : y;
        const L::F32 filtered = L::narrow(y);
        if constexpr (Front) {
            const float value = filtered[0];
            inputs[i] = value;
            float result = static_cast<float>(read - tuning::kEchoBlend * filtered[1]);
            result = static_cast<float>(dry * value + wet * result);
            results[i] = result;
        }
        if constexpr (Back) {
            out[i - kTrioLag] = filtered[2];
        }
    }

    template <int W>
    static FUMARA_ALWAYS_INLINE void run(FilterTrio* trio, const float* in, const double* Y,
                                         float* inputs, float* results, float* out, double dry,
                                         double wet, int32_t from, int32_t to) {
        const Filter::Settled& a = trio->input;
        const Filter::Settled& e = trio->echo;
        const Filter::Settled& o = trio->output;
        Lanes f{V{a.g, e.g, o.g, 0.0},
                V{a.c0, e.c0, o.c0, 0.0},
                V{a.c1, e.c1, o.c1, 0.0},
                V{a.c2, e.c2, o.c2, 0.0},
                V{a.c3, e.c3, o.c3, 0.0},
                V{a.mix, e.mix, o.mix, 0.0},
                V{a.keep, e.keep, o.keep, 0.0},
                Mask{-a.complementary, -e.complementary, -o.complementary, 0},
                Mask{-a.mixing, -e.mixing, -o.mixing, 0},
                V{a.s1, e.s1, o.s1, 0.0},
                V{a.s2, e.s2, o.s2, 0.0}};
        // The output lane runs kTrioLag steps behind: it fills while the others start, and
        // drains after they are done.
        const int32_t behind = from + kTrioLag;
        const int32_t fillEnd = behind < to ? behind : to;
        for (int32_t i = from; i < fillEnd; ++i) {
            step<W, true, false>(f, in, Y, inputs, results, out, dry, wet, i);
        }
        for (int32_t i = behind; i < to; ++i) {
            step<W, true, true>(f, in, Y, inputs, results, out, dry, wet, i);
        }
        for (int32_t i = behind > to ? behind : to; i < to + kTrioLag; ++i) {
            step<W, false, true>(f, in, Y, inputs, results, out, dry, wet, i);
        }
        trio->input.s1 = static_cast<float>(f.s1[0]);
        trio->echo.s1 = static_cast<float>(f.s1[1]);
        trio->output.s1 = static_cast<float>(f.s1[2]);
        trio->input.s2 = static_cast<float>(f.s2[0]);
        trio->echo.s2 = static_cast<float>(f.s2[1]);
        trio->output.s2 = static_cast<float>(f.s2[2]);
    }
};

} // namespace delaykernels

FUMARA_ALWAYS_INLINE void delayFilterTrio(FilterTrio& trio, const float* in, const double* Y,
                                          float* inputs, float* results, float* out, double dry,
                                          double wet, int32_t from, int32_t to) {
    simd::dispatch<delaykernels::FilterTrioLoop>(&trio, in, Y, inputs, results, out, dry, wet, from,
                                                 to);
}

FUMARA_ALWAYS_INLINE void delaySpans(const int32_t* cells, int32_t length, int32_t* writes,
                                     int32_t* counts, int32_t count) {
    simd::dispatch<delaykernels::Spans>(cells, length, writes, counts, count);
}

FUMARA_ALWAYS_INLINE void delayOutput(const double* Y, const float* in, float* out, double dry,
                                      double wet, bool plain, int32_t count) {
    simd::dispatch<delaykernels::Output>(Y, in, out, dry, wet, plain, count);
}

FUMARA_ALWAYS_INLINE void delayPutSingles(float* cell, int32_t length, const int32_t* writes,
                                          const int32_t* counts, const double* W, double feedback,
                                          bool plain, int32_t count) {
    simd::dispatch<delaykernels::PutSingles>(cell, length, writes, counts, W, feedback, plain,
                                             count);
}

FUMARA_ALWAYS_INLINE void delayRead(const float* P, const int32_t* k, const float* v0,
                                    const float* v1, const float* v2, double offset, double* Y,
                                    int32_t count) {
    simd::dispatch<delaykernels::Read>(P, k, v0, v1, v2, offset, Y, count);
}

FUMARA_ALWAYS_INLINE void delayWrite(const float* in, const float* lastP, const int32_t* w,
                                     float* xf, const WriteCurve& curve, double* W, int32_t count) {
    simd::dispatch<delaykernels::Write>(in, lastP, w, xf, curve, W, count);
}
