// What a delay line's loops share: the line as one call sees it (cells, step, write-curve
// coefficients, gains, the heads' running state), the cell writes along a curve, the filters of
// the chain as a loop runs them, and one sample start to end. Private to Delay.cpp and
// DelayStepper.h.
#pragma once

#include "engine/Delay.h"
#include "engine/DelayHead.h"
#include "engine/Simd.h"
#include "engine/Tuning.h"

#include <cstdint>
#include <cstring>

namespace delayloop {

// Which work a loop does, fixed at compile time: the echo filter, the filters before and after
// the line, and the plain case (no feedback, mix 1, no filters), where a written cell is just
// the new value and the output just the delayed one (both exact for finite signals).
template <bool EchoOn, bool PlainOn, bool PreOn, bool PostOn> struct Flavour {
    static constexpr bool echo = EchoOn;
    static constexpr bool plain = PlainOn;
    static constexpr bool pre = PreOn;
    static constexpr bool post = PostOn;
    static constexpr bool filtered = EchoOn || PreOn || PostOn;
};
// A number for a flavour's four choices.
constexpr int flavourCode(bool echo, bool plain, bool pre, bool post) {
    return (echo ? 8 : 0) | (plain ? 4 : 0) | (pre ? 2 : 0) | (post ? 1 : 0);
}
template <class F> constexpr int flavourCode() {
    return flavourCode(F::echo, F::plain, F::pre, F::post);
}
// The flavour of a code, for a switch over the codes a line answers.
template <int Code>
using FlavourOf = Flavour<(Code & 8) != 0, (Code & 4) != 0, (Code & 2) != 0, (Code & 1) != 0>;

using delayhead::Heads;
using delayhead::LineSetup;

// Zero or denormal (all float exponent bits clear) write increments are flushed to 0.
FUMARA_ALWAYS_INLINE float flushTiny(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return (bits & 0x7f800000u) == 0 ? 0.0f : value;
}

// Writes one cell, keeping the mirror of cells 0 and 1 past the end.
FUMARA_ALWAYS_INLINE void put(float* cell, int32_t length, int32_t j, float value) {
    cell[j] = value;
    if (j < 2) {
        cell[j + length] = value;
    }
}

// One written cell: the curve's value, plus feedback times the cell's content.
template <class F>
FUMARA_ALWAYS_INLINE void putCell(const LineSetup& line, int32_t j, double value) {
    put(line.cell, line.length, j,
        F::plain ? static_cast<float>(value)
                 : static_cast<float>(line.cell[j] * line.feedback + value));
}

// Writes n cells from `from` on along the curve W, dW, ddW, each through store(cell, W): at
// most two runs, wrapping once at the length, each run starting with tiny increments flushed.
template <class Store>
FUMARA_ALWAYS_INLINE void curveRuns(int32_t length, int32_t from, int32_t n, double W, float dW,
                                    float ddW, Store&& store) {
    int32_t j = from;
    int32_t remaining = n;
    while (remaining > 0) {
        int32_t run = remaining;
        if (j + run > length) {
            run = length - j;
        }
        dW = flushTiny(dW);
        ddW = flushTiny(ddW);
        for (int32_t m = 0; m < run; ++m, ++j) {
            store(j, W);
            W = W + dW;
            dW = dW + ddW;
        }
        remaining -= run;
        j = 0;
    }
}

// A filter stepped through Filter::step, with its change checks, until it settles.
struct Checked {
    Filter* filter;
    bool mixing;
    bool settled = false;
    float operator()(float value) { return filter->step(value, mixing, settled); }
};

// A settled filter held in registers, or nothing for a filter the loop does not use.
template <bool Use> struct MaybeHeld {
    MaybeHeld(Filter* filter, bool mixing) : held(*filter, mixing) {}
    float operator()(float value) { return held(value); }
    void release() { held.release(); }
    Filter::Held held;
};
template <> struct MaybeHeld<false> {
    MaybeHeld(Filter*, bool) {}
    float operator()(float value) { return value; }
    void release() {}
};

// The chain's filters and the echo filter as a loop runs them: with change checks until all of
// them have settled (nothing can change during a call, so once settled they stay so), then,
// when each has one section, held in registers.
template <class F> class LoopFilters {
public:
    LoopFilters(const Delay::Chain& chain, Filter& echoFilter)
        : chain(chain), echoFilter(echoFilter), pre{chain.inputFilter, chain.inputMixing,
                                                    F::pre && chain.inputFilter->isSettled()},
          echo{&echoFilter, false, F::echo && echoFilter.isSettled()},
          post{chain.outputFilter, false, F::post && chain.outputFilter->isSettled()},
          singleSections((!F::pre || chain.inputFilter->getSections() == 1) &&
                         (!F::echo || echoFilter.getSections() == 1) &&
                         (!F::post || chain.outputFilter->getSections() == 1)) {}

    bool settled() const {
        return (!F::pre || pre.settled) && (!F::echo || echo.settled) && (!F::post || post.settled);
    }

    // Runs body(i, pre, echo, post) for i in [from, to), each filter a callable on one value.
    template <class Body> FUMARA_ALWAYS_INLINE void run(int32_t from, int32_t to, Body&& body) {
        int32_t i = from;
        if (F::filtered) {
            for (; i < to && !settled(); ++i) {
                body(i, pre, echo, post);
            }
            if (i < to && !singleSections) {
                for (; i < to; ++i) {
                    body(i, pre, echo, post);
                }
            }
        }
        if (i < to) {
            MaybeHeld<F::pre> heldPre(chain.inputFilter, chain.inputMixing);
            MaybeHeld<F::echo> heldEcho(&echoFilter, false);
            MaybeHeld<F::post> heldPost(chain.outputFilter, false);
            for (; i < to; ++i) {
                body(i, heldPre, heldEcho, heldPost);
            }
            heldPre.release();
            heldEcho.release();
            heldPost.release();
        }
    }

    const Delay::Chain& chain;
    Filter& echoFilter;
    Checked pre, echo, post;
    const bool singleSections;
};

// The echo filter's share taken from a value read: Y - kEchoBlend * echo(float(Y)).
template <class Echo> FUMARA_ALWAYS_INLINE double echoed(double Y, Echo& echo) {
    return Y - tuning::kEchoBlend * echo(static_cast<float>(Y));
}

// One sample through the line, start to end: the input filter, the read, the echo filter, the
// write curve over the cells the head passed, the head's step, the mix and the output filter.
template <class F, class Pre, class Echo, class Post>
FUMARA_ALWAYS_INLINE void stepSample(const LineSetup& line, Heads& h, const float* input,
                                     float* output, int32_t i, Pre& pre, Echo& echo, Post& post) {
    float in = input[i];
    if (F::pre) {
        in = pre(in);
    }
    const double x = static_cast<double>(in) + tuning::kLineInputOffset;

    // Read cells k, k + 1 and k + 2 around the head (consecutive thanks to the mirror).
    const int32_t k = static_cast<int32_t>(h.P);
    const double Pd = h.P;
    // The fraction of P plus 0.75 (P - k is never negative, so u is never below 0.75).
    const double u = Pd - k - line.offset;

    // Cells the head has passed since the previous sample.
    const delayhead::WriteSpan span = delayhead::writeSpan(h.last, k, line.length);

    double Y = delayhead::interpolate<double>(u, line.cell[k], line.cell[k + 1], line.cell[k + 2]);
    if (F::echo) {
        Y = echoed(Y, echo);
    }
    float out = static_cast<float>(Y);

    if (span.count > 0) {
        const double a = line.a, b = line.b, q = h.q, xp = h.xp, xpp = h.xpp;
        const double D =
            delayhead::curveStart<double>(span.first, h.lastP, line.offset, line.length);
        const double W = delayhead::curveValue(D, q, line.stepD, a, b, x, xp, xpp);
        if (span.count == 1) {
            putCell<F>(line, span.first, W);
        } else {
            curveRuns(line.length, span.first, span.count, W,
                      delayhead::curveSlope(D, q, line.stepD, a, b, x, xp, xpp),
                      delayhead::curveBend(a, b, x, xp, xpp),
                      [&line](int32_t j, double value)
                          FUMARA_INLINE_LAMBDA { putCell<F>(line, j, value); });
        }
    }

    h.last = k;
    h.xpp = h.xp;
    h.xp = static_cast<float>(x);
    h.lastP = h.P;
    h.q = line.step;
    h.P = delayhead::advance(h.P, line.step, line.lengthF);

    if (!F::plain) {
        out = static_cast<float>(line.dry * in + line.wet * out);
    }
    if (F::post) {
        out = post(out);
    }
    output[i] = out;
}

} // namespace delayloop
