// A world for exercising controls as a host would: the headless backend with a
// host window, an effect that stores parameters and passes them to its editor,
// an editor whose frame fills a 300 x 245 child window, and a recording host.
#pragma once

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"
#include "gui/EditorBase.h"
#include "gui/Frame.h"
#include "gui/controls/Control.h"
#include "host/ExtendedEffectBase.h"
#include "tests/gui/OwningEffect.h"
#include "tests/host/RecordingHost.h"
#include "tests/support/ScriptedPlatform.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <utility>
#include <vector>

namespace controltest {

using platform::PixelPoint;
using platform::headless::ScriptedPlatform;

// Stores 32 parameters and, like the plug-in's effect, tells its editor first
// and posts its update once the value is stored.
class StoringEffect : public OwningEffect {
public:
    StoringEffect() : OwningEffect(&RecordingHost::callback, 1, 32) {}
    void setParameter(int32_t index, float value) override {
        if (index < 0 || index >= 32) {
            return;
        }
        if (auto* e = dynamic_cast<EditorBase*>(editor)) {
            e->setParameter(index, value);
        }
        params[index] = value;
        if (editor) {
            editor->postUpdate();
        }
    }
    float getParameter(int32_t index) override {
        return index >= 0 && index < 32 ? params[index] : 0.0f;
    }
    void process(float**, float**, int32_t) override {}

    float params[32] = {};
};

// An editor whose frame fills a 300 x 245 child window of the host's window.
class FrameEditor : public EditorBase {
public:
    explicit FrameEditor(EditorOwner* owner) : EditorBase(owner) { rect = ERect{0, 0, 245, 300}; }
    int32_t open(void* parent) override {
        EditorBase::open(parent);
        frame = new Frame(Rect(0, 0, 300, 245), parent, this);
        return 1;
    }
    void close() override {
        delete frame;
        frame = nullptr;
    }
};

// Records every report and, like the editor, draws the control at once on the
// gesture's context.
class RecordingListener : public ControlListener {
public:
    struct Report {
        bool withContext;
        float value;
        int32_t tag;
    };
    void valueChanged(DrawContext* context, Control* control) override {
        reports.push_back({context != nullptr, control->getValue(), control->getTag()});
        if (context && drawAtOnce) {
            control->update(context);
        }
    }
    std::vector<Report> reports;
    bool drawAtOnce = true;
};

// Colours of the test pictures (platform colour values: red in the low byte).
constexpr uint32_t kTroughColour = 0x404040;
constexpr uint32_t kHandleColour = 0x0000FF; // red
constexpr uint32_t kWhitePixel = 0xFFFFFF;
constexpr uint16_t kTestHandleId = 2002;
constexpr uint16_t kTestTroughId = 2003;

class ControlWorld : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setCurrent(&p);
        RecordingHost::get().reset();
        p.setTickCount(10000);
        // A 22 x 17 handle with white (transparent) corners, a plain 182 x 27 trough.
        std::vector<uint32_t> handle(22 * 17, kHandleColour);
        for (int corner : {0, 21, 16 * 22, 16 * 22 + 21}) {
            handle[size_t(corner)] = kWhitePixel;
        }
        p.addBitmapResource(kTestHandleId, 22, 17, handle);
        p.addBitmapResource(kTestTroughId, 182, 27, std::vector<uint32_t>(182 * 27, kTroughColour));
        host = p.createHostWindow({100, 50, 400, 295});
        effect = new StoringEffect();
        editor = new FrameEditor(effect);
        effect->setEditor(editor);
        editor->open(host);
        frame = editor->getFrame();
    }
    void TearDown() override {
        delete effect; // deletes the editor, which takes its frame along
        platform::setCurrent(nullptr);
    }

    platform::WindowHandle window() const { return frame->getWindow(); }
    const platform::software::Surface& pixels() const { return *p.windowSurface(window()); }
    uint32_t pixel(int32_t x, int32_t y) const { return pixels().at(x, y); }

    // The host's message loop: paints the frame (the first paint starts idle redrawing).
    void paint() { p.deliverPaints(); }
    // Moves the cursor to a client position of the frame window.
    void moveTo(int32_t x, int32_t y) { p.setCursor({100 + x, 50 + y}); }
    // Presses a physical button at (x, y) with the given keys held, runs the
    // script (ticks after the press, each a cursor move or a key change) and
    // lets the button go at the end, `holdFor` ms after the press.
    struct Step {
        uint32_t after;
        std::function<void()> action;
    };
    void press(int32_t x, int32_t y, std::vector<Step> script = {}, uint32_t holdFor = 40,
               int32_t button = platform::KeyLeftButton) {
        const uint32_t start = p.tickCount();
        for (Step& s : script) {
            p.schedule(start + s.after, std::move(s.action));
        }
        p.schedule(start + holdFor, [this, button] { p.setKeyHeld(button, false); });
        p.pressButton(window(), button, {x, y});
        // A press that no control tracks returns at once: finish its script.
        if (p.tickCount() < start + holdFor + 1) {
            p.setTickCount(start + holdFor + 1);
        }
        p.setKeyHeld(button, false);
    }
    Step moveStep(uint32_t after, int32_t x, int32_t y) {
        return {after, [this, x, y] { moveTo(x, y); }};
    }
    Step keyStep(uint32_t after, int32_t key, bool held) {
        return {after, [this, key, held] { p.setKeyHeld(key, held); }};
    }
    int hostCalls(int32_t opcode) const { return RecordingHost::get().count(opcode); }

    ScriptedPlatform p;
    platform::WindowHandle host = nullptr;
    StoringEffect* effect = nullptr;
    FrameEditor* editor = nullptr;
    Frame* frame = nullptr;
};

} // namespace controltest
