// The factory presets measured again: each one's impulse response through the core, as a
// fresh plug-in instance at 44100 Hz renders it, gives an RT60 inside its target range and
// the figures its table row states; and its values are slider steps the panel shows exactly.
#include "effect/FactoryPresets.h"

#include "effect/ReverbCore.h"
#include "engine/Random.h"
#include "tools/fumara-render/ImpulseAnalysis.h"

#include <cmath>
#include <gtest/gtest.h>
#include <vector>

namespace {

constexpr int32_t kRate = 44100;
constexpr int32_t kBlock = 512; // fumara-render's default

// The response to a unit impulse on both inputs until the gate closes, from an instance made
// as the first one of a process (the shared generator in its initial state).
analysis::ResponseFigures measure(const FactoryPreset& preset) {
    randomSeed(1);
    ReverbCore core(kRate);
    core.setBlockSize(kBlock);
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        core.setParameter(i, preset.values[i]);
    }
    std::vector<float> in(kBlock, 0.0f), outL(kBlock), outR(kBlock), left, right;
    in[0] = 1.0f;
    for (int block = 0; block < 10 * kRate / kBlock; ++block) {
        core.process(kBlock, in.data(), in.data(), outL.data(), outR.data());
        in[0] = 0.0f;
        bool silent = true;
        for (int32_t i = 0; i < kBlock && silent; ++i) {
            silent = outL[size_t(i)] == 0.0f && outR[size_t(i)] == 0.0f;
        }
        if (silent) {
            break;
        }
        left.insert(left.end(), outL.begin(), outL.end());
        right.insert(right.end(), outR.begin(), outR.end());
    }
    return analysis::analyseResponse(left, right, kRate);
}

} // namespace

TEST(FactoryPresets, ValuesAreSliderStepsAndModeAndLengthTheirDefaults) {
    for (const FactoryPreset& preset : kFactoryPresets) {
        EXPECT_EQ(preset.values[kMode], kNamedParameters[kMode].defaultValue) << preset.name;
        EXPECT_EQ(preset.values[kLength], kNamedParameters[kLength].defaultValue) << preset.name;
        for (int32_t i = kRoomSize; i <= kDryLevel; ++i) {
            // The smallest float at or above a whole number of 153ths.
            const float v = preset.values[i];
            const double step = std::round(double(v) * kSliderSteps);
            EXPECT_GE(double(v), step / kSliderSteps) << preset.name << " " << i;
            EXPECT_TRUE(v == 0.0f || double(std::nextafter(v, 0.0f)) < step / kSliderSteps)
                << preset.name << " " << i;
        }
        EXPECT_EQ(findFactoryPreset(preset.name), &preset - kFactoryPresets);
    }
    EXPECT_EQ(findFactoryPreset("large-HALL"), findFactoryPreset("Large Hall"));
    EXPECT_EQ(findFactoryPreset("Lobby"), -1);
}

TEST(FactoryPresets, EachMeasuresInsideItsTargetAndAsItsRowStates) {
    for (const FactoryPreset& preset : kFactoryPresets) {
        const analysis::ResponseFigures measured = measure(preset);
        const analysis::ChannelFigures& left = measured.channels[0];
        EXPECT_GE(left.rt60, preset.target.rt60Min) << preset.name;
        EXPECT_LE(left.rt60, preset.target.rt60Max) << preset.name;
        EXPECT_NEAR(left.rt60, preset.measured.rt60, 0.002) << preset.name;
        EXPECT_NEAR(left.edt, preset.measured.edt, 0.002) << preset.name;
        EXPECT_NEAR(left.firstArrivalMs, preset.measured.firstArrivalMs, 0.1) << preset.name;
        EXPECT_NEAR(left.centreTimeMs, preset.measured.centreTimeMs, 0.1) << preset.name;
        EXPECT_NEAR(left.wetToDryDb, preset.measured.wetToDryDb, 0.1) << preset.name;
    }
}
