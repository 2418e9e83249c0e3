// The effect as a host sees it through the entry point and its record:
// parameters, programs, block processing and the host's odd inputs.
#include "editor/ReverbEditor.h"
#include "gui/controls/Slider.h"
#include "tests/effect/EffectTestSupport.h"
#include "tests/engine/EngineProbe.h"

#include <cmath>
#include <limits>

using namespace effecttest;

namespace {

class ReverbEffectTest : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::get().reset();
        currentSampleRate = kDefaultSampleRate;
        // Engines draw their noise positions from the library-wide generator,
        // which every tap layout leaves in the same state; only the very first
        // engine of a process starts from the state at load. One engine built
        // here makes every instance of the test start alike.
        Instance first;
    }
    void TearDown() override { currentSampleRate = kDefaultSampleRate; }
};

const char* const kNames[9] = {
    "Mode",           "Length",          "Room Size",         "PreDelay",
    "Lowpass Cutoff", "Highpass Cutoff", "Stereo Separation", "Reverb Level",
    "Dry Level"};

// ---------------------------------------------------------------- parameters

TEST_F(ReverbEffectTest, FreshInstanceShowsTheDefaultProgram) {
    Instance fx;
    ASSERT_NE(fx.record, nullptr);
    EXPECT_EQ(fx.record->flags, effFlagsHasEditor | effFlagsHasVu | effFlagsCanReplacing);
    EXPECT_EQ(fx.display(0), "0.000000");
    EXPECT_EQ(fx.display(1), "0.500000");
    EXPECT_EQ(fx.display(2), "0.500000");
    EXPECT_EQ(fx.display(3), "0.000000");
    EXPECT_EQ(fx.display(4), "0.699999");
    EXPECT_EQ(fx.display(5), "0.000000");
    EXPECT_EQ(fx.display(6), "0.500000");
    EXPECT_EQ(fx.display(7), "0.600000");
    EXPECT_EQ(fx.display(8), "0.899999");
    for (int32_t i = 9; i < 32; ++i) {
        EXPECT_EQ(fx.display(i), "0.500000") << i;
    }
    EXPECT_EQ(fx.get(7), 0.6f);
    EXPECT_EQ(fx.get(8), 0.9f);
    EXPECT_NEAR(fx.reverb->getCore().getReverbGain(), 0.125f, 1e-6f);
    EXPECT_NEAR(fx.reverb->getCore().getDryGain(), 1.0f, 1e-6f);
    EXPECT_EQ(fx.dispatch(effGetProgram), 0);
}

TEST_F(ReverbEffectTest, NamesAndLabels) {
    Instance fx;
    for (int32_t i = 0; i < 9; ++i) {
        EXPECT_EQ(fx.name(i), kNames[i]) << i;
    }
    for (int32_t i : {9, 20, 31, 32, 1000, -1, std::numeric_limits<int32_t>::min()}) {
        EXPECT_EQ(fx.name(i), "Unused") << i;
    }
    for (int32_t i : {0, 8, 9, 31, 32, -1}) {
        EXPECT_EQ(fx.label(i), "units") << i;
    }
}

TEST_F(ReverbEffectTest, DisplayOutsideTheTableLeavesTheTextAlone) {
    Instance fx;
    const std::string untouched(63, '#');
    for (int32_t i : {32, 40, -1, std::numeric_limits<int32_t>::max()}) {
        EXPECT_EQ(fx.display(i), untouched) << i;
    }
}

TEST_F(ReverbEffectTest, TheEngineReceivesTheMappedDefaults) {
    Instance fx;
    const Reverb& engine = fx.reverb->getCore().getEngine();
    // Lowpass: (0.7 + 0.1) handed on, times 0.8 in the engine.
    EXPECT_EQ(probe(engine).getLowpassCutoff(),
              static_cast<float>(static_cast<float>(0.7f + 0.1) * 0.8));
    EXPECT_EQ(probe(engine).getHighpassCutoff(), 0.0f);
    EXPECT_EQ(probe(engine).getPreDelay(), 0.0f);
    EXPECT_EQ(probe(engine).getSeparation(), static_cast<float>(0.5f * 0.98 + 0.001));
    EXPECT_NEAR(probe(engine).getSeparation(), 0.491f, 1e-7f);
    EXPECT_TRUE(fx.reverb->getCore().isRebuildPending());
}

TEST_F(ReverbEffectTest, ImmediateEngineSettingsFollowTheFloatArithmetic) {
    Instance fx;
    const Reverb& engine = fx.reverb->getCore().getEngine();
    fx.set(3, 0.5f);
    EXPECT_EQ(probe(engine).getPreDelay(), static_cast<float>(0.5f * 0.98));
    fx.set(4, 0.3f);
    EXPECT_EQ(probe(engine).getLowpassCutoff(),
              static_cast<float>(static_cast<float>(0.3f + 0.1) * 0.8));
    fx.set(5, 0.25f);
    EXPECT_EQ(probe(engine).getHighpassCutoff(), static_cast<float>(0.25f * 0.8));
    fx.set(6, 1.0f);
    EXPECT_EQ(probe(engine).getSeparation(), static_cast<float>(1.0 * 0.98 + 0.001));
}

TEST_F(ReverbEffectTest, LevelsDoubleTheGainEveryTenth) {
    Instance fx;
    fx.set(7, 1.0f);
    EXPECT_EQ(fx.reverb->getCore().getReverbGain(), 2.0f);
    fx.set(7, 0.5f);
    EXPECT_EQ(fx.reverb->getCore().getReverbGain(), 0.0625f);
    fx.set(7, 0.0f);
    EXPECT_EQ(fx.reverb->getCore().getReverbGain(), 0.001953125f);
    fx.set(7, 2.0f); // taken as 1
    EXPECT_EQ(fx.reverb->getCore().getReverbGain(), 2.0f);
    fx.set(8, 0.9f);
    EXPECT_NEAR(fx.reverb->getCore().getDryGain(), 0.9999998f, 1e-7f);
    fx.set(8, 0.6f);
    EXPECT_NEAR(fx.reverb->getCore().getDryGain(), 0.125f, 1e-7f);
    // Levels change no structure.
    float silence[16] = {};
    float out[2][16];
    fx.run(silence, silence, out[0], out[1], 16);
    fx.set(7, 0.3f);
    fx.set(8, 0.3f);
    fx.set(4, 0.3f);
    fx.set(5, 0.3f);
    EXPECT_FALSE(fx.reverb->getCore().isRebuildPending());
}

TEST_F(ReverbEffectTest, StructuralParametersDeferARebuild) {
    Instance fx;
    float silence[16] = {};
    float out[2][16];
    for (int32_t index : {0, 1, 2, 3, 6}) {
        fx.run(silence, silence, out[0], out[1], 16);
        ASSERT_FALSE(fx.reverb->getCore().isRebuildPending());
        fx.set(index, 0.25f);
        EXPECT_TRUE(fx.reverb->getCore().isRebuildPending()) << index;
    }
    // Applied at the next block, which may even be empty.
    fx.set(2, 0.8f);
    fx.run(silence, silence, out[0], out[1], 0);
    EXPECT_FALSE(fx.reverb->getCore().isRebuildPending());
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getRoomSize(), 0.8f);
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getRoomIndex(), 53);
}

TEST_F(ReverbEffectTest, ModeIsTheValueTimesSixteenTruncated) {
    Instance fx;
    float silence[4] = {};
    float out[2][4];
    const struct {
        float value;
        int32_t mode;
    } cases[] = {{0.0625f, 1}, {0.06f, 0}, {0.07f, 1}, {0.124f, 1}, {0.125f, 2},
                 {0.2f, 2},    {1.0f, 2},  {0.0f, 0},  {-0.5f, 0},  {1e30f, 2}};
    for (const auto& c : cases) {
        fx.set(0, c.value);
        fx.run(silence, silence, out[0], out[1], 4);
        EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getMode(), c.mode) << c.value;
    }
}

TEST_F(ReverbEffectTest, UnusedAndOutOfRangeIndices) {
    Instance fx;
    float silence[4] = {};
    float out[2][4];
    fx.run(silence, silence, out[0], out[1], 4);
    fx.set(31, 0.25f);
    EXPECT_EQ(fx.get(31), 0.25f);
    EXPECT_EQ(fx.display(31), "0.250000");
    EXPECT_FALSE(fx.reverb->getCore().isRebuildPending());
    for (int32_t index : {32, 40, -1, -9, std::numeric_limits<int32_t>::min()}) {
        fx.set(index, 0.75f);
        EXPECT_EQ(fx.get(index), 0.0f) << index;
    }
    // Nothing of the program changed.
    for (int32_t i = 0; i < 31; ++i) {
        EXPECT_EQ(fx.get(i), ReverbProgram().values[i].load()) << i;
    }
}

TEST_F(ReverbEffectTest, ValuesThatAreNotNumbersAreIgnored) {
    Instance fx;
    RecordingEditor* editor = installRecordingEditor(fx.reverb);
    for (float bad :
         {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
          -std::numeric_limits<float>::infinity()}) {
        for (int32_t index = 0; index < 32; ++index) {
            fx.set(index, bad);
        }
    }
    EXPECT_TRUE(editor->calls.empty());
    EXPECT_EQ(fx.get(7), 0.6f);
    EXPECT_NEAR(fx.reverb->getCore().getReverbGain(), 0.125f, 1e-6f);
    EXPECT_FALSE(std::isnan(probe(fx.reverb->getCore().getEngine()).getLowpassCutoff()));
}

TEST_F(ReverbEffectTest, ValuesOutsideZeroToOneAreStoredAsTheNearestEnd) {
    Instance fx;
    RecordingEditor* editor = installRecordingEditor(fx.reverb);
    const float denormal = std::numeric_limits<float>::denorm_min();
    const struct {
        float sent;
        float stored;
    } cases[] = {{1e30f, 1.0f},
                 {-1e30f, 0.0f},
                 {5.0f, 1.0f},
                 {-0.5f, 0.0f},
                 {denormal, denormal},
                 {-denormal, 0.0f},
                 {std::nextafter(1.0f, 2.0f), 1.0f},
                 {std::nextafter(0.0f, -1.0f), 0.0f}};
    for (const auto& c : cases) {
        for (int32_t index = 0; index < 32; ++index) {
            editor->calls.clear();
            fx.set(index, c.sent);
            EXPECT_EQ(fx.get(index), c.stored) << index << " " << c.sent;
            ASSERT_EQ(editor->calls.size(), 1u);
            EXPECT_EQ(editor->calls[0].value, c.stored) << "the editor shows what is stored";
        }
        // The gains are those of the stored value: at most 2 (level 1).
        EXPECT_EQ(fx.reverb->getCore().getReverbGain(), ReverbCore::levelGain(c.stored)) << c.sent;
        EXPECT_EQ(fx.reverb->getCore().getDryGain(), ReverbCore::levelGain(c.stored)) << c.sent;
    }
    // A program change re-applies the (already clamped) stored values.
    fx.set(7, 7.0f);
    fx.selectProgram(1);
    fx.selectProgram(0);
    EXPECT_EQ(fx.get(7), 1.0f);
}

// With every parameter at one end, over a minute of full-scale noise, the
// output stays finite and below a ceiling. The dry path gives at most
// levelGain(1) = 2 times an input of at most 1. The reverb path gives at most
// 2 x 0.7 times the reverb signal, which the combs (feedback below 1) keep
// bounded: about 5.3 per unit of input at these settings. The ceiling,
// 2 + 1.4 x 8 = 13.2, leaves room for that while catching any runaway gain
// (a value outside 0 to 1 once multiplied the reverb by 2^41).
TEST_F(ReverbEffectTest, ExtremeSettingsStayFiniteAndBoundedOverAMinuteOfNoise) {
    constexpr float kCeiling = 13.2f;
    const size_t frames = size_t(kDefaultSampleRate) * 60;
    Stereo in = noise(frames, 777, 2.0f); // uniform in -1 to 1
    for (float setting : {0.0f, 1.0f, -1e30f, 1e30f}) {
        Instance fx;
        for (int32_t index = 0; index < 32; ++index) {
            fx.set(index, setting);
        }
        const Stereo out = render(fx, in, 512);
        float peak = 0.0f;
        for (size_t i = 0; i < frames; ++i) {
            ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i]))
                << setting << " at frame " << i;
            peak = std::max({peak, std::fabs(out.left[i]), std::fabs(out.right[i])});
        }
        EXPECT_LE(peak, kCeiling) << setting;
        std::printf("all parameters at %g: peak %g\n", double(setting), double(peak));
    }
}

TEST_F(ReverbEffectTest, TheEditorIsToldFirstAndUpdatedLast) {
    Instance fx;
    RecordingEditor* editor = installRecordingEditor(fx.reverb);
    fx.set(4, 0.25f);
    fx.set(40, 0.5f);
    ASSERT_EQ(editor->calls.size(), 2u);
    EXPECT_EQ(editor->calls[0].index, 4);
    EXPECT_EQ(editor->calls[0].value, 0.25f);
    EXPECT_EQ(editor->calls[0].heldBefore, 0.7f); // told before the store
    EXPECT_EQ(editor->calls[1].index, 40);        // told even without a parameter
    ASSERT_EQ(editor->updates, 2);
    EXPECT_EQ(editor->heldAtUpdate[0], 0.25f); // updated after the store
}

// With the effect's own editor, open or not, one change posts one update.
TEST_F(ReverbEffectTest, OneChangePostsOneUpdateOfTheEditor) {
    struct CountingEditor : ReverbEditor {
        using ReverbEditor::ReverbEditor;
        void postUpdate() override { ++posts; }
        int posts = 0;
    };
    Instance fx;
    HostEditor* own = fx.reverb->editorObject();
    fx.reverb->setEditor(nullptr);
    delete own;
    auto* editor = new CountingEditor(fx.reverb);
    fx.reverb->setEditor(editor);
    for (int32_t index : {4, 0, 40}) {
        fx.set(index, 0.25f);
    }
    EXPECT_EQ(editor->posts, 3);
    editor->open(nullptr);
    editor->posts = 0;
    fx.set(3, 0.5f);
    EXPECT_EQ(editor->posts, 1);
    EXPECT_EQ(editor->getSlider(1)->getValue(), 0.5f);
}

// ---------------------------------------------------------------- programs

TEST_F(ReverbEffectTest, ProgramNamesCarryTheirNumberWhileTheyAreInit) {
    Instance fx;
    EXPECT_EQ(fx.programName(), "Init 1");
    fx.selectProgram(4);
    EXPECT_EQ(fx.programName(), "Init 5");
    fx.selectProgram(127);
    EXPECT_EQ(fx.programName(), "Init 128");
    char text[32];
    std::memset(text, '#', sizeof text);
    EXPECT_EQ(fx.dispatch(effGetProgramNameIndexed, 4, 0, text), 1);
    EXPECT_STREQ(text, "Init");
    EXPECT_EQ(fx.dispatch(effGetProgramNameIndexed, 127, 0, text), 1);
    EXPECT_STREQ(text, "Init");
}

TEST_F(ReverbEffectTest, RenamedProgramsLoseTheNumber) {
    Instance fx;
    char name[] = "Cathedral";
    fx.dispatch(effSetProgramName, 0, 0, name);
    EXPECT_EQ(fx.programName(), "Cathedral");
    fx.selectProgram(1);
    EXPECT_EQ(fx.programName(), "Init 2");
    char text[32];
    EXPECT_EQ(fx.dispatch(effGetProgramNameIndexed, 0, 0, text), 1);
    EXPECT_STREQ(text, "Cathedral");
    // Named "Init" again: the number comes back.
    fx.selectProgram(0);
    char init[] = "Init";
    fx.dispatch(effSetProgramName, 0, 0, init);
    EXPECT_EQ(fx.programName(), "Init 1");
}

TEST_F(ReverbEffectTest, OverlongProgramNamesAreCutAt23Characters) {
    Instance fx;
    std::string longName(300, 'x');
    for (size_t i = 0; i < longName.size(); ++i) {
        longName[i] = static_cast<char>('a' + i % 26);
    }
    fx.dispatch(effSetProgramName, 0, 0, &longName[0]);
    EXPECT_EQ(fx.programName(), longName.substr(0, 23));
    char text[64];
    std::memset(text, '#', sizeof text);
    fx.dispatch(effGetProgramNameIndexed, 0, 0, text);
    EXPECT_EQ(std::string(text), longName.substr(0, 23));
    EXPECT_EQ(text[24], '#'); // 23 characters and a terminator, nothing more
    // The next program's record is untouched.
    fx.dispatch(effGetProgramNameIndexed, 1, 0, text);
    EXPECT_STREQ(text, "Init");
}

TEST_F(ReverbEffectTest, ProgramIndicesOutsideTheBankAreRefused) {
    Instance fx;
    char text[32];
    std::memset(text, '#', sizeof text);
    text[31] = 0;
    for (int32_t index : {128, 1000, -1, std::numeric_limits<int32_t>::min()}) {
        EXPECT_EQ(fx.dispatch(effGetProgramNameIndexed, index, 0, text), 0) << index;
        EXPECT_EQ(text[0], '#');
    }
    fx.selectProgram(7);
    for (intptr_t program : {intptr_t(128), intptr_t(-1), intptr_t(-128)}) {
        fx.selectProgram(program);
        EXPECT_EQ(fx.dispatch(effGetProgram), 7);
    }
    // Also when called on the effect directly, bypassing the dispatcher's check.
    fx.reverb->setProgram(-1);
    fx.reverb->setProgram(128);
    EXPECT_EQ(fx.dispatch(effGetProgram), 7);
}

TEST_F(ReverbEffectTest, ProgramsKeepTheirOwnValues) {
    Instance fx;
    fx.selectProgram(3);
    fx.set(2, 0.9f);
    fx.set(7, 1.0f);
    fx.set(20, 0.125f);
    fx.selectProgram(0);
    EXPECT_EQ(fx.get(2), 0.5f);
    EXPECT_NEAR(fx.reverb->getCore().getReverbGain(), 0.125f, 1e-6f);
    fx.selectProgram(3);
    EXPECT_EQ(fx.get(2), 0.9f);
    EXPECT_EQ(fx.get(20), 0.125f);
    EXPECT_EQ(fx.reverb->getCore().getReverbGain(), 2.0f);
    EXPECT_EQ(fx.display(2), "0.899999"); // 0.9f, digits cut
}

TEST_F(ReverbEffectTest, AProgramChangeReappliesAll32ValuesThroughTheEditor) {
    Instance fx;
    fx.selectProgram(3);
    for (int32_t i = 0; i < 32; ++i) {
        fx.set(i, static_cast<float>(i) / 64.0f);
    }
    fx.selectProgram(0);
    float silence[4] = {};
    float out[2][4];
    fx.run(silence, silence, out[0], out[1], 4);
    RecordingEditor* editor = installRecordingEditor(fx.reverb);

    fx.selectProgram(3);
    ASSERT_EQ(editor->calls.size(), 32u);
    for (int32_t i = 0; i < 32; ++i) {
        EXPECT_EQ(editor->calls[size_t(i)].index, i);
        EXPECT_EQ(editor->calls[size_t(i)].value, static_cast<float>(i) / 64.0f);
    }
    EXPECT_EQ(editor->updates, 32);
    EXPECT_TRUE(fx.reverb->getCore().isRebuildPending());
    EXPECT_EQ(fx.reverb->getCore().getReverbGain(), ReverbCore::levelGain(7.0f / 64.0f));
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getPreDelay(),
              static_cast<float>(3.0f / 64.0f * 0.98));
    fx.run(silence, silence, out[0], out[1], 4);
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getRoomSize(), 2.0f / 64.0f);
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getLength(), 1.0f / 64.0f);
}

// ---------------------------------------------------------------- processing

constexpr int32_t kFirstReflection = 314; // pre-delay 6 + first tap 308 at 44.1 kHz
constexpr int32_t kSeparation = 150;      // right wet = left wet 150 samples later

// The first frame at which a channel's magnitude exceeds the threshold.
int32_t firstAbove(const std::vector<float>& channel, float threshold, int32_t from = 0) {
    for (size_t i = static_cast<size_t>(from); i < channel.size(); ++i) {
        if (std::fabs(channel[i]) > threshold) {
            return static_cast<int32_t>(i);
        }
    }
    return -1;
}

TEST_F(ReverbEffectTest, ImpulseResponseOfTheDefaultProgram) {
    Instance fx;
    fx.setSampleRate(44100.0f);
    fx.setBlockSize(512);
    fx.dispatch(effMainsChanged, 0, 1);
    Stereo in(2048);
    in.left[0] = 1.0f;
    const Stereo out = render(fx, in, 512);
    const float dry = fx.reverb->getCore().getDryGain();
    // The direct signal at the impulse: the dry gain, on its own channel only.
    EXPECT_EQ(out.left[0], static_cast<float>(static_cast<double>(dry) * 1.0));
    EXPECT_NEAR(out.right[0], 0.0f, 1e-6f);
    // Then nothing but the denormal guards' traces until the first reflection.
    EXPECT_EQ(firstAbove(out.left, 1e-6f, 1), kFirstReflection);
    EXPECT_GT(std::fabs(out.left[kFirstReflection]), 1e-3f);
    // The right wet signal is the left one, later by the separation line (its
    // interpolating read spreads the onset over the two samples before).
    EXPECT_EQ(firstAbove(out.right, 1e-3f, 1), kFirstReflection + kSeparation);
    EXPECT_EQ(firstAbove(out.right, 1e-6f, 1), kFirstReflection + kSeparation - 2);
    EXPECT_NEAR(out.right[kFirstReflection + kSeparation], out.left[kFirstReflection], 5e-4f);
}

TEST_F(ReverbEffectTest, ProcessAndProcessReplacingAreOneOperation) {
    Instance a, b;
    const Stereo in = noise(3000);
    // Output arrays full of old values: neither callback adds to them.
    const Stereo outA = render(a, in, 256, true);
    const Stereo outB = render(b, in, 256, false);
    EXPECT_TRUE(sameAudio(outA, outB));
    // And the result is not the dry signal alone.
    bool wet = false;
    for (size_t i = 1000; i < 3000 && !wet; ++i) {
        wet = std::fabs(outA.left[i] - in.left[i] * a.reverb->getCore().getDryGain()) > 1e-4f;
    }
    EXPECT_TRUE(wet);
}

TEST_F(ReverbEffectTest, InPlaceProcessingGivesTheSameOutput) {
    Instance a, b;
    const Stereo in = noise(2000, 99);
    const Stereo expected = render(a, in, 200);
    Stereo buffer = in;
    for (size_t at = 0; at < buffer.size(); at += 200) {
        b.run(&buffer.left[at], &buffer.right[at], &buffer.left[at], &buffer.right[at], 200);
    }
    EXPECT_TRUE(sameAudio(buffer, expected));
}

// The delay lines fix their interpolation coefficients once per call, from
// the step of the previous call (1 right after a rebuild). So pieces equal one
// call exactly once every instance has had the same first call after its
// rebuild: `prime` gives each the same short first block.
constexpr int32_t kPrime = 64;

void prime(Instance& fx, const Stereo& in, Stereo& out, int32_t frames = kPrime) {
    fx.run(in.left.data(), in.right.data(), out.left.data(), out.right.data(), frames);
    for (int32_t at = frames; at < kPrime; ++at) {
        fx.run(&in.left[at], &in.right[at], &out.left[at], &out.right[at], 1);
    }
}

// Processes in[kPrime..] in calls of `call` frames into out.
void runFrom(Instance& fx, const Stereo& in, Stereo& out, int32_t call) {
    for (size_t at = kPrime; at < in.size(); at += static_cast<size_t>(call)) {
        const int32_t n = static_cast<int32_t>(std::min(in.size() - at, size_t(call)));
        fx.run(&in.left[at], &in.right[at], &out.left[at], &out.right[at], n);
    }
}

TEST_F(ReverbEffectTest, BlocksLongerThanTheCapacityArePiecedTogether) {
    const Stereo in = noise(70000, 7);
    // Calls that the capacity holds ...
    Instance whole;
    whole.setBlockSize(ReverbCore::kMaxBlockSize);
    Stereo expected(in.size(), 1e30f);
    prime(whole, in, expected);
    runFrom(whole, in, expected, ReverbCore::kMaxBlockSize);
    // ... equal calls of the same length with a far smaller capacity ...
    Instance pieced;
    pieced.setBlockSize(100);
    ASSERT_EQ(pieced.reverb->getCore().getEngine().getBlockCapacity(), 100);
    Stereo out(in.size(), 1e30f);
    prime(pieced, in, out);
    runFrom(pieced, in, out, ReverbCore::kMaxBlockSize);
    EXPECT_TRUE(sameAudio(out, expected));
    // ... and calls of the capacity itself ...
    Instance small;
    small.setBlockSize(100);
    Stereo outSmall(in.size(), 1e30f);
    prime(small, in, outSmall);
    runFrom(small, in, outSmall, 100);
    EXPECT_TRUE(sameAudio(outSmall, expected));
    // ... and one call longer than any capacity a host may announce.
    Instance huge;
    Stereo outHuge(in.size(), 1e30f);
    prime(huge, in, outHuge);
    runFrom(huge, in, outHuge, static_cast<int32_t>(in.size()));
    EXPECT_TRUE(sameAudio(outHuge, expected));
}

TEST_F(ReverbEffectTest, BlockSizesTheEngineCannotUseAreRefused) {
    Instance fx;
    EXPECT_EQ(fx.reverb->getCore().getEngine().getBlockCapacity(), Reverb::kDefaultBlockSize);
    fx.setBlockSize(300);
    EXPECT_EQ(fx.reverb->getCore().getEngine().getBlockCapacity(), 300);
    for (intptr_t bad : {intptr_t(0), intptr_t(-1), intptr_t(-65536), intptr_t(65537),
                         intptr_t(1) << 20, std::numeric_limits<intptr_t>::max()}) {
        fx.setBlockSize(bad);
        EXPECT_EQ(fx.reverb->getCore().getEngine().getBlockCapacity(), 300) << bad;
    }
    fx.setBlockSize(ReverbCore::kMaxBlockSize);
    EXPECT_EQ(fx.reverb->getCore().getEngine().getBlockCapacity(), ReverbCore::kMaxBlockSize);
    // Odd sizes work: a capacity of 1 processes any block sample by sample.
    fx.setBlockSize(1);
    Instance reference;
    const Stereo in = noise(777, 3);
    Stereo out(in.size(), 1e30f), expected(in.size(), 1e30f);
    prime(fx, in, out, 1);
    prime(reference, in, expected, 1);
    runFrom(fx, in, out, 713);
    runFrom(reference, in, expected, 713);
    EXPECT_TRUE(sameAudio(out, expected));
    // Only effSetBlockSize reaches the engine.
    fx.dispatch(effSetBlockSizeAndSampleRate, 0, 4096, nullptr, 96000.0f);
    EXPECT_EQ(fx.reverb->getCore().getEngine().getBlockCapacity(), 1);
    EXPECT_EQ(fx.reverb->getCore().getEngine().getSampleRate(), 44100);
}

TEST_F(ReverbEffectTest, SampleRateReachesTheEngine) {
    Instance fx;
    fx.setSampleRate(48000.7f);
    EXPECT_EQ(currentSampleRate, 48000);
    EXPECT_EQ(fx.reverb->getCore().getEngine().getSampleRate(), 48000);
    // Room size 0.5: room index 35, spacing trunc(2 x 35 x 48000 x 0.0001).
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getSpacing(), 336);
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getHistoryLength(), 96000);
    for (float bad : {0.0f, 0.5f, -44100.0f, std::numeric_limits<float>::quiet_NaN(),
                      std::numeric_limits<float>::infinity(), 1e12f}) {
        fx.setSampleRate(bad);
        EXPECT_EQ(currentSampleRate, 48000) << bad;
        EXPECT_EQ(fx.reverb->getCore().getEngine().getSampleRate(), 48000) << bad;
        EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getSpacing(), 336) << bad;
    }
    // An odd but usable rate.
    fx.setSampleRate(8001.0f);
    EXPECT_EQ(fx.reverb->getCore().getEngine().getSampleRate(), 8001);
    Stereo out = render(fx, noise(5000), 256);
    for (size_t i = 0; i < out.size(); ++i) {
        ASSERT_TRUE(std::isfinite(out.left[i]) && std::isfinite(out.right[i])) << i;
    }
}

TEST_F(ReverbEffectTest, TheGateClosesAfterTheTailTime) {
    Instance fx;
    fx.setBlockSize(441);
    Stereo in(441 * 520);
    for (size_t i = 0; i < 441 * 20; i += 97) {
        in.left[i] = 0.8f;
        in.right[i] = -0.6f;
    }
    const Stereo out = render(fx, in, 441);
    // The last sound is in block 19; the tail of room size 0.5 lasts
    // 2 + 6 x 0.5 = 5 seconds, 500 blocks of 441 frames.
    auto blockIsSilent = [&](size_t block) {
        for (size_t i = block * 441; i < (block + 1) * 441; ++i) {
            if (out.left[i] != 0.0f || out.right[i] != 0.0f) {
                return false;
            }
        }
        return true;
    };
    EXPECT_FALSE(blockIsSilent(25));
    EXPECT_FALSE(blockIsSilent(518)); // 499 blocks after the last sound
    EXPECT_TRUE(blockIsSilent(519));  // 500 blocks after it: closed
}

TEST_F(ReverbEffectTest, NotANumberInTheInputDoesNotPoisonTheReverb) {
    Instance withNaN, withZero;
    Stereo in = noise(4000, 5);
    Stereo clean = in;
    in.left[1000] = std::numeric_limits<float>::quiet_NaN();
    in.right[1500] = std::numeric_limits<float>::infinity();
    clean.left[1000] = 0.0f;
    clean.right[1500] = 0.0f;
    const Stereo a = render(withNaN, in, 512);
    const Stereo b = render(withZero, clean, 512);
    // Only the direct signal of those two samples carries them.
    EXPECT_TRUE(std::isnan(a.left[1000]));
    EXPECT_TRUE(std::isinf(a.right[1500]));
    Stereo patched = a;
    patched.left[1000] = b.left[1000];
    patched.right[1500] = b.right[1500];
    EXPECT_TRUE(sameAudio(patched, b));
}

TEST_F(ReverbEffectTest, MissingChannelsAndNegativeCountsAreSafe) {
    Instance fx;
    Stereo in = noise(64);
    Stereo out(64, 7.0f);
    float* outputs[2] = {out.left.data(), out.right.data()};
    float* inputs[2] = {in.left.data(), in.right.data()};
    // No inputs: silence where the outputs are.
    fx.record->processReplacing(fx.record, nullptr, outputs, 64);
    for (size_t i = 0; i < 64; ++i) {
        ASSERT_EQ(out.left[i], 0.0f);
        ASSERT_EQ(out.right[i], 0.0f);
    }
    // A negative count writes nothing.
    std::fill(out.left.begin(), out.left.end(), 7.0f);
    fx.record->processReplacing(fx.record, inputs, outputs, -5);
    fx.record->process(fx.record, inputs, outputs, std::numeric_limits<int32_t>::min());
    EXPECT_EQ(out.left[0], 7.0f);
    // One missing output channel: the other one is still written.
    float* partial[2] = {nullptr, out.right.data()};
    std::fill(out.right.begin(), out.right.end(), 7.0f);
    fx.record->processReplacing(fx.record, inputs, partial, 64);
    EXPECT_NE(out.right[10], 7.0f);
    fx.record->processReplacing(fx.record, inputs, nullptr, 64);
    float* missingLeft[2] = {nullptr, in.right.data()};
    fx.record->processReplacing(fx.record, missingLeft, outputs, 64);
    EXPECT_EQ(out.left[3], 0.0f);
}

// A block that arrives while the control thread re-sizes the engine passes the
// direct signal through and leaves the engine alone.
class HeldEffect : public ReverbEffect {
public:
    using ReverbEffect::ReverbEffect;
    void hold() { core.acquireEngineForResize(); }
    void letGo() { core.releaseEngine(); }
};

TEST_F(ReverbEffectTest, ABlockDuringAResizePassesTheDrySignal) {
    HeldEffect fx(nullptr);
    HeldEffect twin(nullptr);
    fx.setParameter(8, 0.5f); // dry gain 0.0625
    twin.setParameter(8, 0.5f);
    Stereo in = noise(256, 11);
    Stereo out(256, 9.0f);
    float* inputs[2] = {in.left.data(), in.right.data()};
    float* outputs[2] = {out.left.data(), out.right.data()};
    fx.hold();
    fx.processReplacing(inputs, outputs, 256);
    for (size_t i = 0; i < 256; ++i) {
        ASSERT_EQ(out.left[i], static_cast<float>(0.0625 * in.left[i])) << i;
        ASSERT_EQ(out.right[i], static_cast<float>(0.0625 * in.right[i])) << i;
    }
    EXPECT_TRUE(fx.getCore().isRebuildPending()); // left for the next real block
    fx.letGo();
    // Afterwards the engine runs as if that block had not been given to it.
    Stereo next = noise(256, 12);
    Stereo a(256), b(256);
    float* nextIn[2] = {next.left.data(), next.right.data()};
    float* outA[2] = {a.left.data(), a.right.data()};
    float* outB[2] = {b.left.data(), b.right.data()};
    fx.processReplacing(nextIn, outA, 256);
    twin.processReplacing(nextIn, outB, 256);
    EXPECT_TRUE(sameAudio(a, b));
}

} // namespace
