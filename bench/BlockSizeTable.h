// The block-size table the benchmarks print: a subject's cost per stereo frame at blocks of 1
// to 4096 frames beside the plain transcription's, measured in turns.
#pragma once

#include "bench/ThreadClock.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace bench {

constexpr int kBlockSizeCount = 6;
constexpr int32_t kBlockSizes[kBlockSizeCount] = {1, 8, 32, 64, 512, 4096};

// Medians of ns per stereo frame at each block size.
struct BlockSizeFigures {
    double subject[kBlockSizeCount];
    double plain[kBlockSizeCount];
};

// What the effect's default program hands an engine (or the plain transcription).
template <class Engine> void applyDefaultProgram(Engine& reverb, float room = 0.5f) {
    reverb.setPreDelay(0.0f);
    reverb.setLowpassCutoff(0.7f + 0.1f);
    reverb.setHighpassCutoff(0.0f);
    reverb.setSeparation(0.5f * 0.98f + 0.001f);
    reverb.setLength(0.5f);
    reverb.setMode(0);
    reverb.setRoomSize(room);
}

// run(plain, k, frames) runs `frames` frames of the subject (or, with `plain`, of the plain
// transcription) in blocks of kBlockSizes[k], each size with its own instance. After a second
// of audio each (which fills the combs), every iteration of `state` is a round in which each of
// the twelve runs 16384 frames, the two of a size in turns (which one goes first alternates).
// Prints the medians of the rounds, with `name` for the subject, and sets counters.
template <class Run>
BlockSizeFigures blockSizeTable(benchmark::State& state, const char* name, Run&& run) {
    auto timed = [&](bool plain, int k, int32_t frames) {
        const double t0 = threadNanoseconds();
        run(plain, k, frames);
        return (threadNanoseconds() - t0) / frames;
    };
    for (int k = 0; k < kBlockSizeCount; ++k) {
        timed(false, k, 44100);
        timed(true, k, 44100);
    }
    std::vector<double> times[2][kBlockSizeCount];
    bool subjectFirst = true;
    for (auto _ : state) {
        for (int k = 0; k < kBlockSizeCount; ++k) {
            for (int turn = 0; turn < 2; ++turn) {
                const bool plain = (turn == 0) != subjectFirst;
                times[plain ? 1 : 0][k].push_back(timed(plain, k, 16384));
            }
        }
        subjectFirst = !subjectFirst;
    }
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    BlockSizeFigures f;
    std::printf("\n  block  %8s ns/frame  plain ns/frame  plain/%s  %s ns/call\n", name, name,
                name);
    for (int k = 0; k < kBlockSizeCount; ++k) {
        f.subject[k] = median(times[0][k]);
        f.plain[k] = median(times[1][k]);
        std::printf("  %5d  %17.1f  %14.1f  %12.2f  %14.0f\n", kBlockSizes[k], f.subject[k],
                    f.plain[k], f.plain[k] / f.subject[k], f.subject[k] * kBlockSizes[k]);
        state.counters[name[0] + std::to_string(kBlockSizes[k])] = f.subject[k];
        state.counters["p" + std::to_string(kBlockSizes[k])] = f.plain[k];
    }
    return f;
}

} // namespace bench
