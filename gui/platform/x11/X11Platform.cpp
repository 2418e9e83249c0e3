#include "gui/platform/x11/X11Platform.h"

#include "gui/platform/headless/HeadlessPlatform.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <dlfcn.h>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <strings.h>
#include <sys/stat.h>
#include <thread>
#include <time.h>
#include <utility>
#include <vector>

// Xlib last: its macros (None, Bool, Status, ...) must not reach other headers.
#include "gui/platform/x11/Xdnd.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <cairo-xlib.h>
#include <cairo.h>
#include <unistd.h>

namespace platform::x11 {

namespace {

using XWindow = ::Window;

constexpr int32_t maxWindowSide = 16384;
// Upper bound of events taken off the connection in one drain, so that a
// flood of events cannot hold the host's thread.
constexpr int32_t maxEventsPerDrain = 4096;
// Upper bound of messages delivered by one pump.
constexpr int32_t maxMessagesPerPump = 1024;
// A window's messages go to the thread that created it. A host that opens the
// editor on one thread and idles it on another would never see them, so a
// thread that pumps takes over the windows of a thread that has not pumped
// them for this long.
constexpr uint32_t adoptionDelay = 1000;
// How long a drop waits for its data from the source before it is given up.
std::atomic<uint32_t> dropDataTimeout{3000};
// The largest dropped text or file list taken, in bytes.
constexpr long maxDropBytes = 16L * 1024 * 1024;
// The most types read from a source's type list.
constexpr long maxDragTypes = 256;
// A message value no window procedure sees: a step of a drag for the
// window's drop target.
constexpr uint32_t dragStepMessage = 0xFFFF0001u;

// The key state of drag-and-drop calls, as the toolkit reads it.
enum : uint32_t {
    DragKeyLeftButton = 0x01,
    DragKeyRightButton = 0x02,
    DragKeyShift = 0x04,
    DragKeyMiddleButton = 0x10,
    DragKeyAlt = 0x20,
};

template <typename Handle> uintptr_t raw(Handle h) {
    return reinterpret_cast<uintptr_t>(h);
}
template <typename Handle> Handle as(uintptr_t v) {
    return reinterpret_cast<Handle>(v);
}

bool isEmpty(const PixelRect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

// Union of two rectangles where an empty one counts as nothing.
PixelRect unite(const PixelRect& a, const PixelRect& b) {
    if (isEmpty(a)) {
        return b;
    }
    if (isEmpty(b)) {
        return a;
    }
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

// Window procedures running on this thread (a delivery in progress).
thread_local int32_t deliveryDepth = 0;

struct DeliveryScope {
    DeliveryScope() { ++deliveryDepth; }
    ~DeliveryScope() { --deliveryDepth; }
    DeliveryScope(const DeliveryScope&) = delete;
    DeliveryScope& operator=(const DeliveryScope&) = delete;
};

// ----- X errors -----
//
// Xlib reports a failed request (a window that no longer exists, typically the
// host's window destroyed under the editor) to one process-wide handler, whose
// default ends the process. While the backend talks to its display it installs
// a handler that absorbs the errors of its own connection and passes every
// other connection's errors on to the handler it replaced. Each trap ends with
// a round trip, so that no answer to the backend's requests arrives later,
// outside the trap. Traps are only made with the backend's lock held (window
// procedures run without it); an inner trap leaves the handler to the outer.

std::atomic<Display*> ownDisplay{nullptr};
XErrorHandler outerHandler = nullptr;
std::atomic<uint64_t> absorbedErrors{0};

int absorbError(Display* display, XErrorEvent* error) {
    if (display && display == ownDisplay.load(std::memory_order_acquire)) {
        absorbedErrors.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    return outerHandler ? outerHandler(display, error) : 0;
}

// Traps in force (an inner trap leaves the handler to the outer one).
int32_t trapDepth = 0;

class ErrorTrap {
public:
    explicit ErrorTrap(Display* d) : display(d) {
        if (!display) {
            return;
        }
        if (trapDepth++ == 0) {
            XErrorHandler previous = XSetErrorHandler(&absorbError);
            outerHandler = previous == &absorbError ? nullptr : previous;
        }
        start = absorbedErrors.load(std::memory_order_relaxed);
    }

    ~ErrorTrap() {
        if (!display) {
            return;
        }
        XSync(display, False);
        if (--trapDepth == 0) {
            XErrorHandler current = XSetErrorHandler(outerHandler);
            if (current != &absorbError) {
                // Someone installed a handler meanwhile: theirs stays.
                XSetErrorHandler(current);
            }
        }
    }

    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the answers to every request so far; true when none failed
    // since the trap was set.
    bool succeeded() {
        if (display) {
            XSync(display, False);
        }
        return absorbedErrors.load(std::memory_order_relaxed) == start;
    }

private:
    Display* display;
    uint64_t start = 0;
};

void initialiseThreads() {
    static std::once_flag once;
    std::call_once(once, [] { XInitThreads(); });
}

// Opens a connection to the host's display. A server that is busy accepting
// other clients may refuse a connection now and then, so a failed attempt is
// repeated after a short pause; a display that does not exist costs about
// 40 ms in all.
Display* connect() {
    initialiseThreads();
    constexpr int attempts = 5;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        if (Display* d = XOpenDisplay(nullptr)) {
            return d;
        }
        if (attempt + 1 < attempts) {
            timespec pause{0, 10 * 1000000L};
            nanosleep(&pause, nullptr);
        }
    }
    return nullptr;
}

// The module that holds this code (the plug-in's shared object).
ModuleHandle ownModule() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownModule), &info) && info.dli_fbase) {
        return as<ModuleHandle>(raw(info.dli_fbase));
    }
    return as<ModuleHandle>(static_cast<uintptr_t>(0x10000));
}

// The back buffers' window class procedure: the drawing engine's windows get
// no messages that matter (the backend delivers to the toolkit's procedures).
intptr_t FUMARA_WINDOW_PROCEDURE backBufferProcedure(WindowHandle, uint32_t, uintptr_t, intptr_t) {
    return 0;
}

void publishedEventProcedure(void* event);

class X11Platform final : public Platform {
public:
    X11Platform() : module(ownModule()) { canvas.setModuleHandle(module); }

    ~X11Platform() override {
        // Unloaded while windows still exist (the host never closed the editor):
        // take them down without calling into the toolkit, so that no window is
        // left whose event procedure points into unloaded code.
        std::lock_guard<std::mutex> lock(mutex);
        if (!display) {
            return;
        }
        {
            ErrorTrap trap(display);
            for (auto& entry : windows) {
                releaseTarget(entry.second);
                if (entry.second.alive) {
                    XDestroyWindow(display, entry.first);
                }
            }
        }
        windows.clear();
        closeDisplay();
    }

    X11Platform(const X11Platform&) = delete;
    X11Platform& operator=(const X11Platform&) = delete;

    // ----- Module, libraries, system -----

    ModuleHandle moduleHandle() override { return module; }

    LibraryHandle loadLibrary(const char* name) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.loadLibrary(name);
    }

    ProcedureHandle findProcedure(LibraryHandle library, const char* name) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.findProcedure(library, name);
    }

    void freeLibrary(LibraryHandle library) override {
        std::lock_guard<std::mutex> lock(mutex);
        canvas.freeLibrary(library);
    }

    // The transparent copy is built in, so the toolkit takes the one-call path.
    int32_t platformFamily() override { return PlatformFamilyNt; }
    // Drag and drop needs no initialisation step here.
    int32_t oleInitialize() override { return 0; }
    void oleUninitialize() override {}

    // ----- Clock -----

    uint32_t tickCount() override {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        uint64_t ms = static_cast<uint64_t>(now.tv_sec) * 1000u +
                      static_cast<uint64_t>(now.tv_nsec) / 1000000u;
        return static_cast<uint32_t>(ms);
    }

    void sleep(uint32_t milliseconds) override {
        // Whatever this thread drew into its windows so far is shown before it
        // waits: a control's tracking loop sleeps on every pass.
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (display) {
                ErrorTrap trap(display);
                presentDirtyWindows();
            }
        }
        timespec wait{static_cast<time_t>(milliseconds / 1000u),
                      static_cast<long>(milliseconds % 1000u) * 1000000L};
        while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
        }
    }

    // ----- Input -----

    bool isKeyHeld(int32_t key) override {
        PointerState state;
        if (!queryPointer(state)) {
            return false;
        }
        switch (key) {
        case KeyLeftButton:
            return state.physicalButtonHeld(1);
        case KeyMiddleButton:
            return state.physicalButtonHeld(2);
        case KeyRightButton:
            return state.physicalButtonHeld(3);
        case KeyShift:
            return (state.mask & ShiftMask) != 0;
        case KeyControl:
            return (state.mask & ControlMask) != 0;
        case KeyAlt:
            return (state.mask & Mod1Mask) != 0;
        default:
            return false;
        }
    }

    bool cursorPosition(PixelPoint& screen) override {
        PointerState state;
        if (!queryPointer(state)) {
            return false;
        }
        screen = {state.x, state.y};
        return true;
    }

    bool mouseButtonsSwapped() override {
        PointerState state;
        return queryPointer(state) && state.logicalOf(1) == 3;
    }

    // The X protocol has no system-wide setting; the usual value.
    uint32_t doubleClickTime() override { return 500; }

    // ----- Drawing objects -----

    ObjectHandle createPen(int32_t style, int32_t width, ColourRef colour) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.createPen(style, width, colour);
    }

    ObjectHandle createSolidBrush(ColourRef colour) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.createSolidBrush(colour);
    }

    ObjectHandle createFont(const FontDescription& font) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.createFont(font);
    }

    ObjectHandle stockObject(StockObject which) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.stockObject(which);
    }

    bool deleteObject(ObjectHandle object) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.deleteObject(object);
    }

    ObjectHandle currentObject(DeviceContextHandle dc, ObjectKind kind) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.currentObject(dc, kind);
    }

    ObjectHandle selectObject(DeviceContextHandle dc, ObjectHandle object) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.selectObject(dc, object);
    }

    int32_t setBackgroundMode(DeviceContextHandle dc, int32_t mode) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.setBackgroundMode(dc, mode);
    }

    ColourRef setBackgroundColour(DeviceContextHandle dc, ColourRef colour) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.setBackgroundColour(dc, colour);
    }

    ColourRef setTextColour(DeviceContextHandle dc, ColourRef colour) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.setTextColour(dc, colour);
    }

    // ----- Drawing (into the back buffers; window contexts remember what changed) -----

    bool moveTo(DeviceContextHandle dc, int32_t x, int32_t y) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.moveTo(dc, x, y);
    }

    bool lineTo(DeviceContextHandle dc, int32_t x, int32_t y) override {
        std::lock_guard<std::mutex> lock(mutex);
        headless::HeadlessPlatform::ContextState state{};
        bool known = canvas.contextState(dc, state);
        bool drawn = canvas.lineTo(dc, x, y);
        if (drawn && known) {
            PixelPoint from = state.position;
            markDrawn(dc, {std::min(from.x, x), std::min(from.y, y), std::max(from.x, x) + 1,
                           std::max(from.y, y) + 1});
        }
        return drawn;
    }

    bool fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) override {
        std::lock_guard<std::mutex> lock(mutex);
        bool drawn = canvas.fillRect(dc, rect, brush);
        if (drawn) {
            markDrawn(dc, rect);
        }
        return drawn;
    }

    bool drawText(DeviceContextHandle dc, const char* text, const PixelRect& rect,
                  int32_t alignment) override {
        std::lock_guard<std::mutex> lock(mutex);
        bool drawn = canvas.drawText(dc, text, rect, alignment);
        if (drawn) {
            markDrawn(dc, textArea(dc, text, rect, alignment));
        }
        return drawn;
    }

    // ----- Memory surfaces and copies -----

    DeviceContextHandle createCompatibleDC(DeviceContextHandle dc) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.createCompatibleDC(dc);
    }

    bool deleteDC(DeviceContextHandle dc) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.deleteDC(dc);
    }

    ObjectHandle createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                        int32_t height) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.createCompatibleBitmap(dc, width, height);
    }

    ObjectHandle createMonochromeBitmap(int32_t width, int32_t height) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.createMonochromeBitmap(width, height);
    }

    bool bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.bitmapSize(bitmap, width, height);
    }

    bool blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                   int32_t height, DeviceContextHandle source, int32_t sourceX, int32_t sourceY,
                   uint32_t rop) override {
        std::lock_guard<std::mutex> lock(mutex);
        bool drawn =
            canvas.blockCopy(destination, x, y, width, height, source, sourceX, sourceY, rop);
        if (drawn) {
            markDrawn(destination, blockArea(x, y, width, height));
        }
        return drawn;
    }

    bool transparentCopy(ProcedureHandle procedure, DeviceContextHandle destination, int32_t x,
                         int32_t y, int32_t width, int32_t height, DeviceContextHandle source,
                         int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                         int32_t sourceHeight, ColourRef transparent) override {
        std::lock_guard<std::mutex> lock(mutex);
        bool drawn =
            canvas.transparentCopy(procedure, destination, x, y, width, height, source, sourceX,
                                   sourceY, sourceWidth, sourceHeight, transparent);
        if (drawn) {
            markDrawn(destination, blockArea(x, y, width, height));
        }
        return drawn;
    }

    // The embedded bitmaps, decoded by the shared decoder into memory bitmaps.
    ObjectHandle loadBitmapResource(ModuleHandle fromModule, uint16_t id) override {
        std::lock_guard<std::mutex> lock(mutex);
        return canvas.loadBitmapResource(fromModule, id);
    }

    // ----- Window classes -----

    bool registerWindowClass(const WindowClassDescription& description) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (!description.name || !*description.name || !description.procedure ||
            findClass(description.name)) {
            return false;
        }
        WindowClassDescription mirrored = description;
        mirrored.procedure = &backBufferProcedure;
        if (!canvas.registerWindowClass(mirrored)) {
            return false;
        }
        classes.push_back({description.name, description.procedure, description.module});
        return true;
    }

    bool unregisterWindowClass(const char* name, ModuleHandle fromModule) override {
        std::lock_guard<std::mutex> lock(mutex);
        WindowClass* found = name ? findClass(name) : nullptr;
        if (!found || found->module != fromModule) {
            return false;
        }
        for (const auto& entry : windows) {
            if (strcasecmp(entry.second.className.c_str(), found->name.c_str()) == 0) {
                return false;
            }
        }
        canvas.unregisterWindowClass(found->name.c_str(), fromModule);
        classes.erase(classes.begin() + (found - classes.data()));
        return true;
    }

    // ----- Windows -----

    WindowHandle createWindow(const char* className, const char* title, uint32_t style, int32_t x,
                              int32_t y, int32_t width, int32_t height, WindowHandle parent,
                              ModuleHandle fromModule) override {
        std::lock_guard<std::mutex> lock(mutex);
        WindowClass* cls = className ? findClass(className) : nullptr;
        if (!cls || ((style & WindowStyleChild) && !parent) || width < 0 || height < 0 ||
            width > maxWindowSide || height > maxWindowSide) {
            return nullptr;
        }
        auto ownParent = windows.find(raw(parent));
        if (ownParent != windows.end() && !ownParent->second.alive) {
            return nullptr;
        }
        if (!openDisplay()) {
            return nullptr;
        }
        WindowRecord record;
        record.className = cls->name;
        record.width = width;
        record.height = height;
        record.owner = std::this_thread::get_id();
        record.ownerSeen = tickCount();
        record.parent = ownParent != windows.end() ? ownParent->first : 0;
        XWindow created = 0;
        {
            ErrorTrap trap(display);
            created = createChild(parent ? raw(parent) : DefaultRootWindow(display), x, y, width,
                                  height, style, title, record);
            if (created && !trap.succeeded()) {
                releaseTarget(record);
                XDestroyWindow(display, created);
                created = 0;
            }
        }
        if (created) {
            record.backBuffer = canvas.createWindow(cls->name.c_str(), title, 0, 0, 0, width,
                                                    height, nullptr, fromModule);
            if (!record.backBuffer) {
                ErrorTrap trap(display);
                releaseTarget(record);
                XDestroyWindow(display, created);
                created = 0;
            }
        }
        if (!created) {
            closeDisplayIfUnused();
            return nullptr;
        }
        if ((style & WindowStyleVisible) && width > 0 && height > 0) {
            // A visible window starts out wholly invalid.
            record.updatePending = true;
            record.erasePending = true;
            record.update = {0, 0, width, height};
        }
        windows.emplace(created, std::move(record));
        return as<WindowHandle>(created);
    }

    bool destroyWindow(WindowHandle handle) override {
        std::vector<XWindow> doomed;
        {
            std::lock_guard<std::mutex> lock(mutex);
            WindowRecord* w = window(handle);
            if (!w || w->destroying) {
                return false;
            }
            ErrorTrap trap(display);
            // A notice already waiting tells that the server destroyed it.
            drainEvents();
            collectSubtree(raw(handle), doomed);
            for (XWindow id : doomed) {
                WindowRecord& d = windows.at(id);
                d.destroying = true;
                d.destroyNoticePending = false;
            }
            WindowRecord& top = windows.at(raw(handle));
            if (top.alive) {
                for (XWindow id : doomed) {
                    releaseTarget(windows.at(id));
                }
                XDestroyWindow(display, top.id());
            }
            for (XWindow id : doomed) {
                markDead(windows.at(id));
            }
        }
        // The window is told first, then its children, while all handles work.
        for (XWindow id : doomed) {
            deliverDestroy(id);
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            for (XWindow id : doomed) {
                forget(id);
            }
            closeDisplayIfUnused();
        }
        disposeRetiredSinks();
        return true;
    }

    void setWindowUserData(WindowHandle handle, void* data) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (WindowRecord* w = window(handle)) {
            w->userData = data;
        }
    }

    void* windowUserData(WindowHandle handle) override {
        std::lock_guard<std::mutex> lock(mutex);
        WindowRecord* w = window(handle);
        return w ? w->userData : nullptr;
    }

    intptr_t defaultWindowProcedure(WindowHandle handle, uint32_t message, uintptr_t,
                                    intptr_t) override {
        if (message == MessagePaint) {
            // Painting nothing still erases and validates.
            PaintSession paint;
            beginPaint(handle, paint);
            endPaint(handle, paint);
        }
        return 0;
    }

    bool windowScreenRect(WindowHandle handle, PixelRect& screen) override {
        std::lock_guard<std::mutex> lock(mutex);
        WindowRecord* w = window(handle);
        if (!w || !w->alive || !display) {
            return false;
        }
        int x = 0, y = 0;
        XWindow child = 0;
        bool ok = false;
        {
            ErrorTrap trap(display);
            ok = XTranslateCoordinates(display, w->id(), w->root, 0, 0, &x, &y, &child) &&
                 trap.succeeded();
        }
        if (!ok) {
            return false;
        }
        screen = {x, y, x + w->width, y + w->height};
        return true;
    }

    bool updateRect(WindowHandle handle, PixelRect* rect) override {
        std::lock_guard<std::mutex> lock(mutex);
        WindowRecord* w = window(handle);
        bool pending = w && w->alive && w->updatePending;
        if (rect) {
            *rect = pending ? w->update : PixelRect{0, 0, 0, 0};
        }
        return pending;
    }

    DeviceContextHandle beginPaint(WindowHandle handle, PaintSession& paint) override {
        std::lock_guard<std::mutex> lock(mutex);
        WindowRecord* w = window(handle);
        if (!w) {
            paint.deviceContext = nullptr;
            paint.area = {0, 0, 0, 0};
            std::memset(paint.platformData, 0, sizeof(paint.platformData));
            return nullptr;
        }
        if (w->updatePending) {
            canvas.requestPaint(w->backBuffer, w->update, w->erasePending);
        }
        w->updatePending = false;
        w->erasePending = false;
        return canvas.beginPaint(w->backBuffer, paint);
    }

    void endPaint(WindowHandle handle, PaintSession& paint) override {
        std::lock_guard<std::mutex> lock(mutex);
        PixelRect area = paint.area;
        WindowRecord* w = window(handle);
        canvas.endPaint(w ? w->backBuffer : nullptr, paint);
        if (w && w->alive && display) {
            ErrorTrap trap(display);
            present(*w, unite(area, w->dirty));
            w->dirty = {0, 0, 0, 0};
        }
    }

    DeviceContextHandle windowDC(WindowHandle handle) override {
        std::lock_guard<std::mutex> lock(mutex);
        if (!handle) {
            return canvas.windowDC(nullptr);
        }
        WindowRecord* w = window(handle);
        if (!w) {
            return nullptr;
        }
        DeviceContextHandle dc = canvas.windowDC(w->backBuffer);
        if (dc) {
            windowContexts[raw(dc)] = w->id();
        }
        return dc;
    }

    void releaseWindowDC(WindowHandle handle, DeviceContextHandle dc) override {
        std::lock_guard<std::mutex> lock(mutex);
        auto tracked = windowContexts.find(raw(dc));
        WindowHandle backBuffer = nullptr;
        if (tracked != windowContexts.end()) {
            auto found = windows.find(tracked->second);
            if (found != windows.end()) {
                backBuffer = found->second.backBuffer;
                showDirty(found->second);
            }
            windowContexts.erase(tracked);
        }
        canvas.releaseWindowDC(backBuffer, dc);
    }

    bool dispatchOnePaintMessage() override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!display) {
                return false;
            }
            ErrorTrap trap(display);
            notePump();
            drainEvents();
        }
        bool delivered = deliver(true, 1) > 0;
        finishPump();
        return delivered;
    }

    void pumpWindowEvents() override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!display) {
                return;
            }
            ErrorTrap trap(display);
            notePump();
            drainEvents();
        }
        // From inside a delivered event only paints go out; the rest waits.
        deliver(deliveryDepth > 0, maxMessagesPerPump);
        finishPump();
    }

    // ----- Drag and drop -----

    // Drags from other applications arrive through the X drag-and-drop
    // protocol: the window announces that it takes drags (XdndAware), the
    // source's messages become steps that the window's pumps deliver to the
    // sink on the window's thread, and the sink's answers go back to the
    // source. The dropped data is asked for with the drop and arrives later
    // as an event, so nothing waits for the source.
    bool registerDropTarget(WindowHandle handle, DropSink* sink) override {
        std::unique_ptr<DropSink> owned(sink);
        std::lock_guard<std::mutex> lock(mutex);
        WindowRecord* w = window(handle);
        if (!sink || !w || !w->alive || w->destroying || w->dropSink || !display) {
            return false;
        }
        ErrorTrap trap(display);
        long version = xdndVersion;
        XChangeProperty(display, w->id(), dnd.aware, XA_ATOM, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(&version), 1);
        if (!trap.succeeded()) {
            return false;
        }
        w->dropSink = std::move(owned);
        return true;
    }

    bool revokeDropTarget(WindowHandle handle) override {
        {
            std::lock_guard<std::mutex> lock(mutex);
            WindowRecord* w = window(handle);
            if (!w || !w->dropSink) {
                return false;
            }
            ErrorTrap trap(display);
            abandonDrag(*w);
            if (w->alive && display) {
                XDeleteProperty(display, w->id(), dnd.aware);
            }
            retiredSinks.push_back(std::move(w->dropSink));
        }
        disposeRetiredSinks();
        return true;
    }

    // The shortcuts of this platform are symbolic links.
    bool resolveShortcut(char* path, size_t bufferSize) override {
        if (!path || bufferSize == 0) {
            return false;
        }
        struct stat info {};
        if (lstat(path, &info) != 0 || !S_ISLNK(info.st_mode)) {
            return false;
        }
        char* target = realpath(path, nullptr);
        if (!target) {
            return false;
        }
        size_t length = std::strlen(target);
        bool fits = length < bufferSize;
        if (fits) {
            std::memcpy(path, target, length + 1);
        }
        std::free(target);
        return fits;
    }

    // ----- The host's event dispatch (the `_XEventProc` path) -----

    void hostEvent(XEvent* event) {
        if (!event) {
            return;
        }
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!display || windows.find(event->xany.window) == windows.end()) {
                return;
            }
            ErrorTrap trap(display);
            notePump();
            absorb(*event);
            // Whatever waits on the backend's own connection (button presses
            // reach only it) is taken as well.
            drainEvents();
        }
        deliver(deliveryDepth > 0, maxMessagesPerPump);
        finishPump();
    }

    Diagnostics diagnostics() {
        std::lock_guard<std::mutex> lock(mutex);
        Diagnostics d;
        d.connected = display != nullptr;
        d.windows = static_cast<int32_t>(windows.size());
        d.connectionsOpened = connectionsOpened;
        d.ignoredErrors = absorbedErrors.load(std::memory_order_relaxed);
        return d;
    }

private:
    struct WindowClass {
        std::string name;
        WindowProcedure procedure = nullptr;
        ModuleHandle module = nullptr;
    };

    struct Pending {
        uint32_t message;
        intptr_t position;
        uintptr_t state; // Press... bits
    };

    // A drag over one of the backend's windows, as far as its source told.
    struct DragState {
        XWindow source = 0; // none: no drag
        std::shared_ptr<XdndData> data;
        Atom conversion = 0;  // the type asked for at the drop
        bool entered = false; // the sink has been (or will be) told of the drag
        PixelPoint point{0, 0};
        bool dropPending = false; // the data was asked for and has not arrived
        uint32_t dropDeadline = 0;
    };

    // One call of a window's sink, made on the window's thread.
    struct DragStep {
        enum Kind { Enter, Over, Leave, Drop } kind = Leave;
        XWindow source = 0;
        std::shared_ptr<XdndData> data;
        PixelPoint point{0, 0};
    };

    struct WindowRecord {
        XWindow xid = 0;
        XWindow root = 0;
        XWindow parent = 0; // the parent when it is one of the backend's windows
        std::string className;
        void* userData = nullptr;
        int32_t width = 0;
        int32_t height = 0;
        std::thread::id owner;  // the thread whose pumps deliver its messages
        uint32_t ownerSeen = 0; // when the owner last created, pumped or was delivered to
        int32_t deliveries = 0; // window procedures running for it now
        WindowHandle backBuffer = nullptr;  // the drawing engine's surface of this window
        cairo_surface_t* target = nullptr;  // the X window, for cairo
        cairo_surface_t* staging = nullptr; // the back buffer in cairo's pixel format
        bool alive = true;                  // the X window exists (to the backend's knowledge)
        bool destroying = false;            // destroyWindow runs
        bool destroyNoticePending = false;
        bool updatePending = false;
        bool erasePending = false;
        bool shown = false; // a paint has reached the screen
        PixelRect update{0, 0, 0, 0};
        PixelRect dirty{0, 0, 0, 0}; // drawn through a window context, not yet shown
        std::deque<Pending> buttons;
        std::unique_ptr<DropSink> dropSink; // the registration's sink, or none
        DragState drag;
        std::deque<DragStep> dragSteps; // waiting for the window's thread
        Atom dragAction = 0;            // the sink's last answer to the source

        XWindow id() const { return xid; }
    };

    struct Message {
        XWindow window = 0;
        uint32_t message = 0;
        intptr_t position = 0;
        WindowProcedure procedure = nullptr;
        DropSink* sink = nullptr; // for drag steps
        DragStep step;
        uintptr_t state = 0; // wParam of a press
    };

    struct PointerState {
        int32_t x = 0;
        int32_t y = 0;
        unsigned int mask = 0;
        unsigned char map[8] = {1, 2, 3, 4, 5, 6, 7, 8};
        int32_t mapped = 0;

        int32_t logicalOf(int32_t physical) const {
            return physical >= 1 && physical <= mapped ? map[physical - 1] : physical;
        }
        bool physicalButtonHeld(int32_t physical) const {
            int32_t logical = logicalOf(physical);
            return logical >= 1 && logical <= 5 && (mask & (Button1Mask << (logical - 1))) != 0;
        }
    };

    // ----- Lookups (lock held) -----

    WindowClass* findClass(const char* name) {
        for (WindowClass& c : classes) {
            if (strcasecmp(c.name.c_str(), name) == 0) {
                return &c;
            }
        }
        return nullptr;
    }

    WindowRecord* window(WindowHandle handle) {
        auto it = windows.find(raw(handle));
        return it == windows.end() ? nullptr : &it->second;
    }

    void collectSubtree(XWindow root, std::vector<XWindow>& out) const {
        out.push_back(root);
        for (const auto& entry : windows) {
            if (entry.second.parent == root && entry.first != root) {
                collectSubtree(entry.first, out);
            }
        }
    }

    // ----- The display connection (lock held) -----

    bool openDisplay() {
        if (display) {
            return true;
        }
        display = connect();
        if (!display) {
            return false;
        }
        ++connectionsOpened;
        ownDisplay.store(display, std::memory_order_release);
        buttonMapCount = -1;
        eventProcedureAtom = XInternAtom(display, "_XEventProc", False);
        dnd.intern(display);
        char name[256] = {};
        localHost = gethostname(name, sizeof(name) - 1) == 0 ? name : "";
        return true;
    }

    void closeDisplay() {
        if (!display) {
            return;
        }
        ownDisplay.store(nullptr, std::memory_order_release);
        XCloseDisplay(display);
        display = nullptr;
    }

    void closeDisplayIfUnused() {
        if (windows.empty()) {
            closeDisplay();
        }
    }

    // Reads the pointer on the open connection, or on a short-lived one when no
    // window is open.
    bool queryPointer(PointerState& state) {
        std::lock_guard<std::mutex> lock(mutex);
        Display* d = display;
        bool temporary = false;
        if (!d) {
            d = connect();
            if (!d) {
                return false;
            }
            temporary = true;
        }
        XWindow root = 0, child = 0;
        int rootX = 0, rootY = 0, x = 0, y = 0;
        unsigned int mask = 0;
        XQueryPointer(d, DefaultRootWindow(d), &root, &child, &rootX, &rootY, &x, &y, &mask);
        state.x = rootX;
        state.y = rootY;
        state.mask = mask;
        // The pointer mapping tells which logical button a physical one gives;
        // the open connection keeps it until the server announces a change.
        if (temporary || buttonMapCount < 0) {
            unsigned char map[256];
            int count = XGetPointerMapping(d, map, 256);
            buttonMapCount =
                std::max(0, std::min<int32_t>(count, static_cast<int32_t>(sizeof(buttonMap))));
            std::memcpy(buttonMap, map, static_cast<size_t>(buttonMapCount));
        }
        state.mapped = buttonMapCount;
        std::memcpy(state.map, buttonMap, sizeof(buttonMap));
        if (temporary) {
            buttonMapCount = -1;
            XCloseDisplay(d);
        }
        return true;
    }

    // ----- Window creation (lock and trap held) -----

    XWindow createChild(XWindow parentId, int32_t x, int32_t y, int32_t width, int32_t height,
                        uint32_t style, const char* title, WindowRecord& record) {
        XWindowAttributes parentAttributes{};
        if (!XGetWindowAttributes(display, parentId, &parentAttributes)) {
            return 0;
        }
        XSetWindowAttributes attributes{};
        // No background: the server never clears the window, only paints show.
        attributes.background_pixmap = None;
        attributes.bit_gravity = NorthWestGravity;
        attributes.event_mask = ExposureMask | ButtonPressMask | StructureNotifyMask;
        unsigned int w = static_cast<unsigned int>(std::max(width, 1));
        unsigned int h = static_cast<unsigned int>(std::max(height, 1));
        XWindow created =
            XCreateWindow(display, parentId, x, y, w, h, 0, CopyFromParent, InputOutput,
                          CopyFromParent, CWBackPixmap | CWBitGravity | CWEventMask, &attributes);
        if (!created) {
            return 0;
        }
        record.xid = created;
        if (title) {
            XStoreName(display, created, title);
        }
        publishEventProcedure(created);
        if (style & WindowStyleVisible) {
            XMapWindow(display, created);
        }
        XWindowAttributes own{};
        if (!XGetWindowAttributes(display, created, &own)) {
            return created; // the caller sees the error and takes the window down
        }
        record.root = own.root;
        record.target = cairo_xlib_surface_create(display, created, own.visual, static_cast<int>(w),
                                                  static_cast<int>(h));
        record.staging = cairo_image_surface_create(CAIRO_FORMAT_RGB24, static_cast<int>(w),
                                                    static_cast<int>(h));
        return created;
    }

    // The property that hosts read to pass the window's events to the plug-in
    // themselves: the address of the event function, as 32-bit items (on 64-bit
    // systems the low half first, then the high half).
    void publishEventProcedure(XWindow id) {
        uint64_t address =
            static_cast<uint64_t>(reinterpret_cast<uintptr_t>(&publishedEventProcedure));
        long items[2] = {static_cast<long>(address & 0xFFFFFFFFu),
                         static_cast<long>((address >> 32) & 0xFFFFFFFFu)};
        int count = sizeof(void*) > 4 ? 2 : 1;
        XChangeProperty(display, id, eventProcedureAtom, eventProcedureAtom, 32, PropModeReplace,
                        reinterpret_cast<unsigned char*>(items), count);
    }

    void releaseTarget(WindowRecord& w) {
        if (w.target) {
            cairo_surface_finish(w.target);
            cairo_surface_destroy(w.target);
            w.target = nullptr;
        }
        if (w.staging) {
            cairo_surface_destroy(w.staging);
            w.staging = nullptr;
        }
    }

    // The X window is gone (or going): nothing may use its id any more.
    void markDead(WindowRecord& w) {
        abandonDrag(w);
        w.alive = false;
        w.updatePending = false;
        w.erasePending = false;
        w.buttons.clear();
        w.dirty = {0, 0, 0, 0};
        releaseTarget(w);
    }

    // Removes a window's record and its back buffer (lock held).
    void forget(XWindow id) {
        auto it = windows.find(id);
        if (it == windows.end()) {
            return;
        }
        {
            ErrorTrap trap(display);
            releaseTarget(it->second);
            // A source still waiting for this window's answer is told now.
            abandonDrag(it->second);
        }
        for (auto dc = windowContexts.begin(); dc != windowContexts.end();) {
            dc = dc->second == id ? windowContexts.erase(dc) : std::next(dc);
        }
        canvas.destroyWindow(it->second.backBuffer);
        if (it->second.dropSink) {
            // Deleted once no sink call runs, and never under the lock.
            retiredSinks.push_back(std::move(it->second.dropSink));
        }
        windows.erase(it);
    }

    // ----- Events (lock and trap held) -----

    void drainEvents() {
        if (!display) {
            return;
        }
        for (int32_t n = 0; n < maxEventsPerDrain && XPending(display) > 0; ++n) {
            XEvent event;
            XNextEvent(display, &event);
            absorb(event);
        }
    }

    // The buttons and modifiers of a press as its message carries them. The
    // event's state is the state just before it, so the pressed button joins
    // it here. It travels with the message: a press delivered after its
    // button went up (a tap, a click shorter than the host's idle interval)
    // still tells what it was.
    static uintptr_t pressState(const XButtonEvent& e) {
        uintptr_t state = 0;
        if ((e.state & Button1Mask) || e.button == Button1) {
            state |= PressLeftButton;
        }
        if ((e.state & Button2Mask) || e.button == Button2) {
            state |= PressMiddleButton;
        }
        if ((e.state & Button3Mask) || e.button == Button3) {
            state |= PressRightButton;
        }
        if (e.state & ShiftMask) {
            state |= PressShift;
        }
        if (e.state & ControlMask) {
            state |= PressControl;
        }
        return state;
    }

    // Takes one event into the state of its window; never calls a procedure.
    void absorb(const XEvent& event) {
        if (event.type == MappingNotify) {
            if (event.xmapping.request == MappingPointer) {
                buttonMapCount = -1; // read again at the next query
            }
            return;
        }
        auto it = windows.find(event.xany.window);
        if (it == windows.end()) {
            return;
        }
        WindowRecord& w = it->second;
        if (!w.alive || w.destroying) {
            return;
        }
        switch (event.type) {
        case Expose: {
            const XExposeEvent& e = event.xexpose;
            PixelRect area =
                intersect({e.x, e.y, e.x + e.width, e.y + e.height}, {0, 0, w.width, w.height});
            if (isEmpty(area)) {
                return;
            }
            w.update = w.updatePending ? unite(w.update, area) : area;
            w.updatePending = true;
            w.erasePending = true;
            // Until the toolkit repaints, the last picture covers the area again.
            if (w.shown) {
                present(w, area);
            }
            return;
        }
        case ButtonPress: {
            const XButtonEvent& e = event.xbutton;
            uint32_t message = 0;
            switch (e.button) {
            case Button1:
                message = MessageLeftButtonDown;
                break;
            case Button2:
                message = MessageMiddleButtonDown;
                break;
            case Button3:
                message = MessageRightButtonDown;
                break;
            default:
                return; // wheel and extra buttons are not presses
            }
            intptr_t position =
                static_cast<intptr_t>((static_cast<uint32_t>(e.x) & 0xFFFFu) |
                                      ((static_cast<uint32_t>(e.y) & 0xFFFFu) << 16));
            w.buttons.push_back({message, position, pressState(e)});
            return;
        }
        case ClientMessage:
            absorbDragMessage(w, event.xclient);
            return;
        case SelectionNotify:
            absorbDropData(w, event.xselection);
            return;
        case DestroyNotify:
            if (event.xdestroywindow.window == w.id()) {
                markDead(w);
                w.destroyNoticePending = true;
            }
            return;
        default:
            return;
        }
    }

    // Records that the calling thread pumps its windows (lock held).
    void notePump() {
        expireDrops();
        std::thread::id self = std::this_thread::get_id();
        uint32_t now = tickCount();
        for (auto& entry : windows) {
            if (entry.second.owner == self) {
                entry.second.ownerSeen = now;
            }
        }
    }

    // Whether the calling thread may deliver to the window, taking it over
    // from an owner that has stopped pumping it (lock held).
    bool deliversTo(WindowRecord& w) {
        std::thread::id self = std::this_thread::get_id();
        if (w.owner == self) {
            return true;
        }
        uint32_t now = tickCount();
        if (w.deliveries > 0 || now - w.ownerSeen < adoptionDelay) {
            return false;
        }
        w.owner = self;
        w.ownerSeen = now;
        return true;
    }

    // The next message for a window of the calling thread (lock held).
    bool nextMessage(bool paintsOnly, const std::vector<XWindow>& painted, Message& out) {
        for (auto& entry : windows) {
            WindowRecord& w = entry.second;
            if (w.destroying || !deliversTo(w)) {
                continue;
            }
            WindowClass* cls = findClass(w.className.c_str());
            out = {entry.first, 0, 0, cls ? cls->procedure : nullptr, nullptr, {}};
            if (!paintsOnly && w.destroyNoticePending) {
                w.destroyNoticePending = false;
                w.destroying = true;
                out.message = MessageDestroy;
                return true;
            }
            if (!paintsOnly && !w.buttons.empty()) {
                out.message = w.buttons.front().message;
                out.position = w.buttons.front().position;
                out.state = w.buttons.front().state;
                w.buttons.pop_front();
                return true;
            }
            if (!paintsOnly && !w.dragSteps.empty() && w.dropSink) {
                out.message = dragStepMessage;
                out.sink = w.dropSink.get();
                out.step = std::move(w.dragSteps.front());
                w.dragSteps.pop_front();
                // Revoked while the step runs, the sink lives until it returns.
                ++sinkCalls;
                return true;
            }
            if (w.alive && w.updatePending &&
                std::find(painted.begin(), painted.end(), entry.first) == painted.end()) {
                out.message = MessagePaint;
                return true;
            }
        }
        return false;
    }

    intptr_t call(const Message& m) {
        DeliveryScope scope;
        if (m.message == dragStepMessage) {
            runDragStep(m);
            return 0;
        }
        WindowHandle handle = as<WindowHandle>(m.window);
        if (!m.procedure) {
            return defaultWindowProcedure(handle, m.message, m.state, m.position);
        }
        return m.procedure(handle, m.message, m.state, m.position);
    }

    // Delivers waiting messages of the calling thread's windows to their
    // procedures, without holding the lock while a procedure runs. Each window
    // gets at most one paint per call. Answers the number of paints delivered.
    int32_t deliver(bool paintsOnly, int32_t paintLimit) {
        std::vector<XWindow> painted;
        int32_t paints = 0;
        for (int32_t n = 0; n < maxMessagesPerPump && paints < paintLimit; ++n) {
            Message m;
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (!nextMessage(paintsOnly, painted, m)) {
                    break;
                }
                if (m.message == MessagePaint) {
                    painted.push_back(m.window);
                }
                ++windows.at(m.window).deliveries;
            }
            call(m);
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (m.message == dragStepMessage) {
                    --sinkCalls;
                }
                auto it = windows.find(m.window);
                if (it != windows.end()) {
                    --it->second.deliveries;
                    it->second.ownerSeen = tickCount();
                    if (m.message == MessageDestroy) {
                        forget(m.window);
                    }
                }
            }
            if (m.message == MessagePaint) {
                ++paints;
            }
        }
        return paints;
    }

    void deliverDestroy(XWindow id) {
        Message m;
        {
            std::lock_guard<std::mutex> lock(mutex);
            auto it = windows.find(id);
            if (it == windows.end()) {
                return;
            }
            WindowClass* cls = findClass(it->second.className.c_str());
            m = {id, MessageDestroy, 0, cls ? cls->procedure : nullptr, nullptr, {}};
        }
        call(m);
    }

    // After a pump: show what the calling thread drew, and let the connection
    // go when the last window has gone.
    void finishPump() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (display) {
                ErrorTrap trap(display);
                presentDirtyWindows();
            }
            closeDisplayIfUnused();
        }
        disposeRetiredSinks();
    }

    // ----- Drags from other applications -----

    // Deletes the sinks whose registrations ended, once no sink call runs.
    // Called without the lock: a sink's destructor may call the backend.
    void disposeRetiredSinks() {
        std::vector<std::unique_ptr<DropSink>> doomed;
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (sinkCalls > 0) {
                return;
            }
            doomed.swap(retiredSinks);
        }
    }

    // The drag over a window ends without a drop: a source waiting for the
    // data is told that the drop failed, and steps not yet delivered are
    // dropped (lock and trap held).
    void abandonDrag(WindowRecord& w) {
        if (display) {
            if (w.drag.dropPending) {
                sendFinished(display, dnd, w.drag.source, w.id(), false, 0);
            }
            for (const DragStep& step : w.dragSteps) {
                if (step.kind == DragStep::Drop) {
                    sendFinished(display, dnd, step.source, w.id(), false, 0);
                }
            }
        }
        w.drag = DragState();
        w.dragSteps.clear();
    }

    // The drag ends without data reaching the sink: the source is told when
    // it waits for an answer, and the sink sees the drag leave (lock and trap held).
    void endDrag(WindowRecord& w) {
        if (w.drag.dropPending && display) {
            sendFinished(display, dnd, w.drag.source, w.id(), false, 0);
        }
        if (w.drag.entered) {
            w.dragSteps.push_back({DragStep::Leave, w.drag.source, nullptr, w.drag.point});
        }
        w.drag = DragState();
    }

    // The types a source offers: up to three in the message, or its type list.
    std::vector<Atom> offeredTypes(const XClientMessageEvent& message) {
        std::vector<Atom> types;
        XWindow source = static_cast<XWindow>(message.data.l[0]);
        if (message.data.l[1] & 1) {
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* items = nullptr;
            if (XGetWindowProperty(display, source, dnd.typeList, 0, maxDragTypes, False, XA_ATOM,
                                   &type, &format, &count, &after, &items) == Success &&
                items) {
                if (type == XA_ATOM && format == 32) {
                    const long* list = reinterpret_cast<const long*>(items);
                    types.assign(list, list + count);
                }
                XFree(items);
            }
        } else {
            for (int i = 2; i <= 4; ++i) {
                if (message.data.l[i] != 0) {
                    types.push_back(static_cast<Atom>(message.data.l[i]));
                }
            }
        }
        return types;
    }

    // A message of the drag-and-drop protocol sent to a window (lock and trap held).
    void absorbDragMessage(WindowRecord& w, const XClientMessageEvent& message) {
        if (message.format != 32 || !display) {
            return;
        }
        XWindow source = static_cast<XWindow>(message.data.l[0]);
        DragState& drag = w.drag;
        if (message.message_type == dnd.enter) {
            long version = (message.data.l[1] >> 24) & 0xFF;
            if (!w.dropSink || source == 0 || version < 3 || version > xdndVersion) {
                return;
            }
            endDrag(w);
            drag.source = source;
            DragKind kind = chooseDragKind(offeredTypes(message), dnd, drag.conversion);
            drag.data = std::make_shared<XdndData>(kind);
        } else if (message.message_type == dnd.position) {
            if (source == 0) {
                return;
            }
            if (!w.dropSink || source != drag.source || drag.dropPending) {
                sendStatus(display, dnd, source, w.id(), 0);
                return;
            }
            unsigned long packed = static_cast<unsigned long>(message.data.l[2]);
            drag.point = {static_cast<int32_t>((packed >> 16) & 0xFFFF),
                          static_cast<int32_t>(packed & 0xFFFF)};
            w.dragSteps.push_back(
                {drag.entered ? DragStep::Over : DragStep::Enter, source, drag.data, drag.point});
            drag.entered = true;
        } else if (message.message_type == dnd.leave) {
            if (source != 0 && source == drag.source) {
                endDrag(w);
            }
        } else if (message.message_type == dnd.drop) {
            if (source == 0 || drag.dropPending) {
                return;
            }
            if (source != drag.source || !w.dropSink || !drag.entered || !drag.data ||
                drag.conversion == 0) {
                // Nothing this window takes: the source may finish at once.
                sendFinished(display, dnd, source, w.id(), false, 0);
                if (source == drag.source) {
                    endDrag(w);
                }
                return;
            }
            // The data arrives as a selection event; the wait is bounded.
            Time when = static_cast<Time>(static_cast<unsigned long>(message.data.l[2]));
            XDeleteProperty(display, w.id(), dnd.dropProperty);
            XConvertSelection(display, dnd.selection, drag.conversion, dnd.dropProperty, w.id(),
                              when);
            XFlush(display);
            drag.dropPending = true;
            drag.dropDeadline = tickCount() + dropDataTimeout.load(std::memory_order_relaxed);
        }
    }

    // The dropped data has arrived, or the source refused it (lock and trap held).
    void absorbDropData(WindowRecord& w, const XSelectionEvent& event) {
        if (!display || event.selection != dnd.selection) {
            return;
        }
        DragState& drag = w.drag;
        if (!drag.dropPending) {
            // An answer that came too late: its data is not wanted.
            if (event.property == dnd.dropProperty) {
                XDeleteProperty(display, w.id(), dnd.dropProperty);
            }
            return;
        }
        bool received = false;
        if (event.property != 0) {
            Atom type = 0;
            int format = 0;
            unsigned long count = 0, after = 0;
            unsigned char* bytes = nullptr;
            if (XGetWindowProperty(display, w.id(), event.property, 0, maxDropBytes / 4, False,
                                   AnyPropertyType, &type, &format, &count, &after,
                                   &bytes) == Success) {
                // Text and URI lists come as 8-bit data in one piece; data sent
                // in increments, too large or in another format is refused.
                if (type != dnd.incremental && format == 8 && after == 0 && bytes) {
                    drag.data->setContent(bytes, count, localHost);
                    received = true;
                }
                if (bytes) {
                    XFree(bytes);
                }
            }
            XDeleteProperty(display, w.id(), event.property);
        }
        if (!received) {
            endDrag(w);
            return;
        }
        w.dragSteps.push_back({DragStep::Drop, drag.source, drag.data, drag.point});
        drag = DragState();
    }

    // Gives up drops whose data did not arrive in time (lock and trap held).
    void expireDrops() {
        uint32_t now = tickCount();
        for (auto& entry : windows) {
            DragState& drag = entry.second.drag;
            if (drag.dropPending && static_cast<int32_t>(now - drag.dropDeadline) >= 0) {
                endDrag(entry.second);
            }
        }
    }

    // The key state of a drag step: buttons and modifiers held now.
    uint32_t dragKeyState() {
        PointerState state;
        if (!queryPointer(state)) {
            return 0;
        }
        auto bit = [](bool held, uint32_t key) { return held ? key : 0u; };
        return bit(state.physicalButtonHeld(1), DragKeyLeftButton) |
               bit(state.physicalButtonHeld(2), DragKeyMiddleButton) |
               bit(state.physicalButtonHeld(3), DragKeyRightButton) |
               bit((state.mask & ShiftMask) != 0, DragKeyShift) |
               bit((state.mask & ControlMask) != 0, DragKeyControl) |
               bit((state.mask & Mod1Mask) != 0, DragKeyAlt);
    }

    // Runs one drag step on the window's thread and answers the source.
    void runDragStep(const Message& m) {
        const DragStep& step = m.step;
        uint32_t keys = step.kind == DragStep::Leave ? 0 : dragKeyState();
        uint32_t effect = DropEffectNone;
        bool taken = false;
        switch (step.kind) {
        case DragStep::Enter:
            effect = m.sink->dragEnter(step.data.get(), keys, step.point);
            break;
        case DragStep::Over:
            effect = m.sink->dragOver(keys, step.point);
            break;
        case DragStep::Leave:
            m.sink->dragLeave();
            return;
        case DragStep::Drop:
            taken = m.sink->drop(step.data.get(), keys, step.point);
            break;
        }
        std::lock_guard<std::mutex> lock(mutex);
        if (!display) {
            return;
        }
        ErrorTrap trap(display);
        auto it = windows.find(m.window);
        WindowRecord* w = it != windows.end() ? &it->second : nullptr;
        if (step.kind == DragStep::Drop) {
            // Only a drop that was taken reports an action: a source must not
            // delete what it moved onto a window that did nothing with it.
            Atom action = w ? w->dragAction : 0;
            sendFinished(display, dnd, step.source, m.window, taken && action != 0, action);
            return;
        }
        Atom action = effect == DropEffectCopy   ? dnd.actionCopy
                      : effect == DropEffectMove ? dnd.actionMove
                                                 : 0;
        if (w) {
            w->dragAction = action;
            // The source expects an answer only while its drag goes on.
            if (w->drag.source == step.source && !w->drag.dropPending && w->dropSink) {
                sendStatus(display, dnd, step.source, m.window, action);
            }
        }
    }

    // ----- Showing the back buffers (lock and trap held) -----

    void markDrawn(DeviceContextHandle dc, const PixelRect& area) {
        auto tracked = windowContexts.find(raw(dc));
        if (tracked == windowContexts.end()) {
            return;
        }
        auto found = windows.find(tracked->second);
        if (found == windows.end() || !found->second.alive) {
            return;
        }
        WindowRecord& w = found->second;
        PixelRect clipped = intersect(area, {0, 0, w.width, w.height});
        if (!isEmpty(clipped)) {
            w.dirty = unite(w.dirty, clipped);
        }
    }

    static PixelRect blockArea(int32_t x, int32_t y, int32_t width, int32_t height) {
        int64_t right = static_cast<int64_t>(x) + std::max(width, 0);
        int64_t bottom = static_cast<int64_t>(y) + std::max(height, 0);
        return {x, y, static_cast<int32_t>(std::min<int64_t>(right, INT32_MAX)),
                static_cast<int32_t>(std::min<int64_t>(bottom, INT32_MAX))};
    }

    // Where drawText may have touched: the text cell, widened by a cell height
    // on each side for glyphs that reach beyond their advance.
    PixelRect textArea(DeviceContextHandle dc, const char* text, const PixelRect& rect,
                       int32_t alignment) {
        const FontDescription* font = canvas.fontOf(canvas.currentObject(dc, ObjectKind::Font));
        if (!font || !text) {
            return {INT32_MIN / 2, INT32_MIN / 2, INT32_MAX / 2, INT32_MAX / 2};
        }
        headless::FontMetrics m = canvas.textRasteriser().metrics(*font);
        int32_t cell = m.ascent + m.descent;
        int32_t width = canvas.textRasteriser().textWidth(*font, text);
        int32_t top = rect.top + (rect.bottom - rect.top - cell) / 2;
        int32_t left = rect.left;
        if (alignment == AlignCentre) {
            left = rect.left + (rect.right - rect.left - width) / 2;
        } else if (alignment == AlignRight) {
            left = rect.right - width;
        }
        return {left - cell, top - 1, left + width + cell, top + cell + 1};
    }

    void showDirty(WindowRecord& w) {
        if (isEmpty(w.dirty) || !display) {
            return;
        }
        ErrorTrap trap(display);
        present(w, w.dirty);
        w.dirty = {0, 0, 0, 0};
    }

    void presentDirtyWindows() {
        std::thread::id self = std::this_thread::get_id();
        for (auto& entry : windows) {
            WindowRecord& w = entry.second;
            if (w.owner == self && !isEmpty(w.dirty)) {
                present(w, w.dirty);
                w.dirty = {0, 0, 0, 0};
            }
        }
    }

    // Copies an area of a window's back buffer to the window through cairo.
    void present(WindowRecord& w, const PixelRect& requested) {
        if (!w.alive || !w.target || !w.staging || !display) {
            return;
        }
        PixelRect area = intersect(requested, {0, 0, w.width, w.height});
        const headless::Surface* surface = canvas.windowSurface(w.backBuffer);
        if (isEmpty(area) || !surface) {
            return;
        }
        cairo_surface_flush(w.staging);
        unsigned char* data = cairo_image_surface_get_data(w.staging);
        int stride = cairo_image_surface_get_stride(w.staging);
        if (!data) {
            return;
        }
        for (int32_t y = area.top; y < area.bottom; ++y) {
            uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
            for (int32_t x = area.left; x < area.right; ++x) {
                // Red + 256 green + 65536 blue becomes cairo's 0x00RRGGBB.
                uint32_t p = surface->at(x, y);
                row[x] = ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
            }
        }
        int32_t width = area.right - area.left, height = area.bottom - area.top;
        cairo_surface_mark_dirty_rectangle(w.staging, area.left, area.top, width, height);
        cairo_t* cr = cairo_create(w.target);
        cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
        cairo_set_source_surface(cr, w.staging, 0, 0);
        cairo_rectangle(cr, area.left, area.top, width, height);
        cairo_fill(cr);
        cairo_destroy(cr);
        cairo_surface_flush(w.target);
        XFlush(display);
        w.shown = true;
    }

    std::mutex mutex;
    ModuleHandle module;
    // The drawing engine: objects, contexts, memory bitmaps and the windows'
    // back buffers, drawn with exactly the headless backend's pixel rules.
    headless::HeadlessPlatform canvas;
    Display* display = nullptr;
    Atom eventProcedureAtom = 0;
    XdndAtoms dnd;
    std::string localHost;
    int32_t sinkCalls = 0; // drag steps running now
    std::vector<std::unique_ptr<DropSink>> retiredSinks;
    unsigned char buttonMap[8] = {};
    int32_t buttonMapCount = -1; // unknown
    uint64_t connectionsOpened = 0;
    std::vector<WindowClass> classes;
    std::map<XWindow, WindowRecord> windows;     // ids grow, so this is creation order
    std::map<uintptr_t, XWindow> windowContexts; // window contexts handed out
};

X11Platform& backend() {
    static X11Platform instance;
    return instance;
}

void publishedEventProcedure(void* event) {
    backend().hostEvent(static_cast<XEvent*>(event));
}

} // namespace

Platform& nativePlatform() {
    return backend();
}

Diagnostics diagnostics() {
    return backend().diagnostics();
}

void setDropDataTimeout(uint32_t milliseconds) {
    dropDataTimeout.store(milliseconds, std::memory_order_relaxed);
}

EventProcedure eventProcedure() {
    return &publishedEventProcedure;
}

} // namespace platform::x11
