// Drags from other applications onto the backend's windows: each window's
// side of the protocol, and the backend's registrations, sink calls and
// answers to the sources.
#include "gui/platform/x11/X11Backend.h"

#include <X11/Xatom.h>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <sys/stat.h>

namespace platform::x11 {

namespace {

// How long a drop waits for its data from the source before it is given up.
std::atomic<uint32_t> dropDataTimeout{3000};
// The largest dropped text or file list taken, in bytes.
constexpr long maxDropBytes = 16L * 1024 * 1024;
// The most types read from a source's type list.
constexpr long maxDragTypes = 256;

// The key state of drag-and-drop calls, as the toolkit reads it.
enum : uint32_t {
    DragKeyLeftButton = 0x01,
    DragKeyRightButton = 0x02,
    DragKeyShift = 0x04,
    DragKeyMiddleButton = 0x10,
    DragKeyAlt = 0x20,
};

// The types a source offers: up to three in its enter message, or its type list.
std::vector<Atom> offeredTypes(Display* display, const XdndAtoms& dnd,
                               const XClientMessageEvent& message) {
    std::vector<Atom> types;
    ::Window source = static_cast<::Window>(message.data.l[0]);
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

} // namespace

void setDropDataTimeout(uint32_t milliseconds) {
    dropDataTimeout.store(milliseconds, std::memory_order_relaxed);
}

// ----- One window's side of the protocol -----

void DropTarget::abandon(const Connection& connection, ::Window self) {
    if (Display* display = connection.display()) {
        if (drag.dropPending) {
            sendFinished(display, connection.dnd, drag.source, self, false, 0);
        }
        for (const DragStep& step : steps) {
            if (step.kind == DragStep::Drop) {
                sendFinished(display, connection.dnd, step.source, self, false, 0);
            }
        }
    }
    drag = DragState();
    steps.clear();
}

void DropTarget::end(const Connection& connection, ::Window self) {
    if (drag.dropPending && connection.display()) {
        sendFinished(connection.display(), connection.dnd, drag.source, self, false, 0);
    }
    if (drag.entered) {
        steps.push_back({DragStep::Leave, drag.source, nullptr, drag.point});
    }
    drag = DragState();
}

void DropTarget::absorbMessage(const Connection& connection, ::Window self,
                               const XClientMessageEvent& message, uint32_t now) {
    Display* display = connection.display();
    const XdndAtoms& dnd = connection.dnd;
    if (message.format != 32 || !display) {
        return;
    }
    ::Window source = static_cast<::Window>(message.data.l[0]);
    if (message.message_type == dnd.enter) {
        long version = (message.data.l[1] >> 24) & 0xFF;
        if (!sink || source == 0 || version < 3 || version > xdndVersion) {
            return;
        }
        end(connection, self);
        drag.source = source;
        DragKind kind = chooseDragKind(offeredTypes(display, dnd, message), dnd, drag.conversion);
        drag.data = std::make_shared<XdndData>(kind);
    } else if (message.message_type == dnd.position) {
        if (source == 0) {
            return;
        }
        if (!sink || source != drag.source || drag.dropPending) {
            sendStatus(display, dnd, source, self, 0);
            return;
        }
        unsigned long packed = static_cast<unsigned long>(message.data.l[2]);
        drag.point = {static_cast<int32_t>((packed >> 16) & 0xFFFF),
                      static_cast<int32_t>(packed & 0xFFFF)};
        steps.push_back(
            {drag.entered ? DragStep::Over : DragStep::Enter, source, drag.data, drag.point});
        drag.entered = true;
    } else if (message.message_type == dnd.leave) {
        if (source != 0 && source == drag.source) {
            end(connection, self);
        }
    } else if (message.message_type == dnd.drop) {
        if (source == 0 || drag.dropPending) {
            return;
        }
        if (source != drag.source || !sink || !drag.entered || !drag.data || drag.conversion == 0) {
            // Nothing this window takes: the source may finish at once.
            sendFinished(display, dnd, source, self, false, 0);
            if (source == drag.source) {
                end(connection, self);
            }
            return;
        }
        // The data arrives as a selection event; the wait is bounded.
        Time when = static_cast<Time>(static_cast<unsigned long>(message.data.l[2]));
        XDeleteProperty(display, self, dnd.dropProperty);
        XConvertSelection(display, dnd.selection, drag.conversion, dnd.dropProperty, self, when);
        XFlush(display);
        drag.dropPending = true;
        drag.dropDeadline = now + dropDataTimeout.load(std::memory_order_relaxed);
    }
}

void DropTarget::absorbData(const Connection& connection, ::Window self,
                            const XSelectionEvent& event) {
    Display* display = connection.display();
    const XdndAtoms& dnd = connection.dnd;
    if (!display || event.selection != dnd.selection) {
        return;
    }
    if (!drag.dropPending) {
        // An answer that came too late: its data is not wanted.
        if (event.property == dnd.dropProperty) {
            XDeleteProperty(display, self, dnd.dropProperty);
        }
        return;
    }
    bool received = false;
    if (event.property != 0) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* bytes = nullptr;
        if (XGetWindowProperty(display, self, event.property, 0, maxDropBytes / 4, False,
                               AnyPropertyType, &type, &format, &count, &after,
                               &bytes) == Success) {
            // Text and URI lists come as 8-bit data in one piece; data sent
            // in increments, too large or in another format is refused.
            if (type != dnd.incremental && format == 8 && after == 0 && bytes) {
                drag.data->setContent(bytes, count, connection.localHost);
                received = true;
            }
            if (bytes) {
                XFree(bytes);
            }
        }
        XDeleteProperty(display, self, event.property);
    }
    if (!received) {
        end(connection, self);
        return;
    }
    steps.push_back({DragStep::Drop, drag.source, drag.data, drag.point});
    drag = DragState();
}

void DropTarget::expire(const Connection& connection, ::Window self, uint32_t now) {
    if (drag.dropPending && static_cast<int32_t>(now - drag.dropDeadline) >= 0) {
        end(connection, self);
    }
}

// ----- The backend's registrations -----

bool X11Backend::registerDropTarget(WindowHandle handle, DropSink* sink) {
    std::unique_ptr<DropSink> owned(sink);
    std::lock_guard<std::mutex> lock(mutex);
    WindowRecord* w = window(handle);
    Display* display = connection.display();
    if (!sink || !w || !w->alive || w->destroying || w->drop.sink || !display) {
        return false;
    }
    ErrorTrap trap(display);
    long version = xdndVersion;
    XChangeProperty(display, w->xid, connection.dnd.aware, XA_ATOM, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&version), 1);
    if (!trap.succeeded()) {
        return false;
    }
    w->drop.sink = std::move(owned);
    return true;
}

bool X11Backend::revokeDropTarget(WindowHandle handle) {
    {
        std::lock_guard<std::mutex> lock(mutex);
        WindowRecord* w = window(handle);
        if (!w || !w->drop.sink) {
            return false;
        }
        Display* display = connection.display();
        ErrorTrap trap(display);
        w->drop.abandon(connection, w->xid);
        if (w->alive && display) {
            XDeleteProperty(display, w->xid, connection.dnd.aware);
        }
        retiredSinks.push_back(std::move(w->drop.sink));
    }
    disposeRetiredSinks();
    return true;
}

// The shortcuts of this platform are symbolic links.
bool X11Backend::resolveShortcut(char* path, size_t bufferSize) {
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

void X11Backend::disposeRetiredSinks() {
    std::vector<std::unique_ptr<DropSink>> doomed;
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (sinkCalls > 0) {
            return;
        }
        doomed.swap(retiredSinks);
    }
}

// ----- Sink calls -----

uint32_t X11Backend::dragKeyState() {
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

void X11Backend::runDragStep(const Message& m) {
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
    Display* display = connection.display();
    if (!display) {
        return;
    }
    ErrorTrap trap(display);
    auto it = windows.find(m.window);
    WindowRecord* w = it != windows.end() ? &it->second : nullptr;
    const XdndAtoms& dnd = connection.dnd;
    if (step.kind == DragStep::Drop) {
        // Only a drop that was taken reports an action: a source must not
        // delete what it moved onto a window that did nothing with it.
        Atom action = w ? w->drop.action : 0;
        sendFinished(display, dnd, step.source, m.window, taken && action != 0, action);
        return;
    }
    Atom action = effect == DropEffectCopy   ? dnd.actionCopy
                  : effect == DropEffectMove ? dnd.actionMove
                                             : 0;
    if (w) {
        w->drop.action = action;
        // The source expects an answer only while its drag goes on.
        if (w->drop.expectsStatus(step.source)) {
            sendStatus(display, dnd, step.source, m.window, action);
        }
    }
}

} // namespace platform::x11
