// The LV2 plug-in from the build tree's bundle, loaded through lilv, against the
// VST 2.x module loaded through its entry point: the same input, parameter
// changes and block lengths must give the same output, sample for sample.
//
// Each comparison runs in a child process that has just loaded both plug-ins,
// as a host does: the VST 2.x edition's rate is one value for its whole
// library, and an instance built after another one set a rate starts from
// that rate (see ReverbEffect), so a fresh process is the honest reference.
#include "effect/PluginDescription.h"
#include "effect/ReverbCore.h"
#include "tools/LilvHost.h"
#include "tools/PluginLoader.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace lilvhost;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

struct Stereo {
    std::vector<float> left, right;
    explicit Stereo(size_t frames = 0) : left(frames), right(frames) {}
    size_t size() const { return left.size(); }
};

// A parameter change that a host makes before the first block starting at or
// after `frame`.
struct Change {
    size_t frame;
    int32_t parameter;
    float value;
};

// How a host cuts the stream into blocks, and the longest block it announces
// (the VST 2.x block size; LV2's maxBlockLength, 0 for none).
struct Blocks {
    const char* name;
    std::vector<uint32_t> cycle;
    int32_t announced;
    int32_t vstBlockSize;
};

// Noise bursts, a tone and silence, different on the two channels.
Stereo testSignal(int32_t rate, double seconds) {
    Stereo s(static_cast<size_t>(seconds * rate));
    uint32_t seed = 12345;
    for (size_t i = 0; i < s.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        seed = seed * 1664525u + 1013904223u;
        const float noise = static_cast<float>(static_cast<int32_t>(seed >> 8) - (1 << 23)) /
                            static_cast<float>(1 << 24);
        const bool burst = t < 0.08 || (t > 0.3 && t < 0.33);
        const float tone =
            t > 0.15 && t < 0.25 ? static_cast<float>(0.3 * std::sin(t * 2765.0)) : 0.0f;
        s.left[i] = (burst ? noise : 0.0f) + tone;
        s.right[i] = (burst ? -0.5f * noise : 0.0f) + 0.5f * tone;
    }
    return s;
}

intptr_t VSTCALLBACK vstHost(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == audioMasterVersion ? 2400 : 0;
}

// Walks the blocks of a stream: calls apply(change) for the changes due and
// then block(offset, frames) for each block.
void walk(size_t total, const Blocks& blocks, const std::vector<Change>& changes,
          const std::function<void(const Change&)>& apply,
          const std::function<void(size_t, uint32_t)>& block) {
    size_t at = 0, next = 0, step = 0;
    while (at < total) {
        while (next < changes.size() && changes[next].frame <= at) {
            apply(changes[next++]);
        }
        const uint32_t n = static_cast<uint32_t>(
            std::min<size_t>(blocks.cycle[step++ % blocks.cycle.size()], total - at));
        block(at, n);
        at += n;
    }
}

// The VST 2.x module, as a host drives it.
bool renderVst(const Stereo& in, int32_t rate, const Blocks& blocks,
               const std::vector<Change>& changes, Stereo& out, std::string& error) {
    PluginLoader module(FUMARA_MODULE_PATH);
    PluginEntryPoint entry = module.entryPoint();
    AEffect* effect = entry ? entry(&vstHost) : nullptr;
    if (!effect) {
        error = "the VST 2.x module made no instance: " + module.error();
        return false;
    }
    effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effSetSampleRate, 0, 0, nullptr, static_cast<float>(rate));
    effect->dispatcher(effect, effSetBlockSize, 0, blocks.vstBlockSize, nullptr, 0.0f);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);
    out = Stereo(in.size());
    walk(
        in.size(), blocks, changes,
        [&](const Change& c) { effect->setParameter(effect, c.parameter, c.value); },
        [&](size_t at, uint32_t n) {
            float* inputs[2] = {const_cast<float*>(&in.left[at]),
                                const_cast<float*>(&in.right[at])};
            float* outputs[2] = {&out.left[at], &out.right[at]};
            effect->processReplacing(effect, inputs, outputs, static_cast<int32_t>(n));
        });
    effect->dispatcher(effect, effMainsChanged, 0, 0, nullptr, 0.0f);
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
    return true;
}

// How the host hands the audio buffers to the LV2 plug-in.
enum class Wiring {
    separate, // inputs and outputs in buffers of their own
    inPlace,  // each output in its input's buffer
    crossed,  // the left output in the right input's buffer, and the other way round
};

// The LV2 plug-in through lilv; each block connects the audio ports anew.
bool renderLv2(const Stereo& in, int32_t rate, const Blocks& blocks,
               const std::vector<Change>& changes, Stereo& out, std::string& error,
               Wiring wiring = Wiring::separate) {
    Bundle bundle(FUMARA_LV2_BUNDLE);
    Instance plugin(bundle, rate, blocks.announced);
    if (!plugin.ok()) {
        error = "the LV2 plug-in made no instance: " + bundle.error();
        return false;
    }
    out = Stereo(in.size());
    Stereo shared = in; // the buffers that in-place hosts let the plug-in overwrite
    plugin.activate();
    walk(
        in.size(), blocks, changes, [&](const Change& c) { plugin.control(c.parameter) = c.value; },
        [&](size_t at, uint32_t n) {
            switch (wiring) {
            case Wiring::separate:
                plugin.connectAudio(&in.left[at], &in.right[at], &out.left[at], &out.right[at]);
                break;
            case Wiring::inPlace:
                plugin.connectAudio(&shared.left[at], &shared.right[at], &shared.left[at],
                                    &shared.right[at]);
                break;
            case Wiring::crossed:
                plugin.connectAudio(&shared.left[at], &shared.right[at], &shared.right[at],
                                    &shared.left[at]);
                break;
            }
            plugin.run(n);
        });
    if (wiring == Wiring::inPlace) {
        out = shared;
    } else if (wiring == Wiring::crossed) {
        out.left = shared.right;
        out.right = shared.left;
    }
    return true;
}

// "" when both channels agree bit for bit, else where they first differ.
std::string compare(const Stereo& a, const Stereo& b) {
    if (a.size() != b.size()) {
        return "lengths differ";
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::memcmp(&a.left[i], &b.left[i], sizeof(float)) != 0 ||
            std::memcmp(&a.right[i], &b.right[i], sizeof(float)) != 0) {
            return "first difference at frame " + std::to_string(i) + ": (" +
                   std::to_string(a.left[i]) + ", " + std::to_string(a.right[i]) + ") vs (" +
                   std::to_string(b.left[i]) + ", " + std::to_string(b.right[i]) + ")";
        }
    }
    return "";
}

// Runs `body` in a child process and answers what it reported ("" = passed).
std::string inFreshProcess(const std::function<std::string()>& body) {
    int channel[2];
    if (pipe(channel) != 0) {
        return "no pipe";
    }
    const pid_t child = fork();
    if (child == 0) {
        close(channel[0]);
        std::string report;
        try {
            report = body();
        } catch (...) {
            report = "exception";
        }
        ssize_t ignored = write(channel[1], report.data(), report.size());
        (void)ignored;
        _exit(report.empty() ? 0 : 1);
    }
    close(channel[1]);
    std::string report;
    char buffer[512];
    ssize_t got = 0;
    while ((got = read(channel[0], buffer, sizeof buffer)) > 0) {
        report.append(buffer, static_cast<size_t>(got));
    }
    close(channel[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status)) {
        return "the child process died (signal " + std::to_string(WTERMSIG(status)) + ")";
    }
    return WEXITSTATUS(status) == 0 ? "" : (report.empty() ? "failed" : report);
}

// Renders through both plug-ins and compares; `check` may look at the output.
std::string sameInBoth(const Stereo& in, int32_t rate, const Blocks& blocks,
                       const std::vector<Change>& changes,
                       const std::function<std::string(const Stereo&)>& check = {},
                       Wiring wiring = Wiring::separate) {
    return inFreshProcess([&]() -> std::string {
        Stereo vst, lv2;
        std::string error;
        if (!renderVst(in, rate, blocks, changes, vst, error) ||
            !renderLv2(in, rate, blocks, changes, lv2, error, wiring)) {
            return error;
        }
        std::string difference = compare(vst, lv2);
        if (difference.empty() && check) {
            difference = check(lv2);
        }
        return difference;
    });
}

const std::vector<Blocks>& blockPatterns() {
    static const std::vector<Blocks> patterns = {
        {"one frame", {1}, 256, 256},
        {"odd lengths", {7, 1, 129, 33, 250, 3}, 256, 256},
        {"longer than the capacity", {700, 256, 1000, 5}, 256, 256},
        {"a host's 512", {512}, 512, 512},
        {"no announced length", {4096, 777}, 0, ReverbCore::kMaxBlockSize},
    };
    return patterns;
}

// Parameter sets applied along the stream: structural changes (Room Size,
// Length, Mode, PreDelay, Stereo Separation) mid-stream, and values the
// plug-in clamps or ignores.
std::vector<std::vector<Change>> parameterSets(size_t frames) {
    const size_t third = frames / 3;
    return {
        {},
        {{third, kRoomSize, 0.8f},
         {third, kMode, 0.07f},
         {third, kReverbLevel, 0.75f},
         {2 * third, kLength, 0.2f},
         {2 * third, kPreDelay, 0.4f},
         {2 * third, kLowpassCutoff, 0.3f},
         {2 * third, kHighpassCutoff, 0.2f},
         {2 * third, kStereoSeparation, 0.9f},
         {2 * third, kDryLevel, 0.6f}},
        {{0, kRoomSize, 0.0f},
         {0, kReverbLevel, 1.0f},
         {0, kDryLevel, 0.0f},
         {third, kReverbLevel, 1.7f},
         {third, kDryLevel, kNaN},
         {third, kPreDelay, -0.5f},
         {third, kMode, 1.0f},
         {2 * third, kRoomSize, 1.0f},
         {2 * third, kStereoSeparation, 0.0f},
         {2 * third, kHighpassCutoff, kInf}},
    };
}

class Lv2AgainstVst : public ::testing::TestWithParam<int32_t> {};

TEST_P(Lv2AgainstVst, SameOutputForEveryBlockPatternAndParameterSet) {
    const int32_t rate = GetParam();
    const Stereo in = testSignal(rate, 0.5);
    const std::vector<std::vector<Change>> sets = parameterSets(in.size());
    for (const Blocks& blocks : blockPatterns()) {
        for (size_t s = 0; s < sets.size(); ++s) {
            EXPECT_EQ(sameInBoth(in, rate, blocks, sets[s]), "")
                << rate << " Hz, " << blocks.name << ", parameter set " << s;
        }
    }
}

TEST_P(Lv2AgainstVst, TheGateClosesAtTheSameBlock) {
    // Room Size 0: the tail lasts two seconds after the last signal.
    const int32_t rate = GetParam();
    const Stereo in = testSignal(rate, 2.6);
    const std::vector<Change> room = {{0, kRoomSize, 0.0f}};
    const Blocks blocks = {"a host's 512", {512}, 512, 512};
    EXPECT_EQ(sameInBoth(in, rate, blocks, room,
                         [](const Stereo& out) -> std::string {
                             for (size_t i = out.size() - 512; i < out.size(); ++i) {
                                 if (out.left[i] != 0.0f || out.right[i] != 0.0f) {
                                     return "the gate never closed";
                                 }
                             }
                             return "";
                         }),
              "")
        << rate;
}

INSTANTIATE_TEST_SUITE_P(Rates, Lv2AgainstVst,
                         ::testing::Values(22050, 44100, 48000, 96000, 192000));

TEST(Lv2Plugin, InPlaceAndCrossedBuffersGiveTheSameOutput) {
    const Stereo in = testSignal(48000, 0.4);
    const std::vector<Change> changes = parameterSets(in.size())[1];
    const Blocks blocks = {"odd lengths", {7, 1, 129, 33, 250, 3}, 256, 256};
    EXPECT_EQ(sameInBoth(in, 48000, blocks, changes, {}, Wiring::inPlace), "");
    EXPECT_EQ(sameInBoth(in, 48000, blocks, changes, {}, Wiring::crossed), "");
}

TEST(Lv2Plugin, TwoInstancesAtDifferentRatesInOneProcess) {
    // Each instance renders what the VST 2.x module renders at its rate; the
    // two LV2 instances run block by block in turn.
    EXPECT_EQ(inFreshProcess([]() -> std::string {
                  const int32_t rates[2] = {44100, 96000};
                  const Blocks blocks = {"a host's 512", {512}, 512, 512};
                  Stereo in[2] = {testSignal(rates[0], 0.4), testSignal(rates[1], 0.4)};
                  Stereo vst[2], lv2[2];
                  std::string error;
                  // Both VST 2.x instances from one loaded module, made in the
                  // same order as the LV2 ones.
                  PluginLoader module(FUMARA_MODULE_PATH);
                  for (int k = 0; k < 2; ++k) {
                      if (!renderVst(in[k], rates[k], blocks, {}, vst[k], error)) {
                          return error;
                      }
                  }
                  Bundle bundle(FUMARA_LV2_BUNDLE);
                  Instance first(bundle, rates[0], 512);
                  Instance second(bundle, rates[1], 512);
                  if (!first.ok() || !second.ok()) {
                      return "no instance";
                  }
                  Instance* plugins[2] = {&first, &second};
                  for (int k = 0; k < 2; ++k) {
                      lv2[k] = Stereo(in[k].size());
                      plugins[k]->activate();
                  }
                  for (size_t at = 0; at < in[1].size(); at += 512) {
                      for (int k = 0; k < 2; ++k) {
                          if (at >= in[k].size()) {
                              continue;
                          }
                          const uint32_t n =
                              static_cast<uint32_t>(std::min<size_t>(512, in[k].size() - at));
                          plugins[k]->connectAudio(&in[k].left[at], &in[k].right[at],
                                                   &lv2[k].left[at], &lv2[k].right[at]);
                          plugins[k]->run(n);
                      }
                  }
                  const std::string a = compare(vst[0], lv2[0]);
                  const std::string b = compare(vst[1], lv2[1]);
                  return a.empty() && b.empty() ? "" : "44100 Hz: " + a + "; 96000 Hz: " + b;
              }),
              "");
}

TEST(Lv2Plugin, InstantiateRefusesRatesTheEngineCannotUse) {
    Bundle bundle(FUMARA_LV2_BUNDLE);
    ASSERT_NE(bundle.plugin(), nullptr) << bundle.error();
    const double inf = std::numeric_limits<double>::infinity();
    for (double rate : {0.0, -44100.0, 0.5, 768001.0, 1e12, std::nan(""), -inf, inf}) {
        Instance plugin(bundle, rate, 256);
        EXPECT_FALSE(plugin.ok()) << rate;
    }
    for (double rate : {1.0, 8000.0, 44100.9, 768000.0}) {
        Instance plugin(bundle, rate, 0);
        EXPECT_TRUE(plugin.ok()) << rate;
    }
}

// Lilv instances of one process, each built after a first one that keeps the
// library loaded, so that all draw the same noise (see Reverb: the library's
// generator).
class Lv2Instances : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(bundle.plugin(), nullptr) << bundle.error();
        first = std::make_unique<Instance>(bundle, 44100, 512);
    }
    Stereo render(Instance& plugin, const Stereo& in, uint32_t block = 512) {
        Stereo out(in.size());
        for (size_t at = 0; at < in.size(); at += block) {
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(block, in.size() - at));
            plugin.connectAudio(&in.left[at], &in.right[at], &out.left[at], &out.right[at]);
            plugin.run(n);
        }
        return out;
    }
    Bundle bundle{FUMARA_LV2_BUNDLE};
    std::unique_ptr<Instance> first;
};

TEST_F(Lv2Instances, UnconnectedPortsGiveSilenceAndKeepTheirValue) {
    const Stereo in = testSignal(44100, 0.3);
    Stereo out(in.size());
    std::fill(out.left.begin(), out.left.end(), 5.0f);
    std::fill(out.right.begin(), out.right.end(), 5.0f);
    Instance plugin(bundle, 44100, 512);
    plugin.activate();
    // No left input: silence on both outputs.
    plugin.connectAudio(nullptr, in.right.data(), out.left.data(), out.right.data());
    plugin.run(4096);
    for (size_t i = 0; i < 4096; ++i) {
        ASSERT_EQ(out.left[i], 0.0f) << i;
        ASSERT_EQ(out.right[i], 0.0f) << i;
    }
    // No outputs at all, or one: nothing written where nothing is connected.
    plugin.connectAudio(in.left.data(), in.right.data(), nullptr, nullptr);
    plugin.run(512);
    plugin.connectAudio(in.left.data(), in.right.data(), nullptr, &out.right[8192]);
    plugin.run(512);
    EXPECT_EQ(out.left[8192], 5.0f);
    EXPECT_EQ(out.right[8192 + 100], 0.0f);

    // A control port connected to nothing keeps the value it last had.
    Instance steady(bundle, 44100, 512);
    Instance unplugged(bundle, 44100, 512);
    for (Instance* p : {&steady, &unplugged}) {
        p->control(kReverbLevel) = 0.2f;
        p->activate();
    }
    const Stereo first = render(steady, in);
    EXPECT_EQ(compare(first, render(unplugged, in)), "");
    unplugged.connect(portOfParameter(kReverbLevel), nullptr);
    unplugged.control(kReverbLevel) = 0.9f;
    EXPECT_EQ(compare(render(steady, in), render(unplugged, in)), "");
}

TEST_F(Lv2Instances, AStructuralChangeTakesEffectAtTheNextBlock) {
    const Stereo in = testSignal(44100, 0.4);
    const size_t changeAt = 16 * 512;
    for (int32_t parameter : {kRoomSize, kLength, kMode}) {
        Instance steady(bundle, 44100, 512);
        Instance changed(bundle, 44100, 512);
        steady.activate();
        changed.activate();
        Stereo a(in.size()), b(in.size());
        for (size_t at = 0; at < in.size(); at += 512) {
            if (at == changeAt) {
                changed.control(parameter) = 0.9f;
            }
            const uint32_t n = static_cast<uint32_t>(std::min<size_t>(512, in.size() - at));
            steady.connectAudio(&in.left[at], &in.right[at], &a.left[at], &a.right[at]);
            changed.connectAudio(&in.left[at], &in.right[at], &b.left[at], &b.right[at]);
            steady.run(n);
            changed.run(n);
        }
        EXPECT_EQ(std::memcmp(a.left.data(), b.left.data(), changeAt * sizeof(float)), 0)
            << "nothing changes before the block " << parameter;
        size_t firstDifference = in.size();
        for (size_t i = changeAt; i < in.size() && firstDifference == in.size(); ++i) {
            if (a.left[i] != b.left[i]) {
                firstDifference = i;
            }
        }
        // The rebuild cuts the tail at once: the block's first samples differ.
        EXPECT_LT(firstDifference, changeAt + 64) << parameter;
    }
}

TEST_F(Lv2Instances, ReactivationForgetsWhatWasHeard) {
    const Stereo heard = testSignal(44100, 2.5);
    const Stereo next = testSignal(44100, 0.3);
    Instance used(bundle, 44100, 512);
    Instance fresh(bundle, 44100, 512);
    Instance kept(bundle, 44100, 512);
    for (Instance* p : {&used, &fresh, &kept}) {
        p->control(kRoomSize) = 0.7f;
        p->activate();
    }
    render(used, heard);
    render(kept, heard);
    used.deactivate();
    used.activate();
    const Stereo afterReset = render(used, next);
    EXPECT_EQ(compare(afterReset, render(fresh, next)), "");
    EXPECT_NE(compare(afterReset, render(kept, next)), "")
        << "without re-activation the tail stays";
    used.run(0); // an empty block is harmless
}

} // namespace
