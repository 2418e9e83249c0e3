// The shared generator's state: draws, seeding and reading it from any thread.
#include "engine/Random.h"

#include <atomic>

namespace {
std::atomic<uint32_t> sharedState{1};
}

int32_t randomNext() {
    uint32_t current = sharedState.load(std::memory_order_relaxed);
    RandomSequence sequence(current);
    int32_t result = sequence.next();
    // Should another thread draw at the same moment, either outcome is a valid sequence.
    sharedState.compare_exchange_strong(current, sequence.state(), std::memory_order_relaxed);
    return result;
}

void randomSeed(uint32_t seed) {
    sharedState.store(seed, std::memory_order_relaxed);
}

uint32_t randomState() {
    return sharedState.load(std::memory_order_relaxed);
}
