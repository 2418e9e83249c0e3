// The filter: magnitudes at known cutoffs, the complementary high-pass, mixing, the type codes,
// the hold after a design, low rates, and a match with the plain transcription.
#include "engine/Filter.h"

#include "tests/engine/EngineProbe.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/ReferenceReverb.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

using enginetest::amplitudeAt;
using enginetest::sine;

class FilterTest : public enginetest::RateFixture {
protected:
    // Magnitude of the filter at `frequency`, measured with a sine after the filter settled.
    static double magnitude(int32_t type, float amount, float cutoff, double frequency,
                            double rate = 44100.0) {
        Filter filter;
        filter.setSampleRate(static_cast<int32_t>(rate));
        filter.setType(type, amount);
        filter.cutoff = cutoff;
        std::vector<float> signal = sine(frequency, rate, 24000);
        filter.process(static_cast<uint32_t>(signal.size()), signal.data(), false);
        return amplitudeAt(signal, frequency, rate, 4000, 20000);
    }
    // Output of the filter for a constant input of 1, after it settled.
    static double steadyOutput(int32_t type, float amount, float cutoff) {
        Filter filter;
        filter.setType(type, amount);
        filter.cutoff = cutoff;
        std::vector<float> ones(20000, 1.0f);
        filter.process(static_cast<uint32_t>(ones.size()), ones.data(), false);
        return ones.back();
    }
};

TEST_F(FilterTest, EngineLowpassMagnitudesAtCutoff035) {
    // One section, damping 0.999, designed at 7717.5 Hz with gain 0.9 / (4 * 0.151).
    EXPECT_NEAR(steadyOutput(0, 0.001f, 0.35f), 1.4901, 0.0005);
    EXPECT_NEAR(magnitude(0, 0.001f, 0.35f, 7717.5), 1.015, 0.003);
    double peak = 0.0, peakFrequency = 0.0;
    for (double f = 3000.0; f <= 4600.0; f += 100.0) {
        const double m = magnitude(0, 0.001f, 0.35f, f);
        if (m > peak) {
            peak = m;
            peakFrequency = f;
        }
    }
    EXPECT_NEAR(peak, 1.556, 0.003);
    EXPECT_NEAR(peakFrequency, 3800.0, 300.0);
    EXPECT_LT(magnitude(0, 0.001f, 0.35f, 22000.0), 0.002);
}

TEST_F(FilterTest, ZeroCutoffDesignsAtTheEightyHertzFloorWithReducedGain) {
    EXPECT_NEAR(steadyOutput(0, 0.001f, 0.0f), 1.4901 * (80.0 / 300.0) * (80.0 / 300.0), 0.0005);
    // The same filter at its design frequency has the usual 1.015 times the reduction.
    EXPECT_NEAR(magnitude(0, 0.001f, 0.0f, 80.0), 1.015 * 0.07111, 0.001);
}

TEST_F(FilterTest, NoiseSmoothingDesignsAt661HertzAt44100) {
    EXPECT_NEAR(magnitude(0, 0.001f, 0.03f, 661.5), 1.015, 0.003);
}

TEST_F(FilterTest, ComplementaryHighpassPassesHighsAndInvertsTheExcessLowGain) {
    EXPECT_NEAR(steadyOutput(4, 0.001f, 0.35f), 1.0 - 1.4901, 0.0005);
    EXPECT_NEAR(magnitude(4, 0.001f, 0.35f, 21000.0), 1.0, 0.01);
    // The delay lines' echo filter: damping 0.99, gain 0.9 / (4 * 0.16).
    EXPECT_NEAR(steadyOutput(4, 0.01f, 0.25f), 1.0 - 1.40625, 0.0005);
}

TEST_F(FilterTest, DesignFollowsTheFilterSampleRate) {
    // The same fractional cutoff lands at the same fraction of the rate.
    EXPECT_NEAR(magnitude(0, 0.001f, 0.35f, 8400.0, 48000.0), 1.015, 0.003);
}

TEST_F(FilterTest, MixingBlendsOutputAndInput) {
    enginetest::Noise noise(7);
    std::vector<float> input = noise.block(2000);
    Filter plain, mixed;
    for (Filter* f : {&plain, &mixed}) {
        f->setType(0, 0.001f);
        f->cutoff = 0.35f;
        f->mix = 0.7f;
    }
    std::vector<float> y = input, z = input;
    plain.process(2000, y.data(), false);
    mixed.process(2000, z.data(), true);
    for (int i = 0; i < 2000; ++i) {
        const double x = input[i] + 0.0000001;
        ASSERT_NEAR(z[i], 0.3 * y[i] + 0.21 * x, 2e-7 * (1.0 + std::fabs(z[i])));
    }
}

TEST_F(FilterTest, SetTypeChoosesOrderKindAndClampedDamping) {
    Filter f;
    f.setType(0, 0.001f);
    EXPECT_EQ(f.getSections(), 1u);
    EXPECT_EQ(probe(f).getKind(), 0);
    EXPECT_FLOAT_EQ(probe(f).getDamping(), 0.999f);
    f.setType(5, 0.5f);
    EXPECT_EQ(f.getSections(), 2u);
    EXPECT_EQ(probe(f).getKind(), 1);
    EXPECT_FLOAT_EQ(probe(f).getDamping(), static_cast<float>(1.0 - 0.97 * 0.5));
    f.setType(10, 0.5f);
    EXPECT_EQ(f.getSections(), 3u);
    EXPECT_EQ(probe(f).getKind(), 2);
    EXPECT_FLOAT_EQ(probe(f).getDamping(), static_cast<float>(1.0 - 0.94 * 0.5));
    f.setType(42, 0.5f); // any other type: two sections, low-pass
    EXPECT_EQ(f.getSections(), 2u);
    EXPECT_EQ(probe(f).getKind(), 0);
    f.setType(0, 2.0f);
    EXPECT_FLOAT_EQ(probe(f).getDamping(), 0.005f);
    f.setType(0, -3.0f);
    EXPECT_FLOAT_EQ(probe(f).getDamping(), 0.999f);
    f.setType(0, NAN);
    EXPECT_FLOAT_EQ(probe(f).getDamping(), 0.999f);
    EXPECT_FLOAT_EQ(f.mix, 0.5f);
    EXPECT_EQ(probe(f).getCountdown(), 1);
}

TEST_F(FilterTest, AliasTypesFilterIdentically) {
    enginetest::Noise noise(3);
    const std::vector<float> input = noise.block(3000);
    auto run = [&](int32_t type) {
        Filter f;
        f.setType(type, 0.2f);
        f.cutoff = 0.2f;
        std::vector<float> out = input;
        f.process(3000, out.data(), false);
        return out;
    };
    const std::vector<float> type1 = run(1);
    EXPECT_EQ(run(3), type1);
    EXPECT_EQ(run(7), type1);
    EXPECT_EQ(run(11), type1);
    EXPECT_EQ(run(8), run(0));
    EXPECT_NE(run(5), type1);
}

TEST_F(FilterTest, CutoffChangeWaitsForTheHoldAfterADesign) {
    Filter f;
    f.setType(0, 0.001f);
    f.cutoff = 0.2f;
    float x = 0.0f;
    f.process(1, &x, false); // designs at the first sample
    EXPECT_FLOAT_EQ(probe(f).getLastCutoff(), 0.2f);
    f.cutoff = 0.4f;
    for (int i = 0; i < 3; ++i) {
        f.process(1, &x, false); // the three samples after a design skip the check
        EXPECT_FLOAT_EQ(probe(f).getLastCutoff(), 0.2f) << "sample " << i + 1;
    }
    f.process(1, &x, false);
    EXPECT_FLOAT_EQ(probe(f).getLastCutoff(), 0.4f);

    // Long after the last design a change takes effect at the first sample of the next call.
    std::vector<float> quiet(100, 0.0f);
    f.process(100, quiet.data(), false);
    f.cutoff = 0.1f;
    f.process(1, &x, false);
    EXPECT_FLOAT_EQ(probe(f).getLastCutoff(), 0.1f);
}

TEST_F(FilterTest, SetTypeClearsTheMemory) {
    Filter f;
    f.setType(0, 0.001f);
    f.cutoff = 0.35f;
    std::vector<float> loud(64, 1.0f);
    f.process(64, loud.data(), false);
    EXPECT_NE(probe(f).getState(0), 0.0f);
    f.setType(0, 0.002f);
    for (int i = 0; i < 7; ++i) {
        EXPECT_EQ(probe(f).getState(i), 0.0f);
    }
    EXPECT_EQ(probe(f).getCoefficient(0), 0.0);
}

TEST_F(FilterTest, SilenceGivesTinyNonZeroOutput) {
    Filter f;
    f.setType(0, 0.001f);
    f.cutoff = 0.35f;
    std::vector<float> quiet(5000, 0.0f);
    f.process(5000, quiet.data(), false);
    EXPECT_NEAR(quiet.back(), 1e-7 * 1.4901, 1e-9);
}

TEST_F(FilterTest, CountdownStaysInRangeOverLongRuns) {
    Filter f;
    f.setType(0, 0.001f);
    f.cutoff = 0.35f;
    std::vector<float> block(4096, 0.0f);
    for (int i = 0; i < 100; ++i) {
        f.process(4096, block.data(), false);
    }
    EXPECT_EQ(probe(f).getCountdown(), 0);
}

TEST_F(FilterTest, RatesBelowTheFloorStayStable) {
    // At 100 Hz the 80 Hz floor lies above the Nyquist frequency.
    Filter f;
    f.setSampleRate(100);
    f.setType(0, 0.001f);
    f.cutoff = 0.5f;
    enginetest::Noise noise(11);
    std::vector<float> signal = noise.block(20000);
    f.process(20000, signal.data(), false);
    for (float v : signal) {
        ASSERT_TRUE(std::isfinite(v) && std::fabs(v) < 100.0f);
    }
}

TEST_F(FilterTest, MatchesThePlainTranscriptionAcrossCutoffChanges) {
    int32_t rate = 44100;
    reference::Filter expected(&rate);
    Filter actual;
    enginetest::Noise noise(5);
    for (int type : {0, 4, 2, 5}) {
        expected.setType(type, 0.001f);
        actual.setType(type, 0.001f);
        expected.mix = actual.mix = 0.7f;
        const bool mixing = type == 0;
        for (int call = 0; call < 40; ++call) {
            const float cutoff = 0.05f + 0.02f * (call % 13);
            expected.cutoff = actual.cutoff = cutoff;
            const uint32_t count = 1 + (call * 37) % 300;
            std::vector<float> a = noise.block(static_cast<int32_t>(count));
            std::vector<float> b = a;
            expected.process(count, a.data(), mixing);
            actual.process(count, b.data(), mixing);
            ASSERT_LE(enginetest::maxAbsDifference(a, b), 1e-7) << "type " << type;
        }
    }
}

} // namespace
