// The reverb's network as it is built: worked tap layouts, room sizes, the noise table, the
// shared generator, setters that wait for a rebuild, and the rates an engine sizes for.
#include "engine/Random.h"
#include "engine/Reverb.h"
#include "tests/engine/EngineProbe.h"
#include "tests/engine/EngineTestSupport.h"

#include <cmath>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

class ReverbNetwork : public enginetest::RateFixture {};

struct LayoutRow {
    float size;
    int32_t roomIndex, spacing, taps[4], lastTap, comb1, comb2;
    float feedback1, feedback2;
};

TEST_F(ReverbNetwork, WorkedLayoutsAt44100) {
    Reverb reverb;
    const LayoutRow rows[] = {
        {0.0f, 5, 44, {44, 82, 112, 145}, 1011, 1055, 2120, 0.0100004f, 0.0100002f},
        {0.5f, 35, 308, {308, 500, 794, 1025}, 7237, 7545, 15165, 0.0109379f, 0.0104689f},
        {1.0f, 65, 573, {573, 897, 1257, 1818}, 13882, 14455, 29054, 0.0211566f, 0.0155783f},
    };
    for (const LayoutRow& row : rows) {
        SCOPED_TRACE(row.size);
        reverb.setRoomSize(row.size);
        EXPECT_EQ(probe(reverb).getRoomIndex(), row.roomIndex);
        EXPECT_EQ(probe(reverb).getSpacing(), row.spacing);
        for (int j = 0; j < 4; ++j) {
            EXPECT_EQ(probe(reverb).getTapDelay(j), row.taps[j]);
        }
        EXPECT_EQ(probe(reverb).getTapDelay(31), row.lastTap);
        EXPECT_EQ(probe(reverb).getCombLine1().getLength(), row.comb1);
        EXPECT_EQ(probe(reverb).getCombLine2().getLength(), row.comb2);
        EXPECT_NEAR(probe(reverb).getFeedback1(), row.feedback1, 1e-7);
        EXPECT_NEAR(probe(reverb).getFeedback2(), row.feedback2, 1e-7);
        // Gains do not depend on the room size.
        EXPECT_NEAR(probe(reverb).getTapGain(0), 0.7885f, 5e-5);
        EXPECT_NEAR(probe(reverb).getTapGain(1), -0.6595f, 5e-5);
        EXPECT_NEAR(probe(reverb).getTapGain(2), 0.8880f, 5e-5);
        EXPECT_NEAR(probe(reverb).getTapGain(3), -0.9882f, 5e-5);
        for (int j = 1; j < 32; ++j) {
            const int32_t gap = probe(reverb).getTapDelay(j) - probe(reverb).getTapDelay(j - 1);
            EXPECT_GE(gap, row.spacing / 2);
            EXPECT_LE(gap, row.spacing - 1);
            const float g = probe(reverb).getTapGain(j);
            EXPECT_GE(std::fabs(g), 0.6f);
            EXPECT_LT(std::fabs(g), 1.0f);
            EXPECT_EQ(g > 0, j % 2 == 0);
        }
        EXPECT_TRUE(probe(reverb).getCombLine1().isEchoFilterOn());
        EXPECT_FALSE(probe(reverb).getCombLine2().isEchoFilterOn());
    }
}

TEST_F(ReverbNetwork, RoomIndexTruncatesTheDoubleExpression) {
    Reverb reverb;
    reverb.setRoomSize(0.7f); // its float lies just under 0.7
    EXPECT_EQ(probe(reverb).getRoomIndex(), 46);
    reverb.setRoomSize(2.0f);
    EXPECT_EQ(probe(reverb).getRoomIndex(), 125);
    EXPECT_EQ(probe(reverb).getSpacing(), 1102);
    EXPECT_LT(probe(reverb).getTapDelay(31), 32 * 1102);
    EXPECT_LT(probe(reverb).getTapDelay(31), probe(reverb).getHistoryLength());
}

TEST_F(ReverbNetwork, OutOfRangeRoomSizesAreClamped) {
    Reverb reverb;
    reverb.setRoomSize(NAN);
    EXPECT_EQ(probe(reverb).getRoomSize(), 0.0f);
    EXPECT_EQ(probe(reverb).getRoomIndex(), 5);
    reverb.setRoomSize(1e30f);
    EXPECT_EQ(probe(reverb).getRoomSize(), 2.0f);
    reverb.setRoomSize(-INFINITY);
    EXPECT_EQ(probe(reverb).getRoomSize(), 0.0f);
}

TEST_F(ReverbNetwork, NoiseTable) {
    Reverb reverb;
    ASSERT_EQ(probe(reverb).getNoiseLength(), 94133);
    const float* table = probe(reverb).getNoiseTable();
    EXPECT_EQ(table[0], 0.8f); // faded in from zero
    double sum = 0.0;
    for (int32_t i = 0; i < 94133; ++i) {
        ASSERT_GE(table[i], 0.75f);
        ASSERT_LE(table[i], 1.5f);
        sum += table[i];
    }
    // Uniform noise of mean 0.2, low-passed with a gain of 1.49, plus 0.8.
    EXPECT_NEAR(sum / 94133, 0.8 + 0.2 * 1.4901, 0.01);
}

TEST_F(ReverbNetwork, EnginesBuiltInTurnDrawFromTheSharedGenerator) {
    // The first engine after load draws its noise from state 1; every layout ends with the
    // same state (64 draws after seed 0), from which the next engine draws.
    randomSeed(1);
    Reverb first, second, third;
    bool samePositions = true;
    for (int j = 0; j < 32; ++j) {
        samePositions &= probe(first).getTapNoisePos(j) == probe(second).getTapNoisePos(j);
        EXPECT_LT(probe(first).getTapNoisePos(j), probe(first).getNoiseLength());
        EXPECT_EQ(probe(first).getTapDelay(j), probe(second).getTapDelay(j));
        EXPECT_EQ(probe(first).getTapGain(j), probe(second).getTapGain(j));
        EXPECT_EQ(probe(second).getTapNoisePos(j), probe(third).getTapNoisePos(j));
    }
    EXPECT_FALSE(samePositions);
    bool sameNoise = true;
    for (int32_t i = 1000; i < 2000; ++i) {
        sameNoise &= probe(first).getNoiseTable()[i] == probe(second).getNoiseTable()[i];
    }
    EXPECT_FALSE(sameNoise);
    RandomSequence afterLayout(0);
    for (int i = 0; i < 64; ++i) {
        afterLayout.next();
    }
    EXPECT_EQ(randomState(), afterLayout.state());
}

TEST_F(ReverbNetwork, ConstructedState) {
    Reverb reverb;
    EXPECT_EQ(reverb.getSampleRate(), 44100);
    EXPECT_EQ(probe(reverb).getHistoryLength(), 88200);
    EXPECT_EQ(reverb.getBlockCapacity(), 256);
    EXPECT_EQ(probe(reverb).getRoomSize(), 0.5f);
    EXPECT_EQ(probe(reverb).getMode(), 0);
    EXPECT_EQ(probe(reverb).getLength(), 1.0f);
    EXPECT_EQ(probe(reverb).getTailCounter(), 0);
    EXPECT_FLOAT_EQ(probe(reverb).getLowpassCutoff(), 0.35f);
    EXPECT_FLOAT_EQ(probe(reverb).getHighpassCutoff(), 0.001f);
    EXPECT_FALSE(probe(reverb).isUpdating());
    // Pre-delay 0 asks for length 0, raised to 7; separation 0.5 of the first tap (308).
    EXPECT_EQ(probe(reverb).getPreDelayLine().getLength(), 7);
    EXPECT_EQ(probe(reverb).getSeparationLine().getLength(), 154);
}

TEST_F(ReverbNetwork, SettersTakeEffectAtTheNextRebuild) {
    Reverb reverb;
    reverb.setSeparation(0.491f); // the default program's value
    EXPECT_EQ(probe(reverb).getSeparationLine().getLength(), 154);
    reverb.setLength(0.5f);
    EXPECT_EQ(probe(reverb).getSeparationLine().getLength(), 151);
    EXPECT_EQ(probe(reverb).getLength(), 0.5f);
    reverb.setSeparation(0.001f); // length 0, raised to 7
    reverb.setPreDelay(0.0001f);
    reverb.setLength(0.5f);
    EXPECT_EQ(probe(reverb).getSeparationLine().getLength(), 7);
    EXPECT_EQ(probe(reverb).getPreDelayLine().getLength(), 7);
    reverb.setPreDelay(0.98f);
    reverb.setLength(0.5f);
    EXPECT_EQ(probe(reverb).getPreDelayLine().getLength(), 12965);
    reverb.setLowpassCutoff(0.8f); // the effect passes v + 0.1
    EXPECT_FLOAT_EQ(probe(reverb).getLowpassCutoff(), 0.64f);
    reverb.setHighpassCutoff(1.0f);
    EXPECT_FLOAT_EQ(probe(reverb).getHighpassCutoff(), 0.8f);
}

TEST_F(ReverbNetwork, ModeIsClampedAndRebuildsWithTheCurrentRoom) {
    Reverb reverb;
    reverb.setRoomSize(1.0f);
    reverb.setMode(-3);
    EXPECT_EQ(probe(reverb).getMode(), 0);
    EXPECT_EQ(probe(reverb).getTapDelay(0), 573);
    reverb.setMode(16);
    EXPECT_EQ(probe(reverb).getMode(), 2);
    reverb.setMode(1);
    EXPECT_EQ(probe(reverb).getMode(), 1);
    EXPECT_EQ(probe(reverb).getCombLine1().getLength(), 14455);
}

TEST_F(ReverbNetwork, OneRebuildLeavesWhatTheThreeRebuildingSettersLeave) {
    struct Row {
        float length;
        int32_t mode;
        float room;
    };
    for (const Row& row : {Row{0.3f, 2, 0.8f}, Row{0.5f, -3, NAN}, Row{1.0f, 16, 2.5f}}) {
        SCOPED_TRACE(row.room);
        const uint32_t seed = randomState();
        Reverb three;
        randomSeed(seed);
        Reverb once;
        randomSeed(12345);
        three.setLength(row.length);
        three.setMode(row.mode);
        three.setRoomSize(row.room);
        const uint32_t afterThree = randomState();
        randomSeed(12345);
        once.rebuild(row.length, row.mode, row.room);
        EXPECT_EQ(randomState(), afterThree);
        enginetest::Noise noise(5);
        for (int block = 0; block < 40; ++block) {
            const std::vector<float> in = noise.block(256, 0.5f);
            std::vector<float> a(256), b(256), c(256), d(256);
            three.process(256, in.data(), in.data(), a.data(), b.data(), 1.0f, 0.5f);
            once.process(256, in.data(), in.data(), c.data(), d.data(), 1.0f, 0.5f);
            ASSERT_TRUE(a == c && b == d);
        }
    }
}

TEST_F(ReverbNetwork, LayoutAt8000Hertz) {
    currentSampleRate = 8000;
    Reverb reverb;
    reverb.setRoomSize(0.0f);
    EXPECT_EQ(probe(reverb).getSpacing(), 8);
    EXPECT_EQ(probe(reverb).getTapDelay(0), 8);
    EXPECT_EQ(probe(reverb).getTapDelay(1), 8 + 4 + 38 % 4);
    EXPECT_EQ(probe(reverb).getHistoryLength(), 16000);
}

TEST_F(ReverbNetwork, SampleRateChangeResizesHistoryButKeepsTheNoise) {
    Reverb reverb;
    const float noise100 = probe(reverb).getNoiseTable()[100];
    currentSampleRate = 96000;
    reverb.sampleRateChanged();
    EXPECT_EQ(reverb.getSampleRate(), 96000);
    EXPECT_EQ(probe(reverb).getHistoryLength(), 192000);
    EXPECT_EQ(probe(reverb).getNoiseLength(), 94133);
    EXPECT_EQ(probe(reverb).getNoiseTable()[100], noise100);
    EXPECT_EQ(probe(reverb).getSpacing(), 672); // trunc(2 * 35 * 96000 * 0.0001)
    EXPECT_EQ(probe(reverb).getTapDelay(0), 672);
}

TEST_F(ReverbNetwork, UnusableRatesAreIgnored) {
    Reverb reverb;
    for (int32_t rate : {0, -44100, kMaxSampleRate + 1}) {
        currentSampleRate = rate;
        reverb.sampleRateChanged();
        EXPECT_EQ(reverb.getSampleRate(), 44100) << rate;
        EXPECT_EQ(probe(reverb).getHistoryLength(), 88200);
    }
    currentSampleRate = 0;
    Reverb built; // built while the library-wide rate is unusable: the default rate
    EXPECT_EQ(built.getSampleRate(), 44100);
}

TEST_F(ReverbNetwork, EachEngineKeepsTheRateItSizedFor) {
    Reverb at44k;
    currentSampleRate = 8000;
    Reverb at8k;
    // A rebuild of the first engine still computes its lengths for 44100 Hz.
    at44k.setRoomSize(1.0f);
    EXPECT_EQ(at44k.getSampleRate(), 44100);
    EXPECT_EQ(probe(at44k).getTapDelay(0), 573);
    EXPECT_EQ(probe(at44k).getCombLine1().getLength(), 14455);
    at8k.setRoomSize(1.0f);
    EXPECT_EQ(at8k.getSampleRate(), 8000);
    EXPECT_EQ(probe(at8k).getTapDelay(0), 104); // trunc(2 * 65 * 8000 * 0.0001)
    EXPECT_EQ(probe(at8k).getHistoryLength(), 16000);
}

} // namespace
