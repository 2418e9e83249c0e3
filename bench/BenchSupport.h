// What the effect benchmarks share: a host callback that only answers the
// interface version, and one second of stereo noise at 44.1 kHz to loop over.
#pragma once

#include "host/AEffect.h"

#include <cstdint>
#include <vector>

namespace bench {

constexpr int32_t kRate = 44100;

inline intptr_t VSTCALLBACK host(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// One second of noise per channel, looped by the benchmarks.
struct Input {
    Input() : left(kRate), right(kRate) {
        uint32_t s = 4242;
        for (int32_t i = 0; i < kRate; ++i) {
            s = s * 1664525u + 1013904223u;
            left[size_t(i)] = float(int32_t(s >> 8) - (1 << 23)) / float(1 << 24);
            s = s * 1664525u + 1013904223u;
            right[size_t(i)] = float(int32_t(s >> 8) - (1 << 23)) / float(1 << 24);
        }
    }
    std::vector<float> left, right;
};

inline const Input& input() {
    static const Input in;
    return in;
}

} // namespace bench
