// The impulse response's figures on signals whose figures are known: exponential decays of a
// chosen RT60 behind a chosen delay, pure delays of a known level, and channels that are the
// same, opposite or unrelated.
#include "tools/fumara-render/ImpulseAnalysis.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

using namespace analysis;

namespace {

// A direct sound of `dry` at sample 0, then from sample `delay` on noise of random signs
// whose energy falls 60 dB in `rt60` seconds, for `seconds`.
std::vector<float> decay(double rt60, double rate, size_t delay, double seconds, float dry,
                         uint32_t seed) {
    std::vector<float> h(size_t(seconds * rate), 0.0f);
    h[0] = dry;
    for (size_t i = delay; i < h.size(); ++i) {
        seed = seed * 1664525u + 1013904223u;
        const double sign = (seed >> 31) ? 1.0 : -1.0;
        h[i] = float(0.5 * sign * std::pow(10.0, -3.0 * double(i - delay) / (rt60 * rate)));
    }
    return h;
}

} // namespace

TEST(ImpulseAnalysis, AnExponentialDecayGivesItsRt60AndEdt) {
    const struct {
        double rt60, rate;
        size_t delay;
    } cases[] = {{0.15, 44100, 1}, {1.0, 44100, 441}, {2.0, 48000, 4800}, {0.5, 96000, 20}};
    for (const auto& c : cases) {
        const auto h = decay(c.rt60, c.rate, c.delay, 2.0 * c.rt60 + 0.2, 1.0f, 7);
        const ChannelFigures f = analyseChannel(h, c.rate);
        EXPECT_NEAR(f.rt60, c.rt60, 0.05 * c.rt60) << c.rt60;
        EXPECT_NEAR(f.edt, c.rt60, 0.05 * c.rt60) << c.rt60;
        EXPECT_NEAR(f.firstArrivalMs, 1000.0 * double(c.delay) / c.rate, 1000.0 / c.rate);
    }
}

TEST(ImpulseAnalysis, APureDelayArrivesAndCentresOnItsSample) {
    for (size_t delay : {size_t(1), size_t(37), size_t(4410)}) {
        std::vector<float> h(8000, 0.0f);
        h[0] = 1.0f;
        h[delay] = 0.25f;
        const ChannelFigures f = analyseChannel(h, 44100.0);
        EXPECT_NEAR(f.firstArrivalMs * 44.1, double(delay), 1.0);
        EXPECT_NEAR(f.centreTimeMs * 44.1, double(delay), 1.0);
        EXPECT_NEAR(f.wetToDryDb, 20.0 * std::log10(0.25), 1e-9);
        EXPECT_TRUE(std::isnan(f.rt60)); // a single reflection has no decay to fit
        h[0] = 0.0f;
        EXPECT_TRUE(std::isinf(analyseChannel(h, 44100.0).wetToDryDb));
    }
}

TEST(ImpulseAnalysis, TheTailCorrelationTellsTheChannelsApart) {
    const auto left = decay(0.5, 44100, 50, 1.2, 1.0f, 11);
    auto opposite = left;
    for (float& s : opposite) {
        s = -s;
    }
    EXPECT_NEAR(analyseResponse(left, left, 44100).tailCorrelation, 1.0, 1e-9);
    EXPECT_NEAR(analyseResponse(left, opposite, 44100).tailCorrelation, -1.0, 1e-9);
    const auto unrelated = decay(0.5, 44100, 50, 1.2, 1.0f, 12);
    EXPECT_LT(std::fabs(analyseResponse(left, unrelated, 44100).tailCorrelation), 0.05);
}
