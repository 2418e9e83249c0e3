// Cost of the LV2 path against the VST 2.x path: the same stereo noise at
// 44.1 kHz in host blocks of 512, 64 and 1 frames, through the LV2 plug-in's
// descriptor (instantiate with the block length announced, connect_port, run)
// and through the VST 2.x effect's record (processReplacing), alternating in
// one loop so that both see the same machine state. Each path is timed in
// the thread's own CPU time, which other processes on a busy machine do not
// inflate, and the two take turns at going first.
//
// Counters: lv2_ns/frame and vst_ns/frame per stereo frame, and lv2/vst, the
// ratio of the two.
#include "bench/BenchSupport.h"
#include "effect/PluginEntry.h"
#include "lv2/Lv2Plugin.h"
#include "lv2/Lv2Ports.h"
#include "tools/LilvHost.h"

#include <algorithm>
#include <benchmark/benchmark.h>
#include <cstdint>
#include <cstring>
#include <time.h>
#include <vector>

namespace {

using bench::host;
using bench::input;
using bench::Input;
using bench::kRate;

// Seconds of CPU time this thread has used.
double threadSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

int32_t nextBlock(int32_t at, int32_t block) {
    at += block;
    return at + block > kRate ? 0 : at;
}

// The VST 2.x effect as a host starts it.
struct VstPath {
    explicit VstPath(int32_t block) : outLeft(size_t(block)), outRight(size_t(block)) {
        effect = createEffectInstance(host);
        effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, float(kRate));
        effect->dispatcher(effect, effSetBlockSize, 0, block, nullptr, 0.0f);
        effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    }
    ~VstPath() { effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f); }
    void run(int32_t at, int32_t frames) {
        const Input& in = input();
        float* inputs[2] = {const_cast<float*>(&in.left[size_t(at)]),
                            const_cast<float*>(&in.right[size_t(at)])};
        float* outputs[2] = {outLeft.data(), outRight.data()};
        effect->processReplacing(effect, inputs, outputs, frames);
    }
    AEffect* effect = nullptr;
    std::vector<float> outLeft, outRight;
};

// The LV2 plug-in as a host starts it: the host's features (urid:map, the
// options feature with the block length), the control ports at their
// defaults, activated.
struct Lv2Path {
    explicit Lv2Path(int32_t block)
        : features(block), outLeft(size_t(block)), outRight(size_t(block)) {
        descriptor = fumaraLv2Descriptor();
        instance = descriptor->instantiate(descriptor, kRate, "", features.list());
        for (int32_t i = 0; i < kNamedParameterCount; ++i) {
            controls[i] = kNamedParameters[i].defaultValue;
            descriptor->connect_port(instance, portOfParameter(i), &controls[i]);
        }
        descriptor->activate(instance);
    }
    ~Lv2Path() {
        descriptor->deactivate(instance);
        descriptor->cleanup(instance);
    }
    void run(int32_t at, int32_t frames) {
        const Input& in = input();
        descriptor->connect_port(instance, kPortInLeft, const_cast<float*>(&in.left[size_t(at)]));
        descriptor->connect_port(instance, kPortInRight, const_cast<float*>(&in.right[size_t(at)]));
        descriptor->connect_port(instance, kPortOutLeft, outLeft.data());
        descriptor->connect_port(instance, kPortOutRight, outRight.data());
        descriptor->run(instance, uint32_t(frames));
    }
    lilvhost::HostFeatures features;
    const LV2_Descriptor* descriptor = nullptr;
    LV2_Handle instance = nullptr;
    float controls[kNamedParameterCount];
    std::vector<float> outLeft, outRight;
};

void BM_Lv2AgainstVst(benchmark::State& state) {
    const int32_t block = int32_t(state.range(0));
    VstPath vst(block);
    Lv2Path lv2(block);
    vst.run(0, block); // the default program's rebuild
    lv2.run(0, block);
    // Blocks per timed run: about 8192 frames for each path.
    const int32_t repeats = std::max(1, 8192 / block);
    double vstTime = 0.0, lv2Time = 0.0;
    int32_t at = 0;
    bool vstFirst = true;
    for (auto _ : state) {
        // The same blocks through each path, the first path alternating.
        for (int pass = 0; pass < 2; ++pass) {
            const bool vstNow = (pass == 0) == vstFirst;
            int32_t from = at;
            const double t0 = threadSeconds();
            for (int32_t i = 0; i < repeats; ++i) {
                if (vstNow) {
                    vst.run(from, block);
                } else {
                    lv2.run(from, block);
                }
                from = nextBlock(from, block);
            }
            (vstNow ? vstTime : lv2Time) += threadSeconds() - t0;
            if (pass == 1) {
                at = from;
            }
        }
        vstFirst = !vstFirst;
        benchmark::DoNotOptimize(vst.outLeft.data());
        benchmark::DoNotOptimize(lv2.outLeft.data());
    }
    const double frames = double(state.iterations()) * repeats * block;
    state.counters["vst_ns/frame"] = vstTime / frames * 1e9;
    state.counters["lv2_ns/frame"] = lv2Time / frames * 1e9;
    state.counters["lv2/vst"] = lv2Time / vstTime;
}
BENCHMARK(BM_Lv2AgainstVst)->Arg(512)->Arg(64)->Arg(1)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
