// The plug-in's format-neutral core: the parameter table every format shows,
// the values a parameter takes, and a reset that forgets what was heard.
#include "effect/ReverbCore.h"

#include "engine/SampleRate.h"

#include <cmath>
#include <cstring>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace {

// Leaves the shared generator where every layout leaves it, so that cores
// built next draw the same noise.
void settleGenerator() {
    Reverb settle(8000);
}

std::vector<float> render(ReverbCore& core, const std::vector<float>& input, int32_t block) {
    std::vector<float> left(input.size()), right(input.size());
    for (size_t at = 0; at < input.size(); at += static_cast<size_t>(block)) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(block, input.size() - at));
        core.process(n, &input[at], &input[at], &left[at], &right[at]);
    }
    left.insert(left.end(), right.begin(), right.end());
    return left;
}

std::vector<float> noise(size_t count, uint32_t seed) {
    std::vector<float> out(count);
    for (float& v : out) {
        seed = seed * 1664525u + 1013904223u;
        v = static_cast<float>(static_cast<int32_t>(seed >> 8) - (1 << 23)) / (1 << 24);
    }
    return out;
}

} // namespace

TEST(ReverbCore, ParameterTableNamesSymbolsAndDefaults) {
    struct Row {
        const char* name;
        const char* symbol;
        float defaultValue;
    };
    const Row rows[kNamedParameterCount] = {
        {"Mode", "mode", 0.0f},
        {"Length", "length", 0.5f},
        {"Room Size", "room_size", 0.5f},
        {"PreDelay", "predelay", 0.0f},
        {"Lowpass Cutoff", "lowpass_cutoff", 0.7f},
        {"Highpass Cutoff", "highpass_cutoff", 0.0f},
        {"Stereo Separation", "stereo_separation", 0.5f},
        {"Reverb Level", "reverb_level", 0.6f},
        {"Dry Level", "dry_level", 0.9f},
    };
    ReverbCore core(44100);
    for (int32_t i = 0; i < kNamedParameterCount; ++i) {
        EXPECT_STREQ(kNamedParameters[i].name, rows[i].name);
        EXPECT_EQ(parameterSymbol(kNamedParameters[i].name), rows[i].symbol);
        EXPECT_STREQ(kNamedParameters[i].symbol, rows[i].symbol);
        EXPECT_EQ(kNamedParameters[i].defaultValue, rows[i].defaultValue);
        EXPECT_EQ(core.getParameter(i), rows[i].defaultValue) << i;
    }
    EXPECT_EQ(parameterSymbol("  Odd -- Name 2 "), "odd_name_2");
    EXPECT_FLOAT_EQ(core.getReverbGain(), 0.125f);
    EXPECT_FLOAT_EQ(core.getDryGain(), 1.0f);
    EXPECT_TRUE(core.isRebuildPending());
}

TEST(ReverbCore, ValuesAreClampedAndNonNumbersIgnored) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct Case {
        float sent;
        bool taken;
        float held; // what "Reverb Level" holds afterwards, from 0.3
    };
    const Case cases[] = {{0.25f, true, 0.25f}, {-3.0f, true, 0.0f}, {7.0f, true, 1.0f},
                          {nan, false, 0.3f},   {inf, false, 0.3f},  {-inf, false, 0.3f}};
    for (const Case& c : cases) {
        ReverbCore core(44100);
        core.setParameter(kReverbLevel, 0.3f);
        EXPECT_EQ(core.setParameter(kReverbLevel, c.sent), c.taken) << c.sent;
        EXPECT_EQ(core.getParameter(kReverbLevel), c.held) << c.sent;
        EXPECT_EQ(core.getReverbGain(), ReverbCore::levelGain(c.held)) << c.sent;
    }
    ReverbCore core(44100);
    EXPECT_TRUE(core.setParameter(9, 0.2f)); // "Unused": taken, and nothing happens
    EXPECT_TRUE(core.setParameter(-1, 0.2f));
    EXPECT_EQ(core.getParameter(9), 0.0f);
    EXPECT_EQ(core.getParameter(-1), 0.0f);
}

TEST(ReverbCore, TheCoreLeavesTheLibraryWideRateAlone) {
    const int32_t saved = currentSampleRate;
    currentSampleRate = 8000;
    ReverbCore core(48000);
    EXPECT_TRUE(core.setSampleRate(96000));
    EXPECT_FALSE(core.setSampleRate(0));
    EXPECT_EQ(core.getEngine().getSampleRate(), 96000);
    EXPECT_EQ(currentSampleRate, 8000);
    EXPECT_TRUE(core.setBlockSize(4096));
    EXPECT_FALSE(core.setBlockSize(0));
    EXPECT_FALSE(core.setBlockSize(ReverbCore::kMaxBlockSize + 1));
    EXPECT_EQ(core.getEngine().getBlockCapacity(), 4096);
    currentSampleRate = saved;
}

TEST(ReverbCore, AfterResetItRendersAsANewCore) {
    const std::vector<float> heard = noise(2 * 44100 + 3000, 3);
    const std::vector<float> next = noise(5000, 4);
    settleGenerator();
    ReverbCore used(44100);
    settleGenerator();
    ReverbCore fresh(44100);
    for (ReverbCore* core : {&used, &fresh}) {
        core->setParameter(kRoomSize, 0.9f);
        core->setParameter(kPreDelay, 0.2f);
        core->setParameter(kReverbLevel, 0.8f);
    }
    render(used, heard, 256);
    used.reset();
    EXPECT_TRUE(used.isRebuildPending());
    const std::vector<float> a = render(used, next, 256);
    const std::vector<float> b = render(fresh, next, 256);
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * sizeof(float)), 0);
}
