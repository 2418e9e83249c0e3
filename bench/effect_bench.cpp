// Cost of the effect as a host runs it: blocks through the record's
// processReplacing against the engine alone, the real-time factor over 60 s of
// stereo audio at 44.1 kHz with the worst block against the median, and the
// block that carries a rebuild.
//
// BM_BlockSizesThroughModule prints the built module's cost per frame at
// blocks of 1 to 4096 frames, loaded and driven through its record as a host
// does, beside the plain transcription of the algorithms.
//
// Counters: ns/frame per stereo frame; xRealtime how many times faster than
// real time one core runs; ratios are measured side by side in the same loop.
#include "bench/BenchSupport.h"
#include "bench/BlockSizeTable.h"
#include "effect/PluginEntry.h"
#include "effect/ReverbEffect.h"
#include "engine/Reverb.h"
#include "tests/engine/ReferenceReverb.h"
#include "tools/PluginLoader.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

using bench::host;
using bench::input;
using bench::Input;
using bench::kRate;
constexpr int32_t kBlock = 512;

using Clock = std::chrono::steady_clock;

// An instance as a host starts it.
struct Instance {
    explicit Instance(int32_t block = kBlock) {
        effect = createEffectInstance(host);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
        effect->dispatcher(effect, effSetBlockSize, 0, block, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    ~Instance() { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }

    // The block starting at frame `at` of the looped input.
    void run(int32_t at, int32_t frames = kBlock) {
        const Input& in = input();
        float* inputs[2] = {const_cast<float*>(&in.left[size_t(at)]),
                            const_cast<float*>(&in.right[size_t(at)])};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, frames);
    }

    AEffect* effect = nullptr;
    std::vector<float> outLeft = std::vector<float>(kBlock);
    std::vector<float> outRight = std::vector<float>(kBlock);
};

// The engine alone with what the default program hands it.
struct Engine {
    Engine() {
        reverb.setBlockSize(kBlock);
        reverb.setPreDelay(0.0f);
        reverb.setLowpassCutoff(0.8f);
        reverb.setHighpassCutoff(0.0f);
        reverb.setSeparation(0.491f);
        reverb.setLength(0.5f);
        reverb.setMode(0);
        reverb.setRoomSize(0.5f);
    }
    void run(int32_t at) {
        const Input& in = input();
        reverb.process(kBlock, &in.left[size_t(at)], &in.right[size_t(at)], outLeft.data(),
                       outRight.data(), dry, wet);
    }
    Reverb reverb;
    float dry = ReverbCore::levelGain(0.9f);
    float wet = ReverbCore::levelGain(0.6f);
    std::vector<float> outLeft = std::vector<float>(kBlock);
    std::vector<float> outRight = std::vector<float>(kBlock);
};

int32_t nextBlock(int32_t at) {
    at += kBlock;
    return at + kBlock > kRate ? 0 : at;
}

void setFrameCounters(benchmark::State& state, double framesPerIteration) {
    const double frames = double(state.iterations()) * framesPerIteration;
    state.counters["ns/frame"] = benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate |
                                                                       benchmark::Counter::kInvert);
    state.counters["xRealtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

void BM_EngineBlock(benchmark::State& state) {
    Engine engine;
    int32_t at = 0;
    for (auto _ : state) {
        engine.run(at);
        benchmark::DoNotOptimize(engine.outLeft.data());
        at = nextBlock(at);
    }
    setFrameCounters(state, kBlock);
}
BENCHMARK(BM_EngineBlock);

void BM_EffectBlockThroughRecord(benchmark::State& state) {
    Instance fx;
    int32_t at = 0;
    for (auto _ : state) {
        fx.run(at);
        benchmark::DoNotOptimize(fx.outLeft.data());
        at = nextBlock(at);
    }
    setFrameCounters(state, kBlock);
}
BENCHMARK(BM_EffectBlockThroughRecord);

// Both in one loop, alternating, so that the ratio sees the same machine state.
void BM_EffectOverEngineRatio(benchmark::State& state) {
    Instance fx;
    Engine engine;
    fx.run(0); // the default program's rebuild
    double effectTime = 0.0, engineTime = 0.0;
    int32_t at = 0;
    for (auto _ : state) {
        const auto t0 = Clock::now();
        for (int i = 0; i < 16; ++i) {
            fx.run(at);
            at = nextBlock(at);
        }
        const auto t1 = Clock::now();
        for (int i = 0; i < 16; ++i) {
            engine.run(at);
            at = nextBlock(at);
        }
        const auto t2 = Clock::now();
        effectTime += std::chrono::duration<double>(t1 - t0).count();
        engineTime += std::chrono::duration<double>(t2 - t1).count();
        benchmark::DoNotOptimize(fx.outLeft.data());
        benchmark::DoNotOptimize(engine.outLeft.data());
    }
    state.counters["effect/engine"] = effectTime / engineTime;
}
BENCHMARK(BM_EffectOverEngineRatio);

// 60 s of stereo at 44.1 kHz in host blocks; every block timed.
void BM_SixtySecondsThroughRecord(benchmark::State& state) {
    const int32_t blocks = 60 * kRate / kBlock;
    std::vector<double> times(static_cast<size_t>(blocks));
    double total = 0.0, worstOverMedian = 0.0, steadyOverMedian = 0.0, medianNs = 0.0,
           worstNs = 0.0;
    for (auto _ : state) {
        Instance fx;
        int32_t at = 0;
        for (int32_t b = 0; b < blocks; ++b) {
            const auto t0 = Clock::now();
            fx.run(at);
            times[size_t(b)] = std::chrono::duration<double>(Clock::now() - t0).count();
            at = nextBlock(at);
        }
        benchmark::DoNotOptimize(fx.outLeft.data());
        for (double t : times) {
            total += t;
        }
        std::vector<double> sorted = times;
        std::nth_element(sorted.begin(), sorted.begin() + blocks / 2, sorted.end());
        const double median = sorted[size_t(blocks / 2)];
        const double worst = *std::max_element(times.begin(), times.end());
        worstOverMedian = std::max(worstOverMedian, worst / median);
        // Without the first block, which carries the new instance's rebuild
        // and touches its storage for the first time.
        const double steady = *std::max_element(times.begin() + 1, times.end());
        steadyOverMedian = std::max(steadyOverMedian, steady / median);
        medianNs = median * 1e9;
        worstNs = std::max(worstNs, worst * 1e9);
    }
    state.counters["xRealtime"] = 60.0 * double(state.iterations()) / total;
    state.counters["medianBlock_us"] = medianNs / 1000.0;
    state.counters["worstBlock_us"] = worstNs / 1000.0;
    state.counters["worst/median"] = worstOverMedian;
    state.counters["worstAfterFirst/median"] = steadyOverMedian;
}
BENCHMARK(BM_SixtySecondsThroughRecord)->Iterations(3)->Unit(benchmark::kMillisecond);

// A block that carries the rebuild of a "Room Size" change against an
// ordinary block, alternating in one loop.
void BM_RebuildBlock(benchmark::State& state) {
    Instance fx;
    fx.run(0);
    double rebuildTime = 0.0, plainTime = 0.0;
    int32_t at = 0;
    bool larger = false;
    for (auto _ : state) {
        larger = !larger;
        fx.effect->setParameter(fx.effect, kRoomSize, larger ? 0.6f : 0.5f);
        const auto t0 = Clock::now();
        fx.run(at);
        const auto t1 = Clock::now();
        at = nextBlock(at);
        fx.run(at);
        const auto t2 = Clock::now();
        at = nextBlock(at);
        rebuildTime += std::chrono::duration<double>(t1 - t0).count();
        plainTime += std::chrono::duration<double>(t2 - t1).count();
        benchmark::DoNotOptimize(fx.outLeft.data());
    }
    state.counters["rebuildBlock_us"] = rebuildTime / double(state.iterations()) * 1e6;
    state.counters["plainBlock_us"] = plainTime / double(state.iterations()) * 1e6;
    state.counters["rebuild/plain"] = rebuildTime / plainTime;
}
BENCHMARK(BM_RebuildBlock);

#ifdef FUMARA_MODULE_PATH
// The built module (loaded from its file, default program, 44.1 kHz, block size 4096
// announced) and the plain transcription at blocks of 1 to 4096 frames over noise
// (bench/BlockSizeTable.h).
void BM_BlockSizesThroughModule(benchmark::State& state) {
    constexpr int32_t kCapacity = 4096;
    // FUMARA_BENCH_MODULE names another build of the module to measure (a copy of an earlier
    // one, say), in place of the one built with this benchmark.
    const char* other = std::getenv("FUMARA_BENCH_MODULE");
    PluginLoader module(other ? other : FUMARA_MODULE_PATH);
    if (!module.loaded() || !module.entryPoint()) {
        state.SkipWithError(module.error().c_str());
        return;
    }
    std::vector<AEffect*> effects;
    std::vector<std::unique_ptr<reference::Reverb>> plains;
    reference::Generator generator;
    for (int k = 0; k < bench::kBlockSizeCount; ++k) {
        AEffect* effect = module.entryPoint()(host);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
        effect->dispatcher(effect, effSetBlockSize, 0, kCapacity, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
        effects.push_back(effect);
        plains.push_back(std::make_unique<reference::Reverb>(generator, kRate));
        plains.back()->setBlockSize(kCapacity);
        bench::applyDefaultProgram(*plains.back());
    }
    const float dry = ReverbCore::levelGain(0.9f);
    const float wet = ReverbCore::levelGain(0.6f);
    const Input& in = input();
    std::vector<float> outL(kCapacity), outR(kCapacity);
    std::vector<int32_t> positions(2 * bench::kBlockSizeCount, 0);
    bench::blockSizeTable(state, "module", [&](bool plain, int k, int32_t frames) {
        const int32_t block = bench::kBlockSizes[k];
        int32_t& pos = positions[size_t(2 * k + (plain ? 1 : 0))];
        for (int32_t done = 0; done < frames; done += block) {
            if (pos + block > kRate) {
                pos = 0;
            }
            float* inputs[2] = {const_cast<float*>(&in.left[size_t(pos)]),
                                const_cast<float*>(&in.right[size_t(pos)])};
            float* outputs[2] = {outL.data(), outR.data()};
            if (plain) {
                plains[size_t(k)]->process(block, inputs[0], inputs[1], outputs[0], outputs[1], dry,
                                           wet);
            } else {
                effects[size_t(k)]->processReplacing(effects[size_t(k)], inputs, outputs, block);
            }
            pos += block;
        }
        benchmark::DoNotOptimize(outL.data());
    });
    for (AEffect* effect : effects) {
        effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    }
}
BENCHMARK(BM_BlockSizesThroughModule)->Iterations(15)->Unit(benchmark::kMillisecond);
#endif

} // namespace

BENCHMARK_MAIN();
