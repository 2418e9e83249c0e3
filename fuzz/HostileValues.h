// Values a careless or damaged host hands a plug-in, drawn from the fuzz input:
// boundary and out-of-range numbers for indices, values and options, special
// floats for parameters and samples, and the lengths of processing blocks.
#pragma once

#include <cfloat>
#include <cstdint>
#include <fuzzer/FuzzedDataProvider.h>
#include <limits>

namespace fuzz {

// An index or 32-bit number: mostly small and near the edges of the tables
// (32 parameters, 128 programs), sometimes anything at all.
inline int32_t hostileInt(FuzzedDataProvider& in) {
    static constexpr int32_t kEdges[] = {0,   1,   2,     -1,     7,      8,         9,
                                         31,  32,  33,    127,    128,    129,       255,
                                         256, 512, 20000, 20001,  -129,   INT32_MIN, INT32_MAX,
                                         -2,  23,  24,    0x7FFF, 0x8000, 1 << 20,   -(1 << 20)};
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return in.ConsumeIntegral<int32_t>();
    case 1:
        return in.ConsumeIntegralInRange<int32_t>(-2, 140);
    default:
        return in.PickValueInArray(kEdges);
    }
}

// A pointer-sized number for the dispatcher's value argument.
inline intptr_t hostileValue(FuzzedDataProvider& in) {
    static constexpr intptr_t kEdges[] = {
        0,
        1,
        -1,
        INTPTR_MAX,
        INTPTR_MIN,
        static_cast<intptr_t>(INT32_MAX),
        static_cast<intptr_t>(INT32_MIN),
        static_cast<intptr_t>(INT32_MAX) + 1,
        static_cast<intptr_t>(INT32_MIN) - 1,
        static_cast<intptr_t>(UINT32_MAX),
    };
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return in.ConsumeIntegral<intptr_t>();
    case 1:
        return in.PickValueInArray(kEdges);
    default:
        return hostileInt(in);
    }
}

// A float: parameter values just inside and outside 0..1, sample rates, and
// the values no host should send (NaN, infinities, denormals, 1e30, FLT_MAX).
inline float hostileFloat(FuzzedDataProvider& in) {
    static constexpr float kInf = std::numeric_limits<float>::infinity();
    static const float kEdges[] = {0.0f,
                                   -0.0f,
                                   1.0f,
                                   0.5f,
                                   0.25f,
                                   0.999f,
                                   1.0000001f, // 1 + 1 ulp
                                   -1.4e-45f,  // the smallest negative denormal
                                   1.4e-45f,
                                   FLT_MIN,
                                   5.0f,
                                   -0.5f,
                                   1e30f,
                                   -1e30f,
                                   FLT_MAX,
                                   -FLT_MAX,
                                   kInf,
                                   -kInf,
                                   std::numeric_limits<float>::quiet_NaN(),
                                   -std::numeric_limits<float>::quiet_NaN(),
                                   8000.0f,
                                   22050.5f,
                                   44100.0f,
                                   48000.0f,
                                   96000.0f,
                                   192000.0f,
                                   384000.0f,
                                   1e9f,
                                   -44100.0f};
    switch (in.ConsumeIntegralInRange<int>(0, 3)) {
    case 0:
        return in.ConsumeFloatingPoint<float>();
    case 1:
        return in.ConsumeProbability<float>();
    default:
        return in.PickValueInArray(kEdges);
    }
}

// A frame count: mostly host-sized blocks, sometimes long ones up to 20000,
// rarely a negative count.
inline int32_t blockLength(FuzzedDataProvider& in) {
    const int kind = in.ConsumeIntegralInRange<int>(0, 255);
    if (kind == 0) {
        return in.PickValueInArray({-1, INT32_MIN, -20000});
    }
    if (kind == 1) {
        return in.ConsumeIntegralInRange<int32_t>(4097, 20000);
    }
    if (kind < 18) {
        return in.ConsumeIntegralInRange<int32_t>(257, 4096);
    }
    return in.ConsumeIntegralInRange<int32_t>(0, 256);
}

} // namespace fuzz
