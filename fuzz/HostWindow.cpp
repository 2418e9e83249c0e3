// The host's side of the editor's window for the fuzzer: a real X window on
// the display when there is one, replaced now and then as a host replaces it.
#include "fuzz/HostWindow.h"

#include <cstdint>
#include <cstdlib>

#if defined(FUMARA_FUZZ_X11)
// clang-format off
#include <X11/Xlib.h>
// clang-format on
#endif

namespace fuzz {

#if defined(FUMARA_FUZZ_X11)
namespace {

Display* display = nullptr;
Window hostWindow = 0;

void makeHostWindow() {
    hostWindow = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 400, 300, 0, 0, 0);
    XMapWindow(display, hostWindow);
    XSync(display, False);
}

} // namespace

void openDisplay() {
    if (std::getenv("DISPLAY") && (display = XOpenDisplay(nullptr))) {
        makeHostWindow();
    }
}

void* editorParent(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
    case 0:
        return nullptr;
    case 1:
        return reinterpret_cast<void*>(static_cast<uintptr_t>(0x7FFFFFF0));
    case 2:
        if (display) {
            // The host replaces its window: the old one is gone for good.
            const Window old = hostWindow;
            makeHostWindow();
            XDestroyWindow(display, old);
            XSync(display, False);
            return reinterpret_cast<void*>(static_cast<uintptr_t>(old));
        }
        return nullptr;
    default:
        return display ? reinterpret_cast<void*>(static_cast<uintptr_t>(hostWindow)) : nullptr;
    }
}

void drainHostEvents() {
    if (!display) {
        return;
    }
    while (XPending(display) > 0) {
        XEvent event;
        XNextEvent(display, &event);
    }
}
#else
void openDisplay() {}
void* editorParent(FuzzedDataProvider& in) {
    return in.ConsumeBool() ? nullptr : reinterpret_cast<void*>(static_cast<uintptr_t>(0x1234));
}
void drainHostEvents() {}
#endif

} // namespace fuzz
