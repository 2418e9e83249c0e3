// The effect driven as a real host drives it: an audio thread processing while
// a control thread sets parameters and programs and another one changes the
// block size and sample rate. Run under ThreadSanitizer (the tsan build preset)
// this also proves the values cross threads without a data race.
#include "tests/effect/EffectTestSupport.h"
#include "tests/engine/EngineProbe.h"

#include <atomic>
#include <cmath>
#include <thread>

using namespace effecttest;

namespace {

class EffectThreads : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::get().reset();
        currentSampleRate = kDefaultSampleRate;
        Instance first; // see ReverbEffectTest: the generator's state at load
    }
    void TearDown() override { currentSampleRate = kDefaultSampleRate; }
};

TEST_F(EffectThreads, AudioRunsWhileParametersProgramsAndSizesChange) {
    Instance fx;
    ASSERT_NE(fx.record, nullptr);
    fx.setBlockSize(256);
    fx.dispatch(effMainsChanged, 0, 1);

    constexpr int kBlocks = 6000;
    constexpr int32_t kFrames = 384; // longer than some capacities below: pieces
    const Stereo input = noise(kFrames * 8, 77);
    std::atomic<bool> audioDone{false};
    std::atomic<int> nonFinite{0};
    std::atomic<int> blocksDone{0};

    std::thread audio([&] {
        Stereo out(kFrames);
        for (int b = 0; b < kBlocks; ++b) {
            const size_t at = static_cast<size_t>(b % 8) * kFrames;
            fx.run(&input.left[at], &input.right[at], out.left.data(), out.right.data(), kFrames,
                   b % 2 == 0);
            for (int32_t i = 0; i < kFrames; ++i) {
                if (!std::isfinite(out.left[size_t(i)]) || !std::isfinite(out.right[size_t(i)])) {
                    nonFinite.fetch_add(1, std::memory_order_relaxed);
                }
            }
            blocksDone.store(b + 1, std::memory_order_relaxed);
        }
        audioDone.store(true, std::memory_order_release);
    });

    std::thread control([&] {
        uint32_t seed = 1;
        int step = 0;
        while (!audioDone.load(std::memory_order_acquire)) {
            seed = seed * 1664525u + 1013904223u;
            const int32_t index = static_cast<int32_t>((seed >> 8) % 32);
            const float value = static_cast<float>((seed >> 12) % 1001) / 1000.0f;
            fx.set(index, value);
            if (++step % 50 == 0) {
                fx.selectProgram(static_cast<intptr_t>((seed >> 4) % 128));
                char text[32];
                fx.dispatch(effGetProgramName, 0, 0, text);
                fx.dispatch(effGetParamDisplay, index, 0, text);
            }
            if (step % 7 == 0) {
                std::this_thread::yield();
            }
        }
    });

    std::thread resizer([&] {
        const intptr_t sizes[] = {64, 512, 100, 4096, 1};
        int step = 0;
        while (!audioDone.load(std::memory_order_acquire)) {
            fx.setBlockSize(sizes[step % 5]);
            if (step % 10 == 9) {
                fx.setSampleRate(step % 20 == 19 ? 48000.0f : 44100.0f);
            }
            ++step;
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
    });

    audio.join();
    control.join();
    resizer.join();
    EXPECT_EQ(blocksDone.load(), kBlocks);
    EXPECT_EQ(nonFinite.load(), 0);

    // Afterwards the effect is in a state that follows its settings.
    fx.set(2, 0.25f);
    fx.set(0, 0.07f);
    Stereo out(64);
    fx.run(input.left.data(), input.right.data(), out.left.data(), out.right.data(), 64);
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getRoomSize(), 0.25f);
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getMode(), 1);
    EXPECT_FALSE(fx.reverb->getCore().isRebuildPending());
}

// Two instances on two audio threads, as a host runs parallel tracks.
TEST_F(EffectThreads, InstancesOnSeparateAudioThreadsAreIndependent) {
    Instance a, b, reference;
    const Stereo input = noise(256 * 40, 3);
    const Stereo expected = render(reference, input, 256);
    Stereo outA(input.size()), outB(input.size());
    std::thread first([&] { outA = render(a, input, 256); });
    std::thread second([&] { outB = render(b, input, 256); });
    first.join();
    second.join();
    EXPECT_TRUE(sameAudio(outA, expected));
    EXPECT_TRUE(sameAudio(outB, expected));
}

} // namespace
