// The editor panel and its binding, driven as a host drives it: through an
// effect's dispatcher and setParameter, the headless backend's scripted mouse,
// keys and clock, and a host that records every call it receives.
#include "editor/ReverbEditor.h"

#include "gui/controls/Slider.h"
#include "gui/controls/ValueDisplay.h"
#include "gui/platform/BmpDecoder.h"
#include "tests/gui/controls/ControlWorld.h"
#include "tests/support/Artwork.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

using namespace controltest;

namespace {

uint32_t at(const platform::DecodedImage& image, int32_t x, int32_t y) {
    return image.pixels[size_t(y) * image.width + x];
}

struct Layout {
    Rect rect;
    int32_t tag;
};
const Layout kSliders[7] = {{{7, 31, 189, 58}, 2},   {{7, 57, 189, 84}, 3},
                            {{7, 83, 189, 110}, 4},  {{7, 109, 189, 136}, 5},
                            {{7, 135, 189, 162}, 6}, {{7, 161, 189, 188}, 7},
                            {{7, 187, 189, 214}, 8}};
const Rect kDisplays[7] = {{193, 36, 221, 50},   {193, 62, 221, 76},   {193, 88, 221, 102},
                           {193, 114, 221, 128}, {193, 140, 221, 154}, {193, 166, 221, 180},
                           {193, 192, 221, 206}};

class EditorWorld : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setCurrent(&p);
        RecordingHost::get().reset();
        p.setTickCount(50000);
        host = p.createHostWindow({100, 50, 400, 295});
        effect = new StoringEffect();
        const float values[9] = {0.0f, 0.3f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f, 0.5f};
        std::memcpy(effect->params, values, sizeof values);
        editor = new ReverbEditor(effect);
        effect->setEditor(editor);
        trough = loadArtwork("trough.bmp");
        handle = loadArtwork("handle.bmp");
        panel = loadArtwork("panel.bmp");
    }
    void TearDown() override {
        delete effect; // and with it the editor
        platform::setCurrent(nullptr);
    }

    // Opens through the host opcode, paints, and forgets the calls so far.
    void openEditor() {
        ASSERT_EQ(effect->dispatcher(effEditOpen, 0, 0, host, 0.0f), 1);
        frame = editor->getFrame();
        ASSERT_NE(frame, nullptr);
        p.deliverPaints();
        RecordingHost::get().reset();
    }
    void idle() { effect->dispatcher(effEditIdle, 0, 0, nullptr, 0.0f); }
    int32_t key(uint8_t virt, uint8_t modifier = 0) {
        return int32_t(effect->dispatcher(effEditKeyDown, 0, virt, nullptr, float(modifier)));
    }
    platform::WindowHandle window() const { return frame->getWindow(); }
    uint32_t pixel(int32_t x, int32_t y) const { return p.windowSurface(window())->at(x, y); }

    // Whether slider i shows exactly the trough with the handle's opaque pixels
    // at the given left edge (in slider coordinates).
    ::testing::AssertionResult sliderShows(int32_t i, int32_t handleLeft) {
        const Rect r = kSliders[i].rect;
        for (int32_t y = 0; y < 27; ++y) {
            if (i < 6 && y == 26) {
                continue; // covered by the next slider's first row
            }
            for (int32_t x = 0; x < 182; ++x) {
                uint32_t want = at(trough, x, y);
                const int32_t hx = x - handleLeft, hy = y - 6;
                if (hx >= 0 && hx < 22 && hy >= 0 && hy < 17 && at(handle, hx, hy) != 0xFFFFFF) {
                    want = at(handle, hx, hy);
                }
                const uint32_t got = pixel(r.left + x, r.top + y);
                if (got != want) {
                    return ::testing::AssertionFailure()
                           << "slider " << i << " pixel " << x << "," << y << " is " << std::hex
                           << got << " not " << want;
                }
            }
        }
        return ::testing::AssertionSuccess();
    }
    std::string boxText(int32_t i) {
        char text[ValueDisplay::TextSize];
        editor->getDisplay(i)->formatText(text);
        return text;
    }
    // Presses the primary button at (x, y), runs the script and lets go.
    void press(int32_t x, int32_t y, std::vector<std::pair<uint32_t, Point>> moves = {},
               uint32_t holdFor = 60, int32_t button = platform::KeyLeftButton) {
        std::vector<platform::headless::ScriptedPlatform::Move> script;
        for (const auto& move : moves) {
            script.push_back({move.first, {move.second.x, move.second.y}});
        }
        p.holdButton(window(), button, {x, y}, holdFor, script);
    }
    // A click whose button (and keys) are up again before the window
    // procedure gets the press: a tap, or a click shorter than the host's
    // idle interval. The message carries what was held at the press.
    void quickClick(int32_t x, int32_t y, std::vector<int32_t> keys = {}) {
        for (int32_t k : keys) {
            p.setKeyHeld(k, true);
        }
        p.setKeyHeld(platform::KeyLeftButton, true);
        p.setCursor({100 + x, 50 + y});
        const uintptr_t state = p.pressState();
        p.releaseAllKeys();
        p.sendMessage(window(), platform::MessageLeftButtonDown, state,
                      intptr_t(x) | (intptr_t(y) << 16));
    }
    static std::string text(float value) {
        char buffer[32];
        std::snprintf(buffer, sizeof buffer, "%.9g", double(value));
        return buffer;
    }
    // The edits and automation the host received, in order: "begin 2,
    // automate 2 0.5, end 2".
    static std::string sequence() {
        std::string out;
        for (const HostCall& c : RecordingHost::get().calls) {
            const char* name = c.opcode == audioMasterBeginEdit  ? "begin"
                               : c.opcode == audioMasterEndEdit  ? "end"
                               : c.opcode == audioMasterAutomate ? "automate"
                                                                 : nullptr;
            if (!name) {
                continue;
            }
            out += (out.empty() ? "" : ", ") + std::string(name) + " " + std::to_string(c.index);
            if (c.opcode == audioMasterAutomate) {
                out += " " + text(c.opt);
            }
        }
        return out;
    }
    std::vector<HostCall> calls(int32_t opcode) const {
        std::vector<HostCall> out;
        for (const HostCall& c : RecordingHost::get().calls) {
            if (c.opcode == opcode) {
                out.push_back(c);
            }
        }
        return out;
    }

    platform::headless::ScriptedPlatform p;
    platform::WindowHandle host = nullptr;
    StoringEffect* effect = nullptr;
    ReverbEditor* editor = nullptr;
    Frame* frame = nullptr;
    platform::DecodedImage trough, handle, panel;
};

} // namespace

TEST_F(EditorWorld, RegistersWithTheEffectAndReportsThePanelSize) {
    EXPECT_EQ(effect->editorObject(), editor);
    EXPECT_TRUE(effect->hasFlag(effFlagsHasEditor));
    ERect* rect = nullptr;
    EXPECT_EQ(effect->dispatcher(effEditGetRect, 0, 0, &rect, 0.0f), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 245);
    EXPECT_EQ(rect->right, 300);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(editor->getFrame(), nullptr);
    for (int32_t i = 0; i < 7; ++i) {
        EXPECT_EQ(editor->getSlider(i), nullptr);
        EXPECT_EQ(editor->getDisplay(i), nullptr);
    }
    ASSERT_NE(editor->getPanelBitmap(), nullptr);
    EXPECT_EQ(editor->getPanelBitmap()->getReferenceCount(), 1);
    // Closing an editor that was never opened only clears the open state.
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(editor->isOpen());
}

TEST_F(EditorWorld, OpenBuildsTheFourteenControlsOfTheLayout) {
    effect->params[4] = 0.8f;
    openEditor();
    EXPECT_TRUE(editor->isOpen());
    EXPECT_EQ(frame->getSizeRect(), Rect(0, 0, 300, 245));
    EXPECT_EQ(frame->getBackground(), editor->getPanelBitmap());
    EXPECT_EQ(editor->getPanelBitmap()->getReferenceCount(), 2);
    ASSERT_EQ(frame->getViewCount(), 14);
    for (int32_t i = 0; i < 7; ++i) {
        SCOPED_TRACE(i);
        HorizontalSlider* s = editor->getSlider(i);
        ASSERT_EQ(frame->getView(i), s);
        EXPECT_EQ(s->getSizeRect(), kSliders[i].rect);
        EXPECT_EQ(s->getTag(), kSliders[i].tag);
        EXPECT_EQ(s->getListener(), static_cast<ControlListener*>(editor));
        EXPECT_EQ(s->getStyle(), 9);
        EXPECT_EQ(s->getTravel(), 153);
        EXPECT_EQ(s->getTravelStart(), 5);
        EXPECT_EQ(s->getHandleOffset(), Point(1, 6));
        EXPECT_EQ(s->getMinLimit(), 6);
        EXPECT_EQ(s->getMaxLimit(), 181);
        EXPECT_EQ(s->getBitmapOffset(), Point(0, 0));
        EXPECT_TRUE(s->getFreeClick());
        EXPECT_TRUE(s->getTransparentHandle());
        EXPECT_EQ(s->getValue(), effect->params[kSliders[i].tag]);
        EXPECT_EQ(s->getDefaultValue(), 0.5f);
        // The sliders share the trough and the handle: one reference each.
        EXPECT_EQ(s->getBackground()->getReferenceCount(), 7);
        EXPECT_EQ(s->getHandle()->getReferenceCount(), 7);
        EXPECT_EQ(s->getBackground()->width, 182);
        EXPECT_EQ(s->getHandle()->width, 22);

        ValueDisplay* d = editor->getDisplay(i);
        ASSERT_EQ(frame->getView(7 + i), d);
        EXPECT_EQ(d->getSizeRect(), kDisplays[i]);
        EXPECT_EQ(d->getTag(), 0);
        EXPECT_EQ(d->getListener(), nullptr);
        EXPECT_EQ(d->getStyle(), 1);
        EXPECT_EQ(d->getFont(), 4);
        EXPECT_EQ(d->getFontColour(), ColourBlack);
        EXPECT_EQ(d->getFrameColour(), ColourBlack);
        EXPECT_EQ(d->getBackColour(), Colour(230, 230, 230));
        EXPECT_EQ(d->getAlignment(), TextAlignCentre);
        EXPECT_EQ(d->getBackground(), nullptr);
        EXPECT_EQ(d->getValue(), effect->params[kSliders[i].tag]);
    }
    EXPECT_EQ(boxText(2), "0.80");
}

TEST_F(EditorWorld, PaintedPanelShowsArtworkSlidersAndBoxes) {
    effect->params[2] = 0.0f;
    effect->params[3] = 0.02f;
    effect->params[4] = 0.5f;
    effect->params[5] = 1.0f;
    openEditor();
    // Handle left edges 6, 6, 77 and 154 inside the slider.
    EXPECT_TRUE(sliderShows(0, 6));
    EXPECT_TRUE(sliderShows(1, 6));
    EXPECT_TRUE(sliderShows(2, 77));
    EXPECT_TRUE(sliderShows(3, 154));
    // The panel shows through everywhere else: title plate, labels, maker.
    for (auto [x, y] : {std::pair{150, 15}, {250, 43}, {150, 235}, {3, 3}, {296, 120}}) {
        EXPECT_EQ(pixel(x, y), at(panel, x, y)) << x << "," << y;
    }
    // Value boxes: black outline, grey inside.
    EXPECT_EQ(pixel(193, 36), 0x000000u);
    EXPECT_EQ(pixel(221, 50), 0x000000u);
    EXPECT_EQ(pixel(194, 37), 0xE6E6E6u);
    EXPECT_EQ(boxText(0), "0.00");
    EXPECT_EQ(boxText(3), "1.00");
}

TEST_F(EditorWorld, HostChangeAppearsAtTheNextIdleWithoutAutomation) {
    openEditor();
    EXPECT_TRUE(sliderShows(1, 77));
    effect->setParameter(3, 0.25f);
    EXPECT_EQ(editor->getSlider(1)->getValue(), 0.25f);
    EXPECT_EQ(editor->getDisplay(1)->getValue(), 0.25f);
    EXPECT_TRUE(sliderShows(1, 77)); // nothing drawn before the idle
    idle();
    EXPECT_TRUE(sliderShows(1, 39));
    EXPECT_EQ(boxText(1), "0.25");
    EXPECT_FALSE(editor->getDisplay(1)->isDirty());
    EXPECT_FALSE(frame->isSomethingDirty());
    EXPECT_TRUE(calls(audioMasterAutomate).empty());
    EXPECT_TRUE(calls(audioMasterBeginEdit).empty());
}

TEST_F(EditorWorld, BoxesPrintWhateverValueTheHostSets) {
    openEditor();
    const float values[5] = {0.0f, 0.5f, 1.0f, 1.5f, -0.25f};
    const char* texts[5] = {"0.00", "0.50", "1.00", "1.50", "-0.25"};
    for (int i = 0; i < 5; ++i) {
        effect->setParameter(2 + i, values[i]);
    }
    idle();
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(boxText(i), texts[i]);
        EXPECT_FALSE(editor->getDisplay(i)->isDirty());
    }
    // Out-of-range values never draw outside the slider: at 1.5 the handle's
    // left edge (230) lies beyond the right limit and only the trough shows;
    // at -0.25 the handle is raised to the left limit.
    EXPECT_TRUE(sliderShows(3, 230));
    EXPECT_TRUE(sliderShows(4, 6));
    EXPECT_EQ(pixel(189, 109 + 10), at(panel, 189, 119));
}

TEST_F(EditorWorld, ParametersZeroAndOneAndStrayIndicesChangeNothing) {
    openEditor();
    idle();
    std::vector<float> before;
    for (int32_t i = 0; i < 7; ++i) {
        before.push_back(editor->getSlider(i)->getValue());
    }
    for (int32_t index : {0, 1, -1, 9, 31, 40, -2147483647 - 1}) {
        editor->setParameter(index, 0.9f);
    }
    EXPECT_FALSE(frame->isSomethingDirty());
    for (int32_t i = 0; i < 7; ++i) {
        EXPECT_EQ(editor->getSlider(i)->getValue(), before[size_t(i)]);
        EXPECT_EQ(editor->getDisplay(i)->getValue(), before[size_t(i)]);
    }
}

TEST_F(EditorWorld, DragToTheFarRightAutomatesBetweenOneBeginAndOneEnd) {
    openEditor();
    press(18, 40, {{20, {100, 40}}, {60, {172, 41}}, {100, {200, 44}}}, 400);
    const auto& all = RecordingHost::get().calls;
    auto begins = calls(audioMasterBeginEdit), ends = calls(audioMasterEndEdit);
    auto automates = calls(audioMasterAutomate);
    ASSERT_EQ(begins.size(), 1u);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(begins[0].index, 2);
    EXPECT_EQ(ends[0].index, 2);
    ASSERT_EQ(automates.size(), 3u); // 0.0, then 81/153, then 1.0; nothing while held still
    EXPECT_EQ(automates[0].opt, 0.0f);
    EXPECT_FLOAT_EQ(automates[1].opt, 81.0f / 153.0f);
    EXPECT_EQ(automates[2].opt, 1.0f);
    for (const HostCall& c : automates) {
        EXPECT_EQ(c.index, 2);
    }
    // Begin first, end last, automation in between.
    size_t firstBegin = all.size(), lastAutomate = 0, end = 0;
    for (size_t k = 0; k < all.size(); ++k) {
        if (all[k].opcode == audioMasterBeginEdit && firstBegin == all.size()) {
            firstBegin = k;
        }
        if (all[k].opcode == audioMasterAutomate) {
            lastAutomate = k;
            EXPECT_GT(k, firstBegin);
        }
        if (all[k].opcode == audioMasterEndEdit) {
            end = k;
        }
    }
    EXPECT_GT(end, lastAutomate);
    EXPECT_EQ(effect->params[2], 1.0f);
    // The slider follows every pass; the box follows the idle pump.
    EXPECT_TRUE(sliderShows(0, 154));
    idle();
    EXPECT_EQ(boxText(0), "1.00");
    EXPECT_FALSE(frame->isSomethingDirty());
    // The host kept being served during the drag.
    EXPECT_FALSE(calls(audioMasterIdle).empty());
}

TEST_F(EditorWorld, ShiftDragFromAGrabOffTheCentreIsTenTimesFiner) {
    openEditor();
    // The handle (value 0.5) spans frame x 84 to 105: grabbed at 88.
    p.setKeyHeld(platform::KeyShift, true);
    press(88, 40, {{30, {88 + 153, 40}}}, 90);
    p.setKeyHeld(platform::KeyShift, false);
    EXPECT_EQ(sequence(), "begin 2, automate 2 " + text(0.5f + 0.1f) + ", end 2");
    EXPECT_TRUE(sliderShows(0, 77 + 15)) << "a tenth of 153 pixels";
}

TEST_F(EditorWorld, AClickWhosePressIsHandledAfterItsReleaseActsOnce) {
    // Slider rows: parameter 2 at 0.5, 3 at 0, 4 at 1, 5 at 0.8.
    effect->params[3] = 0.0f;
    effect->params[4] = 1.0f;
    effect->params[5] = 0.8f;
    openEditor();
    const float fine = 131.0f / 153.0f + (41.0f / 153.0f - 131.0f / 153.0f) / 10.0f;
    struct Case {
        const char* what;
        int32_t x, y;
        std::vector<int32_t> keys;
        std::string calls;
        int32_t row, handleLeft; // where the row's handle is drawn afterwards
    } cases[] = {
        {"on the track",
         150,
         40,
         {},
         "begin 2, automate 2 " + text(131.0f / 153.0f) + ", end 2",
         0,
         150 - 7 - 11},
        {"with Ctrl", 30, 120, {platform::KeyControl}, "automate 5 0.5", 3, 77},
        {"on the handle at 0", 24, 70, {}, "begin 3, end 3", 1, 6},
        {"on the handle at 1", 172, 96, {}, "begin 4, end 4", 2, 154},
        // From 131/153 a tenth of the way to 41/153.
        {"with Shift on the track",
         60,
         40,
         {platform::KeyShift},
         "begin 2, automate 2 " + text(fine) + ", end 2",
         0,
         1 + int32_t(153.0 * double(fine))},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RecordingHost::get().reset();
        quickClick(c.x, c.y, c.keys);
        EXPECT_EQ(sequence(), c.calls);
        // Neighbouring sliders share a row, which the one drawn last owns:
        // the whole panel again, in order.
        frame->setDirty(true);
        idle();
        EXPECT_TRUE(sliderShows(c.row, c.handleLeft));
    }
    EXPECT_EQ(effect->params[3], 0.0f);
    EXPECT_EQ(effect->params[4], 1.0f);
    EXPECT_EQ(effect->params[5], 0.5f);
    // Right and middle presses released early change nothing either.
    RecordingHost::get().reset();
    for (uint32_t message : {platform::MessageRightButtonDown, platform::MessageMiddleButtonDown}) {
        p.sendMessage(window(), message, 0, 100 | (40 << 16));
    }
    EXPECT_EQ(sequence(), "");
}

TEST_F(EditorWorld, AHandleHeldWithoutMovingKeepsItsValue) {
    // Rows at 0, 0.5 and 1: handles at frame x 13, 84 and 161 (22 wide);
    // each pressed at its left edge, centre and right edge for 300 ms.
    effect->params[2] = 0.0f;
    effect->params[3] = 0.5f;
    effect->params[4] = 1.0f;
    openEditor();
    const struct {
        int32_t row, handleLeft;
        float value;
    } rows[] = {{0, 6, 0.0f}, {1, 77, 0.5f}, {2, 154, 1.0f}};
    for (const auto& r : rows) {
        for (int32_t grip : {0, 11, 21}) {
            SCOPED_TRACE(::testing::Message() << "row " << r.row << " grip " << grip);
            RecordingHost::get().reset();
            const int32_t tag = kSliders[r.row].tag;
            press(7 + r.handleLeft + grip, kSliders[r.row].rect.top + 14, {}, 300);
            EXPECT_EQ(sequence(), "begin " + std::to_string(tag) + ", end " + std::to_string(tag));
            EXPECT_EQ(effect->params[tag], r.value);
            EXPECT_TRUE(sliderShows(r.row, r.handleLeft));
            EXPECT_FALSE(calls(audioMasterIdle).empty()) << "held through several idle passes";
        }
    }
}

TEST_F(EditorWorld, APressOnTheTrackPutsTheHandleCentreUnderTheMouse) {
    openEditor();
    // Parameter 2 at 0.5, its handle at frame x 84 to 105; pressed at 60 and
    // held: the handle's centre (left edge + 11) moves to 60.
    press(60, 40, {}, 300);
    EXPECT_EQ(sequence(), "begin 2, automate 2 " + text(41.0f / 153.0f) + ", end 2");
    EXPECT_TRUE(sliderShows(0, 60 - 7 - 11));
}

TEST_F(EditorWorld, CtrlClickResetsToHalfOnceWithoutAnEdit) {
    effect->params[5] = 0.8f;
    openEditor();
    p.setKeyHeld(platform::KeyControl, true);
    press(150, 115); // fourth slider: parameter 5
    auto automates = calls(audioMasterAutomate);
    ASSERT_EQ(automates.size(), 1u);
    EXPECT_EQ(automates[0].index, 5);
    EXPECT_EQ(automates[0].opt, 0.5f);
    EXPECT_EQ(effect->params[5], 0.5f);
    EXPECT_TRUE(calls(audioMasterBeginEdit).empty());
    EXPECT_TRUE(calls(audioMasterEndEdit).empty());
    EXPECT_TRUE(sliderShows(3, 77)); // drawn at once on the click's context
    // Already at 0.5: nothing at all.
    RecordingHost::get().reset();
    press(150, 115);
    press(30, 40); // parameter 2 is at 0.5 too
    p.setKeyHeld(platform::KeyControl, false);
    EXPECT_TRUE(calls(audioMasterAutomate).empty());
}

TEST_F(EditorWorld, RightAndMiddlePressesChangeNothing) {
    openEditor();
    press(171, 40, {}, 60, platform::KeyRightButton);
    press(171, 40, {}, 60, platform::KeyMiddleButton);
    EXPECT_TRUE(calls(audioMasterAutomate).empty());
    EXPECT_TRUE(calls(audioMasterBeginEdit).empty());
    EXPECT_EQ(effect->params[2], 0.5f);
}

TEST_F(EditorWorld, OverlapRowBelongsToTheLowerSlider) {
    openEditor();
    press(171, 57);
    auto automates = calls(audioMasterAutomate);
    ASSERT_EQ(automates.size(), 1u);
    EXPECT_EQ(automates[0].index, 3);
    EXPECT_EQ(effect->params[2], 0.5f);
    // Outside the slider column nothing is hit.
    RecordingHost::get().reset();
    press(6, 40);
    press(190, 40);
    EXPECT_TRUE(calls(audioMasterBeginEdit).empty());
}

TEST_F(EditorWorld, ArrowKeysThroughTheHostOpcode) {
    openEditor();
    // No focus: the last slider added (parameter 8) takes the key.
    EXPECT_EQ(key(VKEY_UP), 1);
    EXPECT_FLOAT_EQ(effect->params[8], 0.6f);
    auto automates = calls(audioMasterAutomate);
    ASSERT_EQ(automates.size(), 1u);
    EXPECT_EQ(automates[0].index, 8);
    // Not drawn by the key itself; the next idle draws slider and box.
    EXPECT_TRUE(editor->getSlider(6)->isDirty());
    EXPECT_TRUE(sliderShows(6, 77));
    idle();
    EXPECT_FALSE(frame->isSomethingDirty());
    EXPECT_TRUE(sliderShows(6, 1 + int32_t(153.0 * double(0.6f))));
    EXPECT_EQ(boxText(6), "0.60");
    EXPECT_EQ(key(VKEY_LEFT, MODIFIER_SHIFT), 1);
    EXPECT_FLOAT_EQ(effect->params[8], 0.59f);
    // A click gives a slider the focus: it takes the keys from then on.
    press(19 + 40, 120); // fourth slider (parameter 5) to 40/153
    RecordingHost::get().reset();
    EXPECT_EQ(key(VKEY_DOWN), 1);
    EXPECT_FLOAT_EQ(effect->params[5], 40.0f / 153.0f - 0.1f);
    EXPECT_FLOAT_EQ(effect->params[8], 0.59f);
    // A click on a value box takes the focus away again.
    press(200, 40);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(key(VKEY_RIGHT), 1);
    EXPECT_FLOAT_EQ(effect->params[8], 0.69f);
    // Keys that are not arrows are not taken.
    EXPECT_EQ(key(0), -1);
    EXPECT_EQ(effect->dispatcher(effEditKeyDown, 'a', 0, nullptr, 0.0f), -1);
}

TEST_F(EditorWorld, CloseAndReopenGivesAnIdenticalPanelWithCurrentValues) {
    effect->params[6] = 0.7f;
    openEditor();
    const platform::WindowHandle first = window();
    const std::vector<uint32_t> firstPixels = p.windowSurface(first)->pixels;
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_FALSE(p.windowExists(first));
    EXPECT_EQ(editor->getPanelBitmap()->getReferenceCount(), 1);
    // Changes while closed reach the effect and nothing in the editor.
    effect->setParameter(3, 0.1f);
    effect->setParameter(7, 0.9f);
    idle();
    EXPECT_EQ(effect->params[7], 0.9f);
    // The next open reads the values afresh.
    openEditor();
    EXPECT_EQ(p.childWindows(host).size(), 1u);
    EXPECT_EQ(editor->getSlider(1)->getValue(), 0.1f);
    EXPECT_EQ(editor->getSlider(5)->getValue(), 0.9f);
    EXPECT_EQ(editor->getDisplay(5)->getValue(), 0.9f);
    EXPECT_TRUE(sliderShows(5, 1 + int32_t(153.0 * double(0.9f))));
    // With the first session's values again, the panel is the same pixel for pixel.
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    effect->params[3] = 0.5f;
    effect->params[7] = 0.5f;
    openEditor();
    EXPECT_EQ(p.windowSurface(window())->pixels, firstPixels);
}

TEST_F(EditorWorld, ClosingWhileASliderHasTheFocus) {
    openEditor();
    press(100, 40);
    ASSERT_EQ(frame->getFocusView(), editor->getSlider(0));
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(key(VKEY_UP), -1);
    idle();
    effect->setParameter(2, 0.3f); // closed: nothing is touched
    EXPECT_EQ(effect->params[2], 0.3f);
}

TEST_F(EditorWorld, AHostClosingTheEditorFromItsIdleDuringADragEndsTheDragAndTheEdit) {
    openEditor();
    const platform::WindowHandle w = window();
    // At its second idle during the drag (the first comes at once, the second
    // 100 ms later) the host closes the editor.
    int idles = 0;
    RecordingHost::get().onCall = [&](const HostCall& call) {
        if (call.opcode == audioMasterIdle && ++idles == 2) {
            effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
        }
    };
    // The button stays held well past the first idle.
    press(18, 40, {{20, {100, 40}}, {300, {171, 41}}}, 800);
    RecordingHost::get().onCall = nullptr;

    EXPECT_EQ(idles, 2) << "the drag loop ended at the close";
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_FALSE(p.windowExists(w));
    EXPECT_EQ(p.childWindows(host).size(), 0u);
    EXPECT_EQ(p.liveContextCount(), 0);
    auto begins = calls(audioMasterBeginEdit), ends = calls(audioMasterEndEdit);
    ASSERT_EQ(begins.size(), 1u);
    ASSERT_EQ(ends.size(), 1u);
    EXPECT_EQ(ends[0].index, 2);
    // Nothing was automated after the close (at 300 ms the mouse moved on).
    const auto& all = RecordingHost::get().calls;
    size_t end = 0;
    for (size_t k = 0; k < all.size(); ++k) {
        end = all[k].opcode == audioMasterEndEdit ? k : end;
    }
    for (size_t k = end; k < all.size(); ++k) {
        EXPECT_NE(all[k].opcode, audioMasterAutomate);
    }
    EXPECT_FLOAT_EQ(effect->params[2], 81.0f / 153.0f);

    // The editor opens again as usual.
    openEditor();
    EXPECT_TRUE(sliderShows(0, 82));
}

TEST_F(EditorWorld, OpeningTwiceReplacesThePanel) {
    openEditor();
    ASSERT_EQ(effect->dispatcher(effEditOpen, 0, 0, host, 0.0f), 1);
    EXPECT_EQ(p.childWindows(host).size(), 1u);
    EXPECT_EQ(editor->getPanelBitmap()->getReferenceCount(), 2);
    EXPECT_EQ(editor->getSlider(0)->getBackground()->getReferenceCount(), 7);
}

TEST_F(EditorWorld, AParentWindowThatTakesNoChildMakesOpenAnswerZeroAndKeepNothing) {
    const int32_t objectsBefore = p.liveObjectCount();
    int32_t notAWindow = 0;
    EXPECT_EQ(effect->dispatcher(effEditOpen, 0, 0, &notAWindow, 0.0f), 0);
    EXPECT_FALSE(editor->isOpen());
    EXPECT_EQ(editor->getFrame(), nullptr);
    EXPECT_EQ(p.liveObjectCount(), objectsBefore);
    EXPECT_EQ(p.windowClassCount(), 0u);
    EXPECT_EQ(editor->getPanelBitmap()->getReferenceCount(), 1);
    // A later open into a real window works as usual.
    openEditor();
    EXPECT_TRUE(editor->isOpen());
}

TEST_F(EditorWorld, DestroyingAnOpenEditorClosesIt) {
    openEditor();
    const platform::WindowHandle w = window();
    const int32_t objectsBefore = p.liveObjectCount();
    EXPECT_GT(objectsBefore, 0);
    delete effect; // deletes the editor while it is open
    effect = nullptr;
    EXPECT_FALSE(p.windowExists(w));
    EXPECT_EQ(p.childWindows(host).size(), 0u);
    EXPECT_EQ(p.liveContextCount(), 0);
    EXPECT_EQ(p.oleBalance(), 0);
    EXPECT_EQ(p.windowClassCount(), 0u);
}

TEST_F(EditorWorld, ChangesFromAnotherThreadWaitForTheEditorsIdle) {
    openEditor();
    std::thread automation([this] {
        effect->setParameter(4, 0.75f);
        effect->setParameter(0, 0.2f);
    });
    automation.join();
    // The other thread touched no control.
    EXPECT_EQ(editor->getSlider(2)->getValue(), 0.5f);
    EXPECT_EQ(effect->params[4], 0.75f);
    idle();
    EXPECT_EQ(editor->getSlider(2)->getValue(), 0.75f);
    EXPECT_EQ(editor->getDisplay(2)->getValue(), 0.75f);
    EXPECT_TRUE(sliderShows(2, 1 + int32_t(153.0 * 0.75)));
    EXPECT_EQ(boxText(2), "0.75");
    EXPECT_TRUE(calls(audioMasterAutomate).empty());
    // A later change on the editor's own thread is not undone by an older one.
    std::thread older([this] { effect->setParameter(4, 0.1f); });
    older.join();
    effect->setParameter(4, 0.9f);
    idle();
    EXPECT_EQ(editor->getSlider(2)->getValue(), 0.9f);
    // Closed: another thread's change shows nothing, and the next open reads
    // the effect's values.
    effect->dispatcher(effEditClose, 0, 0, nullptr, 0.0f);
    std::thread whileClosed([this] { effect->setParameter(4, 0.2f); });
    whileClosed.join();
    idle();
    openEditor();
    EXPECT_EQ(editor->getSlider(2)->getValue(), 0.2f);
    idle();
    EXPECT_EQ(editor->getSlider(2)->getValue(), 0.2f);
}

TEST_F(EditorWorld, ManyChangesFromAnotherThreadEndOnTheLastValues) {
    // Many changes from another thread while the editor idles on this one:
    // the panel ends on the last value of each parameter.
    openEditor();
    std::thread automation([this] {
        for (int k = 0; k <= 200; ++k) {
            effect->setParameter(2 + k % 7, float(k) / 200.0f);
        }
    });
    for (int k = 0; k < 50; ++k) {
        idle();
    }
    automation.join();
    idle();
    for (int32_t i = 0; i < 7; ++i) {
        EXPECT_EQ(editor->getSlider(i)->getValue(), effect->params[2 + i]) << i;
        EXPECT_EQ(editor->getDisplay(i)->getValue(), effect->params[2 + i]) << i;
    }
}
