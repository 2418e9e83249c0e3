// Cost of the reverb engine: processing per frame for several block sizes (active and with
// the gate closed), the plain sample-by-sample transcription side by side, the spread of
// block times, a rebuild and a sample-rate change.
//
// Counters: ns/frame is the cost of one stereo frame; xRealtime how many times faster than
// real time at 44.1 kHz one core processes a stereo stream.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <vector>

#include "engine/Random.h"
#include "engine/Reverb.h"
#include "engine/SampleRate.h"

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
template <class Engine>
void configure(Engine& reverb, float room) {
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
    state.counters["ns/frame"] =
        benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["xRealtime"] = benchmark::Counter(frames / kRate, benchmark::Counter::kIsRate);
}

template <class Engine>
void runBlocks(benchmark::State& state, Engine& reverb, int32_t block, bool silent) {
    const Input& in = input();
    std::vector<float> silence(static_cast<size_t>(block), 0.0f);
    std::vector<float> outL(static_cast<size_t>(block)), outR(static_cast<size_t>(block));
    int32_t pos = 0;
    auto one = [&]() {
        if (pos + block > kRate)
            pos = 0;
        const float* l = silent ? silence.data() : in.left.data() + pos;
        const float* r = silent ? silence.data() : in.right.data() + pos;
        reverb.process(block, l, r, outL.data(), outR.data(), 1.0f, 0.125f);
        pos += block;
    };
    // Fill the combs and, for silence, let the tail gate close.
    for (int32_t done = 0; done < (silent ? 16 : 1) * kRate; done += block)
        one();
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

// Spread of single block times over a few seconds of audio: median, 99th percentile, worst.
void BM_BlockTimeSpread(benchmark::State& state) {
    currentSampleRate = kRate;
    const int32_t block = static_cast<int32_t>(state.range(0));
    Reverb reverb;
    reverb.setBlockSize(block);
    configure(reverb, 1.0f);
    const Input& in = input();
    std::vector<float> outL(static_cast<size_t>(block)), outR(static_cast<size_t>(block));
    std::vector<double> times;
    for (auto _ : state) {
        times.clear();
        int32_t pos = 0;
        for (int32_t done = 0; done < 4 * kRate; done += block) {
            if (pos + block > kRate)
                pos = 0;
            const auto t0 = std::chrono::steady_clock::now();
            reverb.process(block, in.left.data() + pos, in.right.data() + pos, outL.data(),
                           outR.data(), 1.0f, 0.125f);
            const auto t1 = std::chrono::steady_clock::now();
            times.push_back(std::chrono::duration<double, std::nano>(t1 - t0).count());
            pos += block;
        }
    }
    std::sort(times.begin(), times.end());
    const double median = times[times.size() / 2];
    state.counters["median_ns"] = median;
    state.counters["p99_ns"] = times[times.size() * 99 / 100];
    state.counters["worst_ns"] = times.back();
    state.counters["p99/median"] = times[times.size() * 99 / 100] / median;
    state.counters["worst/median"] = times.back() / median;
}
BENCHMARK(BM_BlockTimeSpread)->ArgName("block")->Arg(64)->Arg(256)->Arg(1024)->Iterations(3);

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
