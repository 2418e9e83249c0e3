#pragma once

#include <cstdint>

// The data-parallel parts of a delay line's work over a run of samples, with the same double
// arithmetic, operation by operation, as the line's sample-by-sample loop (both use
// engine/DelayHead.h). Each is one template compiled for every vector width and picks the
// version for the processor it runs on; every version gives identical results. In the engine
// benchmark (512-frame blocks, room size 1, one run) they take the whole engine from 73 ns per
// stereo frame with scalar code to 51 with SSE2 and 38 with AVX.

// The read: quadratic interpolation through three cells for each sample.
//   u = (P[i] - k[i]) - offset
//   Y[i] = 0.5 * ((1 - u) * (2 - u) * v0[i] - (1 - u) * u * v2[i]) + u * (2 - u) * v1[i]
void delayRead(const float* P, const int32_t* k, const float* v0, const float* v1, const float* v2,
               double offset, double* Y, int32_t count);

// The write curve's first value for each sample.
//   x = in[i] + 1e-10, and xf[i + 2] = x rounded to float;
//   xp = xf[i + 1], xpp = xf[i] (xf[0] and xf[1] are the two inputs before the run);
//   D = (w[i] - lastP[i]) + offset, plus length if below offset; c = q + D;
//   W[i] = c * (r - D) * xp * a + b * (D * c * x - D * (r - D) * xpp)
struct WriteCurve {
    double q, r, a, b, offset, length;
};
void delayWrite(const float* in, const float* lastP, const int32_t* w, float* xf,
                const WriteCurve& curve, double* W, int32_t count);
