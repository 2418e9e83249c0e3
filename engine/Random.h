// The library-wide pseudo-random generator, and private copies of its rule for long runs.
#pragma once

#include <cstdint>

// The library-wide pseudo-random generator: a linear congruential rule that draws the same
// numbers on every platform (state = state * 214013 + 2531011 modulo 2^32, result = bits 16
// to 30 of the state). The state is 1 when the library is loaded.
constexpr int32_t kRandomMaximum = 32767;

// Draws the next number of the shared sequence, 0 to 32767.
int32_t randomNext();
// Restarts the shared sequence from `seed`.
void randomSeed(uint32_t seed);
// The shared generator's current state.
uint32_t randomState();

// A private copy of the rule. Long runs of draws (the noise table, the tap layout) use one
// and store the final state back into the shared generator, so the shared sequence advances
// exactly as if every number had been drawn from it, while engines built or rebuilt on
// different threads never tear its state.
class RandomSequence {
public:
    explicit RandomSequence(uint32_t state) : state_(state) {}
    int32_t next() {
        state_ = state_ * 214013u + 2531011u;
        return static_cast<int32_t>((state_ >> 16) & static_cast<uint32_t>(kRandomMaximum));
    }
    uint32_t state() const { return state_; }

private:
    uint32_t state_;
};
