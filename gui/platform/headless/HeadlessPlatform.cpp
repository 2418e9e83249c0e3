// The headless backend's windows: classes, the window tree, paints, window
// contexts and drop registrations, all in memory.
#include "gui/platform/headless/HeadlessPlatform.h"

#include <algorithm>
#include <strings.h>
#include <utility>

namespace platform::headless {

namespace {

constexpr int32_t maxWindowSide = 16384;

bool sameName(const std::string& a, const std::string& b) {
    return strcasecmp(a.c_str(), b.c_str()) == 0;
}

} // namespace

HeadlessPlatform::HeadlessPlatform() = default;

HeadlessPlatform::~HeadlessPlatform() = default;

HeadlessPlatform& sharedPlatform() {
    static HeadlessPlatform instance;
    return instance;
}

ModuleHandle HeadlessPlatform::moduleHandle() {
    // Any value will do that no real handle has; this one looks like a module's.
    return handleFrom<ModuleHandle>(0x6A2C0000u);
}

bool HeadlessPlatform::cursorPosition(PixelPoint& screen) {
    screen = {0, 0};
    return true;
}

HeadlessPlatform::Window* HeadlessPlatform::window(WindowHandle handle) {
    auto it = windows.find(handleValue(handle));
    return it == windows.end() ? nullptr : &it->second;
}

const HeadlessPlatform::Window* HeadlessPlatform::window(WindowHandle handle) const {
    auto it = windows.find(handleValue(handle));
    return it == windows.end() ? nullptr : &it->second;
}

// ----- Classes -----

bool HeadlessPlatform::registerWindowClass(const WindowClassDescription& description) {
    if (!description.name || !*description.name || !description.procedure) {
        return false;
    }
    for (const auto& entry : classes) {
        if (sameName(entry.first, description.name)) {
            return false;
        }
    }
    classes[description.name] = WindowClass{description.style, description.procedure,
                                            description.module, description.backgroundSystemColour};
    return true;
}

bool HeadlessPlatform::unregisterWindowClass(const char* name, ModuleHandle fromModule) {
    if (!name) {
        return false;
    }
    for (auto it = classes.begin(); it != classes.end(); ++it) {
        if (!sameName(it->first, name)) {
            continue;
        }
        if (it->second.module != fromModule) {
            return false;
        }
        for (const auto& w : windows) {
            if (sameName(w.second.className, it->first)) {
                return false;
            }
        }
        classes.erase(it);
        return true;
    }
    return false;
}

// ----- The window tree -----

WindowHandle HeadlessPlatform::createWindow(const char* className, const char* title,
                                            uint32_t style, int32_t x, int32_t y, int32_t width,
                                            int32_t height, WindowHandle parent,
                                            ModuleHandle fromModule) {
    if (!className) {
        return nullptr;
    }
    std::string name;
    for (const auto& entry : classes) {
        if (sameName(entry.first, className)) {
            name = entry.first;
        }
    }
    if (name.empty() || (parent && !window(parent)) || ((style & WindowStyleChild) && !parent) ||
        width < 0 || height < 0 || width > maxWindowSide || height > maxWindowSide) {
        return nullptr;
    }
    Window w;
    w.className = name;
    w.title = title ? title : "";
    w.style = style;
    w.rect = {x, y, x + width, y + height};
    w.parent = handleValue(parent);
    w.module = fromModule;
    w.surface = createWindowSurface(width, height);
    w.width = width;
    w.height = height;
    if (style & WindowStyleVisible) {
        w.updatePending = width > 0 && height > 0;
        w.erasePending = w.updatePending;
        w.update = {0, 0, width, height};
    }
    uintptr_t h = newHandle();
    windows.emplace(h, std::move(w));
    return handleFrom<WindowHandle>(h);
}

WindowHandle HeadlessPlatform::createHostWindow(const PixelRect& screenRect) {
    Window w;
    w.title = "Host";
    w.rect = screenRect;
    w.module = nullptr;
    w.width = std::max(0, screenRect.right - screenRect.left);
    w.height = std::max(0, screenRect.bottom - screenRect.top);
    w.surface = createWindowSurface(w.width, w.height);
    uintptr_t h = newHandle();
    windows.emplace(h, std::move(w));
    return handleFrom<WindowHandle>(h);
}

void HeadlessPlatform::collectSubtree(uintptr_t root, std::vector<uintptr_t>& out) const {
    out.push_back(root);
    for (const auto& w : windows) {
        if (w.second.parent == root) {
            collectSubtree(w.first, out);
        }
    }
}

bool HeadlessPlatform::destroyWindow(WindowHandle handle) {
    Window* w = window(handle);
    if (!w || w->destroying) {
        return false;
    }
    std::vector<uintptr_t> doomed;
    collectSubtree(handleValue(handle), doomed);
    for (uintptr_t h : doomed) {
        if (Window* d = window(handleFrom<WindowHandle>(h))) {
            d->destroying = true;
        }
    }
    // The window is told first, then its children, while all handles still work.
    for (uintptr_t h : doomed) {
        if (window(handleFrom<WindowHandle>(h))) {
            sendMessage(handleFrom<WindowHandle>(h), MessageDestroy, 0, 0);
        }
    }
    for (uintptr_t h : doomed) {
        auto it = windows.find(h);
        if (it == windows.end()) {
            continue;
        }
        retireSink(std::move(it->second.dropSink));
        destroyWindowSurface(it->second.surface);
        windows.erase(it);
    }
    return true;
}

bool HeadlessPlatform::setWindowSize(WindowHandle handle, int32_t width, int32_t height) {
    Window* w = window(handle);
    if (!w || w->destroying || width < 0 || height < 0 || width > maxWindowSide ||
        height > maxWindowSide || !resizeWindowSurface(w->surface, width, height)) {
        return false;
    }
    w->rect.right = w->rect.left + width;
    w->rect.bottom = w->rect.top + height;
    w->width = width;
    w->height = height;
    // All of it is to be painted again.
    w->updatePending = width > 0 && height > 0;
    w->erasePending = w->updatePending;
    w->update = {0, 0, width, height};
    return true;
}

void HeadlessPlatform::setWindowUserData(WindowHandle handle, void* data) {
    if (Window* w = window(handle)) {
        w->userData = data;
    }
}

void* HeadlessPlatform::windowUserData(WindowHandle handle) {
    Window* w = window(handle);
    return w ? w->userData : nullptr;
}

intptr_t HeadlessPlatform::sendMessage(WindowHandle handle, uint32_t message, uintptr_t wParam,
                                       intptr_t lParam) {
    Window* w = window(handle);
    if (!w) {
        return -1;
    }
    auto c = classes.find(w->className);
    if (w->className.empty() || c == classes.end() || !c->second.procedure) {
        return defaultWindowProcedure(handle, message, wParam, lParam);
    }
    return c->second.procedure(handle, message, wParam, lParam);
}

intptr_t HeadlessPlatform::defaultWindowProcedure(WindowHandle handle, uint32_t message,
                                                  uintptr_t wParam, intptr_t lParam) {
    if (message == MessagePaint && window(handle)) {
        // Painting nothing still erases and validates, as the default handling does.
        PaintSession paint;
        beginPaint(handle, paint);
        endPaint(handle, paint);
    }
    return 0;
}

PixelPoint HeadlessPlatform::screenOrigin(uintptr_t handle) const {
    PixelPoint origin{0, 0};
    for (const Window* w = window(handleFrom<WindowHandle>(handle)); w;
         w = window(handleFrom<WindowHandle>(w->parent))) {
        origin.x += w->rect.left;
        origin.y += w->rect.top;
    }
    return origin;
}

bool HeadlessPlatform::windowScreenRect(WindowHandle handle, PixelRect& screenRect) {
    const Window* w = window(handle);
    if (!w) {
        return false;
    }
    PixelPoint origin = screenOrigin(handleValue(handle));
    screenRect = {origin.x, origin.y, origin.x + w->width, origin.y + w->height};
    return true;
}

const software::Surface* HeadlessPlatform::windowSurface(WindowHandle handle) const {
    const Window* w = window(handle);
    return w ? surfacePixels(w->surface) : nullptr;
}

// ----- Paints and window contexts -----

bool HeadlessPlatform::updateRect(WindowHandle handle, PixelRect* rect) {
    const Window* w = window(handle);
    if (!w || !w->updatePending) {
        if (rect) {
            *rect = {0, 0, 0, 0};
        }
        return false;
    }
    if (rect) {
        *rect = w->update;
    }
    return true;
}

DeviceContextHandle HeadlessPlatform::beginPaint(WindowHandle handle, PaintSession& paint) {
    Window* w = window(handle);
    if (!w) {
        return beginSurfacePaint(0, {0, 0, 0, 0}, false, 0, paint);
    }
    auto cls = classes.find(w->className);
    ColourRef background =
        cls != classes.end() ? software::systemColour(cls->second.background) : 0;
    PixelRect area = w->updatePending ? w->update : PixelRect{0, 0, 0, 0};
    bool erase = w->erasePending;
    w->updatePending = false;
    w->erasePending = false;
    return beginSurfacePaint(w->surface, area, erase, background, paint);
}

void HeadlessPlatform::endPaint(WindowHandle, PaintSession& paint) {
    endSurfacePaint(paint);
}

DeviceContextHandle HeadlessPlatform::windowDC(WindowHandle handle) {
    if (!handle) {
        return screenDC();
    }
    const Window* w = window(handle);
    return w ? surfaceDC(w->surface) : nullptr;
}

void HeadlessPlatform::releaseWindowDC(WindowHandle, DeviceContextHandle dc) {
    releaseSurfaceDC(dc);
}

bool HeadlessPlatform::dispatchOnePaintMessage() {
    for (auto& entry : windows) {
        if (entry.second.updatePending && !entry.second.destroying) {
            sendMessage(handleFrom<WindowHandle>(entry.first), MessagePaint, 0, 0);
            return true;
        }
    }
    return false;
}

int32_t HeadlessPlatform::deliverPaints() {
    int32_t count = 0;
    // A window procedure that never validates would ask forever; stop after many.
    while (count < 1000 && dispatchOnePaintMessage()) {
        ++count;
    }
    return count;
}

// ----- Drop registrations -----

bool HeadlessPlatform::registerDropTarget(WindowHandle handle, DropSink* sink) {
    std::unique_ptr<DropSink> owned(sink);
    Window* w = window(handle);
    if (!w || !sink || w->dropSink || w->destroying) {
        return false;
    }
    w->dropSink = std::move(owned);
    return true;
}

bool HeadlessPlatform::revokeDropTarget(WindowHandle handle) {
    Window* w = window(handle);
    if (!w || !w->dropSink) {
        return false;
    }
    retireSink(std::move(w->dropSink));
    return true;
}

} // namespace platform::headless
