// The headless backend on its own (what the editor snapshot relies on), and the
// scripted world the tests build on it: clock, input, windows, resources.
#include "tests/support/ScriptedPlatform.h"

#include <gtest/gtest.h>
#include <vector>

using namespace platform;
using platform::headless::ScriptedPlatform;

namespace {

struct Message {
    WindowHandle window;
    uint32_t message;
    intptr_t lParam;
    uintptr_t wParam;
};
std::vector<Message> received;
ScriptedPlatform* active = nullptr;

intptr_t FUMARA_WINDOW_PROCEDURE recordingProcedure(WindowHandle w, uint32_t message,
                                                    uintptr_t wParam, intptr_t lParam) {
    received.push_back({w, message, lParam, wParam});
    if (message == MessagePaint) {
        PaintSession paint;
        active->beginPaint(w, paint);
        active->endPaint(w, paint);
        return 0;
    }
    return active->defaultWindowProcedure(w, message, wParam, lParam);
}

class HeadlessWorld : public ::testing::Test {
protected:
    void SetUp() override {
        received.clear();
        active = &p;
        WindowClassDescription description{"TestClass", 0x4000, &recordingProcedure,
                                           p.moduleHandle(), SystemColourButtonFace};
        ASSERT_TRUE(p.registerWindowClass(description));
        host = p.createHostWindow({100, 50, 500, 450});
    }
    WindowHandle child(int32_t x = 0, int32_t y = 0, int32_t w = 300, int32_t h = 245) {
        return p.createWindow("TestClass", "Window", WindowStyleChild | WindowStyleVisible, x, y, w,
                              h, host, p.moduleHandle());
    }

    ScriptedPlatform p;
    WindowHandle host = nullptr;
};

} // namespace

TEST_F(HeadlessWorld, ClockMovesOnlyWhenSetOrSleptAndRunsDueActions) {
    p.setTickCount(1000);
    EXPECT_EQ(1000u, p.tickCount());
    std::vector<uint32_t> ran;
    p.schedule(1010, [&] { ran.push_back(p.tickCount()); });
    p.schedule(1004, [&] { ran.push_back(p.tickCount()); });
    p.sleep(4);
    p.sleep(4);
    EXPECT_EQ(1008u, p.tickCount());
    ASSERT_EQ(1u, ran.size());
    EXPECT_EQ(1004u, ran[0]);
    p.advanceClock(2);
    ASSERT_EQ(2u, ran.size());
    EXPECT_EQ((std::vector<uint32_t>{4, 4}), p.sleeps());

    // Ticks wrap: an action due just after the wrap runs once the clock passes it.
    p.setTickCount(0xFFFFFFF0u);
    bool wrapped = false;
    p.schedule(0x00000008u, [&] { wrapped = true; });
    p.sleep(16);
    EXPECT_FALSE(wrapped);
    EXPECT_EQ(0u, p.tickCount());
    p.sleep(8);
    EXPECT_TRUE(wrapped);
}

TEST_F(HeadlessWorld, ButtonPressesReachTheWindowProcedureAsLogicalButtons) {
    WindowHandle w = child(10, 20);
    ASSERT_NE(nullptr, w);
    p.pressButton(w, KeyLeftButton, {5, 7});
    ASSERT_EQ(1u, received.size());
    EXPECT_EQ(MessageLeftButtonDown, received[0].message);
    EXPECT_EQ(5 | (7 << 16), received[0].lParam);
    EXPECT_EQ(PressLeftButton, received[0].wParam) << "what is held at the press";
    EXPECT_TRUE(p.isKeyHeld(KeyLeftButton));
    PixelPoint cursor;
    p.cursorPosition(cursor);
    EXPECT_EQ(100 + 10 + 5, cursor.x);
    EXPECT_EQ(50 + 20 + 7, cursor.y);

    p.setKeyHeld(KeyShift, true);
    p.setKeyHeld(KeyControl, true);
    p.pressButton(w, KeyLeftButton, {5, 7});
    EXPECT_EQ(PressLeftButton | PressShift | PressControl, received.back().wParam);
    p.releaseAllKeys();

    p.setButtonsSwapped(true);
    p.pressButton(w, KeyRightButton, {1, 2});
    EXPECT_EQ(MessageLeftButtonDown, received.back().message);
    EXPECT_EQ(PressLeftButton, received.back().wParam) << "logical, as the message";
    p.pressButton(w, KeyLeftButton, {1, 2});
    EXPECT_EQ(MessageRightButtonDown, received.back().message);
    EXPECT_EQ(PressLeftButton | PressRightButton, received.back().wParam);
    p.pressButton(w, KeyMiddleButton, {1, 2});
    EXPECT_EQ(MessageMiddleButtonDown, received.back().message);
    EXPECT_EQ(PressLeftButton | PressRightButton | PressMiddleButton, received.back().wParam);
    p.releaseAllKeys();
    EXPECT_FALSE(p.isKeyHeld(KeyLeftButton));
}

TEST_F(HeadlessWorld, ChildWindowsSitInTheirParentAndPaintWhenInvalid) {
    WindowHandle w = child(0, 0, 300, 245);
    ScriptedPlatform::WindowInfo info;
    ASSERT_TRUE(p.windowInfo(w, info));
    EXPECT_EQ(host, info.parent);
    EXPECT_EQ("Window", info.title);
    EXPECT_EQ(300, info.rect.right - info.rect.left);
    EXPECT_EQ(245, info.rect.bottom - info.rect.top);
    PixelRect screen;
    ASSERT_TRUE(p.windowScreenRect(w, screen));
    EXPECT_EQ(100, screen.left);
    EXPECT_EQ(50, screen.top);

    // A new visible window is invalid as a whole and asks for erasing.
    PixelRect update;
    ASSERT_TRUE(p.updateRect(w, &update));
    EXPECT_EQ(300, update.right);
    EXPECT_TRUE(p.dispatchOnePaintMessage());
    EXPECT_EQ(MessagePaint, received.back().message);
    EXPECT_FALSE(p.updateRect(w, nullptr));
    EXPECT_EQ(0xF0F0F0u, p.windowSurface(w)->at(299, 244)); // the button-face colour
    EXPECT_FALSE(p.dispatchOnePaintMessage());

    // Requests add up; one dispatch handles the whole region.
    p.requestPaint(w, {10, 10, 20, 20}, false);
    p.requestPaint(w, {30, 5, 40, 15}, false);
    ASSERT_TRUE(p.updateRect(w, &update));
    EXPECT_EQ(10, update.left);
    EXPECT_EQ(5, update.top);
    EXPECT_EQ(40, update.right);
    EXPECT_EQ(20, update.bottom);
    EXPECT_EQ(1, p.deliverPaints());
}

TEST_F(HeadlessWorld, PaintContextsAreClippedToThePaintArea) {
    WindowHandle w = child(0, 0, 50, 50);
    p.deliverPaints();
    p.requestPaint(w, {10, 10, 20, 20}, false);
    PaintSession paint;
    DeviceContextHandle dc = p.beginPaint(w, paint);
    EXPECT_EQ(10, paint.area.left);
    ObjectHandle brush = p.createSolidBrush(0x0000FF);
    p.fillRect(dc, {0, 0, 50, 50}, brush);
    p.endPaint(w, paint);
    p.deleteObject(brush);
    EXPECT_EQ(0x0000FFu, p.windowSurface(w)->at(10, 10));
    EXPECT_EQ(0x0000FFu, p.windowSurface(w)->at(19, 19));
    EXPECT_NE(0x0000FFu, p.windowSurface(w)->at(20, 20));
    EXPECT_NE(0x0000FFu, p.windowSurface(w)->at(9, 10));
    EXPECT_EQ(0, p.liveContextCount());
}

TEST_F(HeadlessWorld, DestroyingAParentTellsItsChildrenWhileTheirHandlesWork) {
    WindowHandle w = child();
    p.setWindowUserData(w, &p);
    EXPECT_EQ(&p, p.windowUserData(w));
    received.clear();
    EXPECT_TRUE(p.destroyWindow(host));
    ASSERT_EQ(1u, received.size()); // the host window has no procedure of ours
    EXPECT_EQ(MessageDestroy, received[0].message);
    EXPECT_EQ(w, received[0].window);
    EXPECT_FALSE(p.windowExists(w));
    EXPECT_EQ(nullptr, p.windowUserData(w));
    EXPECT_FALSE(p.destroyWindow(w));
    EXPECT_EQ(-1, p.pressButton(w, KeyLeftButton, {1, 1}));
    EXPECT_EQ(nullptr, p.windowDC(w));
}

TEST_F(HeadlessWorld, WindowClassesAreUniqueAndOutliveNoWindow) {
    WindowClassDescription again{"testclass", 0, &recordingProcedure, p.moduleHandle(), 0};
    EXPECT_FALSE(p.registerWindowClass(again)); // names compare without case
    EXPECT_EQ(nullptr, p.createWindow("NoSuchClass", "", WindowStyleChild, 0, 0, 1, 1, host,
                                      p.moduleHandle()));
    EXPECT_EQ(nullptr,
              p.createWindow("TestClass", "", WindowStyleChild, 0, 0, 1, 1, nullptr, nullptr));
    WindowHandle w = child();
    EXPECT_FALSE(p.unregisterWindowClass("TestClass", p.moduleHandle())); // a window uses it
    p.destroyWindow(w);
    EXPECT_FALSE(p.unregisterWindowClass("TestClass", nullptr)); // another module's
    EXPECT_TRUE(p.unregisterWindowClass("TestClass", p.moduleHandle()));
    EXPECT_FALSE(p.windowClassExists("TestClass"));
}

namespace {
struct CountingSink : DropSink {
    explicit CountingSink(int* alive) : alive(alive) { ++*alive; }
    ~CountingSink() override { --*alive; }
    uint32_t dragEnter(DropData*, uint32_t, PixelPoint) override { return 0; }
    uint32_t dragOver(uint32_t, PixelPoint) override { return 0; }
    void dragLeave() override {}
    bool drop(DropData*, uint32_t, PixelPoint) override { return false; }
    int* alive;
};
} // namespace

TEST_F(HeadlessWorld, DropRegistrationsOwnTheirSinks) {
    int alive = 0;
    WindowHandle w = child();
    EXPECT_TRUE(p.registerDropTarget(w, new CountingSink(&alive)));
    EXPECT_FALSE(p.registerDropTarget(w, new CountingSink(&alive))); // refused and deleted
    EXPECT_EQ(1, alive);
    EXPECT_TRUE(p.revokeDropTarget(w));
    EXPECT_EQ(0, alive);
    EXPECT_FALSE(p.revokeDropTarget(w));
    EXPECT_TRUE(p.registerDropTarget(w, new CountingSink(&alive)));
    p.destroyWindow(w);
    EXPECT_EQ(0, alive);
}

TEST_F(HeadlessWorld, BitmapResourcesComeFromTheOwnModuleOnly) {
    p.addBitmapResource(7, 2, 1, {0x123456, 0xABCDEF});
    ObjectHandle bitmap = p.loadBitmapResource(p.moduleHandle(), 7);
    ASSERT_NE(nullptr, bitmap);
    int32_t w = 0, h = 0;
    ASSERT_TRUE(p.bitmapSize(bitmap, w, h));
    EXPECT_EQ(2, w);
    EXPECT_EQ(1, h);
    EXPECT_EQ(0xABCDEFu, p.bitmapSurface(bitmap)->at(1, 0));
    EXPECT_EQ(nullptr, p.loadBitmapResource(nullptr, 7));
    EXPECT_EQ(nullptr, p.loadBitmapResource(p.moduleHandle(), 8));
    EXPECT_FALSE(p.addBitmapResourceFromBmp(9, {1, 2, 3}));
    EXPECT_TRUE(p.deleteObject(bitmap));
}

TEST_F(HeadlessWorld, ShortcutsResolveWithinTheBuffer) {
    p.addShortcut("C:\\a.lnk", "C:\\target\\file.wav");
    char path[16] = "C:\\a.lnk";
    EXPECT_TRUE(p.resolveShortcut(path, sizeof(path)));
    EXPECT_STREQ("C:\\target\\file.", path); // cut to the buffer of 16
    char other[16] = "C:\\b.lnk";
    EXPECT_FALSE(p.resolveShortcut(other, sizeof(other)));
    EXPECT_STREQ("C:\\b.lnk", other);
}

namespace {
platform::headless::HeadlessPlatform* plain = nullptr;

// Leaves everything to the default handling, which erases and validates.
intptr_t FUMARA_WINDOW_PROCEDURE plainProcedure(WindowHandle w, uint32_t message, uintptr_t wParam,
                                                intptr_t lParam) {
    return plain->defaultWindowProcedure(w, message, wParam, lParam);
}
} // namespace

TEST(HeadlessBackend, NothingComesFromOutsideAndTheClockMovesOnlyBySleeping) {
    platform::headless::HeadlessPlatform p;
    plain = &p;
    for (int32_t key : {KeyLeftButton, KeyRightButton, KeyMiddleButton, KeyShift, KeyControl}) {
        EXPECT_FALSE(p.isKeyHeld(key)) << key;
    }
    PixelPoint cursor{-1, -1};
    ASSERT_TRUE(p.cursorPosition(cursor));
    EXPECT_EQ(0, cursor.x);
    EXPECT_EQ(0, cursor.y);
    EXPECT_FALSE(p.mouseButtonsSwapped());
    uint32_t start = p.tickCount();
    EXPECT_EQ(start, p.tickCount());
    p.sleep(46);
    EXPECT_EQ(start + 46, p.tickCount());
    char path[16] = "C:\\a.lnk";
    EXPECT_FALSE(p.resolveShortcut(path, sizeof(path)));

    // Its windows paint when the caller runs the message loop, in the class's colour.
    WindowClassDescription cls{"Plain", 0, &plainProcedure, p.moduleHandle(),
                               SystemColourButtonFace};
    ASSERT_TRUE(p.registerWindowClass(cls));
    WindowHandle host = p.createHostWindow({0, 0, 40, 30});
    WindowHandle w = p.createWindow("Plain", "Window", WindowStyleChild | WindowStyleVisible, 0, 0,
                                    40, 30, host, p.moduleHandle());
    ASSERT_NE(nullptr, w);
    EXPECT_EQ(1, p.deliverPaints());
    EXPECT_EQ(0xF0F0F0u, p.windowSurface(w)->at(39, 29));
    EXPECT_EQ(0, p.deliverPaints());
    EXPECT_TRUE(p.destroyWindow(host));
    EXPECT_EQ(nullptr, p.windowSurface(w));
}
