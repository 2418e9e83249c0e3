// An engine given its rate explicitly (as the LV2 plug-in builds each instance)
// never touches the library-wide rate and renders what an engine built at that
// library-wide rate renders; reset() returns it to its state just after
// construction.
#include "engine/Random.h"
#include "engine/Reverb.h"
#include "tests/engine/EngineProbe.h"
#include "tests/engine/EngineTestSupport.h"

#include <cstring>
#include <vector>

using namespace enginetest;

namespace {

class EngineRate : public RateFixture {};

// Runs the engine over `input` (mono, both channels) in blocks of `block`.
std::vector<float> render(Reverb& reverb, const std::vector<float>& input, int32_t block) {
    std::vector<float> left(input.size()), right(input.size()), out;
    for (size_t at = 0; at < input.size(); at += static_cast<size_t>(block)) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(block, input.size() - at));
        reverb.process(n, &input[at], &input[at], &left[at], &right[at], 1.0f, 0.5f);
    }
    out = left;
    out.insert(out.end(), right.begin(), right.end());
    return out;
}

bool sameBits(const std::vector<float>& a, const std::vector<float>& b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Leaves the shared generator where every layout leaves it, so that the next
// engine built draws the same noise as any engine built after a layout.
void settleGenerator() {
    Reverb settle(8000);
}

} // namespace

TEST_F(EngineRate, AnExplicitRateLeavesTheLibraryWideRateAlone) {
    currentSampleRate = 8000;
    Reverb reverb(48000);
    EXPECT_EQ(currentSampleRate, 8000);
    EXPECT_EQ(reverb.getSampleRate(), 48000);
    EXPECT_EQ(probe(reverb).getHistoryLength(), 96000);
    EXPECT_EQ(probe(reverb).getNoiseLength(), 102458); // trunc(48000 x 2.134554)
    EXPECT_EQ(probe(reverb).getSpacing(), 336);        // trunc(2 x 35 x 48000 x 0.0001)
    EXPECT_TRUE(reverb.setSampleRate(96000));
    EXPECT_EQ(currentSampleRate, 8000);
    EXPECT_EQ(reverb.getSampleRate(), 96000);
    EXPECT_EQ(probe(reverb).getHistoryLength(), 192000);
    EXPECT_EQ(probe(reverb).getNoiseLength(), 102458); // the table stays as built
    // Rates no engine can use change nothing, here and in the constructor.
    for (int32_t bad : {0, -1, kMaxSampleRate + 1}) {
        EXPECT_FALSE(reverb.setSampleRate(bad)) << bad;
        EXPECT_EQ(reverb.getSampleRate(), 96000) << bad;
        Reverb built(bad);
        EXPECT_EQ(built.getSampleRate(), kDefaultSampleRate) << bad;
    }
    EXPECT_EQ(currentSampleRate, 8000);
}

TEST_F(EngineRate, RendersAsAnEngineBuiltAtTheLibraryWideRate) {
    Noise noise(5);
    const std::vector<float> input = noise.block(6000, 0.5f);
    for (int32_t rate : {22050, 44100, 48000, 96000, 192000}) {
        settleGenerator();
        currentSampleRate = rate;
        Reverb global;
        currentSampleRate = 8000; // what the explicit engine must not see
        settleGenerator();
        Reverb explicitRate(rate);
        EXPECT_TRUE(sameBits(render(global, input, 256), render(explicitRate, input, 256))) << rate;

        // Built at the default rate, then given the rate: as a host treats a
        // newly opened VST 2.x instance.
        settleGenerator();
        currentSampleRate = kDefaultSampleRate;
        Reverb opened;
        currentSampleRate = rate;
        opened.sampleRateChanged();
        currentSampleRate = 8000;
        settleGenerator();
        Reverb rated(kDefaultSampleRate);
        EXPECT_TRUE(rated.setSampleRate(rate));
        EXPECT_TRUE(sameBits(render(opened, input, 256), render(rated, input, 256))) << rate;
    }
}

TEST_F(EngineRate, TwoEnginesAtDifferentRatesKeepTheirOwn) {
    Reverb slow(22050);
    Reverb fast(96000);
    slow.setRoomSize(1.0f);
    fast.setRoomSize(1.0f);
    EXPECT_EQ(probe(slow).getTapDelay(0), 286); // trunc(2 x 65 x 22050 x 0.0001)
    EXPECT_EQ(probe(fast).getTapDelay(0), 1248);
    EXPECT_EQ(probe(slow).getHistoryLength(), 44100);
    EXPECT_EQ(probe(fast).getHistoryLength(), 192000);
}

TEST_F(EngineRate, ResetGivesAnEngineThatRendersAsANewOne) {
    Noise noise(9);
    const std::vector<float> next = noise.block(9000, 0.3f);
    for (int32_t rate : {44100, 96000}) {
        // More than the two seconds of history, so that all of it is heard.
        const std::vector<float> heard = noise.block(2 * rate + 5000, 0.8f);
        settleGenerator();
        Reverb used(rate);
        settleGenerator();
        Reverb fresh(rate);
        for (Reverb* r : {&used, &fresh}) {
            r->setPreDelay(0.3f);
            r->setSeparation(0.7f);
            r->setLowpassCutoff(0.5f);
            r->setRoomSize(0.8f);
        }
        const std::vector<float> tail = render(used, heard, 512);
        used.reset();
        EXPECT_EQ(probe(used).getTailCounter(), 0);
        EXPECT_EQ(probe(used).getHistoryPos(), 0);
        for (int j = 0; j < Reverb::kTaps; ++j) {
            EXPECT_EQ(probe(used).getTapNoisePos(j), probe(fresh).getTapNoisePos(j)) << j;
        }
        const std::vector<float> afterReset = render(used, next, 300);
        EXPECT_TRUE(sameBits(afterReset, render(fresh, next, 300))) << rate;
        EXPECT_FALSE(sameBits(tail, std::vector<float>(tail.size(), 0.0f)));
    }
}
