// The display connection and its error traps, and the backend's input: the
// pointer, its buttons and the modifiers as the toolkit asks for them, and the
// desktop's scale.
#include "gui/platform/x11/X11Backend.h"
#include "gui/platform/x11/X11DesktopScale.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <mutex>
#include <time.h>
#include <unistd.h>

namespace platform::x11 {

namespace {

std::atomic<Display*> ownDisplay{nullptr};
XErrorHandler outerHandler = nullptr;
std::atomic<uint64_t> absorbed{0};
// Traps in force (an inner trap leaves the handler to the outer one).
int32_t trapDepth = 0;

int absorbError(Display* display, XErrorEvent* error) {
    if (display && display == ownDisplay.load(std::memory_order_acquire)) {
        absorbed.fetch_add(1, std::memory_order_relaxed);
        return 0;
    }
    return outerHandler ? outerHandler(display, error) : 0;
}

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

} // namespace

// ----- Error traps -----

ErrorTrap::ErrorTrap(Display* d) : display(d) {
    if (!display) {
        return;
    }
    if (trapDepth++ == 0) {
        XErrorHandler previous = XSetErrorHandler(&absorbError);
        outerHandler = previous == &absorbError ? nullptr : previous;
    }
    start = absorbed.load(std::memory_order_relaxed);
}

ErrorTrap::~ErrorTrap() {
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

bool ErrorTrap::succeeded() {
    if (display) {
        XSync(display, False);
    }
    return absorbed.load(std::memory_order_relaxed) == start;
}

// ----- The connection -----

bool Connection::open() {
    if (handle) {
        return true;
    }
    handle = connect();
    if (!handle) {
        return false;
    }
    ++connectionsOpened;
    ownDisplay.store(handle, std::memory_order_release);
    buttonMapCount = -1;
    eventProcedureAtom = XInternAtom(handle, "_XEventProc", False);
    dnd.intern(handle);
    char name[256] = {};
    localHost = gethostname(name, sizeof(name) - 1) == 0 ? name : "";
    return true;
}

void Connection::close() {
    if (!handle) {
        return;
    }
    ownDisplay.store(nullptr, std::memory_order_release);
    XCloseDisplay(handle);
    handle = nullptr;
}

uint64_t Connection::absorbedErrors() {
    return absorbed.load(std::memory_order_relaxed);
}

bool Connection::queryPointer(PointerState& state) {
    Display* d = handle;
    bool temporary = false;
    if (!d) {
        d = connect();
        if (!d) {
            return false;
        }
        temporary = true;
    }
    ::Window root = 0, child = 0;
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

int32_t Connection::desktopScale() {
    Display* d = handle ? handle : connect();
    const int32_t scale = sessionScale(d);
    if (d && d != handle) {
        XCloseDisplay(d);
    }
    return scale;
}

// ----- Input -----

int32_t X11Backend::desktopScale(WindowHandle) {
    std::lock_guard<std::mutex> lock(mutex);
    return connection.desktopScale();
}

bool X11Backend::queryPointer(PointerState& state) {
    std::lock_guard<std::mutex> lock(mutex);
    return connection.queryPointer(state);
}

bool X11Backend::isKeyHeld(int32_t key) {
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

bool X11Backend::cursorPosition(PixelPoint& screen) {
    PointerState state;
    if (!queryPointer(state)) {
        return false;
    }
    screen = {state.x, state.y};
    return true;
}

bool X11Backend::mouseButtonsSwapped() {
    PointerState state;
    return queryPointer(state) && state.logicalOf(1) == 3;
}

} // namespace platform::x11
