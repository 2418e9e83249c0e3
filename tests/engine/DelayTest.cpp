// The delay line: its delay for a length and scale, impulses and feedback, mixing, resizing and
// reserved storage, and its loops against the plain transcription at every vector level.
#include "engine/Delay.h"

#include "engine/Filter.h"
#include "tests/engine/EngineProbe.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/ReferenceReverb.h"

#include <cmath>
#include <cstdint>
#include <gtest/gtest.h>
#include <vector>

namespace {

using enginetest::centroid;

class DelayTest : public enginetest::RateFixture {
protected:
    // Response of a line to a unit impulse at sample 0. A first call of a few silent samples
    // lets the line reach its steady step (the call right after setLength writes its first
    // sample nowhere and spreads with the step of a stopped head).
    static std::vector<float> impulseResponse(int32_t length, int32_t count, float feedback = 0.0f,
                                              float mix = 1.0f) {
        Delay line(length);
        std::vector<float> warm(3, 0.0f);
        line.process(warm.data(), warm.data(), 3, 0.99f, feedback, mix);
        std::vector<float> in(static_cast<size_t>(count), 0.0f), out(in.size(), 0.0f);
        in[0] = 1.0f;
        line.process(in.data(), out.data(), count, 0.99f, feedback, mix);
        return out;
    }
};

TEST_F(DelayTest, NominalDelayFollowsLengthAndScale) {
    EXPECT_DOUBLE_EQ(Delay::nominalDelay(7, 0.99f), 6.0);
    EXPECT_DOUBLE_EQ(Delay::nominalDelay(2000, 0.99f), 1999.0);
    EXPECT_NEAR(Delay::nominalDelay(2001, 0.99f), 2000.99, 1e-4);
    EXPECT_DOUBLE_EQ(Delay::nominalDelay(100, 0.0f), 20.0);
    EXPECT_DOUBLE_EQ(Delay::nominalDelay(100, -1.0f), 20.0);
}

TEST_F(DelayTest, ShortLengthsAreRaisedToSeven) {
    for (int32_t requested : {0, -5, 7, 3}) {
        Delay line(requested);
        EXPECT_EQ(probe(line).getLength(), 7);
        std::vector<float> out = impulseResponse(requested, 40);
        EXPECT_NEAR(centroid(out, 0, 40), 6.0, 0.1) << requested;
    }
}

TEST_F(DelayTest, ImpulseComesOutSpreadAroundTheDelay) {
    std::vector<float> out = impulseResponse(7, 30);
    // Nothing before the delay minus the interpolation spread, nothing long after it.
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(out[i], 0.0f, 1e-6) << i;
    }
    for (int i = 9; i < 30; ++i) {
        EXPECT_NEAR(out[i], 0.0f, 1e-6) << i;
    }
    double sum = 0.0;
    for (float v : out) {
        sum += v;
    }
    EXPECT_NEAR(sum, 1.0, 0.05);
}

TEST_F(DelayTest, LongLinesDelayByTheirLengthOrScaledLength) {
    // A float read head drifts a little on long lines: 2000 cells delay by about 1999.02
    // samples, the second comb of room size 0.5 (15165 cells) by about 15032.9 instead of
    // 0.99 * 15165 + 20 = 15033.35.
    EXPECT_NEAR(centroid(impulseResponse(100, 300), 0, 300), 99.0, 0.01);
    EXPECT_NEAR(centroid(impulseResponse(2000, 4000), 0, 4000), 1999.02, 0.01);
    EXPECT_NEAR(centroid(impulseResponse(2001, 4000), 0, 4000), 2000.99, 0.02);
    EXPECT_NEAR(centroid(impulseResponse(7545, 9000), 0, 9000), 0.99 * 7545 + 20, 1.0);
    EXPECT_NEAR(centroid(impulseResponse(15165, 16000), 0, 16000), 15032.9, 0.1);
}

TEST_F(DelayTest, FeedbackRepeatsTheImpulseAtHalfLevelEachLap) {
    std::vector<float> out = impulseResponse(101, 500, 0.5f);
    double previous = 0.0;
    for (int lap = 1; lap <= 4; ++lap) {
        const int32_t from = lap * 100 - 10, to = lap * 100 + 10;
        double energy = 0.0;
        for (int32_t i = from; i < to; ++i) {
            energy += out[i];
        }
        EXPECT_NEAR(centroid(out, from, to), lap * 100.0, 0.1) << lap;
        if (lap > 1) {
            EXPECT_NEAR(energy / previous, 0.5, 0.01) << lap;
        }
        previous = energy;
    }
}

TEST_F(DelayTest, UnitGainAtZeroHertzFromTheSecondCall) {
    for (int32_t length : {7, 300, 2500}) {
        Delay line(length);
        float first = 0.0f, firstOut = 0.0f;
        line.process(&first, &firstOut, 1, 0.99f, 0.0f, 1.0f);
        std::vector<float> ones(static_cast<size_t>(3 * length + 100), 1.0f), out(ones.size());
        line.process(ones.data(), out.data(), static_cast<int32_t>(ones.size()), 0.99f, 0.0f, 1.0f);
        EXPECT_NEAR(out.back(), 1.0f, 1e-5) << length;
    }
}

TEST_F(DelayTest, MixZeroPassesTheInputExactly) {
    enginetest::Noise noise(9);
    std::vector<float> in = noise.block(1000), out(1000);
    Delay line(50);
    line.process(in.data(), out.data(), 1000, 0.99f, 0.3f, 0.0f);
    EXPECT_EQ(in, out);
}

TEST_F(DelayTest, ZeroCountOnlyUpdatesStepAndCoefficients) {
    Delay line(101);
    float dummy = 5.0f;
    line.process(&dummy, &dummy, 0, 0.99f, 0.0f, 1.0f);
    EXPECT_FLOAT_EQ(probe(line).getStep(), 101.0f / 100.0f);
    EXPECT_FLOAT_EQ(probe(line).getCoefA(), static_cast<float>(1.0 / (1.0 * (101.0f / 100.0f))));
    EXPECT_FLOAT_EQ(probe(line).getLastStep(), 1.0f);
    EXPECT_EQ(probe(line).getReadPos(), 0.0f);
    EXPECT_EQ(dummy, 5.0f);
}

TEST_F(DelayTest, AResizedLineSoundsLikeANewOne) {
    // Nothing of the old content survives a resize, however the cells are cleared: the first
    // sample reads 0 and the line then behaves exactly like one built at the new length.
    enginetest::Noise noise(23);
    for (int32_t length : {7, 60, 5000}) {
        for (VectorLevel level : enginetest::vectorLevels()) {
            SCOPED_TRACE(testing::Message()
                         << "length " << length << " level " << static_cast<int>(level));
            enginetest::VectorLevelScope scope(level);
            Delay used(length + 3), fresh(length);
            std::vector<float> loud = noise.block(3 * length + 50), ignored(loud.size());
            used.process(loud.data(), ignored.data(), static_cast<int32_t>(loud.size()), 0.99f,
                         0.5f, 1.0f);
            used.setLength(length);
            float x = 1.0f, y = 123.0f, z = 0.0f;
            used.process(&x, &y, 1, 0.99f, 0.5f, 1.0f);
            EXPECT_EQ(y, 0.0f);
            fresh.process(&x, &z, 1, 0.99f, 0.5f, 1.0f);
            std::vector<float> in = noise.block(3 * length + 300), a(in.size()), b(in.size());
            for (size_t at = 0; at < in.size(); at += 97) {
                const int32_t n = static_cast<int32_t>(std::min<size_t>(97, in.size() - at));
                used.process(in.data() + at, a.data() + at, n, 0.99f, 0.5f, 1.0f);
                fresh.process(in.data() + at, b.data() + at, n, 0.99f, 0.5f, 1.0f);
            }
            EXPECT_EQ(a, b);
        }
    }
}

TEST_F(DelayTest, InPlaceEqualsSeparateBuffers) {
    struct Case {
        int32_t length;
        float feedback, mix;
        bool echo;
    };
    enginetest::Noise noise(21);
    for (const Case& c : {Case{333, 0.4f, 0.3f, true}, Case{12965, 0.0f, 1.0f, false},
                          Case{2001, 0.5f, 0.5f, false}, Case{7, 0.0f, 1.0f, false}}) {
        for (VectorLevel level : enginetest::vectorLevels()) {
            SCOPED_TRACE(testing::Message()
                         << "length " << c.length << " level " << static_cast<int>(level));
            enginetest::VectorLevelScope scope(level);
            std::vector<float> in = noise.block(3000), out(3000), inPlace = in;
            Delay a(c.length), b(c.length);
            a.setEchoFilter(c.echo);
            b.setEchoFilter(c.echo);
            for (int32_t at = 0; at < 3000; at += 500) {
                a.process(in.data() + at, out.data() + at, 500, 0.99f, c.feedback, c.mix);
                b.process(inPlace.data() + at, inPlace.data() + at, 500, 0.99f, c.feedback, c.mix);
            }
            EXPECT_EQ(out, inPlace);
        }
    }
}

TEST_F(DelayTest, ReusesReservedStorage) {
    Delay line(10);
    line.reserve(5000);
    const int32_t capacity = probe(line).getCapacity();
    const float* cells = probe(line).getCells();
    line.setLength(4000);
    line.setLength(5000);
    EXPECT_EQ(probe(line).getCells(), cells);
    EXPECT_EQ(probe(line).getCapacity(), capacity);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(cells) % 16, 0u);
    line.setLength(9000); // beyond the reserve: grows
    EXPECT_GE(probe(line).getCapacity(), 9001);
    EXPECT_FALSE(probe(line).isBusy());
}

TEST_F(DelayTest, MatchesThePlainTranscriptionAtEveryVectorLevel) {
    int32_t rate = 44100;
    struct Case {
        int32_t length;
        float feedback, mix;
        bool echo;
    };
    for (VectorLevel level : enginetest::vectorLevels()) {
        enginetest::VectorLevelScope scope(level);
        enginetest::Noise noise(77);
        for (const Case& c :
             {Case{7, 0.0f, 1.0f, false}, Case{151, 0.0f, 1.0f, false},
              Case{7545, 0.0109379f, 0.3f, true}, Case{15165, 0.0104689f, 0.1f, false},
              Case{2001, 0.6f, 0.5f, true}, Case{40, 0.3f, 0.7f, false}}) {
            reference::Delay expected(c.length, &rate);
            Delay actual(c.length);
            expected.setEchoFilter(c.echo);
            actual.setEchoFilter(c.echo);
            for (int call = 0; call < 60; ++call) {
                const int32_t count = 1 + (call * 131) % 700;
                std::vector<float> in = noise.block(count), a(in.size()), b(in.size());
                expected.process(in.data(), a.data(), count, 0.99f, c.feedback, c.mix);
                actual.process(in.data(), b.data(), count, 0.99f, c.feedback, c.mix);
                ASSERT_EQ(a, b) << "length " << c.length << " level " << static_cast<int>(level);
            }
        }
    }
}

TEST_F(DelayTest, FiltersInTheLoopEqualSeparatePassesAtEveryVectorLevel) {
    enginetest::Noise noise(91);
    for (VectorLevel level : enginetest::vectorLevels()) {
        enginetest::VectorLevelScope scope(level);
        for (int32_t length : {7, 151, 2001}) {
            for (int32_t type : {0, 1, 4}) {
                SCOPED_TRACE(testing::Message() << "length " << length << " type " << type
                                                << " level " << static_cast<int>(level));
                Delay chained(length), plain(length);
                chained.setEchoFilter(true);
                plain.setEchoFilter(true);
                Filter inA, outA, inB, outB;
                for (Filter* f : {&inA, &inB}) {
                    f->setType(type, 0.001f);
                    f->mix = 0.7f;
                }
                for (Filter* f : {&outA, &outB}) {
                    f->setType(type == 0 ? 4 : type, 0.001f);
                }
                Delay::Chain chain;
                chain.inputFilter = &inA;
                chain.inputMixing = true;
                chain.outputFilter = &outA;
                for (int call = 0; call < 30; ++call) {
                    const float cutoff = 0.1f + 0.05f * (call % 5);
                    inA.cutoff = inB.cutoff = cutoff;
                    outA.cutoff = outB.cutoff = cutoff * 0.5f;
                    const int32_t count = 1 + (call * 97) % 400;
                    std::vector<float> in = noise.block(count), a(in.size()), b = in;
                    chained.process(in.data(), a.data(), count, 0.99f, 0.2f, 0.3f, chain);
                    inB.process(static_cast<uint32_t>(count), b.data(), true);
                    plain.process(b.data(), b.data(), count, 0.99f, 0.2f, 0.3f);
                    outB.process(static_cast<uint32_t>(count), b.data(), false);
                    ASSERT_EQ(a, b) << "call " << call;
                }
            }
        }
    }
}

} // namespace
