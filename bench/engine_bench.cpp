// Cost of the reverb engine: processing per frame for several block sizes (active and with
// the gate closed), the plain sample-by-sample transcription side by side, the spread of
// block times, a rebuild (one, and through the three rebuilding setters) and a sample-rate
// change.
//
// BM_Stages times each stage of the signal path on its own, at each vector level, with the
// default program's lengths, and BM_EngineAgainstPlainTranscription runs the engine at every
// level and the plain transcription side by side and reports the ratios.
//
// Counters: ns/frame is the cost of one stereo frame; xRealtime how many times faster than
// real time at 44.1 kHz one core processes a stereo stream. Vector levels: 0 scalar, 1 SSE2,
// 2 AVX2, 3 AVX-512.
#include "engine/Delay.h"
#include "engine/Filter.h"
#include "engine/FloatMode.h"
#include "engine/MixKernels.h"
#include "engine/Random.h"
#include "engine/Reflections.h"
#include "engine/Reverb.h"
#include "engine/SampleRate.h"
#include "engine/VectorLevel.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#ifdef FUMARA_BENCH_REFERENCE
#include "tests/engine/ReferenceReverb.h"
#endif

namespace {

constexpr int32_t kRate = 44100;

// One second of white noise per channel, looped by the benchmarks.
struct Input {
    Input() : left(kRate), right(kRate) {
        uint32_t s = 12345;
        for (int32_t i = 0; i < kRate; ++i) {
            s = s * 1664525u + 1013904223u;
            left[i] = static_cast<float>(static_cast<int32_t>(s >> 8) - (1 << 23)) / (1 << 24);
            s = s * 1664525u + 1013904223u;
            right[i] = static_cast<float>(static_cast<int32_t>(s >> 8) - (1 << 23)) / (1 << 24);
        }
    }
    std::vector<float> left, right;
};

const Input& input() {
    static const Input in;
    return in;
}

// What the effect's default program hands the engine, with the given room size.
template <class Engine> void configure(Engine& reverb, float room) {
    reverb.setPreDelay(0.0f);
    reverb.setLowpassCutoff(0.7f + 0.1f);
    reverb.setHighpassCutoff(0.0f);
    reverb.setSeparation(0.5f * 0.98f + 0.001f);
    reverb.setLength(0.5f);
    reverb.setMode(0);
    reverb.setRoomSize(room);
}

void setCounters(benchmark::State& state, int32_t block) {
    const double frames = static_cast<double>(state.iterations()) * block;
    state.counters["ns/frame"] = benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate |
                                                                       benchmark::Counter::kInvert);
    state.counters["xRealtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

template <class Engine>
void runBlocks(benchmark::State& state, Engine& reverb, int32_t block, bool silent) {
    const Input& in = input();
    std::vector<float> silence(static_cast<size_t>(block), 0.0f);
    std::vector<float> outL(static_cast<size_t>(block)), outR(static_cast<size_t>(block));
    int32_t pos = 0;
    auto one = [&]() {
        if (pos + block > kRate) {
            pos = 0;
        }
        const float* l = silent ? silence.data() : in.left.data() + pos;
        const float* r = silent ? silence.data() : in.right.data() + pos;
        reverb.process(block, l, r, outL.data(), outR.data(), 1.0f, 0.125f);
        pos += block;
    };
    // Fill the combs and, for silence, let the tail gate close.
    for (int32_t done = 0; done < (silent ? 16 : 1) * kRate; done += block) {
        one();
    }
    for (auto _ : state) {
        one();
        benchmark::DoNotOptimize(outL.data());
        benchmark::ClobberMemory();
    }
    setCounters(state, block);
}

void BM_ProcessActive(benchmark::State& state) {
    currentSampleRate = kRate;
    const int32_t block = static_cast<int32_t>(state.range(0));
    Reverb reverb;
    reverb.setBlockSize(block);
    configure(reverb, static_cast<float>(state.range(1)) / 100.0f);
    runBlocks(state, reverb, block, false);
}
BENCHMARK(BM_ProcessActive)
    ->ArgNames({"block", "room%"})
    ->ArgsProduct({{64, 256, 512, 1024, 4096}, {50, 100}});

// Limits the kernels to the level named by the benchmark's first argument; skips the
// benchmark where this processor does not have it.
bool useVectorLevel(benchmark::State& state) {
    const VectorLevel level = static_cast<VectorLevel>(state.range(0));
    if (static_cast<int>(level) > static_cast<int>(supportedVectorLevel())) {
        state.SkipWithError("vector level not supported here");
        return false;
    }
    limitVectorLevel(level);
    return true;
}

// The same at each vector level (the i686 build has SSE2 at most).
void BM_ProcessActiveAtVectorLevel(benchmark::State& state) {
    if (!useVectorLevel(state)) {
        return;
    }
    currentSampleRate = kRate;
    Reverb reverb;
    reverb.setBlockSize(512);
    configure(reverb, 1.0f);
    runBlocks(state, reverb, 512, false);
    limitVectorLevel(supportedVectorLevel());
}
BENCHMARK(BM_ProcessActiveAtVectorLevel)->ArgName("level")->DenseRange(0, 3);

// The calling thread's processor time in nanoseconds (see threadNanoseconds below).
double threadNanoseconds();

// The stages of a run of blocks, each stage timed over the whole run (so that reading the
// clock costs nothing per block), with the default program's lengths at 44.1 kHz (room size
// 0.5): pre-delay line 7 cells, combs 7545 and 15165 cells, separation line 151 cells, taps
// 308 to 7237 samples back.
struct Stages {
    static constexpr int32_t kBlock = 512;
    static constexpr int32_t kBlocks = 40;
    static constexpr int32_t kRun = kBlock * kBlocks;
    static constexpr int kCount = 8;
    static constexpr const char* kNames[kCount] = {"mono",  "preDelay",   "reflections", "comb1",
                                                   "comb2", "separation", "mix",         "sum"};

    Stages()
        : preDelay(7), comb1(7545), comb2(15165), separation(151), history(88200, 0.0f),
          noise(94133, 0.0f), mono(kRun), wetLeft(kRun), wetRight(kRun), outLeft(kRun),
          outRight(kRun) {
        comb1.setEchoFilter(true);
        lowpass.setType(Filter::typeCode(Filter::kLowpass, 1), 0.001f);
        highpass.setType(Filter::typeCode(Filter::kComplementary, 1), 0.001f);
        lowpass.mix = 0.7f;
        lowpass.cutoff = 0.64f;
        highpass.cutoff = 0.0f;
        uint32_t s = 99;
        for (float& v : noise) {
            s = s * 1664525u + 1013904223u;
            v = 0.8f + static_cast<float>(s >> 8) / (1 << 24) * 0.3f;
        }
        // Taps spread like the default layout: 224 samples apart on average.
        for (int j = 0; j < Reverb::kTaps; ++j) {
            reach[j] = 308 + j * 224;
            gain[j] = (j & 1) ? -0.8 : 0.8;
            noisePos[j] = (j * 2917) % 94133;
        }
    }

    // Runs kBlocks blocks of input from inL and inR, adding each stage's time to `spent`.
    void run(const float* inL, const float* inR, double* spent) {
        ScopedFlushDenormals flush;
        double t = threadNanoseconds();
        auto lap = [&](int stage) {
            const double now = threadNanoseconds();
            spent[stage] += now - t;
            t = now;
        };
        auto blocks = [&](auto&& stage) {
            for (int32_t at = 0; at < kRun; at += kBlock) {
                stage(at);
            }
        };
        blocks([&](int32_t at) {
            monoSum(inL + at, inR + at, mono.data() + at, kBlock, Reverb::kInputLimit);
        });
        lap(0);
        blocks([&](int32_t at) {
            preDelay.process(mono.data() + at, mono.data() + at, kBlock, 0.99f, 0.0f, 1.0f);
        });
        lap(1);
        blocks([&](int32_t at) { reflections(at); });
        lap(2);
        Delay::Chain chain;
        chain.inputFilter = &lowpass;
        chain.inputMixing = true;
        chain.outputFilter = &highpass;
        blocks([&](int32_t at) {
            comb1.process(wetLeft.data() + at, wetRight.data() + at, kBlock, 0.99f, 0.0109379f,
                          0.3f, chain);
        });
        lap(3);
        blocks([&](int32_t at) {
            comb2.process(wetRight.data() + at, wetLeft.data() + at, kBlock, 0.99f, 0.0104689f,
                          0.1f);
        });
        lap(4);
        blocks([&](int32_t at) {
            separation.process(wetLeft.data() + at, wetRight.data() + at, kBlock, 0.99f, 0.0f,
                               1.0f);
        });
        lap(5);
        blocks([&](int32_t at) {
            outputMix(inL + at, inR + at, wetLeft.data() + at, wetRight.data() + at,
                      outLeft.data() + at, outRight.data() + at, 1.0, 0.125, kBlock);
        });
        lap(6);
    }

    // 32 taps over the history and the block at `at`, then the block appended to the history.
    void reflections(int32_t at) {
        float* wet = wetLeft.data() + at;
        std::fill(wet, wet + kBlock, 0.0f);
        const int32_t H = static_cast<int32_t>(history.size());
        for (int j = 0; j < Reverb::kTaps; ++j) {
            int32_t from = historyPos - reach[j];
            if (from < 0) {
                from += H;
            }
            const int32_t n = std::min(kBlock, H - from);
            accumulateTap(wet, history.data() + from, noise.data() + noisePos[j], gain[j], n);
            noisePos[j] = (noisePos[j] + kBlock) % (94133 - kBlock);
        }
        std::copy(mono.begin() + at, mono.begin() + at + kBlock, history.begin() + historyPos);
        historyPos = (historyPos + kBlock) % (H - kBlock);
    }

    Delay preDelay, comb1, comb2, separation;
    Filter lowpass, highpass;
    std::vector<float> history, noise, mono, wetLeft, wetRight, outLeft, outRight;
    int32_t historyPos = 20000;
    int32_t reach[Reverb::kTaps];
    double gain[Reverb::kTaps];
    int32_t noisePos[Reverb::kTaps];
};

// Each stage's time per stereo frame at one vector level (counters in ns/frame), best of
// several runs so that other processes on the machine count as little as possible.
void BM_Stages(benchmark::State& state) {
    if (!useVectorLevel(state)) {
        return;
    }
    currentSampleRate = kRate;
    Stages stages;
    const Input& in = input();
    double best[Stages::kCount];
    std::fill(best, best + Stages::kCount, 1e300);
    double warm[Stages::kCount] = {};
    stages.run(in.left.data(), in.right.data(), warm);
    for (auto _ : state) {
        double spent[Stages::kCount] = {};
        stages.run(in.left.data(), in.right.data(), spent);
        for (int k = 0; k + 1 < Stages::kCount; ++k) {
            best[k] = std::min(best[k], spent[k] / Stages::kRun);
        }
    }
    best[Stages::kCount - 1] = 0.0;
    for (int k = 0; k + 1 < Stages::kCount; ++k) {
        best[Stages::kCount - 1] += best[k];
    }
    for (int k = 0; k < Stages::kCount; ++k) {
        state.counters[Stages::kNames[k]] = best[k];
    }
    limitVectorLevel(supportedVectorLevel());
}
BENCHMARK(BM_Stages)->ArgName("level")->DenseRange(0, 3)->Iterations(30);

void BM_ProcessGateClosed(benchmark::State& state) {
    currentSampleRate = kRate;
    const int32_t block = static_cast<int32_t>(state.range(0));
    Reverb reverb;
    reverb.setBlockSize(block);
    configure(reverb, 1.0f);
    runBlocks(state, reverb, block, true);
}
BENCHMARK(BM_ProcessGateClosed)->ArgName("block")->Arg(64)->Arg(512)->Arg(4096);

// The calling thread's processor time in nanoseconds where the platform measures it (so that
// time spent descheduled on a busy machine does not count), else the wall clock.
double threadNanoseconds() {
#if defined(__linux__)
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
#else
    return std::chrono::duration<double, std::nano>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
#endif
}

#ifdef FUMARA_BENCH_REFERENCE
// The plain transcription that the tests compare the engine with, for the speed ratio.
void BM_PlainTranscriptionActive(benchmark::State& state) {
    const int32_t block = static_cast<int32_t>(state.range(0));
    reference::Generator generator;
    reference::Reverb reverb(generator, kRate);
    reverb.setBlockSize(block);
    configure(reverb, static_cast<float>(state.range(1)) / 100.0f);
    runBlocks(state, reverb, block, false);
}
BENCHMARK(BM_PlainTranscriptionActive)
    ->ArgNames({"block", "room%"})
    ->ArgsProduct({{64, 512}, {50, 100}});

// The engine at every vector level and the plain transcription, default program, 512-frame
// blocks, in turns within one process: ns per stereo frame of each (best of the rounds) and
// the plain transcription's time over each level's.
void BM_EngineAgainstPlainTranscription(benchmark::State& state) {
    constexpr int32_t kBlock = 512;
    constexpr int32_t kBlocks = 40;
    currentSampleRate = kRate;
    const Input& in = input();
    const int levels = static_cast<int>(supportedVectorLevel()) + 1;
    std::vector<std::unique_ptr<Reverb>> engines;
    for (int l = 0; l < levels; ++l) {
        engines.push_back(std::make_unique<Reverb>());
        engines.back()->setBlockSize(kBlock);
        configure(*engines.back(), 0.5f);
    }
    reference::Generator generator;
    reference::Reverb plain(generator, kRate);
    plain.setBlockSize(kBlock);
    configure(plain, 0.5f);
    std::vector<float> outL(kBlock), outR(kBlock);
    auto timeBlocks = [&](auto& reverb, int32_t& pos, int32_t blocks) {
        const double t0 = threadNanoseconds();
        for (int32_t b = 0; b < blocks; ++b) {
            if (pos + kBlock > kRate) {
                pos = 0;
            }
            reverb.process(kBlock, in.left.data() + pos, in.right.data() + pos, outL.data(),
                           outR.data(), 1.0f, 0.125f);
            pos += kBlock;
        }
        benchmark::DoNotOptimize(outL.data());
        return (threadNanoseconds() - t0) / (static_cast<double>(blocks) * kBlock);
    };
    std::vector<int32_t> positions(static_cast<size_t>(levels) + 1, 0);
    std::vector<double> best(static_cast<size_t>(levels) + 1, 1e300);
    for (int l = 0; l < levels; ++l) {
        limitVectorLevel(static_cast<VectorLevel>(l));
        timeBlocks(*engines[l], positions[l], 90); // fill the combs
    }
    timeBlocks(plain, positions[levels], 90);
    for (auto _ : state) {
        for (int l = 0; l < levels; ++l) {
            limitVectorLevel(static_cast<VectorLevel>(l));
            best[l] = std::min(best[l], timeBlocks(*engines[l], positions[l], kBlocks));
        }
        best[levels] = std::min(best[levels], timeBlocks(plain, positions[levels], kBlocks));
    }
    limitVectorLevel(supportedVectorLevel());
    for (int l = 0; l < levels; ++l) {
        state.counters["level" + std::to_string(l)] = best[l];
        state.counters["plain/level" + std::to_string(l)] = best[levels] / best[l];
    }
    state.counters["plain"] = best[levels];
}
BENCHMARK(BM_EngineAgainstPlainTranscription)->Iterations(40);
#endif

// Spread of single block times over two seconds of audio. The same work is repeated from a
// fresh engine and each block keeps its fastest run, which removes interference from other
// processes and leaves the variation of the engine's own work: median, 99th percentile and
// worst block.
void BM_BlockTimeSpread(benchmark::State& state) {
    currentSampleRate = kRate;
    const int32_t block = static_cast<int32_t>(state.range(0));
    const Input& in = input();
    std::vector<float> outL(static_cast<size_t>(block)), outR(static_cast<size_t>(block));
    const int32_t blocks = 2 * kRate / block;
    std::vector<double> fastest(static_cast<size_t>(blocks), 1e300);
    double rebuildBlock = 1e300;
    for (auto _ : state) {
        randomSeed(1);
        Reverb reverb;
        reverb.setBlockSize(block);
        configure(reverb, 1.0f);
        int32_t pos = 0;
        for (int32_t b = 0; b < blocks; ++b) {
            if (pos + block > kRate) {
                pos = 0;
            }
            const double t0 = threadNanoseconds();
            reverb.process(block, in.left.data() + pos, in.right.data() + pos, outL.data(),
                           outR.data(), 1.0f, 0.125f);
            fastest[b] = std::min(fastest[b], threadNanoseconds() - t0);
            pos += block;
        }
        // Blocks that start with a structural change, as the effect applies it.
        for (int k = 0; k < 16; ++k) {
            const double t0 = threadNanoseconds();
            reverb.rebuild(0.5f, 0, 1.0f);
            reverb.process(block, in.left.data() + k * block, in.right.data() + k * block,
                           outL.data(), outR.data(), 1.0f, 0.125f);
            rebuildBlock = std::min(rebuildBlock, threadNanoseconds() - t0);
        }
    }
    state.counters["worst_block"] =
        static_cast<double>(std::max_element(fastest.begin(), fastest.end()) - fastest.begin());
    std::vector<double> times = fastest;
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    const double p99 = times[times.size() * 99 / 100];
    state.counters["median_ns"] = median;
    state.counters["p99_ns"] = p99;
    state.counters["worst_ns"] = times.back();
    state.counters["p99/median"] = p99 / median;
    state.counters["worst/median"] = times.back() / median;
    // The first block after construction runs on cold caches and designs the filters.
    const double steadyWorst = *std::max_element(fastest.begin() + 1, fastest.end());
    state.counters["steadyWorst/median"] = steadyWorst / median;
    state.counters["rebuildBlock/median"] = rebuildBlock / median;
}
BENCHMARK(BM_BlockTimeSpread)
    ->ArgName("block")
    ->Arg(64)
    ->Arg(256)
    ->Arg(512)
    ->Arg(1024)
    ->Iterations(7);

// One structural change as the effect applies it (one rebuild), and the same through the three
// rebuilding setters.
void BM_Rebuild(benchmark::State& state) {
    currentSampleRate = kRate;
    Reverb reverb;
    configure(reverb, 1.0f);
    for (auto _ : state) {
        reverb.rebuild(0.5f, 0, 1.0f);
    }
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMicrosecond);

void BM_RebuildThroughThreeSetters(benchmark::State& state) {
    currentSampleRate = kRate;
    Reverb reverb;
    configure(reverb, 1.0f);
    for (auto _ : state) {
        reverb.setLength(0.5f);
        reverb.setMode(0);
        reverb.setRoomSize(1.0f);
    }
}
BENCHMARK(BM_RebuildThroughThreeSetters)->Unit(benchmark::kMicrosecond);

void BM_SampleRateChanged(benchmark::State& state) {
    currentSampleRate = kRate;
    Reverb reverb;
    configure(reverb, 1.0f);
    int32_t rates[2] = {44100, 48000};
    int which = 0;
    for (auto _ : state) {
        currentSampleRate = rates[which];
        which ^= 1;
        reverb.sampleRateChanged();
    }
    currentSampleRate = kRate;
}
BENCHMARK(BM_SampleRateChanged)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
