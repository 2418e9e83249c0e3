// The vector kernels of a reverb block's first and last steps: the mono sum of the inputs and
// the output mix.
#pragma once

#include <cstdint>

// The loops at both ends of a block, as vector kernels (engine/Simd.h) that give the same
// result at every vector level.

// mono[i] = left[i] + right[i] of the inputs as the reverb sees them: non-finite samples are 0,
// the others limited to +-limit. Answers whether the block holds signal: some such left
// sample above 0.00001 or right sample above 0.0001 in magnitude.
bool monoSum(const float* left, const float* right, float* mono, int32_t count, float limit);
// The same one sample at a time, for blocks of a few samples (no vector level to choose).
bool monoSumOfFew(const float* left, const float* right, float* mono, int32_t count, float limit);

// out = dry * in + (wet * reverb) * 0.7 for each channel, in double precision.
void outputMix(const float* inLeft, const float* inRight, const float* wetLeft,
               const float* wetRight, float* outLeft, float* outRight, double dry, double wet,
               int32_t count);
// The same one sample at a time, for blocks of a few samples.
void outputMixOfFew(const float* inLeft, const float* inRight, const float* wetLeft,
                    const float* wetRight, float* outLeft, float* outRight, double dry, double wet,
                    int32_t count);
