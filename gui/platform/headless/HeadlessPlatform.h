// The headless backend: off-screen windows drawn in memory by the software
// drawing, for pictures of the editor without a display (the editor snapshot).
// Windows live in a tree under host windows that the caller makes; a paint is
// delivered when the caller runs the message loop (deliverPaints). Nothing
// comes from outside: no button or key is ever held, the cursor rests at the
// screen's origin, and the clock moves only when someone sleeps.
//
// Tests build their scripted world (clock, input, paint requests, drags,
// failure injection) on top of this class, in the test tree.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/software/CanvasPlatform.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace platform::headless {

class HeadlessPlatform : public software::CanvasPlatform {
public:
    HeadlessPlatform();
    ~HeadlessPlatform() override;

    // ----- Platform -----
    ModuleHandle moduleHandle() override;
    int32_t oleInitialize() override { return 0; }
    void oleUninitialize() override {}

    uint32_t tickCount() override { return clock; }
    void sleep(uint32_t milliseconds) override { clock += milliseconds; }

    bool isKeyHeld(int32_t) override { return false; }
    bool cursorPosition(PixelPoint& screen) override;
    bool mouseButtonsSwapped() override { return false; }
    uint32_t doubleClickTime() override { return 500; }

    bool registerWindowClass(const WindowClassDescription& description) override;
    bool unregisterWindowClass(const char* name, ModuleHandle module) override;
    WindowHandle createWindow(const char* className, const char* title, uint32_t style, int32_t x,
                              int32_t y, int32_t width, int32_t height, WindowHandle parent,
                              ModuleHandle module) override;
    bool destroyWindow(WindowHandle window) override;
    void setWindowUserData(WindowHandle window, void* data) override;
    void* windowUserData(WindowHandle window) override;
    intptr_t defaultWindowProcedure(WindowHandle window, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam) override;
    bool windowScreenRect(WindowHandle window, PixelRect& screen) override;
    bool setWindowSize(WindowHandle window, int32_t width, int32_t height) override;
    bool updateRect(WindowHandle window, PixelRect* rect) override;
    DeviceContextHandle beginPaint(WindowHandle window, PaintSession& paint) override;
    void endPaint(WindowHandle window, PaintSession& paint) override;
    DeviceContextHandle windowDC(WindowHandle window) override;
    void releaseWindowDC(WindowHandle window, DeviceContextHandle dc) override;
    bool dispatchOnePaintMessage() override;
    void pumpWindowEvents() override {}

    bool registerDropTarget(WindowHandle window, DropSink* sink) override;
    bool revokeDropTarget(WindowHandle window) override;
    bool resolveShortcut(char*, size_t) override { return false; }

    // ----- The caller's side -----
    // A top-level window at a screen position with no window procedure, as a
    // host gives the editor.
    WindowHandle createHostWindow(const PixelRect& screen);
    // Dispatches paint requests until none is left (the host's message loop);
    // answers how many were dispatched.
    int32_t deliverPaints();
    // The pixels of a window, or null. Valid until the next operation.
    const software::Surface* windowSurface(WindowHandle window) const;

protected:
    struct WindowClass {
        uint32_t style = 0;
        WindowProcedure procedure = nullptr;
        ModuleHandle module = nullptr;
        int32_t background = 0;
    };
    struct Window {
        std::string className; // empty for a host window
        std::string title;
        uint32_t style = 0;
        PixelRect rect{0, 0, 0, 0}; // in the parent's client coordinates (screen for host windows)
        uintptr_t parent = 0;
        ModuleHandle module = nullptr;
        void* userData = nullptr;
        software::SurfaceId surface = 0;
        int32_t width = 0;
        int32_t height = 0;
        bool updatePending = false;
        bool erasePending = false;
        PixelRect update{0, 0, 0, 0};
        std::unique_ptr<DropSink> dropSink;
        bool destroying = false;
    };

    Window* window(WindowHandle handle);
    const Window* window(WindowHandle handle) const;
    // Windows by handle, in the order of their creation.
    const std::map<uintptr_t, Window>& allWindows() const { return windows; }
    const std::map<std::string, WindowClass>& allClasses() const { return classes; }
    // Sends a message to a window's procedure (the default handling for a
    // window without one); -1 for an unknown window.
    intptr_t sendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);
    // The screen position of a window's client origin.
    PixelPoint screenOrigin(uintptr_t handle) const;
    // Takes a sink whose registration ended; deletes it at once unless a
    // derived world is calling it.
    virtual void retireSink(std::unique_ptr<DropSink> sink) {}

private:
    void collectSubtree(uintptr_t root, std::vector<uintptr_t>& out) const;

    uint32_t clock = 0;
    std::map<uintptr_t, Window> windows; // ordered by creation
    std::map<std::string, WindowClass> classes;
};

// The instance that serves as the native backend where no other is built in.
HeadlessPlatform& sharedPlatform();

} // namespace platform::headless
