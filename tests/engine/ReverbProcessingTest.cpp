// The reverb's blocks: the plain transcription matched across settings, rates, block sizes and
// vector levels, the silence gate, the stereo separation, and odd input from a host.
#include "engine/FloatMode.h"
#include "engine/Random.h"
#include "engine/Reverb.h"
#include "tests/engine/EngineProbe.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/engine/ReferenceReverb.h"

#include <atomic>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using enginetest::Noise;

class ReverbProcessing : public enginetest::RateFixture {
protected:
    void matchAcrossSettings(VectorLevel level);
};

// One stereo block with both outputs.
struct Stereo {
    explicit Stereo(int32_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    std::vector<float> left, right;
};

bool allZero(const std::vector<float>& v) {
    for (float x : v) {
        if (x != 0.0f) {
            return false;
        }
    }
    return true;
}

// The engine and the plain transcription built from the same generator state and driven
// through the same calls.
class Pair {
public:
    explicit Pair(int32_t rate = 44100) {
        generator.seed(randomState());
        engine = std::make_unique<Reverb>();
        expected = std::make_unique<reference::Reverb>(generator, rate);
    }
    void each(const std::function<void(Reverb&)>& a,
              const std::function<void(reference::Reverb&)>& b) {
        a(*engine);
        b(*expected);
    }
    // Applies what the effect's default program hands the engine.
    void defaultProgram() {
        engine->setPreDelay(0.0f);
        expected->setPreDelay(0.0f);
        engine->setLowpassCutoff(0.8f);
        expected->setLowpassCutoff(0.8f);
        engine->setHighpassCutoff(0.0f);
        expected->setHighpassCutoff(0.0f);
        engine->setSeparation(0.5f * 0.98f + 0.001f);
        expected->setSeparation(0.5f * 0.98f + 0.001f);
        rebuild(0.5f, 0, 0.5f);
    }
    void rebuild(float length, int32_t mode, float room) {
        engine->setLength(length);
        engine->setMode(mode);
        engine->setRoomSize(room);
        expected->setLength(length);
        expected->setMode(mode);
        expected->setRoomSize(room);
    }
    void setBlockSize(int32_t frames) {
        engine->setBlockSize(frames);
        expected->setBlockSize(frames);
    }
    // Processes one block through both and answers the largest difference of the outputs. The
    // transcription runs in the engine's floating-point mode (denormals flushed), so the two
    // agree to the bit.
    double run(const std::vector<float>& l, const std::vector<float>& r, float dry, float wet) {
        const int32_t n = static_cast<int32_t>(l.size());
        Stereo a(n), b(n);
        engine->process(n, l.data(), r.data(), a.left.data(), a.right.data(), dry, wet);
        {
            ScopedFlushDenormals ftz;
            expected->process(n, l.data(), r.data(), b.left.data(), b.right.data(), dry, wet);
        }
        lastOutput = a.left;
        return std::max(enginetest::maxAbsDifference(a.left, b.left),
                        enginetest::maxAbsDifference(a.right, b.right));
    }
    reference::Generator generator;
    std::unique_ptr<Reverb> engine;
    std::unique_ptr<reference::Reverb> expected;
    std::vector<float> lastOutput;
};

// Bursts of noise with pauses long enough for the gate to close now and then.
std::vector<float> programme(Noise& noise, int32_t block, int32_t n) {
    const bool loud = (block % 97) < 60 || (block % 7) == 0;
    return noise.block(n, loud ? 0.5f : 0.0f);
}

TEST_F(ReverbProcessing, MatchesThePlainTranscriptionWithTheDefaultProgram) {
    for (VectorLevel level : enginetest::vectorLevels()) {
        SCOPED_TRACE(static_cast<int>(level));
        enginetest::VectorLevelScope scope(level);
        Pair pair;
        pair.defaultProgram();
        Noise noise(1);
        double worst = 0.0;
        for (int block = 0; block < 700; ++block) {
            const std::vector<float> l = programme(noise, block, 256),
                                     r = programme(noise, block, 256);
            worst = std::max(worst, pair.run(l, r, 1.0f, 0.125f));
        }
        EXPECT_EQ(worst, 0.0);
    }
}

TEST_F(ReverbProcessing, MatchesThePlainTranscriptionAcrossSettingsAndBlockSizes) {
    for (VectorLevel level : enginetest::vectorLevels()) {
        matchAcrossSettings(level);
    }
}

void ReverbProcessing::matchAcrossSettings(VectorLevel level) {
    SCOPED_TRACE(static_cast<int>(level));
    enginetest::VectorLevelScope scope(level);
    Pair pair;
    pair.setBlockSize(1024);
    Noise noise(2);
    struct Step {
        float room, preDelay, separation, lowpass, highpass;
    };
    const Step steps[] = {{0.0f, 0.0f, 0.001f, 0.1f, 0.0f},
                          {1.0f, 0.98f, 0.981f, 1.1f, 0.8f},
                          {0.7f, 0.3f, 0.3f, 0.5f, 0.2f},
                          {2.0f, 0.05f, 0.6f, 0.3f, 0.01f}};
    double worst = 0.0;
    int32_t sizes[] = {1, 64, 1024, 333, 7, 1000};
    int block = 0;
    for (const Step& s : steps) {
        pair.each(
            [&](Reverb& e) {
                e.setPreDelay(s.preDelay);
                e.setSeparation(s.separation);
                e.setLowpassCutoff(s.lowpass);
                e.setHighpassCutoff(s.highpass);
            },
            [&](reference::Reverb& e) {
                e.setPreDelay(s.preDelay);
                e.setSeparation(s.separation);
                e.setLowpassCutoff(s.lowpass);
                e.setHighpassCutoff(s.highpass);
            });
        pair.rebuild(0.5f, 1, s.room);
        for (int i = 0; i < 150; ++i, ++block) {
            const int32_t n = sizes[block % 6];
            const std::vector<float> l = programme(noise, block, n), r = noise.block(n, 0.2f);
            worst = std::max(worst, pair.run(l, r, 0.5f, 1.0f));
        }
        // A cutoff change between blocks, without a rebuild.
        pair.each([](Reverb& e) { e.setLowpassCutoff(0.2f); },
                  [](reference::Reverb& e) { e.setLowpassCutoff(0.2f); });
        for (int i = 0; i < 20; ++i, ++block) {
            const std::vector<float> l = noise.block(512, 0.3f), r = noise.block(512, 0.3f);
            worst = std::max(worst, pair.run(l, r, 0.0f, 1.0f));
        }
    }
    EXPECT_EQ(worst, 0.0);
}

TEST_F(ReverbProcessing, MatchesThePlainTranscriptionForEveryBlockPattern) {
    // Hosts split blocks anywhere: each row is a cycle of block sizes, with a room size (the
    // reflections' shortest tap), a capacity and a rate, run at every vector level. At 8000 Hz
    // and room size 0 the shortest tap reaches 8 samples back, less than some short blocks.
    struct Row {
        std::vector<int32_t> sizes;
        float room;
        int32_t capacity;
        int32_t rate;
    };
    const Row rows[] = {{{1, 7, 32, 512}, 0.5f, 512, 44100},
                        {{512, 1, 1, 32, 7, 7}, 0.0f, 512, 44100},
                        {{1}, 0.0f, 256, 44100},
                        {{3, 64, 1, 100}, 1.0f, 100, 44100},
                        {{13, 1, 9, 12}, 0.0f, 64, 8000}};
    for (VectorLevel level : enginetest::vectorLevels()) {
        enginetest::VectorLevelScope scope(level);
        for (const Row& row : rows) {
            SCOPED_TRACE(testing::Message() << "level " << static_cast<int>(level) << " first "
                                            << row.sizes[0] << " room " << row.room);
            currentSampleRate = row.rate;
            Pair pair(row.rate);
            pair.setBlockSize(row.capacity);
            pair.defaultProgram();
            pair.rebuild(0.5f, 0, row.room);
            Noise noise(29);
            double worst = 0.0;
            for (int32_t block = 0, done = 0; done < 30000; ++block) {
                const int32_t n = row.sizes[static_cast<size_t>(block) % row.sizes.size()];
                const std::vector<float> l = programme(noise, block / 8, n),
                                         r = noise.block(n, 0.3f);
                worst = std::max(worst, pair.run(l, r, 1.0f, 0.5f));
                done += n;
            }
            EXPECT_EQ(worst, 0.0);
        }
    }
}

TEST_F(ReverbProcessing, ShortBlocksFollowCutoffChangesWithoutARebuild) {
    // Blocks short enough to run sample by sample, with the filters' cutoffs changed between
    // them now and then (the filters redesign while the lines keep running).
    const float cutoffs[][2] = {{0.2f, 0.1f}, {0.9f, 0.0f}, {0.5f, 0.4f}};
    for (VectorLevel level : enginetest::vectorLevels()) {
        SCOPED_TRACE(static_cast<int>(level));
        enginetest::VectorLevelScope scope(level);
        Pair pair;
        pair.defaultProgram();
        Noise noise(31);
        double worst = 0.0;
        for (int block = 0; block < 6000; ++block) {
            if (block % 1000 == 999) {
                const float* c = cutoffs[(block / 1000) % 3];
                pair.each(
                    [c](Reverb& e) {
                        e.setLowpassCutoff(c[0]);
                        e.setHighpassCutoff(c[1]);
                    },
                    [c](reference::Reverb& e) {
                        e.setLowpassCutoff(c[0]);
                        e.setHighpassCutoff(c[1]);
                    });
            }
            const int32_t n = block % 2 == 0 ? 1 : 5;
            worst =
                std::max(worst, pair.run(noise.block(n, 0.4f), noise.block(n, 0.4f), 1.0f, 0.5f));
        }
        EXPECT_EQ(worst, 0.0);
    }
}

TEST_F(ReverbProcessing, MatchesThePlainTranscriptionAt8000And192000Hertz) {
    for (VectorLevel level : enginetest::vectorLevels()) {
        enginetest::VectorLevelScope scope(level);
        for (int32_t rate : {8000, 192000}) {
            SCOPED_TRACE(testing::Message() << rate << " Hz, level " << static_cast<int>(level));
            currentSampleRate = rate;
            Pair pair(rate);
            pair.defaultProgram();
            pair.rebuild(0.5f, 0, 1.0f);
            Noise noise(3);
            double worst = 0.0;
            for (int block = 0; block < 200; ++block) {
                const std::vector<float> l = programme(noise, block, 256),
                                         r = noise.block(256, 0.1f);
                worst = std::max(worst, pair.run(l, r, 1.0f, 0.5f));
            }
            EXPECT_EQ(worst, 0.0);
        }
    }
}

TEST_F(ReverbProcessing, AnEngineKeepsItsRateWhenAnotherInstanceChangesTheLibraryRate) {
    Pair pair; // sized at 44100 Hz
    currentSampleRate = 8000;
    Reverb other;
    other.sampleRateChanged();
    // The first engine's rebuilds and blocks still follow 44100 Hz.
    pair.rebuild(0.5f, 0, 1.0f);
    Noise noise(17);
    double worst = 0.0;
    for (int block = 0; block < 200; ++block) {
        const std::vector<float> l = programme(noise, block, 256), r = noise.block(256, 0.3f);
        worst = std::max(worst, pair.run(l, r, 1.0f, 0.5f));
        Stereo out(256);
        other.process(256, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, 0.5f);
    }
    EXPECT_EQ(worst, 0.0);
    EXPECT_EQ(probe(other).getTapDelay(0), 56); // trunc(2 * 35 * 8000 * 0.0001)
}

TEST_F(ReverbProcessing, GateRunsTheTailFor220500SamplesAtRoomSizeHalf) {
    Reverb reverb;
    const int32_t n = 256;
    std::vector<float> impulse(n, 0.0f), silence(n, 0.0f);
    impulse[0] = 1.0f;
    Stereo out(n);
    reverb.process(n, impulse.data(), impulse.data(), out.left.data(), out.right.data(), 1.0f,
                   0.125f);
    EXPECT_EQ(probe(reverb).getTailCounter(), 220500);
    // 861 silent blocks (220416 samples) keep being processed, the 862nd is skipped.
    int processed = 0;
    for (int block = 1;; ++block) {
        reverb.process(n, silence.data(), silence.data(), out.left.data(), out.right.data(), 1.0f,
                       0.125f);
        if (allZero(out.left) && allZero(out.right)) {
            EXPECT_EQ(block, 862);
            break;
        }
        processed = block;
        ASSERT_LT(block, 1000);
    }
    EXPECT_EQ(processed, 861);
    EXPECT_EQ(probe(reverb).getTailCounter(), 0);
    // Closed: silent blocks stay skipped and the counter stays 0.
    reverb.process(n, silence.data(), silence.data(), out.left.data(), out.right.data(), 1.0f,
                   0.125f);
    EXPECT_TRUE(allZero(out.left));
    EXPECT_EQ(probe(reverb).getTailCounter(), 0);
}

TEST_F(ReverbProcessing, SignalThresholdsAreStrictAndTheRightOneIsTenTimesHigher) {
    Reverb reverb;
    const int32_t n = 64;
    Stereo out(n);
    auto hasSignal = [&](float left, float right) {
        std::vector<float> l(n, 0.0f), r(n, 0.0f);
        l[10] = left;
        r[10] = right;
        reverb.process(n, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, 0.125f);
        return probe(reverb).getTailCounter() == 220500;
    };
    EXPECT_FALSE(hasSignal(0.00001f, 0.0f));
    EXPECT_TRUE(hasSignal(0.000011f, 0.0f));
    EXPECT_TRUE(hasSignal(-0.000011f, 0.0f));
    EXPECT_FALSE(hasSignal(0.0f, 0.0001f));
    EXPECT_FALSE(hasSignal(0.0f, 0.00005f));
    EXPECT_TRUE(hasSignal(0.0f, 0.00011f));
    EXPECT_FALSE(hasSignal(NAN, 0.0f));
}

TEST_F(ReverbProcessing, QuietRightInputIsGatedOnceTheTailRunsOut) {
    Reverb reverb;
    const int32_t n = 4096;
    std::vector<float> l(n, 0.0f), r(n, 0.00005f);
    Stereo out(n);
    // The gate was never opened: blocks are skipped at once, although dry * input is not 0.
    reverb.process(n, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, 0.125f);
    EXPECT_TRUE(allZero(out.right));
}

TEST_F(ReverbProcessing, ZeroFramesWritesNothing) {
    Reverb reverb;
    float l = 1.0f, r = 1.0f, ol = 7.0f, orr = 7.0f;
    reverb.process(0, &l, &r, &ol, &orr, 1.0f, 0.125f);
    EXPECT_EQ(ol, 7.0f);
    EXPECT_EQ(orr, 7.0f);
    EXPECT_EQ(probe(reverb).getTailCounter(), 0);
}

TEST_F(ReverbProcessing, OnlyWetBelowTheThresholdSkips) {
    Reverb reverb;
    const int32_t n = 256;
    Noise noise(8);
    std::vector<float> l = noise.block(n, 0.5f), r = noise.block(n, 0.5f);
    Stereo out(n);
    reverb.process(n, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, 0.000009f);
    EXPECT_TRUE(allZero(out.left) && allZero(out.right));
    EXPECT_EQ(probe(reverb).getTailCounter(), 0); // a skipped block changes nothing
    const float lowest = std::ldexp(1.0f, -9);
    reverb.process(n, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, lowest);
    EXPECT_FALSE(allZero(out.left));
    EXPECT_EQ(probe(reverb).getTailCounter(), 220500);
}

TEST_F(ReverbProcessing, TinyWetGainPassesTheDrySignal) {
    Reverb reverb;
    const int32_t n = 256;
    Noise noise(12);
    std::vector<float> l = noise.block(n, 0.5f), r = noise.block(n, 0.5f);
    Stereo out(n);
    reverb.process(n, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, 0.00001f);
    EXPECT_LE(enginetest::maxAbsDifference(out.left, l), 1e-4);
    EXPECT_LE(enginetest::maxAbsDifference(out.right, r), 1e-4);
}

TEST_F(ReverbProcessing, InPlaceEqualsSeparateBuffers) {
    const uint32_t seed = randomState();
    Reverb separate;
    randomSeed(seed);
    Reverb inPlace;
    Noise noise(13);
    for (int block = 0; block < 100; ++block) {
        std::vector<float> l = programme(noise, block, 256), r = noise.block(256, 0.3f);
        Stereo out(256);
        separate.process(256, l.data(), r.data(), out.left.data(), out.right.data(), 0.8f, 0.5f);
        inPlace.process(256, l.data(), r.data(), l.data(), r.data(), 0.8f, 0.5f);
        ASSERT_EQ(out.left, l);
        ASSERT_EQ(out.right, r);
    }
}

TEST_F(ReverbProcessing, TheRightWetSignalIsTheLeftOneDelayedBySeparation) {
    Reverb reverb;
    reverb.setSeparation(0.491f);
    reverb.setLength(0.5f); // separation line length 151: 150 samples
    const int32_t n = 256;
    Stereo out(n);
    std::vector<float> collectedL, collectedR;
    for (int block = 0; block < 80; ++block) {
        std::vector<float> l(n, 0.0f), r(n, 0.0f);
        if (block == 0) {
            l[0] = 1.0f;
        }
        reverb.process(n, l.data(), r.data(), out.left.data(), out.right.data(), 0.0f, 1.0f);
        collectedL.insert(collectedL.end(), out.left.begin(), out.left.end());
        collectedR.insert(collectedR.end(), out.right.begin(), out.right.end());
    }
    // Cross-correlate: the best lag is the separation delay.
    int bestLag = -1;
    double best = -1.0;
    for (int lag = 100; lag < 200; ++lag) {
        double c = 0.0;
        for (size_t i = 0; i + lag < collectedL.size(); ++i) {
            c += collectedL[i] * collectedR[i + lag];
        }
        if (c > best) {
            best = c;
            bestLag = lag;
        }
    }
    EXPECT_EQ(bestLag, 150);
}

TEST_F(ReverbProcessing, BlocksLongerThanTheCapacityAreProcessedInPieces) {
    const uint32_t seed = randomState();
    Reverb whole;
    randomSeed(seed);
    Reverb pieces;
    Noise noise(14);
    std::vector<float> l = noise.block(1000, 0.5f), r = noise.block(1000, 0.5f);
    Stereo a(1000), b(1000);
    whole.process(1000, l.data(), r.data(), a.left.data(), a.right.data(), 1.0f, 0.5f);
    for (int32_t at = 0; at < 1000; at += 256) {
        const int32_t len = std::min(256, 1000 - at);
        pieces.process(len, l.data() + at, r.data() + at, b.left.data() + at, b.right.data() + at,
                       1.0f, 0.5f);
    }
    EXPECT_EQ(a.left, b.left);
    EXPECT_EQ(a.right, b.right);
}

TEST_F(ReverbProcessing, NonFiniteInputIsSilenceForTheReverb) {
    const uint32_t seed = randomState();
    Reverb poisoned;
    randomSeed(seed);
    Reverb clean;
    Noise noise(15);
    for (int block = 0; block < 60; ++block) {
        std::vector<float> l = noise.block(256, 0.5f), r = noise.block(256, 0.5f);
        std::vector<float> lBad = l, rBad = r;
        if (block == 3) {
            lBad[5] = NAN;
            rBad[9] = INFINITY;
            lBad[200] = -INFINITY;
            l[5] = 0.0f;
            r[9] = 0.0f;
            l[200] = 0.0f;
        }
        Stereo a(256), b(256);
        poisoned.process(256, lBad.data(), rBad.data(), a.left.data(), a.right.data(), 1.0f, 0.5f);
        clean.process(256, l.data(), r.data(), b.left.data(), b.right.data(), 1.0f, 0.5f);
        for (int i = 0; i < 256; ++i) {
            if (block == 3 && (i == 5 || i == 9 || i == 200)) {
                continue; // the dry path carries the bad sample itself
            }
            ASSERT_EQ(a.left[i], b.left[i]) << block << " " << i;
            ASSERT_EQ(a.right[i], b.right[i]) << block << " " << i;
        }
    }
}

TEST_F(ReverbProcessing, HugeInputStaysFinite) {
    Reverb reverb;
    std::vector<float> l(256, 3e38f), r(256, 3e38f);
    Stereo out(256);
    for (int block = 0; block < 40; ++block) {
        reverb.process(256, l.data(), r.data(), out.left.data(), out.right.data(), 0.0f, 1.0f);
    }
    std::vector<float> quiet(256, 0.1f);
    reverb.process(256, quiet.data(), quiet.data(), out.left.data(), out.right.data(), 0.0f, 1.0f);
    for (float v : out.left) {
        ASSERT_TRUE(std::isfinite(v));
    }
}

TEST_F(ReverbProcessing, OddSampleRatesRunSafely) {
    Noise noise(16);
    for (int32_t rate : {1, 2, 47, 100, 8000, 192000, kMaxSampleRate}) {
        SCOPED_TRACE(rate);
        currentSampleRate = rate;
        Reverb reverb;
        reverb.setBlockSize(512);
        for (float room : {0.0f, 1.0f, 2.0f}) {
            reverb.setSeparation(1.0f);
            reverb.setPreDelay(1.0f);
            reverb.setRoomSize(room);
            for (int block = 0; block < 4; ++block) {
                std::vector<float> l = noise.block(700, 0.5f), r = noise.block(700, 0.5f);
                Stereo out(700);
                reverb.process(700, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f,
                               1.0f);
                for (float v : out.left) {
                    ASSERT_TRUE(std::isfinite(v));
                }
                ASSERT_LT(probe(reverb).getHistoryPos(), probe(reverb).getHistoryLength());
            }
        }
        // Switching the same engine between tiny and normal rates.
        currentSampleRate = rate == 1 ? 44100 : 1;
        reverb.sampleRateChanged();
        std::vector<float> l = noise.block(300), r = noise.block(300);
        Stereo out(300);
        reverb.process(300, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, 1.0f);
        for (float v : out.right) {
            ASSERT_TRUE(std::isfinite(v));
        }
    }
}

TEST_F(ReverbProcessing, BlockSizesOutsideTheRangeAreLimited) {
    Reverb reverb;
    reverb.setBlockSize(0);
    EXPECT_EQ(reverb.getBlockCapacity(), 256);
    reverb.setBlockSize(-5);
    EXPECT_EQ(reverb.getBlockCapacity(), 256);
    reverb.setBlockSize(1 << 30);
    EXPECT_EQ(reverb.getBlockCapacity(), Reverb::kMaxBlockSize);
    reverb.setBlockSize(1);
    Noise noise(18);
    std::vector<float> l = noise.block(100, 0.5f), r = noise.block(100, 0.5f);
    Stereo out(100);
    reverb.process(100, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, 0.5f);
    EXPECT_EQ(probe(reverb).getTailCounter(), 220500);
    for (float v : out.left) {
        ASSERT_TRUE(std::isfinite(v));
    }
}

TEST_F(ReverbProcessing, ImmediateSettersMayRunOnAnotherThreadDuringBlocks) {
    Reverb reverb;
    std::atomic<bool> done{false};
    std::thread automation([&]() {
        for (int i = 0; !done.load(); ++i) {
            const float v = (i % 100) / 100.0f;
            reverb.setLowpassCutoff(v + 0.1f);
            reverb.setHighpassCutoff(v);
            reverb.setSeparation(v * 0.98f + 0.001f);
            reverb.setPreDelay(v * 0.98f);
        }
    });
    Noise noise(19);
    Stereo out(256);
    for (int block = 0; block < 300; ++block) {
        std::vector<float> l = noise.block(256, 0.5f), r = noise.block(256, 0.5f);
        if (block % 50 == 0) {
            reverb.setLength(0.5f); // a rebuild at a block start reads separation and pre-delay
        }
        reverb.process(256, l.data(), r.data(), out.left.data(), out.right.data(), 1.0f, 0.5f);
        for (float v : out.left) {
            ASSERT_TRUE(std::isfinite(v));
        }
    }
    done.store(true);
    automation.join();
    reverb.setLowpassCutoff(0.5f);
    EXPECT_FLOAT_EQ(probe(reverb).getLowpassCutoff(), 0.4f);
}

TEST_F(ReverbProcessing, NullBuffersAreAnsweredWithSilence) {
    Reverb reverb;
    std::vector<float> in(64, 0.5f), out(64, 9.0f);
    reverb.process(64, nullptr, in.data(), out.data(), nullptr, 1.0f, 1.0f);
    EXPECT_TRUE(allZero(out));
}

} // namespace
