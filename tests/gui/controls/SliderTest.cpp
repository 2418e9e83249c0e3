// Sliders: geometry and drawing, the mouse-tracking loop (free click, fine mode,
// reset click, begin and end of the edit), keys and the wheel.
#include "gui/controls/Slider.h"

#include "gui/OffscreenContext.h"
#include "tests/gui/controls/ControlWorld.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

using namespace controltest;

namespace {

constexpr int32_t kLeft = 7, kTop = 31; // the first slider of the editor's panel

class SliderWorld : public ControlWorld {
protected:
    // A slider laid out as the editor's first one: 182 x 27 at (7, 31), travel
    // 12 to 165, handle offset (1, 6), 0 at the left.
    HorizontalSlider* makeSlider(int32_t tag = 2, int32_t top = kTop) {
        Bitmap* handle = new Bitmap(kTestHandleId);
        Bitmap* trough = new Bitmap(kTestTroughId);
        auto* s = new HorizontalSlider(Rect(kLeft, top, kLeft + 182, top + 27), &listener, tag, 12,
                                       165, handle, trough, Point(0, 0), SliderLeft);
        s->setHandleOffset(Point(1, 6));
        handle->release();
        trough->release();
        return s;
    }
    HorizontalSlider* placeSlider(float value, int32_t tag = 2) {
        HorizontalSlider* s = makeSlider(tag);
        s->setValue(value);
        EXPECT_TRUE(frame->addView(s));
        paint();
        listener.reports.clear();
        RecordingHost::get().reset();
        return s;
    }
    int32_t handleLeftOnScreen(int32_t row = kTop + 10) {
        for (int32_t x = kLeft; x < kLeft + 182; ++x) {
            if (pixel(x, row) == kHandleColour) {
                return x - kLeft;
            }
        }
        return -1;
    }
    float lastReported() const {
        return listener.reports.empty() ? std::numeric_limits<float>::quiet_NaN()
                                        : listener.reports.back().value;
    }

    RecordingListener listener;
};

} // namespace

TEST_F(SliderWorld, GeometryOfTheEditorsSliders) {
    HorizontalSlider* s = makeSlider();
    EXPECT_EQ(s->getStyle(), SliderLeft | SliderHorizontal); // 9
    EXPECT_EQ(s->getTravel(), 153);
    EXPECT_EQ(s->getTravelStart(), 5);
    EXPECT_EQ(s->getMinLimit(), 6);
    EXPECT_EQ(s->getMaxLimit(), 181);
    EXPECT_EQ(s->getHandleWidth(), 22);
    EXPECT_EQ(s->getHandleHeight(), 17);
    EXPECT_TRUE(s->getFreeClick());
    EXPECT_TRUE(s->getTransparentHandle());
    EXPECT_FLOAT_EQ(s->getZoomFactor(), 10.0f);
    EXPECT_EQ(s->getOffscreen(), nullptr);
    s->release();
}

TEST_F(SliderWorld, HandlePositionForValues) {
    HorizontalSlider* s = makeSlider();
    struct Case {
        float value;
        int32_t left, right;
    } cases[] = {{0.0f, 6, 28},    {0.02f, 6, 28},   {0.25f, 39, 61}, {0.5f, 77, 99},
                 {1.0f, 154, 176}, {1.5f, 230, 181}, {-0.25f, 6, 28}};
    for (const Case& k : cases) {
        s->setValue(k.value);
        Rect r = s->handleRect();
        EXPECT_EQ(r.left, k.left) << k.value;
        EXPECT_EQ(r.right, k.right) << k.value;
        EXPECT_EQ(r.top, 6);
        EXPECT_EQ(r.bottom, 23);
    }
    // Values a host should never send still give a defined position.
    s->setValue(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(s->handleRect().left, 6);
    s->setValue(std::numeric_limits<float>::infinity());
    EXPECT_EQ(s->handleRect().right, 181);
    s->release();
}

TEST_F(SliderWorld, VerticalAndReversedSliders) {
    // Vertical, value 0 at the bottom: travel along y from frame y 20 to 120.
    Bitmap* handle = new Bitmap(kTestHandleId);
    auto* v = new Slider(Rect(10, 10, 40, 150), &listener, 3, 20, 120, handle, nullptr, Point(0, 0),
                         SliderBottom);
    EXPECT_EQ(v->getTravelStart(), 10);
    EXPECT_EQ(v->getMinLimit(), 10);
    EXPECT_EQ(v->getMaxLimit(), 10 + 100 + 17);
    v->setValue(1.0f); // drawn from the far end: 1 - value
    EXPECT_EQ(v->handleRect().top, 10);
    EXPECT_EQ(v->handleRect().left, 0);
    EXPECT_EQ(v->handleRect().right, 22);
    v->setValue(0.0f);
    EXPECT_EQ(v->handleRect().top, 100);
    v->setValue(0.25f);
    EXPECT_EQ(v->handleRect().top, 75);
    // setHandle takes the new size but leaves the limits alone.
    Bitmap* trough = new Bitmap(kTestTroughId);
    v->setHandle(trough);
    EXPECT_EQ(v->getHandleWidth(), 182);
    EXPECT_EQ(v->getHandleHeight(), 27);
    EXPECT_EQ(v->getMaxLimit(), 127);
    EXPECT_EQ(handle->getReferenceCount(), 1);
    EXPECT_EQ(trough->getReferenceCount(), 2);
    v->release();
    EXPECT_EQ(trough->getReferenceCount(), 1);
    handle->release();
    trough->release();
}

TEST_F(SliderWorld, OffscreenLivesWhileAttached) {
    HorizontalSlider* s = makeSlider();
    ASSERT_TRUE(frame->addView(s));
    OffscreenContext* off = s->getOffscreen();
    ASSERT_NE(off, nullptr);
    EXPECT_EQ(off->getWidth(), 182);
    EXPECT_EQ(off->getHeight(), 27);
    EXPECT_EQ(off->getBackgroundColour(), ColourBlack);
    frame->removeAll(false);
    EXPECT_EQ(s->getOffscreen(), nullptr);
    s->release();
}

TEST_F(SliderWorld, DrawsTroughAndTransparentHandleInOneCopy) {
    placeSlider(0.25f);
    EXPECT_EQ(handleLeftOnScreen(), 39);
    // Handle rows 6 to 22 of the slider; its corners let the trough show.
    const int32_t hx = kLeft + 39, hy = kTop + 6;
    EXPECT_EQ(pixel(hx, hy), kTroughColour);
    EXPECT_EQ(pixel(hx + 1, hy), kHandleColour);
    EXPECT_EQ(pixel(hx + 21, hy + 16), kTroughColour);
    EXPECT_EQ(pixel(hx + 10, hy + 16), kHandleColour);
    EXPECT_EQ(pixel(hx + 10, hy - 1), kTroughColour);
    EXPECT_EQ(pixel(hx + 10, hy + 17), kTroughColour);
    EXPECT_EQ(pixel(hx - 1, hy + 8), kTroughColour);
    EXPECT_EQ(pixel(hx + 22, hy + 8), kTroughColour);
    // The slider covers exactly its rectangle.
    EXPECT_EQ(pixel(kLeft, kTop), kTroughColour);
    EXPECT_EQ(pixel(kLeft + 181, kTop + 26), kTroughColour);
    EXPECT_NE(pixel(kLeft + 182, kTop + 10), kTroughColour);
    EXPECT_NE(pixel(kLeft, kTop + 27), kTroughColour);
}

TEST_F(SliderWorld, FreeClickPutsTheHandleCentreAtTheMouse) {
    // The handle's centre (its left edge + 11) is at frame x 19 for value 0
    // and at 172 for value 1.
    HorizontalSlider* s = placeSlider(0.5f, 4);
    press(19, 40);
    EXPECT_EQ(s->getValue(), 0.0f);
    press(172, 40);
    EXPECT_EQ(s->getValue(), 1.0f);
    press(19 + 76, 40);
    EXPECT_FLOAT_EQ(s->getValue(), 76.0f / 153.0f);
    ASSERT_EQ(listener.reports.size(), 3u);
    for (const auto& r : listener.reports) {
        EXPECT_TRUE(r.withContext);
        EXPECT_EQ(r.tag, 4);
    }
    EXPECT_EQ(hostCalls(audioMasterBeginEdit), 3);
    EXPECT_EQ(hostCalls(audioMasterEndEdit), 3);
    EXPECT_EQ(frame->getFocusView(), s);
}

TEST_F(SliderWorld, TheDrawnCentreLandsUnderTheMouseAtEveryPixelOfTheTravel) {
    // Pressed beside the handle (above it, or to its right for the vertical
    // slider), so that the press is never a grab. Travels of 153 (the
    // editor's), 10 (where 7 / 10 rounds to a float drawn at 6) and 100
    // measured from the bottom.
    struct Geometry {
        Rect size;
        int32_t minPos, maxPos, style;
        Point pressBeside; // the other coordinate of the press
    } geometries[] = {
        {Rect(kLeft, kTop, kLeft + 182, kTop + 27), 12, 165, SliderLeft | SliderHorizontal,
         Point(0, kTop + 2)},
        {Rect(kLeft, kTop, kLeft + 182, kTop + 27), 12, 22, SliderLeft | SliderHorizontal,
         Point(0, kTop + 25)},
        {Rect(250, 10, 280, 150), 20, 120, SliderBottom, Point(277, 0)},
    };
    for (const Geometry& g : geometries) {
        Bitmap* handle = new Bitmap(kTestHandleId);
        auto* s = new Slider(g.size, &listener, 2, g.minPos, g.maxPos, handle, nullptr, Point(0, 0),
                             g.style);
        handle->release();
        const bool horizontal = (g.style & SliderHorizontal) != 0;
        if (horizontal) {
            s->setHandleOffset(Point(1, 6));
        }
        ASSERT_TRUE(frame->addView(s));
        const Point offset = s->getHandleOffset();
        const int32_t half = horizontal ? 11 : 8;
        const int32_t first = horizontal ? g.size.left + offset.x + half : g.size.top + half;
        for (int32_t n = 0; n <= s->getTravel(); ++n) {
            SCOPED_TRACE(::testing::Message() << "travel " << s->getTravel() << " pixel " << n);
            s->setValue(0.5f);
            const int32_t along = first + n;
            press(horizontal ? along : g.pressBeside.x, horizontal ? g.pressBeside.y : along);
            const Rect r = s->handleRect();
            const int32_t expected =
                std::max((horizontal ? offset.x : offset.y) + n, s->getMinLimit());
            EXPECT_EQ(horizontal ? r.left : r.top, expected);
            if (expected == (horizontal ? offset.x : offset.y) + n) {
                const int32_t centre =
                    horizontal ? g.size.left + r.left + half : g.size.top + r.top + half;
                EXPECT_EQ(centre, along);
            }
        }
        frame->removeAll(true);
    }
}

TEST_F(SliderWorld, DragToTheFarRightReportsOneEditEndingAtOne) {
    HorizontalSlider* s = placeSlider(0.3f, 2);
    press(18, 40, {moveStep(20, 100, 40), moveStep(60, 172, 42), moveStep(100, 200, 45)}, 300);
    EXPECT_EQ(s->getValue(), 1.0f);
    ASSERT_GE(listener.reports.size(), 3u);
    EXPECT_EQ(listener.reports.front().value, 0.0f);
    EXPECT_EQ(lastReported(), 1.0f);
    // Holding still (and beyond the end) reports nothing more: exactly one
    // report per distinct value.
    EXPECT_EQ(listener.reports.size(), 3u);
    const auto& calls = RecordingHost::get().calls;
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.front().opcode, audioMasterBeginEdit);
    EXPECT_EQ(calls.front().index, 2);
    int ends = 0;
    for (const HostCall& c : calls) {
        ends += c.opcode == audioMasterEndEdit;
    }
    EXPECT_EQ(ends, 1);
    EXPECT_EQ(calls.back().opcode, audioMasterEndEdit);
    EXPECT_EQ(calls.back().index, 2);
    EXPECT_EQ(hostCalls(audioMasterBeginEdit), 1);
    // Drawn at once during the drag: the handle sits at the right end.
    EXPECT_EQ(handleLeftOnScreen(), 154);
    // And dragging on to the left end.
    press(100, 40, {moveStep(20, 5, 40)}, 60);
    EXPECT_EQ(s->getValue(), 0.0f);
    EXPECT_EQ(handleLeftOnScreen(), 6);
}

TEST_F(SliderWorld, ShiftDragMovesTenTimesSlower) {
    HorizontalSlider* s = placeSlider(0.5f);
    // Shift held from a press beside the handle: the click moves the value a
    // tenth of the way to the mouse, 153 pixels give 0.1.
    p.setKeyHeld(platform::KeyShift, true);
    press(60, 40, {moveStep(30, 60 + 153, 40)}, 80);
    p.setKeyHeld(platform::KeyShift, false);
    ASSERT_EQ(listener.reports.size(), 2u);
    const float first = listener.reports[0].value;
    EXPECT_NEAR(first, 0.5f + ((60.0f - 19.0f) / 153.0f - 0.5f) / 10.0f, 1e-6);
    EXPECT_NEAR(s->getValue() - first, 0.1f, 1e-6);
}

TEST_F(SliderWorld, ShiftDragFromAGrabOffTheCentreKeepsTheGrip) {
    HorizontalSlider* s = placeSlider(0.5f);
    // Handle at frame x 84 to 105; grabbed 4 pixels right of its left edge.
    p.setKeyHeld(platform::KeyShift, true);
    press(88, 40,
          {moveStep(30, 88 + 153, 40), keyStep(60, platform::KeyShift, false),
           moveStep(90, 88 + 30, 40)},
          120);
    ASSERT_EQ(listener.reports.size(), 3u) << "nothing at the press itself";
    EXPECT_NEAR(listener.reports[0].value, 0.6f, 1e-6);
    // Shift let go: the grip says 1.5 there, clamped; then 30 pixels right of
    // the press the handle's left edge is 30 pixels right of where it was.
    EXPECT_EQ(listener.reports[1].value, 1.0f);
    EXPECT_FLOAT_EQ(s->getValue(), 0.5f + 30.0f / 153.0f);
    EXPECT_EQ(handleLeftOnScreen() + kLeft, 84 + 30);
}

TEST_F(SliderWorld, ShiftPressedDuringADragStartsFineModeWhereTheValueIs) {
    HorizontalSlider* s = placeSlider(0.2f);
    press(100, 40,
          {keyStep(20, platform::KeyShift, true), moveStep(40, 100 + 153, 40),
           keyStep(80, platform::KeyShift, false)},
          120);
    const float coarse = (100.0f - 19.0f) / 153.0f;
    EXPECT_FLOAT_EQ(listener.reports.front().value, coarse);
    // Fine from `coarse`: the mouse says coarse + 1, the value moves a tenth of that.
    bool sawFine = false;
    for (const auto& r : listener.reports) {
        sawFine = sawFine || std::fabs(r.value - (coarse + 0.1f)) < 1e-5f;
    }
    EXPECT_TRUE(sawFine);
    // Shift released: the value follows the mouse again (clamped at 1).
    EXPECT_EQ(s->getValue(), 1.0f);
}

TEST_F(SliderWorld, CtrlClickResetsToTheDefaultOnce) {
    HorizontalSlider* s = placeSlider(0.8f);
    p.setKeyHeld(platform::KeyControl, true);
    press(150, 40);
    EXPECT_EQ(s->getValue(), 0.5f);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_EQ(listener.reports[0].value, 0.5f);
    EXPECT_TRUE(listener.reports[0].withContext);
    EXPECT_EQ(hostCalls(audioMasterBeginEdit), 0);
    EXPECT_EQ(hostCalls(audioMasterEndEdit), 0);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    // At the default already: nothing to report.
    press(150, 40);
    EXPECT_EQ(listener.reports.size(), 1u);
    // The default is used as it is, even outside the range.
    s->setDefaultValue(1.7f);
    press(150, 40);
    EXPECT_EQ(s->getValue(), 1.7f);
    p.setKeyHeld(platform::KeyControl, false);
}

TEST_F(SliderWorld, CtrlShiftClickDragsInFineMode) {
    HorizontalSlider* s = placeSlider(0.8f);
    p.setKeyHeld(platform::KeyControl, true);
    p.setKeyHeld(platform::KeyShift, true);
    press(18, 40);
    p.setKeyHeld(platform::KeyControl, false);
    p.setKeyHeld(platform::KeyShift, false);
    EXPECT_FLOAT_EQ(s->getValue(), 0.8f + (-1.0f / 153.0f - 0.8f) / 10.0f);
    EXPECT_EQ(hostCalls(audioMasterBeginEdit), 1);
    EXPECT_EQ(hostCalls(audioMasterEndEdit), 1);
}

TEST_F(SliderWorld, RightAndMiddlePressesChangeNothing) {
    HorizontalSlider* s = placeSlider(0.3f);
    press(150, 40, {}, 40, platform::KeyRightButton);
    press(150, 40, {}, 40, platform::KeyMiddleButton);
    EXPECT_EQ(s->getValue(), 0.3f);
    EXPECT_TRUE(listener.reports.empty());
    EXPECT_EQ(hostCalls(audioMasterBeginEdit), 0);
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

TEST_F(SliderWorld, DisabledSliderIgnoresTheMouseButNotKeys) {
    HorizontalSlider* s = placeSlider(0.3f);
    s->setMouseEnabled(false);
    Point where(100, 40);
    // The frame skips it; called directly, it refuses as well.
    press(100, 40);
    EXPECT_EQ(s->getValue(), 0.3f);
    EXPECT_FALSE(s->wheel(nullptr, where, 1.0f));
    VstKeyCode up{0, VKEY_UP, 0};
    EXPECT_EQ(s->keyDown(up), 1);
    EXPECT_FLOAT_EQ(s->getValue(), 0.4f);
}

TEST_F(SliderWorld, WithoutFreeClickOnlyTheHandleIsGrabbedAndKeepsItsGrip) {
    HorizontalSlider* s = placeSlider(0.5f);
    s->setFreeClick(false);
    // Handle box at value 0.5: x 84 to 106 and y 37 to 54, edges included.
    press(83, 45);
    press(107, 45);
    press(95, 36);
    press(95, 55);
    EXPECT_EQ(s->getValue(), 0.5f);
    EXPECT_EQ(hostCalls(audioMasterBeginEdit), 0);
    // On its edge it is grabbed; without movement the value stays where it was.
    press(84, 37);
    EXPECT_EQ(hostCalls(audioMasterBeginEdit), 1);
    EXPECT_EQ(s->getValue(), 0.5f);
    EXPECT_TRUE(listener.reports.empty());
    // Grabbed 5 pixels right of its left edge, the handle keeps that grip.
    press(89, 45, {moveStep(20, 119, 45)}, 60);
    EXPECT_FLOAT_EQ(s->getValue(), 0.5f + 30.0f / 153.0f);
    EXPECT_EQ(handleLeftOnScreen() + kLeft, 119 - 5);
    // At value 0 the handle stands at the start of its travel (frame x 13 to
    // 35), further right than the value's own position: that is where it is
    // grabbed, and where it is not, nothing happens.
    s->setValue(0.0f);
    frame->idle();
    listener.reports.clear();
    press(10, 45);
    EXPECT_EQ(listener.reports.size(), 0u);
    press(35, 45);
    EXPECT_EQ(s->getValue(), 0.0f);
    EXPECT_EQ(hostCalls(audioMasterBeginEdit), 3);
}

TEST_F(SliderWorld, ArrowKeysStepByTheWheelIncrement) {
    HorizontalSlider* s = placeSlider(0.95f);
    VstKeyCode up{0, VKEY_UP, 0};
    EXPECT_EQ(s->keyDown(up), 1);
    EXPECT_EQ(s->getValue(), 1.0f);
    ASSERT_EQ(listener.reports.size(), 1u);
    EXPECT_FALSE(listener.reports[0].withContext);
    // Not drawn by the key: it waits for the next idle pass.
    EXPECT_TRUE(s->isDirty());
    frame->idle();
    EXPECT_FALSE(s->isDirty());
    EXPECT_EQ(handleLeftOnScreen(), 154);
    // At the end and drawn there: a second Up changes and reports nothing.
    EXPECT_EQ(s->keyDown(up), 1);
    EXPECT_EQ(listener.reports.size(), 1u);

    s->setValue(0.5f);
    VstKeyCode fineLeft{0, VKEY_LEFT, MODIFIER_SHIFT};
    EXPECT_EQ(s->keyDown(fineLeft), 1);
    EXPECT_FLOAT_EQ(s->getValue(), 0.49f);
    VstKeyCode down{0, VKEY_DOWN, 0}, right{0, VKEY_RIGHT, 0};
    s->keyDown(down);
    EXPECT_FLOAT_EQ(s->getValue(), 0.39f);
    s->keyDown(right);
    EXPECT_FLOAT_EQ(s->getValue(), 0.49f);
    // Anything else is not taken.
    VstKeyCode letter{'a', 0, 0}, enter{0, 19, 0};
    EXPECT_EQ(s->keyDown(letter), -1);
    EXPECT_EQ(s->keyDown(enter), -1);
    EXPECT_FLOAT_EQ(s->getValue(), 0.49f);
}

TEST_F(SliderWorld, KeysGoToTheFocusedSliderFirstThenLastAddedFirst) {
    HorizontalSlider* a = placeSlider(0.5f, 2);
    HorizontalSlider* b = makeSlider(3, kTop + 26);
    b->setValue(0.5f);
    ASSERT_TRUE(frame->addView(b));
    VstKeyCode up{0, VKEY_UP, 0};
    EXPECT_EQ(editor->keyDown(up), 1);
    EXPECT_FLOAT_EQ(b->getValue(), 0.6f); // the later slider is asked first
    EXPECT_FLOAT_EQ(a->getValue(), 0.5f);
    press(18, 40); // focus to the first slider
    EXPECT_EQ(frame->getFocusView(), a);
    EXPECT_EQ(editor->keyDown(up), 1);
    EXPECT_FLOAT_EQ(a->getValue(), 0.1f);
    EXPECT_FLOAT_EQ(b->getValue(), 0.6f);
}

TEST_F(SliderWorld, WheelStepsAndFineStepsWithShift) {
    HorizontalSlider* s = placeSlider(0.5f);
    frame->setFocusView(nullptr);
    Point where(100, 40);
    platform::DeviceContextHandle dc = p.windowDC(window());
    DrawContext* context = new DrawContext(frame, dc, window());
    EXPECT_TRUE(s->wheel(context, where, 1.0f));
    EXPECT_FLOAT_EQ(s->getValue(), 0.6f);
    p.setKeyHeld(platform::KeyShift, true);
    EXPECT_TRUE(s->wheel(context, where, -2.0f));
    p.setKeyHeld(platform::KeyShift, false);
    EXPECT_FLOAT_EQ(s->getValue(), 0.58f);
    EXPECT_TRUE(s->wheel(context, where, 10.0f));
    EXPECT_EQ(s->getValue(), 1.0f);
    EXPECT_EQ(listener.reports.size(), 3u);
    EXPECT_TRUE(listener.reports[0].withContext);
    delete context;
    p.releaseWindowDC(window(), dc);
}

TEST_F(SliderWorld, AWheelRunIsOneEditAndFineWheelsAddUpToNotches) {
    for (int32_t tag : {2, 3}) {
        HorizontalSlider* s = makeSlider(tag, kTop + (tag - 2) * 26);
        s->setValue(tag == 2 ? 0.5f : 0.95f);
        ASSERT_TRUE(frame->addView(s));
    }
    paint();
    std::string edits, values;
    RecordingHost::get().onCall = [&](const HostCall& c) {
        edits +=
            std::string(c.opcode == audioMasterBeginEdit ? "b" : "e") + std::to_string(c.index);
    };
    // Wheel messages (ms, panel y, distance; + 1000: Shift held; 0: the host's idle) over
    // the first row, the second (at its end), the background.
    const int32_t script[][3] = {{0, 40, 120},    {100, 40, 120},  {200, 40, 120},  {300, 40, 1120},
                                 {750, 0, 0},     {800, 0, 0},     {900, 40, 40},   {950, 40, 40},
                                 {1000, 40, 40},  {1050, 40, 60},  {1100, 40, -60}, {1150, 40, -60},
                                 {1200, 66, 120}, {1300, 66, 120}, {1400, 10, 120}, {1500, 40, 60},
                                 {2100, 0, 0},    {2150, 40, 60},  {2200, 40, 120}};
    for (const auto& [at, y, distance] : script) {
        p.setTickCount(10000 + uint32_t(at));
        const uintptr_t state = (distance > 1000 ? uintptr_t(platform::PressShift) : 0) |
                                uintptr_t(uint16_t(distance % 1000)) << 16;
        if (distance == 0) {
            editor->idle();
        } else {
            p.sendMessage(window(), platform::MessageMouseWheel, state, 200 | (50 + y) << 16);
        }
    }
    // While a drag's edit is open the wheel is left alone.
    frame->beginEdit(3);
    p.sendMessage(window(), platform::MessageMouseWheel, uintptr_t(120) << 16, 200 | 90 << 16);
    frame->endEdit(3);
    editor->close();
    for (const RecordingListener::Report& r : listener.reports) {
        values += std::to_string(r.tag) + ":" + std::to_string(r.value).substr(0, 4) + " ";
    }
    EXPECT_EQ(edits, "b2e2b2e2b3e3b2e2b3e3");
    EXPECT_EQ(values, "2:0.60 2:0.70 2:0.80 2:0.81 2:0.91 2:0.81 3:1.00 2:0.91 ");
}
