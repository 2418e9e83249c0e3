// What happens inside the effect at moments a host cannot see: the order of
// the deferred rebuild, a change that arrives during it, the order of
// destruction and allocations that fail.
//
// This executable is linked with the engine's trace hook wrapped (so that the
// test sees "Setting Delay" as the engine rebuilds a line, and "Destroy Reverb"),
// and replaces the global allocation functions (so that it sees the program
// bank freed and can make the bank or the editor fail to allocate).
#include "editor/ReverbEditor.h"
#include "tests/effect/EffectTestSupport.h"
#include "tests/engine/EngineProbe.h"

#include <cstdlib>
#include <functional>
#include <new>
#include <string>
#include <tuple>
#include <vector>

using namespace effecttest;

namespace {

std::function<void(const char*, double)> traceObserver;
std::vector<std::string>* eventLog = nullptr;
const void* watchedBlock = nullptr;
size_t failingNothrowSize = 0;

void logEvent(const std::string& event) {
    if (eventLog) {
        eventLog->push_back(event);
    }
}

} // namespace

// The engine's trace hook, wrapped at link time.
extern "C" void __wrap__Z9traceHookPKcd(const char* message, double value) {
    if (traceObserver) {
        traceObserver(message, value);
    }
}

// Global allocation: malloc and free underneath, with a watched block whose
// release is logged and a size whose nothrow allocation fails on request.
void* operator new(size_t size) {
    if (void* p = std::malloc(size ? size : 1)) {
        return p;
    }
    throw std::bad_alloc();
}
void* operator new[](size_t size) {
    return operator new(size);
}
void* operator new(size_t size, const std::nothrow_t&) noexcept {
    if (failingNothrowSize && size == failingNothrowSize) {
        return nullptr;
    }
    return std::malloc(size ? size : 1);
}
void* operator new[](size_t size, const std::nothrow_t& tag) noexcept {
    return operator new(size, tag);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    if (p && p == watchedBlock) {
        logEvent("programs freed");
    }
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    operator delete[](p);
}

namespace {

class EffectLifecycle : public ::testing::Test {
protected:
    void SetUp() override {
        RecordingHost::get().reset();
        currentSampleRate = kDefaultSampleRate;
        Instance first; // see ReverbEffectTest: the generator's state at load
    }
    void TearDown() override {
        traceObserver = nullptr;
        eventLog = nullptr;
        watchedBlock = nullptr;
        failingNothrowSize = 0;
    }

    static void block(Instance& fx) {
        float in[32] = {};
        float out[2][32];
        fx.run(in, in, out[0], out[1], 32);
    }
};

using Settings = std::tuple<float, int32_t, float>; // length, mode, room size

// Runs of the same settings collapsed: one entry per engine call that changed
// something.
std::vector<Settings> distinct(const std::vector<Settings>& all) {
    std::vector<Settings> result;
    for (const Settings& s : all) {
        if (result.empty() || result.back() != s) {
            result.push_back(s);
        }
    }
    return result;
}

// The engine's settings each time a block's rebuild re-sizes a delay line;
// `during` runs at each of those moments.
std::vector<Settings> recordRebuilds(Instance& fx, const std::function<void()>& during = {}) {
    std::vector<Settings> phases;
    const Reverb& engine = fx.reverb->getCore().getEngine();
    traceObserver = [&](const char* message, double) {
        if (std::string(message) != "Setting Delay") {
            return;
        }
        phases.emplace_back(probe(engine).getLength(), probe(engine).getMode(),
                            probe(engine).getRoomSize());
        if (during) {
            during();
        }
    };
    float in[32] = {};
    float out[2][32];
    fx.run(in, in, out[0], out[1], 32);
    traceObserver = nullptr;
    return phases;
}

TEST_F(EffectLifecycle, OneRebuildAtTheNextBlockInTheOrderLengthModeRoomSize) {
    Instance fx;
    block(fx);
    fx.set(2, 0.8f); // "Room Size"
    fx.set(0, 0.2f); // "Mode"
    fx.set(1, 0.3f); // "Length"
    // One rebuild with all three settings: each of the four lines is re-sized once. (It
    // leaves what setLength, setMode and setRoomSize in this order would, at three times the
    // cost; the engine's tests compare the two.)
    const std::vector<Settings> all = recordRebuilds(fx);
    EXPECT_EQ(all.size(), 4u);
    const std::vector<Settings> phases = distinct(all);
    ASSERT_EQ(phases.size(), 1u);
    EXPECT_EQ(phases[0], Settings(0.3f, 2, 0.8f));
    // Nothing is left over for the block after.
    EXPECT_TRUE(recordRebuilds(fx).empty());
}

TEST_F(EffectLifecycle, ParametersWithoutStructureRebuildNothing) {
    Instance fx;
    block(fx);
    fx.set(1, 0.4f); // a full rebuild, for comparison
    const size_t fullRebuild = recordRebuilds(fx).size();
    ASSERT_GT(fullRebuild, 0u);
    fx.set(4, 0.2f);
    fx.set(5, 0.2f);
    fx.set(7, 0.2f);
    fx.set(8, 0.2f);
    fx.set(20, 0.2f);
    EXPECT_TRUE(recordRebuilds(fx).empty());
    fx.set(3, 0.2f); // "PreDelay" is applied by the rebuild
    EXPECT_EQ(recordRebuilds(fx).size(), fullRebuild);
    fx.set(6, 0.2f); // so is "Stereo Separation"
    fx.set(3, 0.3f); // several changes: still one rebuild
    fx.set(0, 0.3f);
    EXPECT_EQ(recordRebuilds(fx).size(), fullRebuild);
}

TEST_F(EffectLifecycle, AChangeDuringTheRebuildIsAppliedAtTheNextBlock) {
    Instance fx;
    block(fx);
    fx.set(2, 0.8f);
    bool changed = false;
    // While the rebuild hands the room size to the engine (setMode is done),
    // another thread sets "Mode".
    const std::vector<Settings> first = recordRebuilds(fx, [&] {
        if (!changed && probe(fx.reverb->getCore().getEngine()).getRoomSize() == 0.8f) {
            changed = true;
            fx.set(0, 0.07f);
        }
    });
    ASSERT_TRUE(changed);
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getMode(), 0);
    EXPECT_TRUE(fx.reverb->getCore().isRebuildPending());
    const std::vector<Settings> next = recordRebuilds(fx);
    EXPECT_EQ(next.size(), first.size());
    EXPECT_EQ(probe(fx.reverb->getCore().getEngine()).getMode(), 1);
    EXPECT_FALSE(fx.reverb->getCore().isRebuildPending());
}

// An editor that logs being closed and destroyed.
class LoggedEditor : public RecordingEditor {
public:
    using RecordingEditor::RecordingEditor;
    ~LoggedEditor() override { logEvent("editor destroyed"); }
    void close() override {
        RecordingEditor::close();
        logEvent("editor closed");
    }
};

TEST_F(EffectLifecycle, CloseEndsTheEditorThenFreesProgramsThenEngineThenTheEditor) {
    std::vector<std::string> events;
    Instance fx;
    HostEditor* own = fx.reverb->editorObject();
    fx.reverb->setEditor(nullptr);
    delete own;
    new LoggedEditor(fx.reverb); // still open, as far as the effect knows
    watchedBlock = fx.reverb->getPrograms();
    eventLog = &events;
    traceObserver = [&](const char* message, double) {
        if (std::string(message) == "Destroy Reverb") {
            logEvent("engine destroyed");
        }
    };
    fx.close();
    const std::vector<std::string> expected = {"editor closed", "programs freed",
                                               "engine destroyed", "editor destroyed"};
    EXPECT_EQ(events, expected);
}

TEST_F(EffectLifecycle, AProgramBankThatCannotBeAllocatedMeansNoInstance) {
    failingNothrowSize = sizeof(ReverbProgram) * ReverbEffect::kNumPrograms;
    RecordingHost::get().answer(audioMasterVersion, kHostVersion);
    EXPECT_EQ(createEffectInstance(RecordingHost::callback), nullptr);
    // The effect itself reports it, and answers safely while it exists.
    ReverbEffect effect(nullptr);
    failingNothrowSize = 0;
    EXPECT_TRUE(effect.allocationFailed());
    EXPECT_EQ(effect.getPrograms(), nullptr);
    effect.setParameter(2, 0.3f);
    EXPECT_EQ(effect.getParameter(2), 0.0f);
    effect.setProgram(3);
    char text[32] = "#";
    effect.getProgramName(text);
    EXPECT_STREQ(text, "");
    EXPECT_FALSE(effect.getProgramNameIndexed(0, 0, text));
    float in[8] = {1.0f};
    float out[2][8];
    float* inputs[2] = {in, in};
    float* outputs[2] = {out[0], out[1]};
    effect.processReplacing(inputs, outputs, 8);
}

TEST_F(EffectLifecycle, AnEditorThatCannotBeAllocatedLeavesAWorkingEffect) {
    failingNothrowSize = sizeof(ReverbEditor);
    Instance fx;
    failingNothrowSize = 0;
    ASSERT_NE(fx.record, nullptr);
    EXPECT_EQ(fx.record->flags, effFlagsHasVu | effFlagsCanReplacing);
    EXPECT_EQ(fx.reverb->editorObject(), nullptr);
    EXPECT_EQ(fx.dispatch(effEditOpen, 0, 0, nullptr), 0);
    fx.set(7, 1.0f);
    EXPECT_EQ(fx.reverb->getCore().getReverbGain(), 2.0f);
    Stereo in(64, 0.25f), out(64);
    fx.run(in.left.data(), in.right.data(), out.left.data(), out.right.data(), 64);
    EXPECT_NEAR(out.left[0], 0.25f, 1e-6f);
}

} // namespace
