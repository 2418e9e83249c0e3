#pragma once

// Which vector instructions the engine's data-parallel kernels use. All levels give identical
// results; the highest the processor supports is chosen at start-up. Tests and benchmarks can
// cap it to exercise the lower levels.
enum class VectorLevel : int { Scalar = 0, Sse2 = 1, Avx = 2 };

// The highest level this processor and build support.
VectorLevel supportedVectorLevel();
// The level the kernels use now.
VectorLevel activeVectorLevel();
// Uses at most `level` from now on (never more than supported). Not for the audio thread.
void limitVectorLevel(VectorLevel level);
