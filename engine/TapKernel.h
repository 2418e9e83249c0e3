// The inner loop of the reflections: every tap's noise-modulated samples summed into the wet
// signal, as one vector kernel.
#pragma once

#include <cstdint>

// One contiguous run per tap: where its samples start in `source` and its noise in `noise`,
// and its gain.
struct TapRuns {
    static constexpr int kTaps = 32;
    const float* source;
    const float* noise;
    int32_t sourceAt[kTaps];
    int32_t noiseAt[kTaps];
    const double* gain;
};

// wet[i] = 0, then for each tap j in order: wet[i] += (source_j[i] * gain_j) * noise_j[i], each
// sum rounded to float as it is stored, for `count` samples. The product is formed in double
// precision (gain * noise is exact there, so the order of the two multiplications does not
// change the result). Picks the version for the reflections' vector level (VectorLevel.h);
// every version gives identical results.
void accumulateTaps(float* wet, int32_t count, const TapRuns& taps);
