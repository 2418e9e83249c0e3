// Shared pieces of the toolkit tests: a fresh headless world per test, canvases
// to draw on, and views that record what happens to them.
#pragma once

#include "gui/DrawContext.h"
#include "gui/Frame.h"
#include "gui/Toolkit.h"
#include "gui/View.h"
#include "tests/support/ScriptedPlatform.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using platform::headless::ScriptedPlatform;
using platform::software::Surface;

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        platform::setCurrent(&world);
        world.setTickCount(1000);
        baselineObjects = world.liveObjectCount();
    }
    void TearDown() override {
        EXPECT_EQ(0, toolkitState().windowClassUseCount) << "a frame's window outlived its test";
        platform::setCurrent(nullptr);
    }

    // A memory context holding a colour bitmap, cleared to `clear`.
    platform::DeviceContextHandle makeCanvas(int32_t w, int32_t h, uint32_t clear = 0) {
        platform::DeviceContextHandle screen = world.windowDC(nullptr);
        platform::DeviceContextHandle dc = world.createCompatibleDC(screen);
        platform::ObjectHandle bitmap = world.createCompatibleBitmap(screen, w, h);
        world.releaseWindowDC(nullptr, screen);
        world.selectObject(dc, bitmap);
        platform::ObjectHandle brush = world.createSolidBrush(clear);
        world.fillRect(dc, {0, 0, w, h}, brush);
        world.deleteObject(brush);
        canvases.push_back({dc, bitmap});
        return dc;
    }
    // Deletes the canvases made so far (their bitmaps included).
    void dropCanvases() {
        for (auto& c : canvases) {
            world.deleteDC(c.first);
            world.deleteObject(c.second);
        }
        canvases.clear();
    }
    const Surface& pixels(platform::DeviceContextHandle dc) { return *world.contextSurface(dc); }
    int32_t count(const Surface& s, uint32_t colour) {
        int32_t n = 0;
        for (uint32_t p : s.pixels) {
            n += p == colour ? 1 : 0;
        }
        return n;
    }
    // A resource made of one colour, with optional single pixels of another.
    void addSolidResource(uint16_t id, int32_t w, int32_t h, uint32_t colour) {
        world.addBitmapResource(id, w, h,
                                std::vector<uint32_t>(static_cast<size_t>(w) * h, colour));
    }
    platform::WindowHandle makeHost() { return world.createHostWindow({200, 100, 800, 600}); }

    ScriptedPlatform world;
    int32_t baselineObjects = 0;
    std::vector<std::pair<platform::DeviceContextHandle, platform::ObjectHandle>> canvases;
};

// A view that logs every call into a shared journal and answers as configured.
class RecordingView : public View {
public:
    RecordingView(const Rect& r, std::string viewName, std::vector<std::string>* journal,
                  bool* destroyed = nullptr)
        : View(r), name(std::move(viewName)), log(journal), gone(destroyed) {}
    ~RecordingView() override {
        note("destroyed");
        if (gone) {
            *gone = true;
        }
    }

    void draw(DrawContext* context) override {
        note("draw");
        if (fill && context) {
            context->setFillColour(*fill);
            context->fillRect(Rect(size.left - 1, size.top - 1, size.right, size.bottom));
        }
        View::draw(context);
    }
    void drawArea(DrawContext* context, const Rect& area) override {
        note("drawArea");
        View::drawArea(context, area);
    }
    void mouseDown(DrawContext* context, Point& where) override {
        note("mouseDown");
        lastWhere = where;
        lastButtons = context ? context->getMouseButtons() : -1;
    }
    int32_t keyDown(VstKeyCode& key) override {
        note("keyDown");
        return keyAnswer;
    }
    int32_t keyUp(VstKeyCode& key) override {
        note("keyUp");
        return keyAnswer;
    }
    bool drop(void** items, int32_t n, int32_t type, Point& where) override {
        note("drop");
        dropItems = items;
        dropCount = n;
        dropType = type;
        dropWhere = where;
        return dropAnswer;
    }
    void loseFocus(DrawContext* context) override { note("loseFocus"); }
    bool removedFrom(Frame* container) override {
        note("removedFrom");
        return View::removedFrom(container);
    }
    bool attachedTo(Frame* container) override {
        note("attachedTo");
        return View::attachedTo(container);
    }
    void setCount(int32_t value) { referenceCount = value; }

    std::string name;
    int32_t keyAnswer = -1;
    bool dropAnswer = false;
    const Colour* fill = nullptr;
    Point lastWhere{-1, -1};
    int32_t lastButtons = 0;
    void** dropItems = nullptr;
    int32_t dropCount = -1;
    int32_t dropType = -1;
    Point dropWhere{-1, -1};

private:
    void note(const char* what) {
        if (log) {
            log->push_back(name + ":" + what);
        }
    }
    std::vector<std::string>* log;
    bool* gone;
};
