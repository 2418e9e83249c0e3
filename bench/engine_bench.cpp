// Cost of the reverb engine: processing per frame for several block sizes (active and with
// the gate closed), the plain sample-by-sample transcription side by side, the spread of
// block times, a rebuild and a sample-rate change.
//
// Counters: ns/frame is the cost of one stereo frame; xRealtime how many times faster than
// real time at 44.1 kHz one core processes a stereo stream. Vector levels: 0 scalar, 1 SSE2,
// 2 AVX.
#include "engine/Random.h"
#include "engine/Reverb.h"
#include "engine/SampleRate.h"
#include "engine/VectorLevel.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdint>
#include <ctime>
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

// The same at each vector level (the i686 build has SSE2 at most).
void BM_ProcessActiveAtVectorLevel(benchmark::State& state) {
    const VectorLevel level = static_cast<VectorLevel>(state.range(0));
    if (static_cast<int>(level) > static_cast<int>(supportedVectorLevel())) {
        state.SkipWithError("vector level not supported here");
        return;
    }
    limitVectorLevel(level);
    currentSampleRate = kRate;
    Reverb reverb;
    reverb.setBlockSize(512);
    configure(reverb, 1.0f);
    runBlocks(state, reverb, 512, false);
    limitVectorLevel(supportedVectorLevel());
}
BENCHMARK(BM_ProcessActiveAtVectorLevel)->ArgName("level")->Arg(0)->Arg(1)->Arg(2);

void BM_ProcessGateClosed(benchmark::State& state) {
    currentSampleRate = kRate;
    const int32_t block = static_cast<int32_t>(state.range(0));
    Reverb reverb;
    reverb.setBlockSize(block);
    configure(reverb, 1.0f);
    runBlocks(state, reverb, block, true);
}
BENCHMARK(BM_ProcessGateClosed)->ArgName("block")->Arg(64)->Arg(512)->Arg(4096);

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
#endif

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
}
BENCHMARK(BM_BlockTimeSpread)->ArgName("block")->Arg(64)->Arg(256)->Arg(1024)->Iterations(7);

// One structural change as the effect applies it: setLength, setMode, setRoomSize.
void BM_Rebuild(benchmark::State& state) {
    currentSampleRate = kRate;
    Reverb reverb;
    configure(reverb, 1.0f);
    for (auto _ : state) {
        reverb.setLength(0.5f);
        reverb.setMode(0);
        reverb.setRoomSize(1.0f);
    }
}
BENCHMARK(BM_Rebuild)->Unit(benchmark::kMicrosecond);

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
