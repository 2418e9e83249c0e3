// The inner loop of the reflections: one tap's noise-modulated samples added to the wet signal.
#pragma once

#include <cstdint>

// wet[i] += (source[i] * gain) * noise[i] for `count` samples, each sum rounded to float as
// it is stored. The product is formed in double precision (gain * noise is exact there, so
// the order of the two multiplications does not change the result). Picks a vector version
// for the processor it runs on (VectorLevel.h); every version gives identical results.
void accumulateTap(float* wet, const float* source, const float* noise, double gain, int32_t count);
