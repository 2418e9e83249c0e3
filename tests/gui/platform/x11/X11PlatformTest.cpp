// The X11 backend against a real X server (Xvfb under scripts/test): the child
// window in a host's window, paints, presses, input state, the two event paths
// and the ways a window can end.
#include "gui/platform/x11/X11Platform.h"

#include "gui/platform/BmpDecoder.h"
#include "gui/platform/EmbeddedResources.h"
#include "gui/platform/headless/HeadlessPlatform.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

// Xlib last: its macros (None, Bool, ...) clash with names in other headers.
// clang-format off
#include "tests/gui/platform/x11/X11TestHost.h"
#include <X11/Xlib.h>
#include <X11/keysym.h>
// clang-format on

using namespace platform;

namespace {

constexpr int32_t panelWidth = 300;
constexpr int32_t panelHeight = 245;
constexpr ColourRef buttonFace = 0xF0F0F0;

struct Received {
    WindowHandle window;
    uint32_t message;
    intptr_t position;
    uintptr_t state; // wParam
    bool userDataSet;
    PixelRect paintArea;
};

// What the test window procedure saw, and what it does beyond recording.
std::vector<Received> received;
std::function<void(Platform&, DeviceContextHandle)> painter;
std::function<void(WindowHandle, uint32_t)> onMessage;

Platform& backend() {
    return x11::nativePlatform();
}

intptr_t FUMARA_WINDOW_PROCEDURE recordingProcedure(WindowHandle window, uint32_t message,
                                                    uintptr_t wParam, intptr_t lParam) {
    Platform& p = backend();
    Received r{window, message, lParam, wParam, p.windowUserData(window) != nullptr, {0, 0, 0, 0}};
    if (message == MessagePaint) {
        PaintSession paint;
        DeviceContextHandle dc = p.beginPaint(window, paint);
        r.paintArea = paint.area;
        if (dc && painter) {
            painter(p, dc);
        }
        p.endPaint(window, paint);
        received.push_back(r);
        return 0;
    }
    received.push_back(r);
    if (onMessage) {
        onMessage(window, message);
    }
    return p.defaultWindowProcedure(window, message, wParam, lParam);
}

// A picture that exercises every kind of drawing, in colours whose channels
// differ so that a swap of red and blue shows.
void paintScene(Platform& p, DeviceContextHandle dc) {
    ObjectHandle brush = p.createSolidBrush(makeColourRef(200, 30, 40));
    p.fillRect(dc, {10, 10, 110, 60}, brush);
    ObjectHandle pen = p.createPen(PenDotted, 1, makeColourRef(20, 40, 220));
    ObjectHandle oldPen = p.selectObject(dc, pen);
    p.moveTo(dc, 5, 80);
    p.lineTo(dc, 250, 80);
    p.lineTo(dc, 250, 150);
    p.lineTo(dc, 5, 200);
    FontDescription font{};
    font.height = -11;
    font.weight = 400;
    font.pitchAndFamily = 0x22;
    std::snprintf(font.faceName, sizeof(font.faceName), "Arial");
    ObjectHandle f = p.createFont(font);
    ObjectHandle oldFont = p.selectObject(dc, f);
    p.setBackgroundMode(dc, BackgroundOpaque);
    p.setBackgroundColour(dc, makeColourRef(230, 230, 230));
    p.setTextColour(dc, makeColourRef(0, 0, 0));
    p.drawText(dc, "0.50", {193, 36, 221, 50}, AlignCentre);
    ObjectHandle handle = p.loadBitmapResource(p.moduleHandle(), 102);
    DeviceContextHandle memory = p.createCompatibleDC(dc);
    ObjectHandle oldBitmap = p.selectObject(memory, handle);
    p.blockCopy(dc, 150, 100, 22, 17, memory, 0, 0, RopCopy);
    p.selectObject(memory, oldBitmap);
    p.deleteDC(memory);
    p.deleteObject(handle);
    p.selectObject(dc, oldFont);
    p.deleteObject(f);
    p.selectObject(dc, oldPen);
    p.deleteObject(pen);
    p.deleteObject(brush);
}

// The same picture on the headless backend, the reference for pixels.
std::vector<uint32_t> headlessScene() {
    headless::HeadlessPlatform h;
    WindowClassDescription cls{"Reference", 0, &recordingProcedure, h.moduleHandle(),
                               SystemColourButtonFace};
    h.registerWindowClass(cls);
    WindowHandle host = h.createHostWindow({0, 0, 400, 300});
    WindowHandle w = h.createWindow("Reference", "Window", WindowStyleChild | WindowStyleVisible, 0,
                                    0, panelWidth, panelHeight, host, h.moduleHandle());
    PaintSession paint;
    DeviceContextHandle dc = h.beginPaint(w, paint);
    paintScene(h, dc);
    h.endPaint(w, paint);
    const software::Surface* s = h.windowSurface(w);
    std::vector<uint32_t> out;
    for (uint32_t p : s->pixels) {
        out.push_back(p & 0xFFFFFF);
    }
    return out;
}

class X11PlatformTest : public ::testing::Test {
protected:
    static constexpr const char* className = "FumaraTestWindow";

    void SetUp() override {
        if (!host.available()) {
            GTEST_SKIP() << host.unavailableReason();
        }
        received.clear();
        painter = nullptr;
        onMessage = nullptr;
        WindowClassDescription cls{className, 0, &recordingProcedure, backend().moduleHandle(),
                                   SystemColourButtonFace};
        ASSERT_TRUE(backend().registerWindowClass(cls));
        hostWindow = host.createHostWindow(40, 30, 400, 300);
    }

    void TearDown() override {
        if (!host.available()) {
            return;
        }
        for (WindowHandle w : open) {
            backend().destroyWindow(w);
        }
        EXPECT_TRUE(backend().unregisterWindowClass(className, backend().moduleHandle()));
        EXPECT_EQ(x11::diagnostics().windows, 0);
        EXPECT_FALSE(x11::diagnostics().connected) << "the connection ends with the last window";
        painter = nullptr;
        onMessage = nullptr;
    }

    WindowHandle openChild(Window parent, int32_t x = 0, int32_t y = 0, int32_t width = panelWidth,
                           int32_t height = panelHeight) {
        WindowHandle w = backend().createWindow(
            className, "Window", WindowStyleChild | WindowStyleVisible, x, y, width, height,
            reinterpret_cast<WindowHandle>(parent), backend().moduleHandle());
        if (w) {
            backend().setWindowUserData(w, this);
            open.push_back(w);
        }
        return w;
    }

    void forget(WindowHandle w) {
        for (auto it = open.begin(); it != open.end(); ++it) {
            if (*it == w) {
                open.erase(it);
                return;
            }
        }
    }

    static Window xid(WindowHandle w) {
        return static_cast<Window>(reinterpret_cast<uintptr_t>(w));
    }

    int count(uint32_t message, WindowHandle w = nullptr) const {
        int n = 0;
        for (const Received& r : received) {
            n += r.message == message && (!w || r.window == w) ? 1 : 0;
        }
        return n;
    }

    // Pumps as the editor's idle does until the condition holds (at most 5 s).
    bool pumpUntil(const std::function<bool()>& condition) {
        for (int i = 0; i < 1000; ++i) {
            backend().pumpWindowEvents();
            if (condition()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }

    bool waitForPaint(WindowHandle w) {
        return pumpUntil([&] { return count(MessagePaint, w) > 0; });
    }

    std::vector<uint32_t> capture(WindowHandle w, int32_t width = panelWidth,
                                  int32_t height = panelHeight) {
        return host.capture(xid(w), width, height);
    }

    X11TestHost host;
    Window hostWindow = 0;
    std::vector<WindowHandle> open;
};

TEST_F(X11PlatformTest, ChildWindowSitsInsideTheHostWindowWithTheEventProcedure) {
    WindowHandle w = openChild(hostWindow);
    ASSERT_NE(w, nullptr);
    std::vector<Window> kids = host.children(hostWindow);
    ASSERT_EQ(kids.size(), 1u);
    EXPECT_EQ(kids[0], xid(w));
    int x = -1, y = -1, width = 0, height = 0;
    ASSERT_TRUE(host.geometry(xid(w), x, y, width, height));
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 0);
    EXPECT_EQ(width, panelWidth);
    EXPECT_EQ(height, panelHeight);
    EXPECT_TRUE(host.viewable(xid(w)));
    EXPECT_EQ(host.title(xid(w)), "Window");
    EXPECT_TRUE(host.children(xid(w)).empty());

    // The property holds the event function's address in 32-bit items.
    std::vector<unsigned long> items = host.property(xid(w), "_XEventProc");
    ASSERT_EQ(items.size(), sizeof(void*) / 4);
    uint64_t address = items[0];
    if (items.size() == 2) {
        address |= static_cast<uint64_t>(items[1]) << 32;
    }
    EXPECT_EQ(address, reinterpret_cast<uintptr_t>(x11::eventProcedure()));

    // Its screen rectangle is the host window's corner.
    int hx = 0, hy = 0;
    ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
    PixelRect screen{};
    ASSERT_TRUE(backend().windowScreenRect(w, screen));
    EXPECT_EQ(screen.left, hx);
    EXPECT_EQ(screen.top, hy);
    EXPECT_EQ(screen.right, hx + panelWidth);
    EXPECT_EQ(screen.bottom, hy + panelHeight);
}

TEST_F(X11PlatformTest, WindowClassesAreUniqueAndStayWhileWindowsUseThem) {
    WindowClassDescription again{"fumaratestwindow", 0, &recordingProcedure,
                                 backend().moduleHandle(), SystemColourButtonFace};
    EXPECT_FALSE(backend().registerWindowClass(again)) << "names compare without case";
    EXPECT_EQ(backend().createWindow("NoSuchClass", "Window", WindowStyleChild, 0, 0, 10, 10,
                                     reinterpret_cast<WindowHandle>(hostWindow),
                                     backend().moduleHandle()),
              nullptr);
    EXPECT_EQ(backend().createWindow(className, "Window", WindowStyleChild, 0, 0, 10, 10, nullptr,
                                     backend().moduleHandle()),
              nullptr)
        << "a child needs a parent";
    WindowHandle w = openChild(hostWindow);
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(backend().unregisterWindowClass(className, backend().moduleHandle()));
}

TEST_F(X11PlatformTest, FirstPaintShowsExactlyTheHeadlessPicture) {
    painter = &paintScene;
    WindowHandle w = openChild(hostWindow);
    ASSERT_NE(w, nullptr);
    ASSERT_TRUE(waitForPaint(w));
    // The first paint covers the whole window.
    for (const Received& r : received) {
        if (r.message == MessagePaint) {
            EXPECT_EQ(r.paintArea.left, 0);
            EXPECT_EQ(r.paintArea.top, 0);
            EXPECT_EQ(r.paintArea.right, panelWidth);
            EXPECT_EQ(r.paintArea.bottom, panelHeight);
            break;
        }
    }
    std::vector<uint32_t> shown = capture(w);
    std::vector<uint32_t> reference = headlessScene();
    ASSERT_EQ(shown.size(), reference.size());
    EXPECT_EQ(countDifferences(shown, reference), 0);
    // Spot checks that do not depend on the reference.
    EXPECT_EQ(shown[10 * panelWidth + 10], makeColourRef(200, 30, 40));
    EXPECT_EQ(shown[5 * panelWidth + 5], buttonFace) << "erased with the class background";
    EXPECT_EQ(shown[80 * panelWidth + 5], makeColourRef(20, 40, 220)) << "first dot of the line";
    EXPECT_EQ(shown[80 * panelWidth + 8], 0xFFFFFFu) << "an opaque gap takes the background colour";
}

TEST_F(X11PlatformTest, EmbeddedBitmapsReachTheWindowPixelForPixel) {
    painter = [](Platform& p, DeviceContextHandle dc) {
        ObjectHandle panel = p.loadBitmapResource(p.moduleHandle(), 101);
        DeviceContextHandle memory = p.createCompatibleDC(dc);
        ObjectHandle old = p.selectObject(memory, panel);
        p.blockCopy(dc, 0, 0, panelWidth, panelHeight, memory, 0, 0, RopCopy);
        p.selectObject(memory, old);
        p.deleteDC(memory);
        p.deleteObject(panel);
    };
    int32_t w0 = 0, h0 = 0;
    ObjectHandle probe = backend().loadBitmapResource(backend().moduleHandle(), 103);
    ASSERT_NE(probe, nullptr);
    ASSERT_TRUE(backend().bitmapSize(probe, w0, h0));
    EXPECT_EQ(w0, 182);
    EXPECT_EQ(h0, 27);
    backend().deleteObject(probe);
    EXPECT_EQ(backend().loadBitmapResource(backend().moduleHandle(), 999), nullptr);

    const EmbeddedResource* file = findEmbeddedBitmap(101);
    ASSERT_NE(file, nullptr);
    DecodedImage image;
    ASSERT_TRUE(decodeBmp(file->data, file->size, image));
    ASSERT_EQ(image.width, panelWidth);
    ASSERT_EQ(image.height, panelHeight);

    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    EXPECT_EQ(countDifferences(capture(w), image.pixels), 0);
}

TEST_F(X11PlatformTest, ExposeAsksForARepaintOfItsArea) {
    painter = &paintScene;
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    std::vector<uint32_t> before = capture(w);
    received.clear();
    host.expose(xid(w), 10, 20, 30, 40);
    ASSERT_TRUE(waitForPaint(w));
    ASSERT_EQ(count(MessagePaint), 1);
    const Received& paint = received.back();
    EXPECT_EQ(paint.paintArea.left, 10);
    EXPECT_EQ(paint.paintArea.top, 20);
    EXPECT_EQ(paint.paintArea.right, 40);
    EXPECT_EQ(paint.paintArea.bottom, 60);
    EXPECT_FALSE(backend().updateRect(w, nullptr)) << "the paint validated the window";
    EXPECT_EQ(countDifferences(capture(w), before), 0);
}

TEST_F(X11PlatformTest, PressesAndWheelNotchesBecomeMessagesAndASidewaysWheelDoesNot) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    int hx = 0, hy = 0;
    ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
    host.movePointer(hx + 5, hy + 7);
    received.clear();
    for (unsigned int b : {1u, 4u, 6u, 2u, 7u, 5u, 3u}) {
        host.button(b, true);
        host.button(b, false);
    }
    ASSERT_TRUE(pumpUntil([&] { return count(MessageRightButtonDown) > 0; }));
    std::vector<uint32_t> presses;
    for (const Received& r : received) {
        if (r.message != MessagePaint) {
            // A notch: its distance and the pointer's screen position.
            const bool wheel = r.message == MessageMouseWheel;
            presses.push_back(r.message | (wheel ? r.state & 0xFFFF0000u : 0));
            EXPECT_EQ(r.position, wheel ? (hx + 5) | ((hy + 7) << 16) : 5 | (7 << 16));
            EXPECT_EQ(r.window, w);
            EXPECT_TRUE(r.userDataSet);
        }
    }
    EXPECT_EQ(presses, (std::vector<uint32_t>{MessageLeftButtonDown, MessageMouseWheel | 120 << 16,
                                              MessageMiddleButtonDown,
                                              MessageMouseWheel | uint32_t(uint16_t(-120)) << 16,
                                              MessageRightButtonDown}));
}

TEST_F(X11PlatformTest, APressCarriesWhatWasHeldAtThePressAfterItsRelease) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    int hx = 0, hy = 0;
    ASSERT_TRUE(host.screenOrigin(hostWindow, hx, hy));
    host.movePointer(hx + 5, hy + 7);
    received.clear();
    // Every button and key is up again before the window's thread pumps.
    host.key(XK_Control_L, true);
    host.button(1, true);
    host.button(1, false);
    host.key(XK_Control_L, false);
    host.key(XK_Shift_L, true);
    host.button(1, true);
    host.button(3, true);
    host.button(3, false);
    host.button(1, false);
    host.key(XK_Shift_L, false);
    host.button(2, true);
    host.button(2, false);
    EXPECT_FALSE(backend().isKeyHeld(KeyLeftButton));
    ASSERT_TRUE(pumpUntil([&] { return count(MessageMiddleButtonDown) > 0; }));
    std::vector<std::pair<uint32_t, uintptr_t>> presses;
    for (const Received& r : received) {
        if (r.message != MessagePaint) {
            presses.emplace_back(r.message, r.state);
        }
    }
    const std::vector<std::pair<uint32_t, uintptr_t>> expected{
        {MessageLeftButtonDown, PressLeftButton | PressControl},
        {MessageLeftButtonDown, PressLeftButton | PressShift},
        {MessageRightButtonDown, PressLeftButton | PressRightButton | PressShift},
        {MessageMiddleButtonDown, PressMiddleButton},
    };
    EXPECT_EQ(presses, expected);
}

TEST_F(X11PlatformTest, HeldButtonsModifiersAndCursorComeFromTheServer) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    WindowHandle w = openChild(hostWindow);
    ASSERT_NE(w, nullptr);
    host.movePointer(123, 234);
    PixelPoint cursor{};
    ASSERT_TRUE(backend().cursorPosition(cursor));
    EXPECT_EQ(cursor.x, 123);
    EXPECT_EQ(cursor.y, 234);
    EXPECT_FALSE(backend().mouseButtonsSwapped());

    EXPECT_FALSE(backend().isKeyHeld(KeyLeftButton));
    host.button(1, true);
    EXPECT_TRUE(backend().isKeyHeld(KeyLeftButton));
    EXPECT_FALSE(backend().isKeyHeld(KeyRightButton));
    EXPECT_FALSE(backend().isKeyHeld(KeyMiddleButton));
    host.button(1, false);
    EXPECT_FALSE(backend().isKeyHeld(KeyLeftButton));
    host.button(3, true);
    EXPECT_TRUE(backend().isKeyHeld(KeyRightButton));
    host.button(3, false);
    host.button(2, true);
    EXPECT_TRUE(backend().isKeyHeld(KeyMiddleButton));
    host.button(2, false);

    host.key(XK_Shift_L, true);
    EXPECT_TRUE(backend().isKeyHeld(KeyShift));
    EXPECT_FALSE(backend().isKeyHeld(KeyControl));
    host.key(XK_Shift_L, false);
    host.key(XK_Control_L, true);
    EXPECT_TRUE(backend().isKeyHeld(KeyControl));
    host.key(XK_Control_L, false);
    EXPECT_FALSE(backend().isKeyHeld(KeyControl));
    EXPECT_FALSE(backend().isKeyHeld(0x41)) << "keys other than the modifiers are not tracked";
    pumpUntil([&] { return count(MessagePaint) > 0; });
}

TEST_F(X11PlatformTest, SwappedButtonsKeepPhysicalStateAndLogicalMessages) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    ASSERT_TRUE(host.setButtonMap({3, 2, 1}));
    backend().pumpWindowEvents(); // the server announces the new mapping
    bool swapped = backend().mouseButtonsSwapped();
    int hx = 0, hy = 0;
    host.screenOrigin(hostWindow, hx, hy);
    host.movePointer(hx + 30, hy + 40);
    received.clear();
    host.button(1, true); // the physical left button
    bool leftHeld = backend().isKeyHeld(KeyLeftButton);
    bool rightHeld = backend().isKeyHeld(KeyRightButton);
    host.button(1, false);
    pumpUntil([&] { return !received.empty(); });
    host.setButtonMap({1, 2, 3});
    backend().pumpWindowEvents();
    EXPECT_TRUE(swapped);
    EXPECT_TRUE(leftHeld) << "the physical button, whatever it means";
    EXPECT_FALSE(rightHeld);
    ASSERT_EQ(received.size(), 1u);
    EXPECT_EQ(received[0].message, MessageRightButtonDown) << "it acts as the secondary button";
    EXPECT_EQ(received[0].state, PressRightButton);
    EXPECT_EQ(received[0].position, 30 | (40 << 16));
    EXPECT_FALSE(backend().mouseButtonsSwapped());
}

TEST_F(X11PlatformTest, PumpInsideADeliveredEventDeliversPaintsOnly) {
    if (!host.hasXTest()) {
        GTEST_SKIP() << "the X server has no XTest extension";
    }
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    int hx = 0, hy = 0;
    host.screenOrigin(hostWindow, hx, hy);
    host.movePointer(hx + 20, hy + 20);
    std::vector<uint32_t> nested;
    bool inside = false;
    onMessage = [&](WindowHandle window, uint32_t message) {
        if (message != MessageLeftButtonDown || inside) {
            return;
        }
        inside = true;
        size_t start = received.size();
        host.button(3, true);
        host.button(3, false);
        host.expose(xid(window), 0, 0, 50, 50);
        for (int i = 0; i < 200 && received.size() == start; ++i) {
            backend().pumpWindowEvents();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        for (size_t i = start; i < received.size(); ++i) {
            nested.push_back(received[i].message);
        }
        inside = false;
    };
    received.clear();
    host.button(1, true);
    host.button(1, false);
    ASSERT_TRUE(pumpUntil([&] { return count(MessageRightButtonDown) > 0; }));
    EXPECT_EQ(nested, std::vector<uint32_t>{MessagePaint});
    std::vector<uint32_t> order;
    for (const Received& r : received) {
        order.push_back(r.message);
    }
    EXPECT_EQ(order,
              (std::vector<uint32_t>{MessageLeftButtonDown, MessagePaint, MessageRightButtonDown}));
}

TEST_F(X11PlatformTest, OnePaintMessageAtATimeAndNothingElse) {
    WindowHandle a = openChild(hostWindow, 0, 0, 100, 100);
    WindowHandle b = openChild(hostWindow, 150, 0, 100, 100);
    ASSERT_TRUE(pumpUntil([&] { return count(MessagePaint, a) && count(MessagePaint, b); }));
    received.clear();
    host.expose(xid(a), 0, 0, 10, 10);
    host.expose(xid(b), 0, 0, 10, 10);
    if (host.hasXTest()) {
        int hx = 0, hy = 0;
        host.screenOrigin(hostWindow, hx, hy);
        host.movePointer(hx + 5, hy + 5);
        host.button(1, true);
        host.button(1, false);
    }
    EXPECT_TRUE(backend().dispatchOnePaintMessage());
    EXPECT_EQ(count(MessagePaint), 1);
    EXPECT_TRUE(backend().dispatchOnePaintMessage());
    EXPECT_EQ(count(MessagePaint, a), 1);
    EXPECT_EQ(count(MessagePaint, b), 1);
    EXPECT_FALSE(backend().dispatchOnePaintMessage());
    EXPECT_EQ(count(MessageLeftButtonDown), 0) << "presses wait for the pump";
    if (host.hasXTest()) {
        backend().pumpWindowEvents();
        EXPECT_EQ(count(MessageLeftButtonDown, a), 1);
    }
}

TEST_F(X11PlatformTest, APumpingThreadTakesOverWindowsWhoseCreatorStoppedPumping) {
    WindowHandle w = nullptr;
    std::thread opener([&] { w = openChild(hostWindow); });
    opener.join();
    ASSERT_NE(w, nullptr);
    backend().pumpWindowEvents();
    EXPECT_EQ(count(MessagePaint, w), 0) << "a window's messages go to its own thread first";
    EXPECT_TRUE(waitForPaint(w)) << "taken over once its creator has stopped pumping";
}

TEST_F(X11PlatformTest, WindowContextDrawingIsShownAsOneStep) {
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    ColourRef green = makeColourRef(10, 200, 30);
    ObjectHandle brush = backend().createSolidBrush(green);
    DeviceContextHandle dc = backend().windowDC(w);
    ASSERT_NE(dc, nullptr);
    backend().fillRect(dc, {0, 0, 50, 50}, brush);
    EXPECT_EQ(capture(w)[0], buttonFace) << "nothing half-drawn reaches the screen";
    backend().sleep(1);
    EXPECT_EQ(capture(w)[0], green) << "shown when the drawing thread waits";
    backend().fillRect(dc, {50, 0, 100, 50}, brush);
    backend().releaseWindowDC(w, dc);
    EXPECT_EQ(capture(w)[60], green) << "shown when the context is released";
    backend().deleteObject(brush);
}

TEST_F(X11PlatformTest, DestroyWindowTellsTheWindowWhileItsHandleStillWorks) {
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    received.clear();
    ASSERT_TRUE(backend().destroyWindow(w));
    forget(w);
    ASSERT_EQ(count(MessageDestroy), 1);
    EXPECT_TRUE(received[0].userDataSet);
    EXPECT_EQ(backend().windowUserData(w), nullptr);
    EXPECT_FALSE(backend().destroyWindow(w));
    PaintSession paint;
    EXPECT_EQ(backend().beginPaint(w, paint), nullptr);
    EXPECT_EQ(backend().windowDC(w), nullptr);
    PixelRect screen{};
    EXPECT_FALSE(backend().windowScreenRect(w, screen));
    EXPECT_TRUE(host.children(hostWindow).empty());
    backend().pumpWindowEvents();
    EXPECT_EQ(count(MessageDestroy), 1) << "the server's notice is not a second message";
}

TEST_F(X11PlatformTest, HostWindowDestroyedFirstIsReportedOnceByThePump) {
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    received.clear();
    host.destroyWindow(hostWindow);
    ASSERT_TRUE(pumpUntil([&] { return count(MessageDestroy) > 0; }));
    EXPECT_TRUE(received.back().userDataSet) << "the handle is valid during the notice";
    forget(w);
    EXPECT_FALSE(backend().destroyWindow(w));
    backend().pumpWindowEvents();
    EXPECT_EQ(count(MessageDestroy), 1);
}

TEST_F(X11PlatformTest, ClosingRightAfterTheHostDestroyedItsWindowIsSafe) {
    painter = &paintScene;
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    DeviceContextHandle dc = backend().windowDC(w);
    host.destroyWindow(hostWindow);
    // Drawing into a window the server has destroyed, then closing it at once.
    paintScene(backend(), dc);
    backend().releaseWindowDC(w, dc);
    received.clear();
    EXPECT_TRUE(backend().destroyWindow(w));
    forget(w);
    EXPECT_EQ(count(MessageDestroy), 1);
}

TEST_F(X11PlatformTest, AMissingParentWindowFailsQuietly) {
    uint64_t errors = x11::diagnostics().ignoredErrors;
    // An id in the range of this test's own connection that names no window.
    Window bogus = hostWindow + 0x3F00;
    WindowHandle w = openChild(bogus);
    EXPECT_EQ(w, nullptr);
    EXPECT_GT(x11::diagnostics().ignoredErrors, errors) << "the server's error was absorbed";
    EXPECT_EQ(x11::diagnostics().windows, 0);
}

TEST_F(X11PlatformTest, HostDispatchThroughTheEventProcedure) {
    painter = &paintScene;
    WindowHandle w = openChild(hostWindow);
    ASSERT_TRUE(waitForPaint(w));
    std::vector<unsigned long> items = host.property(xid(w), "_XEventProc");
    ASSERT_FALSE(items.empty());
    uint64_t address = items[0];
    if (items.size() == 2) {
        address |= static_cast<uint64_t>(items[1]) << 32;
    }
    auto procedure = reinterpret_cast<void (*)(XEvent*)>(static_cast<uintptr_t>(address));

    // An Expose read from the host's own connection.
    received.clear();
    XEvent event{};
    event.xexpose.type = Expose;
    event.xexpose.display = host.connection();
    event.xexpose.window = xid(w);
    event.xexpose.x = 4;
    event.xexpose.y = 6;
    event.xexpose.width = 8;
    event.xexpose.height = 10;
    procedure(&event);
    ASSERT_EQ(count(MessagePaint), 1) << "painted without any pump";
    EXPECT_EQ(received[0].paintArea.left, 4);
    EXPECT_EQ(received[0].paintArea.bottom, 16);

    // Events of other windows, unknown types and null pointers change nothing.
    event.xexpose.window = hostWindow;
    procedure(&event);
    procedure(nullptr);
    XEvent other{};
    other.type = MotionNotify;
    other.xany.window = xid(w);
    procedure(&other);
    EXPECT_EQ(received.size(), 1u);

    // A press that only the backend's connection saw goes out with it.
    if (host.hasXTest()) {
        int hx = 0, hy = 0;
        host.screenOrigin(hostWindow, hx, hy);
        host.movePointer(hx + 9, hy + 3);
        host.button(1, true);
        host.button(1, false);
        event.xexpose.window = xid(w);
        procedure(&event);
        EXPECT_EQ(count(MessageLeftButtonDown), 1);
    }

    // After the window is gone the published function ignores its events.
    ASSERT_TRUE(backend().destroyWindow(w));
    forget(w);
    received.clear();
    procedure(&event);
    EXPECT_TRUE(received.empty());
}

TEST_F(X11PlatformTest, NoDisplayMeansNoWindowAndNoLeftovers) {
    std::string saved = std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "";
    setenv("DISPLAY", ":4097", 1);
    uint64_t opened = x11::diagnostics().connectionsOpened;
    WindowHandle w = openChild(hostWindow);
    PixelPoint cursor{};
    bool cursorKnown = backend().cursorPosition(cursor);
    bool held = backend().isKeyHeld(KeyLeftButton);
    setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(w, nullptr);
    EXPECT_FALSE(cursorKnown);
    EXPECT_FALSE(held);
    EXPECT_EQ(x11::diagnostics().connectionsOpened, opened);
    EXPECT_EQ(x11::diagnostics().windows, 0);
}

TEST_F(X11PlatformTest, ClockIsMonotonicMillisecondsAndSleepWaits) {
    uint32_t start = backend().tickCount();
    backend().sleep(20);
    uint32_t elapsed = backend().tickCount() - start;
    EXPECT_GE(elapsed, 20u);
    EXPECT_LT(elapsed, 60000u);
}

TEST_F(X11PlatformTest, ShortcutsAreSymbolicLinks) {
    char directory[] = "/tmp/fumara-x11-XXXXXX";
    ASSERT_NE(mkdtemp(directory), nullptr);
    std::string target = std::string(directory) + "/target.txt";
    std::string link = std::string(directory) + "/link.txt";
    FILE* f = std::fopen(target.c_str(), "w");
    ASSERT_NE(f, nullptr);
    std::fclose(f);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    char path[512];
    std::snprintf(path, sizeof(path), "%s", link.c_str());
    EXPECT_TRUE(backend().resolveShortcut(path, sizeof(path)));
    EXPECT_EQ(std::string(path), target);
    EXPECT_FALSE(backend().resolveShortcut(path, sizeof(path))) << "a plain file is no shortcut";
    std::snprintf(path, sizeof(path), "%s", link.c_str());
    EXPECT_FALSE(backend().resolveShortcut(path, 8)) << "the target does not fit";
    EXPECT_EQ(std::string(path), link);
    std::remove(link.c_str());
    std::remove(target.c_str());
    rmdir(directory);
}

} // namespace
