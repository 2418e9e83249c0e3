// The editor base: host editor calls, the frame it owns and the idle pump.
#include "gui/EditorBase.h"

#include "GuiTestSupport.h"
#include "host/AEffect.h"
#include "host/ExtendedEffectBase.h"
#include "tests/gui/OwningEffect.h"

#include <functional>
#include <memory>

namespace {

struct HostCall {
    int32_t opcode;
    int32_t index;
};
std::vector<HostCall> hostCalls;
std::function<void()> onHostIdle;

intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*,
                                   float) {
    hostCalls.push_back({opcode, index});
    if (opcode == audioMasterIdle && onHostIdle) {
        onHostIdle();
    }
    return opcode == audioMasterVersion ? 2400 : 1;
}

class TestEffect : public OwningEffect {
public:
    TestEffect() : OwningEffect(&recordingHost, 1, 1) {}
    void process(float**, float**, int32_t) override {}
};

class TestEditor : public EditorBase {
public:
    explicit TestEditor(EditorOwner* owner) : EditorBase(owner) {}
    void update() override { ++updates; }
    void setFrame(Frame* f) { frame = f; }
    void setRect(ERect r) { rect = r; }
    int updates = 0;
};

int countCalls(int32_t opcode) {
    int n = 0;
    for (const HostCall& c : hostCalls) {
        n += c.opcode == opcode ? 1 : 0;
    }
    return n;
}

class EditorBaseTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        onHostIdle = nullptr;
        effect = std::make_unique<TestEffect>();
        editor = new TestEditor(effect.get());
        effect->setEditor(editor); // owned by the effect
        hostCalls.clear();
    }
    void TearDown() override {
        onHostIdle = nullptr;
        effect.reset();
        EXPECT_EQ(0, world.oleBalance());
        GuiTest::TearDown();
    }
    int32_t fullPasses() { return countCalls(audioMasterIdle); }

    std::unique_ptr<TestEffect> effect;
    TestEditor* editor = nullptr;
    std::vector<std::string> log;
};

} // namespace

TEST_F(EditorBaseTest, RegistersWithTheEffectAndAnswersTheEditorCalls) {
    EXPECT_EQ(editor, effect->editorObject());
    EXPECT_TRUE(effect->hasFlag(effFlagsHasEditor));
    EXPECT_EQ(1000u, editor->getNextIdleTime());
    EXPECT_EQ(1, world.oleBalance());

    ERect* rect = nullptr;
    editor->setRect({0, 0, 245, 300});
    EXPECT_EQ(1, editor->getRect(&rect));
    EXPECT_EQ(&editor->getEditorRect(), rect);
    EXPECT_EQ(300, rect->right);
    EXPECT_EQ(1, editor->getRect(nullptr));

    HostEditor bare;
    rect = reinterpret_cast<ERect*>(1);
    EXPECT_EQ(0, bare.getRect(&rect));
    EXPECT_EQ(nullptr, rect);

    EXPECT_EQ(1, editor->setKnobMode(2));
    VstKeyCode key{0, VKEY_LEFT, 0};
    EXPECT_EQ(-1, editor->keyDown(key)); // no frame
    EXPECT_EQ(-1, editor->keyUp(key));

    void* parent = reinterpret_cast<void*>(uintptr_t{0x1234});
    EXPECT_EQ(0, editor->open(parent));
    EXPECT_EQ(parent, editor->getSystemWindow());
    EXPECT_EQ(0, editor->updates);
    editor->idle(); // the open asked for an update
    EXPECT_EQ(1, editor->updates);
    editor->idle();
    EXPECT_EQ(1, editor->updates);
    editor->setParameter(3, 0.5f);
    editor->idle();
    EXPECT_EQ(2, editor->updates);
}

TEST_F(EditorBaseTest, KeysGoThroughTheFrameRouting) {
    auto* frame = new Frame(Rect(0, 0, 300, 245), nullptr, editor);
    editor->setFrame(frame);
    auto* view = new RecordingView(Rect(0, 0, 5, 5), "v", &log);
    frame->addView(view);
    VstKeyCode key{0, VKEY_UP, 0};
    EXPECT_EQ(-1, editor->keyDown(key));
    view->keyAnswer = 1;
    EXPECT_EQ(1, editor->keyDown(key));
    EXPECT_EQ(1, editor->keyUp(key));
    EXPECT_EQ(editor, view->getEditor());
    editor->setFrame(nullptr);
    delete frame;
}

TEST_F(EditorBaseTest, TheFirstIdlePumpRunsAFullPassAtOnce) {
    editor->doIdleWork();
    EXPECT_TRUE(world.sleeps().empty());
    EXPECT_EQ(1, fullPasses());
    EXPECT_EQ(1100u, editor->getNextIdleTime());
    EXPECT_FALSE(editor->isInIdle());
}

TEST_F(EditorBaseTest, CallsBeforeTheNextPassSleepAndReturnUntilFortySixMillisecondsLater) {
    const uint32_t T = 1000;
    editor->doIdleWork(); // full pass at T: next at T + 100
    for (uint32_t later : {10u, 20u, 40u}) {
        world.setTickCount(T + later);
        world.clearSleeps();
        editor->doIdleWork();
        EXPECT_EQ((std::vector<uint32_t>{4}), world.sleeps()) << later;
        EXPECT_EQ(1, fullPasses()) << later;
        EXPECT_EQ(T + 100, editor->getNextIdleTime());
    }
    world.setTickCount(T + 46);
    world.clearSleeps();
    editor->doIdleWork(); // sleeps, then runs: 46 + 4 = 50 is not below 100 - 50
    EXPECT_EQ((std::vector<uint32_t>{4}), world.sleeps());
    EXPECT_EQ(2, fullPasses());
    EXPECT_EQ(T + 150, editor->getNextIdleTime());
    EXPECT_EQ(T + 50, world.tickCount());
}

TEST_F(EditorBaseTest, ATightLoopGetsAFullPassAboutEveryFiftyMilliseconds) {
    editor->doIdleWork();
    for (int i = 0; i < 100; ++i) {
        editor->doIdleWork(); // the clock moves only through the 4 ms sleeps
    }
    // Passes at 1000, then whenever now + 4 reaches next - 50: every 52 ms here.
    EXPECT_EQ(400u, static_cast<uint32_t>(world.tickCount() - 1000));
    EXPECT_EQ(8, fullPasses());
    EXPECT_EQ(100u, world.sleeps().size());
}

TEST_F(EditorBaseTest, TickArithmeticIsUnsignedAcrossTheWrap) {
    // A pass just before the wrap puts the next time just after it.
    world.setTickCount(0xFFFFFFC0u);
    editor->doIdleWork(); // first pass runs at once
    EXPECT_EQ(0x24u, editor->getNextIdleTime());
    int passes = fullPasses();
    // Unsigned: a huge now is not below the small next time, so a call before
    // the wrap runs a full pass without sleeping.
    world.setTickCount(0xFFFFFFD0u);
    world.clearSleeps();
    editor->doIdleWork();
    EXPECT_TRUE(world.sleeps().empty());
    EXPECT_EQ(passes + 1, fullPasses());
    EXPECT_EQ(0x34u, editor->getNextIdleTime());

    // Next time 0x20: next - 50 wraps to 0xFFFFFFEE, so every call below 0x20
    // sleeps and returns, even when it is within 50 ms of the next time.
    world.setTickCount(0x20u - 100u); // 0xFFFFFFBC
    editor->doIdleWork();
    EXPECT_EQ(0x20u, editor->getNextIdleTime());
    passes = fullPasses();
    world.setTickCount(0x10u);
    world.clearSleeps();
    editor->doIdleWork();
    EXPECT_EQ((std::vector<uint32_t>{4}), world.sleeps());
    EXPECT_EQ(passes, fullPasses());
    world.setTickCount(0x20u);
    editor->doIdleWork();
    EXPECT_EQ(passes + 1, fullPasses());
    EXPECT_EQ(0x84u, editor->getNextIdleTime());
}

TEST_F(EditorBaseTest, AFullPassRedrawsDispatchesOnePaintAndCallsTheHostIdle) {
    platform::WindowHandle host = makeHost();
    auto* frame = new Frame(Rect(0, 0, 300, 245), host, editor);
    editor->setFrame(frame);
    auto* view = new RecordingView(Rect(0, 0, 5, 5), "v", &log);
    frame->addView(view);
    // Another window of the thread also waits for a paint; only one is handled.
    auto* other = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    log.clear();
    editor->doIdleWork();
    EXPECT_EQ((std::vector<std::string>{"v:drawArea", "v:draw"}), log); // its first paint
    EXPECT_TRUE(world.updateRect(other->getWindow(), nullptr));
    EXPECT_EQ(1, fullPasses());

    // Dirty views are redrawn by the next pass's idle step.
    view->setDirty();
    log.clear();
    world.advanceClock(100);
    editor->doIdleWork();
    EXPECT_EQ("v:draw", log.front());
    EXPECT_FALSE(world.updateRect(other->getWindow(), nullptr)); // its paint this time
    delete other;
    editor->setFrame(nullptr);
    delete frame;
}

TEST_F(EditorBaseTest, IdleRequestsDuringTheHostsIdleCallReturnAtOnce) {
    platform::WindowHandle host = makeHost();
    auto* frame = new Frame(Rect(0, 0, 300, 245), host, editor);
    editor->setFrame(frame);
    auto* view = new RecordingView(Rect(0, 0, 5, 5), "v", &log);
    frame->addView(view);
    world.deliverPaints();
    bool sawInIdle = false;
    onHostIdle = [&] {
        sawInIdle = editor->isInIdle();
        view->setDirty();
        editor->postUpdate();
        log.clear();
        editor->idle(); // the host calls back into the editor
    };
    editor->doIdleWork();
    EXPECT_TRUE(sawInIdle);
    EXPECT_TRUE(log.empty()); // nothing redrawn from inside the host's call
    EXPECT_EQ(0, editor->updates);
    EXPECT_FALSE(editor->isInIdle());
    onHostIdle = nullptr;
    editor->idle(); // afterwards the update and the redraw happen
    EXPECT_EQ(1, editor->updates);
    EXPECT_EQ((std::vector<std::string>{"v:draw"}), log);
    editor->setFrame(nullptr);
    delete frame;
}

TEST_F(EditorBaseTest, BeginAndEndEditReachTheHost) {
    Frame frame(Rect(0, 0, 300, 245), nullptr, editor);
    frame.beginEdit(5);
    frame.endEdit(5);
    ASSERT_EQ(2u, hostCalls.size());
    EXPECT_EQ(audioMasterBeginEdit, hostCalls[0].opcode);
    EXPECT_EQ(5, hostCalls[0].index);
    EXPECT_EQ(audioMasterEndEdit, hostCalls[1].opcode);
    Frame orphan(Rect(0, 0, 300, 245), nullptr, nullptr);
    orphan.beginEdit(1);
    EXPECT_EQ(2u, hostCalls.size());
}

namespace {
// A control-like view that follows the mouse while the primary button is held.
class TrackingView : public View {
public:
    explicit TrackingView(std::vector<Point>* trail) : View(Rect(0, 0, 100, 100)), trail(trail) {}
    void mouseDown(DrawContext* context, Point& where) override {
        frame->beginEdit(7);
        frame->setFocusView(this);
        while (context->getMouseButtons() & MouseLeft) {
            context->getMouseLocation(where);
            trail->push_back(where);
            frame->doIdle();
        }
        frame->endEdit(7);
    }
    std::vector<Point>* trail;
};
} // namespace

TEST_F(EditorBaseTest, AMouseTrackingLoopKeepsTheIdlePumpRunningUntilRelease) {
    platform::WindowHandle host = makeHost();
    auto* frame = new Frame(Rect(0, 0, 300, 245), host, editor);
    editor->setFrame(frame);
    std::vector<Point> trail;
    auto* tracker = new TrackingView(&trail);
    frame->addView(tracker);
    world.deliverPaints();
    // The script: the mouse moves at 1030 and the button comes up at 1120.
    world.schedule(1030, [&] { world.setCursor({200 + 40, 100 + 50}); });
    world.schedule(1120, [&] { world.setKeyHeld(platform::KeyLeftButton, false); });
    world.pressButton(frame->getWindow(), platform::KeyLeftButton, {10, 10});
    ASSERT_FALSE(trail.empty());
    EXPECT_EQ(Point(10, 10), trail.front());
    EXPECT_EQ(Point(40, 50), trail.back());
    EXPECT_EQ(1120u, world.tickCount()); // 4 ms at a time until the release
    EXPECT_EQ(3, fullPasses());          // at 1000, 1052 and 1104
    EXPECT_EQ(audioMasterBeginEdit, hostCalls.front().opcode);
    EXPECT_EQ(audioMasterEndEdit, hostCalls.back().opcode);
    EXPECT_EQ(tracker, frame->getFocusView());

    // Closing while the control still has the focus: it is told, nothing dangles.
    editor->setFrame(nullptr);
    delete frame;
    EXPECT_EQ(0, world.liveContextCount());
}

TEST_F(EditorBaseTest, AnEditorDestroyedWhileOpenTakesItsFrameAlong) {
    platform::WindowHandle host = makeHost();
    bool destroyed = false;
    auto* frame = new Frame(Rect(0, 0, 300, 245), host, editor);
    editor->setFrame(frame);
    frame->addView(new RecordingView(Rect(0, 0, 5, 5), "v", &log, &destroyed));
    effect.reset(); // deletes the editor
    EXPECT_TRUE(destroyed);
    EXPECT_TRUE(world.childWindows(host).empty());
    EXPECT_EQ(0, toolkitState().windowClassUseCount);
}
