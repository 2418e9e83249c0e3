// Paints and window contexts of the X11 backend over the shared software
// drawing, and the moments back buffers reach the screen: a paint in one copy
// at its end; drawing through a window's context when the context is
// released, when the events are pumped and when the thread sleeps (the idle
// pump of a control that tracks the mouse sleeps on every pass).
#include "gui/platform/x11/X11Backend.h"

#include <cerrno>
#include <time.h>

namespace platform::x11 {

void X11Backend::sleep(uint32_t milliseconds) {
    // Whatever this thread drew into its windows so far is shown before it
    // waits: a control's tracking loop sleeps on every pass.
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (Display* display = connection.display()) {
            ErrorTrap trap(display);
            presentDirtyWindows();
        }
    }
    timespec wait{static_cast<time_t>(milliseconds / 1000u),
                  static_cast<long>(milliseconds % 1000u) * 1000000L};
    while (nanosleep(&wait, &wait) != 0 && errno == EINTR) {
    }
}

intptr_t X11Backend::defaultWindowProcedure(WindowHandle handle, uint32_t message, uintptr_t,
                                            intptr_t) {
    if (message == MessagePaint) {
        // Painting nothing still erases and validates.
        PaintSession paint;
        beginPaint(handle, paint);
        endPaint(handle, paint);
    }
    return 0;
}

bool X11Backend::updateRect(WindowHandle handle, PixelRect* rect) {
    std::lock_guard<std::mutex> lock(mutex);
    WindowRecord* w = window(handle);
    bool pending = w && w->alive && w->events.updatePending;
    if (rect) {
        *rect = pending ? w->events.update : PixelRect{0, 0, 0, 0};
    }
    return pending;
}

DeviceContextHandle X11Backend::beginPaint(WindowHandle handle, PaintSession& paint) {
    std::lock_guard<std::mutex> lock(mutex);
    WindowRecord* w = window(handle);
    if (!w) {
        return beginSurfacePaint(0, {0, 0, 0, 0}, false, 0, paint);
    }
    WindowEvents& events = w->events;
    WindowClass* cls = findClass(w->className.c_str());
    ColourRef background = cls ? software::systemColour(cls->background) : 0;
    PixelRect area = events.updatePending ? events.update : PixelRect{0, 0, 0, 0};
    bool erase = events.updatePending && events.erasePending;
    events.updatePending = false;
    events.erasePending = false;
    return beginSurfacePaint(w->buffer.surface, area, erase, background, paint);
}

void X11Backend::endPaint(WindowHandle handle, PaintSession& paint) {
    std::lock_guard<std::mutex> lock(mutex);
    endSurfacePaint(paint);
    WindowRecord* w = window(handle);
    Display* display = connection.display();
    if (w && w->alive && display) {
        ErrorTrap trap(display);
        present(*w, software::unite(paint.area, takeDamage(w->buffer.surface)));
    }
}

DeviceContextHandle X11Backend::windowDC(WindowHandle handle) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!handle) {
        return screenDC();
    }
    WindowRecord* w = window(handle);
    if (!w) {
        return nullptr;
    }
    DeviceContextHandle dc = surfaceDC(w->buffer.surface);
    if (dc) {
        windowContexts[handleValue(dc)] = w->xid;
    }
    return dc;
}

void X11Backend::releaseWindowDC(WindowHandle, DeviceContextHandle dc) {
    std::lock_guard<std::mutex> lock(mutex);
    auto tracked = windowContexts.find(handleValue(dc));
    if (tracked != windowContexts.end()) {
        auto found = windows.find(tracked->second);
        if (found != windows.end()) {
            showDirty(found->second);
        }
        windowContexts.erase(tracked);
    }
    releaseSurfaceDC(dc);
}

// ----- Showing the back buffers (lock held) -----

void X11Backend::present(WindowRecord& w, const PixelRect& area) {
    Display* display = connection.display();
    const software::Surface* pixels = surfacePixels(w.buffer.surface);
    if (!w.alive || !display || !pixels) {
        return;
    }
    w.buffer.present(display, *pixels, area);
}

void X11Backend::showDirty(WindowRecord& w) {
    Display* display = connection.display();
    if (!display) {
        return;
    }
    PixelRect dirty = takeDamage(w.buffer.surface);
    if (software::isEmpty(dirty)) {
        return;
    }
    ErrorTrap trap(display);
    present(w, dirty);
}

void X11Backend::presentDirtyWindows() {
    std::thread::id self = std::this_thread::get_id();
    for (auto& entry : windows) {
        WindowRecord& w = entry.second;
        if (w.events.owner != self) {
            continue;
        }
        PixelRect dirty = takeDamage(w.buffer.surface);
        if (!software::isEmpty(dirty)) {
            present(w, dirty);
        }
    }
}

} // namespace platform::x11
