// The toolkit on the X11 backend, driven as a Linux host drives an editor:
// effEditOpen with the id of the host's X window, effEditIdle, effEditClose.
// The panel is one row of the real panel (background, a slider and its value
// box) bound to a small effect, so that presses, drags and automation run
// through the real frame, controls and host calls.
#include "gui/Bitmap.h"
#include "gui/EditorBase.h"
#include "gui/Frame.h"
#include "gui/controls/Slider.h"
#include "gui/controls/ValueDisplay.h"
#include "gui/platform/headless/HeadlessPlatform.h"
#include "gui/platform/x11/X11Platform.h"
#include "host/ExtendedEffectBase.h"
#include "tests/gui/OwningEffect.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

// Xlib last: its macros (None, Bool, ...) clash with names in other headers.
// clang-format off
#include "tests/gui/platform/x11/HeadlessEditorPicture.h"
#include "tests/gui/platform/x11/X11TestHost.h"
// clang-format on

namespace {

constexpr int32_t panelWidth = 300;
constexpr int32_t panelHeight = 245;
constexpr int32_t boundParameter = 2;

class PanelEditor;

class PanelEffect : public OwningEffect {
public:
    PanelEffect() : OwningEffect(&recordingHost, 1, 4) {}
    void process(float**, float**, int32_t) override {}
    void setParameter(int32_t index, float value) override;
    float getParameter(int32_t index) override {
        return index >= 0 && index < 4 ? values[index] : 0.0f;
    }
    float values[4] = {0.0f, 0.0f, 0.5f, 0.0f};
};

// The first row of the panel: background 101, the slider of parameter 2 with
// handle 102 over trough 103, and its value box.
class PanelEditor : public EditorBase, public ControlListener {
public:
    explicit PanelEditor(EditorOwner* owner) : EditorBase(owner) {
        rect = {0, 0, static_cast<int16_t>(panelHeight), static_cast<int16_t>(panelWidth)};
    }
    ~PanelEditor() override { close(); }

    int32_t open(void* parentWindow) override {
        EditorBase::open(parentWindow);
        Bitmap* panel = new Bitmap(101);
        Bitmap* handle = new Bitmap(102);
        Bitmap* trough = new Bitmap(103);
        frame = new Frame(Rect(0, 0, panelWidth, panelHeight), parentWindow, this);
        frame->setBackground(panel);
        panel->release();
        slider = new HorizontalSlider(Rect(7, 31, 189, 58), this, boundParameter, 12, 165, handle,
                                      trough, Point(0, 0), SliderLeft);
        slider->setHandleOffset(Point(1, 6));
        slider->setValue(owner->getParameter(boundParameter));
        frame->addView(slider);
        display = new ValueDisplay(Rect(193, 36, 221, 50), nullptr, 1);
        display->setFont(4);
        display->setFontColour(ColourBlack);
        display->setBackColour(Colour(230, 230, 230));
        display->setFrameColour(ColourBlack);
        display->setValue(owner->getParameter(boundParameter));
        frame->addView(display);
        handle->release();
        trough->release();
        return frame->getWindow() || !parentWindow ? 1 : 0;
    }

    void close() override {
        delete frame;
        frame = nullptr;
        slider = nullptr;
        display = nullptr;
    }

    void setParameter(int32_t index, float value) override {
        if (frame && index == boundParameter) {
            slider->setValue(value);
            display->setValue(value);
        }
        postUpdate();
    }

    void valueChanged(DrawContext* context, Control* control) override {
        owner->setParameterAutomated(control->getTag(), control->getValue());
        if (context) {
            control->update(context);
        }
    }

    HorizontalSlider* slider = nullptr;
    ValueDisplay* display = nullptr;
};

void PanelEffect::setParameter(int32_t index, float value) {
    if (auto* panel = static_cast<PanelEditor*>(editorObject())) {
        panel->setParameter(index, value);
    }
    if (index >= 0 && index < 4) {
        values[index] = value;
    }
}

// The panel as the headless backend draws it with the parameter at `value`.
// Made while no X11 frame exists: the toolkit's state belongs to one backend
// at a time.
std::vector<uint32_t> headlessPanel(float value) {
    return headlessEditorPicture(panelWidth, panelHeight, [&] {
        auto* effect = new PanelEffect;
        effect->setEditor(new PanelEditor(effect));
        effect->values[boundParameter] = value;
        return effect;
    });
}

class X11FrameTest : public X11HostedEditorTest {
protected:
    void SetUp() override {
        X11HostedEditorTest::SetUp();
        if (IsSkipped()) {
            return;
        }
        hostWindow = host.createHostWindow(100, 80, panelWidth, panelHeight);
        effect = new PanelEffect;
        editor = new PanelEditor(effect);
        effect->setEditor(editor);
        record = effect->getRecord();
    }

    Window frameWindow() const {
        Frame* frame = editor->getFrame();
        return frame ? static_cast<Window>(reinterpret_cast<uintptr_t>(frame->getWindow())) : 0;
    }

    // Opens the editor in the host's window and idles as a host does until the
    // first paint has happened.
    bool openAndWaitForPaint() {
        if (dispatch(effEditOpen, reinterpret_cast<void*>(hostWindow)) != 1) {
            return false;
        }
        return idleUntil([&] { return !editor->getFrame()->isFirstDrawPending(); });
    }

    std::vector<uint32_t> shown() { return host.capture(frameWindow(), panelWidth, panelHeight); }

    PanelEffect* effect = nullptr;
    PanelEditor* editor = nullptr;
};

TEST_F(X11FrameTest, OpenedPanelShowsTheHeadlessRendering) {
    std::vector<uint32_t> reference = headlessPanel(0.5f);
    ASSERT_TRUE(openAndWaitForPaint());
    std::vector<Window> kids = host.children(hostWindow);
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_EQ(kids[0], frameWindow());
    ERect* rect = nullptr;
    record->dispatcher(record, effEditGetRect, 0, 0, &rect, 0.0f);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->right - rect->left, panelWidth);
    EXPECT_EQ(rect->bottom - rect->top, panelHeight);
    EXPECT_EQ(countDifferences(shown(), reference), 0);
}

TEST_F(X11FrameTest, DraggingTheSliderAutomatesTheParameterBetweenBeginAndEndEdit) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    std::vector<uint32_t> reference = headlessPanel(1.0f);
    ASSERT_TRUE(openAndWaitForPaint());
    int hx = 0, hy = 0;
    ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
    // Press on the handle (value 0.5: its left edge 76 pixels into the slider).
    host.movePointer(hx + 7 + 1 + 76 + 11, hy + 31 + 6 + 8);
    host.button(1, true);
    std::atomic<bool> released{false};
    std::vector<uint32_t> before = shown();
    std::vector<uint32_t> during;
    Window window = frameWindow();
    std::thread user([&] {
        X11TestHost hand; // the user's hand (and eyes): a connection of its own
        std::this_thread::sleep_for(std::chrono::milliseconds(250));
        for (int step = 1; step <= 10; ++step) {
            hand.movePointer(hx + 95 + step * 15, hy + 45);
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            if (step == 5) {
                during = hand.capture(window, panelWidth, panelHeight);
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        hand.button(1, false);
        released = true;
    });
    // The press reaches the slider through the idle, and its tracking loop
    // runs inside that call until the button goes up.
    bool ended = idleUntil([&] { return released && calls(audioMasterEndEdit) > 0; });
    user.join();
    ASSERT_TRUE(ended);
    EXPECT_GT(countDifferences(during, before), 0) << "the handle moved on screen during the drag";

    ASSERT_FALSE(hostCalls.empty());
    EXPECT_EQ(hostCalls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(hostCalls.front().index, boundParameter);
    EXPECT_EQ(hostCalls.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(hostCalls.back().index, boundParameter);
    EXPECT_EQ(calls(audioMasterBeginEdit), 1);
    EXPECT_EQ(calls(audioMasterEndEdit), 1);
    ASSERT_GE(calls(audioMasterAutomate), 2) << "the value followed the drag";
    const HostCall& last = hostCalls[hostCalls.size() - 2];
    EXPECT_EQ(last.opcode, audioMasterAutomate);
    EXPECT_EQ(last.index, boundParameter);
    EXPECT_FLOAT_EQ(last.opt, 1.0f) << "dragged past the right end";
    EXPECT_FLOAT_EQ(effect->values[boundParameter], 1.0f);

    // After the next idle the window shows the panel at 1.00.
    EXPECT_TRUE(idleUntil([&] { return countDifferences(shown(), reference) == 0; }));
}

TEST_F(X11FrameTest, HostParameterChangeIsShownAfterTheNextIdle) {
    std::vector<uint32_t> reference = headlessPanel(0.25f);
    ASSERT_TRUE(openAndWaitForPaint());
    record->setParameter(record, boundParameter, 0.25f);
    EXPECT_TRUE(idleUntil([&] { return countDifferences(shown(), reference) == 0; }));
    EXPECT_EQ(calls(audioMasterAutomate), 0) << "no feedback to the host";
}

TEST_F(X11FrameTest, ClosingAndReopeningGivesTheSamePanel) {
    ASSERT_TRUE(openAndWaitForPaint());
    std::vector<uint32_t> first = shown();
    dispatch(effEditClose);
    EXPECT_TRUE(host.children(hostWindow).empty());
    EXPECT_EQ(platform::x11::diagnostics().windows, 0);
    EXPECT_FALSE(platform::x11::diagnostics().connected);
    ASSERT_TRUE(openAndWaitForPaint());
    EXPECT_EQ(host.children(hostWindow).size(), 1u);
    EXPECT_EQ(countDifferences(shown(), first), 0);
}

TEST_F(X11FrameTest, HostWindowDestroyedThenIdledThenClosed) {
    ASSERT_TRUE(openAndWaitForPaint());
    host.destroyWindow(hostWindow);
    EXPECT_TRUE(idleUntil([&] { return !editor->getFrame()->isWindowOpen(); }))
        << "the frame learns that its window is gone";
    dispatch(effEditIdle);
    dispatch(effEditClose);
    EXPECT_EQ(editor->getFrame(), nullptr);
}

TEST_F(X11FrameTest, HostWindowDestroyedThenClosedAtOnce) {
    ASSERT_TRUE(openAndWaitForPaint());
    host.destroyWindow(hostWindow);
    dispatch(effEditClose);
    EXPECT_EQ(editor->getFrame(), nullptr);
    // A later open into a window that no longer exists makes no window.
    EXPECT_EQ(dispatch(effEditOpen, reinterpret_cast<void*>(hostWindow)), 0);
    EXPECT_EQ(frameWindow(), 0u);
}

} // namespace
