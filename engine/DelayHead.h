// The arithmetic of a delay line's heads, written once for the line's loops and its vector
// kernels: how the read head advances, which cells each sample writes, the read interpolation
// and the write curve. The templates take doubles or vectors of doubles (engine/Simd.h) and
// give the same result in every lane as the scalar expression.
#pragma once

#include "engine/Simd.h"

#include <cstdint>

namespace delayhead {

// A delay line as its loops see it, kept from call to call: what stays fixed during a call
// (its cells, the step and the write curve's coefficients, the gains) and the heads' running
// state. A loop copies the running state into a local, so that it stays in registers, and
// hands it back when done; it is kept small and copied field by field, as a later call loads
// fields that this one stored. Values the line computes as floats are held as floats and
// widened where they are used (a double holding a float-rounded value invites the compiler to
// drop the rounding).
struct LineSetup {
    float* cell = nullptr;
    int32_t length = 0;
    float lengthF = 0.0f;
    float step = 0.0f;        // r: cells the head advances per sample
    double stepD = 0.0;       // r as a double
    float a = 0.0f, b = 0.0f; // the write curve's coefficients (coefA, coefB)
    double offset = 0.0;      // the read offset
    double feedback = 0.0;
    double wet = 0.0; // mix
    double dry = 1.0; // 1 - mix
};
struct Heads {
    float P = 0.0f;     // the read head
    int32_t last = 0;   // the head's cell at the previous sample
    float lastP = 0.0f; // the head at the previous sample
    float xp = 0.0f;    // the last input, with its offset
    float xpp = 0.0f;   // the input before
    float q = 1.0f;     // the step of the previous sample
};

// The read head one sample later: P + r in float, brought back below the length.
FUMARA_ALWAYS_INLINE float advance(float P, float r, float length) {
    float next = P + r;
    while (next >= length) {
        next -= length;
    }
    return next;
}

// The cells one sample writes: those after `lastCell` (the head's cell at the previous sample)
// up to and including `cell`, the head's cell now, counted around the ring.
struct WriteSpan {
    int32_t first;
    int32_t count;
};
FUMARA_ALWAYS_INLINE WriteSpan writeSpan(int32_t lastCell, int32_t cell, int32_t length) {
    int32_t first = lastCell + 1;
    if (first >= length) {
        first -= length;
    }
    int32_t count = cell - first + 1;
    if (count < 0) {
        count += length;
    }
    return {first, count};
}

// D: where the write curve starts, as the distance of the first written cell from the previous
// head position, plus the read offset, taken once around the ring when it falls below it.
template <class V> FUMARA_ALWAYS_INLINE V curveStart(V first, V lastPos, V offset, V length) {
    const V D = first - lastPos + offset;
    return D < offset ? D + length : D;
}

// Quadratic interpolation through three consecutive cells v0, v1, v2 at offset u from v0.
template <class V> FUMARA_ALWAYS_INLINE V interpolate(V u, V v0, V v1, V v2) {
    return 0.5 * ((1.0 - u) * (2.0 - u) * v0 - (1.0 - u) * u * v2) + u * (2.0 - u) * v1;
}

// The write curve: the quadratic through the inputs xpp, xp and x placed r cells apart (q
// cells between the first two), evaluated at the written cells. Its value at the first cell,
// D past the previous head position:
template <class V> FUMARA_ALWAYS_INLINE V curveValue(V D, V q, V r, V a, V b, V x, V xp, V xpp) {
    const V c = q + D;
    return c * (r - D) * xp * a + b * (D * c * x - D * (r - D) * xpp);
}
// ... its first difference from one cell to the next, and its second difference.
FUMARA_ALWAYS_INLINE float curveSlope(double D, double q, double r, double a, double b, double x,
                                      double xp, double xpp) {
    const double c = q + D;
    return static_cast<float>(b * (x * (D + c + 1.0) + xpp * (2.0 * D - r + 1.0)) +
                              xp * a * (r - D - c - 1.0));
}
FUMARA_ALWAYS_INLINE float curveBend(double a, double b, double x, double xp, double xpp) {
    return static_cast<float>(b * (2.0 * x + 2.0 * xpp) - 2.0 * xp * a);
}

} // namespace delayhead
