// The vector instruction levels of the engine's kernels: the one the processor supports and
// the one in use.
#pragma once

// Which vector instructions the engine's data-parallel kernels use. All levels give identical
// results; the highest the processor supports is chosen at start-up. Tests and benchmarks can
// cap it to exercise the lower levels. The module itself needs no more than SSE2 (x86) or
// nothing (other processors): the wider kernels are compiled for their instruction sets
// function by function and only called when the processor has them.
enum class VectorLevel : int {
    Scalar = 0, // one double per operation
    Sse2 = 1,   // 128-bit vectors
    Avx2 = 2,   // 256-bit vectors
    Avx512 = 3, // 512-bit vectors (AVX-512 F, VL, DQ and BW)
};

// The highest level this processor and build support.
VectorLevel supportedVectorLevel();
// The level the kernels use now.
VectorLevel activeVectorLevel();
// Uses at most `level` from now on (never more than supported). Not for the audio thread.
void limitVectorLevel(VectorLevel level);
