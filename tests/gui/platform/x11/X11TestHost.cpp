// The test host's X connection, windows, properties, captures and XTest input, and the
// recording host callback.
// Xlib last: its macros (None, Bool, ...) clash with names in other headers.
// clang-format off
#include "tests/gui/platform/x11/X11TestHost.h"
// clang-format on
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

int ignoreErrors(Display*, XErrorEvent*) {
    return 0;
}

// The channel of a pixel under one of the visual's masks, scaled to 0..255.
uint32_t channel(unsigned long pixel, unsigned long mask) {
    if (!mask) {
        return 0;
    }
    int shift = 0;
    while (!((mask >> shift) & 1)) {
        ++shift;
    }
    unsigned long bits = mask >> shift;
    unsigned long value = (pixel & mask) >> shift;
    return static_cast<uint32_t>(value * 255 / bits);
}

} // namespace

X11TestHost::X11TestHost() {
    const char* name = std::getenv("DISPLAY");
    // A busy server refuses a connection now and then: try a few times.
    for (int attempt = 0; attempt < 10 && !display; ++attempt) {
        display = XOpenDisplay(nullptr);
        if (!display && name && *name) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
    }
    if (!display) {
        reason = std::string("no X server could be opened (DISPLAY=") + (name ? name : "unset") +
                 "); window tests run under xvfb-run (scripts/test)";
        return;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    xtest = XTestQueryExtension(display, &event, &error, &major, &minor);
}

X11TestHost::~X11TestHost() {
    if (!display) {
        return;
    }
    XErrorHandler previous = XSetErrorHandler(&ignoreErrors);
    for (Window w : created) {
        XDestroyWindow(display, w);
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    XCloseDisplay(display);
}

Window X11TestHost::createHostWindow(int x, int y, int width, int height) {
    int screen = DefaultScreen(display);
    XSetWindowAttributes attributes{};
    attributes.background_pixel = BlackPixel(display, screen);
    attributes.override_redirect = True; // placed exactly where asked
    attributes.event_mask = StructureNotifyMask;
    Window w =
        XCreateWindow(display, RootWindow(display, screen), x, y, static_cast<unsigned>(width),
                      static_cast<unsigned>(height), 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWBackPixel | CWOverrideRedirect | CWEventMask, &attributes);
    created.push_back(w);
    XMapWindow(display, w);
    XSync(display, False);
    for (int i = 0; i < 500 && !viewable(w); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return w;
}

void X11TestHost::destroyWindow(Window window) {
    XErrorHandler previous = XSetErrorHandler(&ignoreErrors);
    XDestroyWindow(display, window);
    XSync(display, False);
    XSetErrorHandler(previous);
    for (auto it = created.begin(); it != created.end(); ++it) {
        if (*it == window) {
            created.erase(it);
            break;
        }
    }
}

std::vector<Window> X11TestHost::children(Window window) {
    Window root = 0, parent = 0;
    Window* list = nullptr;
    unsigned int count = 0;
    std::vector<Window> out;
    XErrorHandler previous = XSetErrorHandler(&ignoreErrors);
    if (XQueryTree(display, window, &root, &parent, &list, &count)) {
        out.assign(list, list + count);
    }
    if (list) {
        XFree(list);
    }
    XSync(display, False);
    XSetErrorHandler(previous);
    return out;
}

bool X11TestHost::geometry(Window window, int& x, int& y, int& width, int& height) {
    XWindowAttributes a{};
    XErrorHandler previous = XSetErrorHandler(&ignoreErrors);
    bool ok = XGetWindowAttributes(display, window, &a) != 0;
    XSync(display, False);
    XSetErrorHandler(previous);
    if (ok) {
        x = a.x;
        y = a.y;
        width = a.width;
        height = a.height;
    }
    return ok;
}

bool X11TestHost::viewable(Window window) {
    XWindowAttributes a{};
    XErrorHandler previous = XSetErrorHandler(&ignoreErrors);
    bool ok = XGetWindowAttributes(display, window, &a) != 0;
    XSync(display, False);
    XSetErrorHandler(previous);
    return ok && a.map_state == IsViewable;
}

bool X11TestHost::screenOrigin(Window window, int& x, int& y) {
    Window child = 0;
    return XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y,
                                 &child) != 0;
}

std::vector<unsigned long> X11TestHost::property(Window window, const char* name) {
    Atom atom = XInternAtom(display, name, False);
    Atom type = 0;
    int format = 0;
    unsigned long items = 0, after = 0;
    unsigned char* data = nullptr;
    std::vector<unsigned long> out;
    if (XGetWindowProperty(display, window, atom, 0, 32, False, AnyPropertyType, &type, &format,
                           &items, &after, &data) == Success &&
        data && format == 32) {
        const long* values = reinterpret_cast<const long*>(data);
        for (unsigned long i = 0; i < items; ++i) {
            out.push_back(static_cast<unsigned long>(values[i]) & 0xFFFFFFFFul);
        }
    }
    if (data) {
        XFree(data);
    }
    return out;
}

std::string X11TestHost::title(Window window) {
    char* name = nullptr;
    std::string out;
    if (XFetchName(display, window, &name) && name) {
        out = name;
        XFree(name);
    }
    return out;
}

std::vector<uint32_t> X11TestHost::capture(Window window, int width, int height) {
    std::vector<uint32_t> out;
    XImage* image = XGetImage(display, window, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    if (!image) {
        return out;
    }
    out.reserve(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            unsigned long p = XGetPixel(image, x, y);
            out.push_back(channel(p, image->red_mask) | (channel(p, image->green_mask) << 8) |
                          (channel(p, image->blue_mask) << 16));
        }
    }
    XDestroyImage(image);
    return out;
}

void X11TestHost::movePointer(int screenX, int screenY) {
    XTestFakeMotionEvent(display, DefaultScreen(display), screenX, screenY, CurrentTime);
    sync();
}

void X11TestHost::button(unsigned int which, bool press) {
    XTestFakeButtonEvent(display, which, press ? True : False, CurrentTime);
    sync();
}

void X11TestHost::key(unsigned long keysym, bool press) {
    KeyCode code = XKeysymToKeycode(display, keysym);
    XTestFakeKeyEvent(display, code, press ? True : False, CurrentTime);
    sync();
}

bool X11TestHost::setButtonMap(const std::vector<unsigned char>& map) {
    unsigned char current[256];
    int count = XGetPointerMapping(display, current, 256);
    std::vector<unsigned char> full(current, current + count);
    for (size_t i = 0; i < map.size() && i < full.size(); ++i) {
        full[i] = map[i];
    }
    bool ok = XSetPointerMapping(display, full.data(), count) == MappingSuccess;
    sync();
    return ok;
}

void X11TestHost::expose(Window window, int x, int y, int width, int height) {
    XClearArea(display, window, x, y, static_cast<unsigned>(width), static_cast<unsigned>(height),
               True);
    sync();
}

void X11TestHost::sync() {
    XSync(display, False);
}

int32_t countDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) {
        return -1;
    }
    int32_t n = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        n += (a[i] & 0xFFFFFF) != (b[i] & 0xFFFFFF) ? 1 : 0;
    }
    return n;
}

std::vector<HostCall> hostCalls;

intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*,
                                   float opt) {
    if (opcode == audioMasterVersion) {
        return 2400;
    }
    if (opcode != audioMasterIdle) {
        hostCalls.push_back({opcode, index, opt});
    }
    return 0;
}
