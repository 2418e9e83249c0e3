// The X11 backend's window registry: window classes, the making of child
// windows inside the host's window with their back buffers, their
// destruction, and the records kept for them.
#include "gui/platform/x11/X11Backend.h"

#include <X11/Xutil.h>
#include <algorithm>
#include <dlfcn.h>
#include <iterator>
#include <strings.h>

namespace platform::x11 {

namespace {

constexpr int32_t maxWindowSide = 16384;

// The module that holds this code (the plug-in's shared object).
ModuleHandle ownModule() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&ownModule), &info) && info.dli_fbase) {
        return handleFrom<ModuleHandle>(handleValue(info.dli_fbase));
    }
    return handleFrom<ModuleHandle>(static_cast<uintptr_t>(0x10000));
}

// The window's only size, as its WM_NORMAL_HINTS tell it (trap held).
void setSizeHints(Display* display, XWindow id, unsigned int width, unsigned int height) {
    XSizeHints hints{};
    hints.flags = PMinSize | PMaxSize | PBaseSize;
    hints.min_width = hints.max_width = hints.base_width = static_cast<int>(width);
    hints.min_height = hints.max_height = hints.base_height = static_cast<int>(height);
    XSetWMNormalHints(display, id, &hints);
}

} // namespace

X11Backend::X11Backend() : module(ownModule()) {}

X11Backend::~X11Backend() {
    // Unloaded while windows still exist (the host never closed the editor):
    // take them down without calling into the toolkit, so that no window is
    // left whose event procedure points into unloaded code.
    std::lock_guard<std::mutex> lock(mutex);
    Display* display = connection.display();
    if (!display) {
        return;
    }
    {
        ErrorTrap trap(display);
        for (auto& entry : windows) {
            entry.second.buffer.detach();
            if (entry.second.alive) {
                XDestroyWindow(display, entry.first);
            }
        }
    }
    windows.clear();
    connection.close();
}

Diagnostics X11Backend::diagnostics() {
    std::lock_guard<std::mutex> lock(mutex);
    Diagnostics d;
    d.connected = connection.display() != nullptr;
    d.windows = static_cast<int32_t>(windows.size());
    d.connectionsOpened = connection.opened();
    d.ignoredErrors = Connection::absorbedErrors();
    return d;
}

// ----- Lookups (lock held) -----

X11Backend::WindowClass* X11Backend::findClass(const char* name) {
    for (WindowClass& c : classes) {
        if (strcasecmp(c.name.c_str(), name) == 0) {
            return &c;
        }
    }
    return nullptr;
}

WindowRecord* X11Backend::window(WindowHandle handle) {
    auto it = windows.find(handleValue(handle));
    return it == windows.end() ? nullptr : &it->second;
}

void X11Backend::collectSubtree(XWindow root, std::vector<XWindow>& out) const {
    out.push_back(root);
    for (const auto& entry : windows) {
        if (entry.second.parent == root && entry.first != root) {
            collectSubtree(entry.first, out);
        }
    }
}

void X11Backend::closeDisplayIfUnused() {
    if (windows.empty()) {
        connection.close();
    }
}

// ----- Window classes -----

bool X11Backend::registerWindowClass(const WindowClassDescription& description) {
    std::lock_guard<std::mutex> lock(mutex);
    if (!description.name || !*description.name || !description.procedure ||
        findClass(description.name)) {
        return false;
    }
    classes.push_back({description.name, description.procedure, description.module,
                       description.backgroundSystemColour});
    return true;
}

bool X11Backend::unregisterWindowClass(const char* name, ModuleHandle fromModule) {
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
    classes.erase(classes.begin() + (found - classes.data()));
    return true;
}

// ----- Windows -----

WindowHandle X11Backend::createWindow(const char* className, const char* title, uint32_t style,
                                      int32_t x, int32_t y, int32_t width, int32_t height,
                                      WindowHandle parent, ModuleHandle) {
    std::lock_guard<std::mutex> lock(mutex);
    WindowClass* cls = className ? findClass(className) : nullptr;
    if (!cls || ((style & WindowStyleChild) && !parent) || width < 0 || height < 0 ||
        width > maxWindowSide || height > maxWindowSide) {
        return nullptr;
    }
    auto ownParent = windows.find(handleValue(parent));
    if (ownParent != windows.end() && !ownParent->second.alive) {
        return nullptr;
    }
    if (!connection.open()) {
        return nullptr;
    }
    Display* display = connection.display();
    WindowRecord record;
    record.className = cls->name;
    record.width = width;
    record.height = height;
    record.events.owner = std::this_thread::get_id();
    record.events.ownerSeen = tickCount();
    record.parent = ownParent != windows.end() ? ownParent->first : 0;
    XWindow created = 0;
    {
        ErrorTrap trap(display);
        created = createChild(parent ? handleValue(parent) : DefaultRootWindow(display), x, y,
                              width, height, style, title, record);
        if (created && !trap.succeeded()) {
            record.buffer.detach();
            XDestroyWindow(display, created);
            created = 0;
        }
    }
    if (!created) {
        closeDisplayIfUnused();
        return nullptr;
    }
    record.buffer.surface = createWindowSurface(width, height);
    if ((style & WindowStyleVisible) && width > 0 && height > 0) {
        // A visible window starts out wholly invalid.
        record.events.updatePending = true;
        record.events.erasePending = true;
        record.events.update = {0, 0, width, height};
    }
    windows.emplace(created, std::move(record));
    return handleFrom<WindowHandle>(created);
}

XWindow X11Backend::createChild(XWindow parentId, int32_t x, int32_t y, int32_t width,
                                int32_t height, uint32_t style, const char* title,
                                WindowRecord& record) {
    Display* display = connection.display();
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
        XCreateWindow(display, parentId, x, y, w, h, 0, CopyFromParent, InputOutput, CopyFromParent,
                      CWBackPixmap | CWBitGravity | CWEventMask, &attributes);
    if (!created) {
        return 0;
    }
    record.xid = created;
    if (title) {
        XStoreName(display, created, title);
    }
    publishEventProcedure(created);
    // Declared before it is mapped: whoever embeds it sees the size from the start.
    setSizeHints(display, created, w, h);
    if (style & WindowStyleVisible) {
        XMapWindow(display, created);
    }
    XWindowAttributes own{};
    if (!XGetWindowAttributes(display, created, &own)) {
        return created; // the caller sees the error and takes the window down
    }
    record.root = own.root;
    record.buffer.attach(display, created, own.visual, own.depth, static_cast<int32_t>(w),
                         static_cast<int32_t>(h));
    return created;
}

// The property that hosts read to pass the window's events to the plug-in
// themselves: the address of the event function, as 32-bit items (on 64-bit
// systems the low half first, then the high half).
void X11Backend::publishEventProcedure(XWindow id) {
    uint64_t address = static_cast<uint64_t>(reinterpret_cast<uintptr_t>(eventProcedure()));
    long items[2] = {static_cast<long>(address & 0xFFFFFFFFu),
                     static_cast<long>((address >> 32) & 0xFFFFFFFFu)};
    int count = sizeof(void*) > 4 ? 2 : 1;
    Atom property = connection.eventProcedureAtom;
    XChangeProperty(connection.display(), id, property, property, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(items), count);
}

bool X11Backend::destroyWindow(WindowHandle handle) {
    std::vector<XWindow> doomed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        WindowRecord* w = window(handle);
        if (!w || w->destroying) {
            return false;
        }
        Display* display = connection.display();
        ErrorTrap trap(display);
        // A notice already waiting tells that the server destroyed it.
        drainEvents();
        collectSubtree(handleValue(handle), doomed);
        for (XWindow id : doomed) {
            WindowRecord& d = windows.at(id);
            d.destroying = true;
            d.events.destroyNoticePending = false;
        }
        WindowRecord& top = windows.at(handleValue(handle));
        if (top.alive) {
            for (XWindow id : doomed) {
                windows.at(id).buffer.detach();
            }
            XDestroyWindow(display, top.xid);
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

void X11Backend::markDead(WindowRecord& w) {
    w.drop.abandon(connection, w.xid);
    w.alive = false;
    w.events.updatePending = false;
    w.events.erasePending = false;
    w.events.buttons.clear();
    takeDamage(w.buffer.surface);
    w.buffer.detach();
}

void X11Backend::forget(XWindow id) {
    auto it = windows.find(id);
    if (it == windows.end()) {
        return;
    }
    {
        ErrorTrap trap(connection.display());
        it->second.buffer.detach();
        // A source still waiting for this window's answer is told now.
        it->second.drop.abandon(connection, id);
    }
    for (auto dc = windowContexts.begin(); dc != windowContexts.end();) {
        dc = dc->second == id ? windowContexts.erase(dc) : std::next(dc);
    }
    destroyWindowSurface(it->second.buffer.surface);
    if (it->second.drop.sink) {
        // Deleted once no sink call runs, and never under the lock.
        retiredSinks.push_back(std::move(it->second.drop.sink));
    }
    windows.erase(it);
}

void X11Backend::setWindowUserData(WindowHandle handle, void* data) {
    std::lock_guard<std::mutex> lock(mutex);
    if (WindowRecord* w = window(handle)) {
        w->userData = data;
    }
}

void* X11Backend::windowUserData(WindowHandle handle) {
    std::lock_guard<std::mutex> lock(mutex);
    WindowRecord* w = window(handle);
    return w ? w->userData : nullptr;
}

WindowRecord* X11Backend::sizableWindow(WindowHandle handle, int32_t width, int32_t height) {
    WindowRecord* w = window(handle);
    if (!w || !w->alive || w->destroying || !connection.display() || width < 0 || height < 0 ||
        width > maxWindowSide || height > maxWindowSide) {
        return nullptr;
    }
    return w;
}

bool X11Backend::setWindowSize(WindowHandle handle, int32_t width, int32_t height) {
    std::lock_guard<std::mutex> lock(mutex);
    WindowRecord* w = sizableWindow(handle, width, height);
    Display* display = connection.display();
    if (!w) {
        return false;
    }
    const unsigned int xw = static_cast<unsigned int>(std::max(width, 1));
    const unsigned int xh = static_cast<unsigned int>(std::max(height, 1));
    XWindowAttributes own{};
    {
        ErrorTrap trap(display);
        setSizeHints(display, w->xid, xw, xh);
        XResizeWindow(display, w->xid, xw, xh);
        if (!XGetWindowAttributes(display, w->xid, &own) || !trap.succeeded()) {
            return false;
        }
    }
    w->width = width;
    w->height = height;
    resizeWindowSurface(w->buffer.surface, width, height);
    w->buffer.attach(display, w->xid, own.visual, own.depth, static_cast<int32_t>(xw),
                     static_cast<int32_t>(xh));
    w->events.updatePending = width > 0 && height > 0;
    w->events.erasePending = w->events.updatePending;
    w->events.update = {0, 0, width, height};
    return true;
}

bool X11Backend::declareWindowSize(WindowHandle handle, int32_t width, int32_t height) {
    std::lock_guard<std::mutex> lock(mutex);
    WindowRecord* w = sizableWindow(handle, width, height);
    Display* display = connection.display();
    if (!w) {
        return false;
    }
    ErrorTrap trap(display);
    setSizeHints(display, w->xid, static_cast<unsigned int>(std::max(width, 1)),
                 static_cast<unsigned int>(std::max(height, 1)));
    return trap.succeeded();
}

bool X11Backend::windowScreenRect(WindowHandle handle, PixelRect& screen) {
    std::lock_guard<std::mutex> lock(mutex);
    WindowRecord* w = window(handle);
    Display* display = connection.display();
    if (!w || !w->alive || !display) {
        return false;
    }
    int x = 0, y = 0;
    XWindow child = 0;
    bool ok = false;
    {
        ErrorTrap trap(display);
        ok = XTranslateCoordinates(display, w->xid, w->root, 0, 0, &x, &y, &child) &&
             trap.succeeded();
    }
    if (!ok) {
        return false;
    }
    screen = {x, y, x + w->width, y + w->height};
    return true;
}

} // namespace platform::x11
