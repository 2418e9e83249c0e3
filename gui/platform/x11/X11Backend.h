// The X11 backend's class and its window record, shared by the files that
// implement it one concern each:
//   X11Connection.cpp  the display connection, error traps and input
//   X11Windows.cpp     the window registry: classes, creation, destruction
//   X11Platform.cpp    the event pump, message delivery and thread adoption
//   X11DropTarget.cpp  drags from other applications
//   X11Painting.cpp    paints and window contexts over the shared drawing,
//                      and when back buffers reach the screen
//   X11BackBuffer.cpp  copying a back buffer to its window
// The drawing itself is the software drawing of the base class, run under the
// backend's lock. See X11Platform.h for what the backend does as a whole.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/software/CanvasPlatform.h"
#include "gui/platform/x11/X11Platform.h"

#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// Xlib last: its macros (None, Bool, Status, ...) must not reach other headers.
#include "gui/platform/x11/X11BackBuffer.h"
#include "gui/platform/x11/X11Connection.h"
#include "gui/platform/x11/X11DropTarget.h"

#include <X11/Xlib.h>

namespace platform::x11 {

using XWindow = ::Window;

// A button press or a wheel notch waiting for its window's thread.
struct PendingPress {
    uint32_t message;
    intptr_t position; // lParam
    uintptr_t state;   // wParam: Press... bits (and a wheel's distance)
};

// What the event pump keeps of a window (X11Platform.cpp).
struct WindowEvents {
    std::thread::id owner;  // the thread whose pumps deliver its messages
    uint32_t ownerSeen = 0; // when the owner last created, pumped or was delivered to
    int32_t deliveries = 0; // window procedures running for it now
    bool updatePending = false;
    bool erasePending = false;
    PixelRect update{0, 0, 0, 0};
    std::deque<PendingPress> buttons;
    bool destroyNoticePending = false; // the server destroyed it; the procedure is not told yet
};

// One window of the backend: the registry's part, and a part for each of the
// other concerns.
struct WindowRecord {
    XWindow xid = 0;
    XWindow root = 0;
    XWindow parent = 0; // the parent when it is one of the backend's windows
    std::string className;
    void* userData = nullptr;
    int32_t width = 0;
    int32_t height = 0;
    bool alive = true;       // the X window exists (to the backend's knowledge)
    bool destroying = false; // its destruction has begun

    WindowEvents events; // X11Platform.cpp
    BackBuffer buffer;   // X11Painting.cpp, X11BackBuffer.cpp
    DropTarget drop;     // X11DropTarget.cpp
};

// A message value no window procedure sees: a step of a drag for the
// window's drop target.
constexpr uint32_t dragStepMessage = 0xFFFF0001u;

// One delivery: a message for a window procedure, or a drag step for a sink.
struct Message {
    XWindow window = 0;
    uint32_t message = 0;
    intptr_t position = 0;
    WindowProcedure procedure = nullptr;
    DropSink* sink = nullptr; // for drag steps
    DragStep step;
    uintptr_t state = 0; // wParam of a press or a wheel notch
};

class X11Backend final : public software::CanvasPlatform {
public:
    X11Backend();
    ~X11Backend() override;

    // ----- Module, system services, clock (X11Windows.cpp, X11Platform.cpp) -----
    ModuleHandle moduleHandle() override { return module; }
    // Drag and drop needs no initialisation step here.
    int32_t oleInitialize() override { return 0; }
    void oleUninitialize() override {}
    uint32_t tickCount() override;
    // Shows what the calling thread drew before it waits (X11Painting.cpp).
    void sleep(uint32_t milliseconds) override;

    // ----- Input (X11Connection.cpp) -----
    bool isKeyHeld(int32_t key) override;
    bool cursorPosition(PixelPoint& screen) override;
    bool mouseButtonsSwapped() override;
    // The X protocol has no system-wide setting; the usual value.
    uint32_t doubleClickTime() override { return 500; }
    // The session's: Xft.dpi, GDK_SCALE, QT_SCALE_FACTOR (X11DesktopScale.h).
    int32_t desktopScale(WindowHandle window) override;

    // ----- Windows (X11Windows.cpp) -----
    bool registerWindowClass(const WindowClassDescription& description) override;
    bool unregisterWindowClass(const char* name, ModuleHandle module) override;
    WindowHandle createWindow(const char* className, const char* title, uint32_t style, int32_t x,
                              int32_t y, int32_t width, int32_t height, WindowHandle parent,
                              ModuleHandle module) override;
    bool destroyWindow(WindowHandle window) override;
    void setWindowUserData(WindowHandle window, void* data) override;
    void* windowUserData(WindowHandle window) override;
    bool windowScreenRect(WindowHandle window, PixelRect& screen) override;
    // Resizes the X window, its surface and its back buffer; all of it is
    // then to be painted.
    bool setWindowSize(WindowHandle window, int32_t width, int32_t height) override;
    // Sets the window's WM_NORMAL_HINTS: minimum, maximum and base size all
    // width x height, so that a window manager or a toolkit that embeds the
    // window keeps it at that size (and centres it in more room). Windows
    // declare their size so from their creation on.
    bool declareWindowSize(WindowHandle window, int32_t width, int32_t height) override;
    Diagnostics diagnostics();

    // ----- Paints and window contexts (X11Painting.cpp) -----
    intptr_t defaultWindowProcedure(WindowHandle window, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam) override;
    bool updateRect(WindowHandle window, PixelRect* rect) override;
    DeviceContextHandle beginPaint(WindowHandle window, PaintSession& paint) override;
    void endPaint(WindowHandle window, PaintSession& paint) override;
    DeviceContextHandle windowDC(WindowHandle window) override;
    void releaseWindowDC(WindowHandle window, DeviceContextHandle dc) override;

    // ----- Events (X11Platform.cpp) -----
    bool dispatchOnePaintMessage() override;
    void pumpWindowEvents() override;
    // An event the host dispatches to one of the windows (`_XEventProc`).
    void hostEvent(XEvent* event);

    // ----- Drag and drop (X11DropTarget.cpp) -----
    bool registerDropTarget(WindowHandle window, DropSink* sink) override;
    bool revokeDropTarget(WindowHandle window) override;
    bool resolveShortcut(char* path, size_t bufferSize) override;

protected:
    // The drawing of the base class runs under the backend's lock.
    std::unique_lock<std::mutex> lockCanvas() const override {
        return std::unique_lock<std::mutex>(mutex);
    }

private:
    struct WindowClass {
        std::string name;
        WindowProcedure procedure = nullptr;
        ModuleHandle module = nullptr;
        int32_t background = 0; // system colour index
    };

    // ----- Registry (lock held; X11Windows.cpp) -----
    WindowClass* findClass(const char* name);
    WindowRecord* window(WindowHandle handle);
    // The live window that may take a size of width x height, or null.
    WindowRecord* sizableWindow(WindowHandle handle, int32_t width, int32_t height);
    void collectSubtree(XWindow root, std::vector<XWindow>& out) const;
    // Makes the X window of a record (trap held).
    XWindow createChild(XWindow parentId, int32_t x, int32_t y, int32_t width, int32_t height,
                        uint32_t style, const char* title, WindowRecord& record);
    void publishEventProcedure(XWindow id);
    // The X window is gone (or going): nothing may use its id any more.
    void markDead(WindowRecord& w);
    // Removes a window's record and its back buffer.
    void forget(XWindow id);
    void closeDisplayIfUnused();

    // ----- Events (X11Platform.cpp) -----
    void drainEvents();               // lock and trap held
    void absorb(const XEvent& event); // lock and trap held
    void notePump();                  // lock held
    bool deliversTo(WindowRecord& w); // lock held
    bool nextMessage(bool paintsOnly, const std::vector<XWindow>& painted, Message& out);
    intptr_t call(const Message& m);                      // lock not held
    int32_t deliver(bool paintsOnly, int32_t paintLimit); // lock not held
    void deliverDestroy(XWindow id);                      // lock not held
    void finishPump();                                    // lock not held

    // ----- Showing the back buffers (lock held; X11Painting.cpp) -----
    void present(WindowRecord& w, const PixelRect& area);
    // Shows what was drawn through the window's contexts.
    void showDirty(WindowRecord& w);
    void presentDirtyWindows(); // the calling thread's windows

    // ----- Drag and drop (X11DropTarget.cpp) -----
    // Deletes the sinks whose registrations ended, once no sink call runs.
    // Called without the lock: a sink's destructor may call the backend.
    void disposeRetiredSinks();
    // The key state of a drag step: buttons and modifiers held now.
    uint32_t dragKeyState();
    // Runs one drag step on the window's thread and answers the source.
    void runDragStep(const Message& m);

    // Reads the pointer (X11Connection.cpp; takes the lock).
    bool queryPointer(PointerState& state);

    mutable std::mutex mutex; // mutable: the const inspection of the drawing locks it too
    ModuleHandle module;
    Connection connection;
    int32_t sinkCalls = 0; // drag steps running now
    std::vector<std::unique_ptr<DropSink>> retiredSinks;
    std::vector<WindowClass> classes;
    std::map<XWindow, WindowRecord> windows;     // ids grow, so this is creation order
    std::map<uintptr_t, XWindow> windowContexts; // window contexts handed out
};

// The process-wide backend.
X11Backend& backend();

} // namespace platform::x11
