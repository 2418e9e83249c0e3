// The vector kernels of a delay line: the read, the write curve, the write spans, the output,
// the single-cell writes and the three filters run side by side.
#pragma once

#include "engine/Filter.h"

#include <cstdint>

// The data-parallel parts of a delay line's work over a run of samples, with the same double
// arithmetic, operation by operation, as the line's sample-by-sample loop (both use
// engine/DelayHead.h). Each is one template compiled for every vector width (engine/Simd.h)
// and picks the version for the processor it runs on; every version gives identical results.
// The entry points are inline (DelayKernelLoops.h), so that a call costs one call, to the
// version for the level.

// The read: quadratic interpolation through three cells for each sample.
//   u = (P[i] - k[i]) - offset
//   Y[i] = 0.5 * ((1 - u) * (2 - u) * v0[i] - (1 - u) * u * v2[i]) + u * (2 - u) * v1[i]
inline void delayRead(const float* P, const int32_t* k, const float* v0, const float* v1,
                      const float* v2, double offset, double* Y, int32_t count);

// The write curve's first value for each sample.
//   x = in[i] + kLineInputOffset, and xf[i + 2] = x rounded to float;
//   xp = xf[i + 1], xpp = xf[i] (xf[0] and xf[1] are the two inputs before the run);
//   D = (w[i] - lastP[i]) + offset, plus length if below offset; c = q + D;
//   W[i] = c * (r - D) * xp * a + b * (D * c * x - D * (r - D) * xpp)
struct WriteCurve {
    double q, r, a, b, offset, length;
};
inline void delayWrite(const float* in, const float* lastP, const int32_t* w, float* xf,
                       const WriteCurve& curve, double* W, int32_t count);

// For each sample i of a run, the first cell it writes and how many it writes (as
// delayhead::writeSpan): cells[i] is the head's cell at sample i and cells[-1] the one at the
// sample before the run.
inline void delaySpans(const int32_t* cells, int32_t length, int32_t* writes, int32_t* counts,
                       int32_t count);

// The output of each sample from its read Y: out[i] = float(Y[i]) when `plain`, else
// float(dry * in[i] + wet * float(Y[i])).
inline void delayOutput(const double* Y, const float* in, float* out, double dry, double wet,
                        bool plain, int32_t count);

// The writes of the samples that write one cell: cell[w] = float(cell[w] * feedback + W), or
// float(W) when `plain`, keeping the mirror of cells 0 and 1 past the end. Samples that write
// several cells are left to the caller. No cell may be written twice in one run, and every
// sample writes at least one cell (the head runs at more than one cell per sample).
inline void delayPutSingles(float* cell, int32_t length, const int32_t* writes,
                            const int32_t* counts, const double* W, double feedback, bool plain,
                            int32_t count);

// The three filters around a comb line run side by side in the lanes of one vector, so that
// their recursions take the time of one: the input filter (mixing as given), the echo filter
// on the read and the output filter on the result. For samples `from` to `to` - 1:
//   inputs[i] = input(in[i]); h = echo(float(Y[i]));
//   results[i] = float(dry * inputs[i] + wet * float(Y[i] - kEchoBlend * h));
//   out[i] = output(results[i]).
// The output filter's lane runs kTrioLag samples behind, far enough that its input is ready
// when the lane needs it; it fills while the other lanes start and drains after they end (a
// lane without a sample keeps its memory). The same arithmetic, operation by operation, as the
// filters' own loops.
constexpr int32_t kTrioLag = 4;
struct FilterTrio {
    Filter::Settled input, echo, output;
};
inline void delayFilterTrio(FilterTrio& trio, const float* in, const double* Y, float* inputs,
                            float* results, float* out, double dry, double wet, int32_t from,
                            int32_t to);

#include "engine/DelayKernelLoops.h"
