// The shared generator: its state at load, its first draws after a seed, its range, and the
// private sequence that advances like it.
#include "engine/Random.h"

#include <gtest/gtest.h>

namespace {

// Captured during static initialisation, before any test draws.
const uint32_t stateAtLoad = randomState();

TEST(Random, StartsFromStateOneAtLoad) {
    EXPECT_EQ(stateAtLoad, 1u);
    RandomSequence fromLoad(1);
    EXPECT_EQ(fromLoad.next(), 41); // (1 * 214013 + 2531011) >> 16
}

TEST(Random, FirstSixDrawsAfterReseedingWithZero) {
    randomSeed(0);
    const int32_t expected[6] = {38, 7719, 21238, 2437, 8855, 11797};
    for (int32_t value : expected) {
        EXPECT_EQ(randomNext(), value);
    }
}

TEST(Random, LocalSequenceAdvancesLikeTheSharedOne) {
    randomSeed(12345);
    RandomSequence local(randomState());
    for (int i = 0; i < 1000; ++i) {
        ASSERT_EQ(local.next(), randomNext());
    }
    EXPECT_EQ(local.state(), randomState());
}

TEST(Random, ResultsStayInRange) {
    randomSeed(0xdeadbeef);
    for (int i = 0; i < 100000; ++i) {
        const int32_t v = randomNext();
        ASSERT_GE(v, 0);
        ASSERT_LE(v, 32767);
    }
}

} // namespace
