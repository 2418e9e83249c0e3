// The engine's stages one by one, for the benchmark: each stage of the signal path run over a
// stretch of audio in blocks of a given size and timed on its own.
#pragma once

#include "bench/ThreadClock.h"
#include "engine/Delay.h"
#include "engine/Filter.h"
#include "engine/FloatMode.h"
#include "engine/MixKernels.h"
#include "engine/Reflections.h"
#include "engine/Reverb.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace enginebench {

// The stages of a run of blocks, each stage timed over the whole run (so that reading the
// clock costs nothing per block), with the default program's lengths at 44.1 kHz (room size
// 0.5): pre-delay line 7 cells, combs 7545 and 15165 cells, separation line 151 cells, taps
// 308 to 7237 samples back.
class Stages {
public:
    static constexpr int32_t kRun = 20480;
    static constexpr int kCount = 8;
    static constexpr const char* kNames[kCount] = {"mono",  "preDelay",   "reflections", "comb1",
                                                   "comb2", "separation", "mix",         "sum"};

    explicit Stages(int32_t block)
        : block(block), preDelay(7), comb1(7545), comb2(15165), separation(151), mono(kRun),
          wetLeft(kRun), wetRight(kRun), outLeft(kRun), outRight(kRun) {
        comb1.setEchoFilter(true);
        lowpass.setType(Filter::typeCode(Filter::kLowpass, 1), 0.001f);
        highpass.setType(Filter::typeCode(Filter::kComplementary, 1), 0.001f);
        lowpass.mix = 0.7f;
        lowpass.cutoff = 0.64f;
        highpass.cutoff = 0.0f;
        reflections.setHistoryLength(88200);
        reflections.setNoiseLength(94133);
        uint32_t s = 99;
        for (int32_t i = 0; i < 94133; ++i) {
            s = s * 1664525u + 1013904223u;
            reflections.noiseTable()[i] = 0.8f + static_cast<float>(s >> 8) / (1 << 24) * 0.3f;
        }
        reflections.noiseFilled();
        // Taps spread like the default layout: 224 samples apart on average.
        int32_t delays[Reverb::kTaps], noisePos[Reverb::kTaps];
        float gains[Reverb::kTaps];
        for (int j = 0; j < Reverb::kTaps; ++j) {
            delays[j] = 308 + j * 224;
            gains[j] = (j & 1) ? -0.8f : 0.8f;
            noisePos[j] = (j * 2917) % 94133;
        }
        reflections.layOut(delays, gains);
        reflections.restart(noisePos);
    }

    int32_t frames() const { return kRun; }

    // Runs kRun frames of input from inL and inR in blocks, adding each stage's time to `spent`.
    void run(const float* inL, const float* inR, double* spent) {
        ScopedFlushDenormals flush;
        double t = bench::threadNanoseconds();
        auto lap = [&](int stage) {
            const double now = bench::threadNanoseconds();
            spent[stage] += now - t;
            t = now;
        };
        const int32_t n = block;
        auto blocks = [&](auto&& stage) {
            for (int32_t at = 0; at + n <= kRun; at += n) {
                stage(at);
            }
        };
        blocks([&](int32_t at) {
            monoSum(inL + at, inR + at, mono.data() + at, n, Reverb::kInputLimit);
        });
        lap(0);
        blocks([&](int32_t at) {
            preDelay.process(mono.data() + at, mono.data() + at, n, 0.99f, 0.0f, 1.0f);
        });
        lap(1);
        blocks([&](int32_t at) { reflections.process(mono.data() + at, wetLeft.data() + at, n); });
        lap(2);
        Delay::Chain chain;
        chain.inputFilter = &lowpass;
        chain.inputMixing = true;
        chain.outputFilter = &highpass;
        blocks([&](int32_t at) {
            comb1.process(wetLeft.data() + at, wetRight.data() + at, n, 0.99f, 0.0109379f, 0.3f,
                          chain);
        });
        lap(3);
        blocks([&](int32_t at) {
            comb2.process(wetRight.data() + at, wetLeft.data() + at, n, 0.99f, 0.0104689f, 0.1f);
        });
        lap(4);
        blocks([&](int32_t at) {
            separation.process(wetLeft.data() + at, wetRight.data() + at, n, 0.99f, 0.0f, 1.0f);
        });
        lap(5);
        blocks([&](int32_t at) {
            outputMix(inL + at, inR + at, wetLeft.data() + at, wetRight.data() + at,
                      outLeft.data() + at, outRight.data() + at, 1.0, 0.125, n);
        });
        lap(6);
    }

private:
    int32_t block;
    Delay preDelay, comb1, comb2, separation;
    Filter lowpass, highpass;
    Reflections reflections;
    std::vector<float> mono, wetLeft, wetRight, outLeft, outRight;
};

} // namespace enginebench
