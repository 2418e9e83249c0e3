// The X11 backend's event pump: events taken off the display connection (or
// handed over by the host) into the state of their windows, messages
// delivered to the window procedures on the windows' threads, windows adopted
// by a thread that pumps them when their creator has stopped, and the clock.
#include "gui/platform/x11/X11Backend.h"

#include <algorithm>
#include <time.h>

namespace platform::x11 {

namespace {

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

// Window procedures running on this thread (a delivery in progress).
thread_local int32_t deliveryDepth = 0;

struct DeliveryScope {
    DeliveryScope() { ++deliveryDepth; }
    ~DeliveryScope() { --deliveryDepth; }
    DeliveryScope(const DeliveryScope&) = delete;
    DeliveryScope& operator=(const DeliveryScope&) = delete;
};

// The buttons and modifiers of a press as its message carries them. The
// event's state is the state just before it, so the pressed button joins it
// here. It travels with the message: a press delivered after its button went
// up (a tap, a click shorter than the host's idle interval) still tells what
// it was.
uintptr_t pressState(const XButtonEvent& e) {
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

// Buttons 4 and 5 are the wheel turned up (away from the user) and down, one
// event a notch; 6 and 7, a wheel tilted sideways, are not looked at.
constexpr unsigned int wheelUpButton = 4;
constexpr unsigned int wheelDownButton = 5;

// A wheel notch as the toolkit takes it: the distance in the high half of the
// message's wParam, what was held in the low half, and the pointer's screen
// position (the message's lParam).
PendingPress wheelMessage(const XButtonEvent& e) {
    const int32_t distance = e.button == wheelUpButton ? WheelNotch : -WheelNotch;
    const uintptr_t state =
        pressState(e) | (static_cast<uintptr_t>(static_cast<uint16_t>(distance)) << 16);
    const intptr_t position =
        static_cast<intptr_t>((static_cast<uint32_t>(e.x_root) & 0xFFFFu) |
                              ((static_cast<uint32_t>(e.y_root) & 0xFFFFu) << 16));
    return {MessageMouseWheel, position, state};
}

void publishedEventProcedure(void* event) {
    backend().hostEvent(static_cast<XEvent*>(event));
}

} // namespace

X11Backend& backend() {
    static X11Backend instance;
    return instance;
}

Platform& nativePlatform() {
    return backend();
}

Diagnostics diagnostics() {
    return backend().diagnostics();
}

EventProcedure eventProcedure() {
    return &publishedEventProcedure;
}

uint32_t X11Backend::tickCount() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    uint64_t ms =
        static_cast<uint64_t>(now.tv_sec) * 1000u + static_cast<uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<uint32_t>(ms);
}

// ----- Pumps -----

bool X11Backend::dispatchOnePaintMessage() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!connection.display()) {
            return false;
        }
        ErrorTrap trap(connection.display());
        notePump();
        drainEvents();
    }
    bool delivered = deliver(true, 1) > 0;
    finishPump();
    return delivered;
}

void X11Backend::pumpWindowEvents() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!connection.display()) {
            return;
        }
        ErrorTrap trap(connection.display());
        notePump();
        drainEvents();
    }
    // From inside a delivered event only paints go out; the rest waits.
    deliver(deliveryDepth > 0, maxMessagesPerPump);
    finishPump();
}

// The host's event dispatch (the `_XEventProc` path).
void X11Backend::hostEvent(XEvent* event) {
    if (!event) {
        return;
    }
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (!connection.display() || windows.find(event->xany.window) == windows.end()) {
            return;
        }
        ErrorTrap trap(connection.display());
        notePump();
        absorb(*event);
        // Whatever waits on the backend's own connection (button presses
        // reach only it) is taken as well.
        drainEvents();
    }
    deliver(deliveryDepth > 0, maxMessagesPerPump);
    finishPump();
}

// After a pump: show what the calling thread drew, and let the connection
// go when the last window has gone.
void X11Backend::finishPump() {
    {
        std::lock_guard<std::mutex> lock(mutex);
        if (Display* display = connection.display()) {
            ErrorTrap trap(display);
            presentDirtyWindows();
        }
        closeDisplayIfUnused();
    }
    disposeRetiredSinks();
}

// ----- Events (lock and trap held) -----

void X11Backend::drainEvents() {
    Display* display = connection.display();
    if (!display) {
        return;
    }
    for (int32_t n = 0; n < maxEventsPerDrain && XPending(display) > 0; ++n) {
        XEvent event;
        XNextEvent(display, &event);
        absorb(event);
    }
}

// Takes one event into the state of its window; never calls a procedure.
void X11Backend::absorb(const XEvent& event) {
    if (event.type == MappingNotify) {
        if (event.xmapping.request == MappingPointer) {
            connection.pointerMappingChanged(); // read again at the next query
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
        PixelRect area = software::intersect({e.x, e.y, e.x + e.width, e.y + e.height},
                                             {0, 0, w.width, w.height});
        if (software::isEmpty(area)) {
            return;
        }
        WindowEvents& events = w.events;
        events.update = events.updatePending ? software::unite(events.update, area) : area;
        events.updatePending = true;
        events.erasePending = true;
        // Until the toolkit repaints, the last picture covers the area again.
        if (w.buffer.shown()) {
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
        case wheelUpButton:
        case wheelDownButton:
            // Queued with the presses, so that both keep their order.
            w.events.buttons.push_back(wheelMessage(e));
            return;
        default:
            return; // a sideways wheel and extra buttons are not presses
        }
        intptr_t position = static_cast<intptr_t>((static_cast<uint32_t>(e.x) & 0xFFFFu) |
                                                  ((static_cast<uint32_t>(e.y) & 0xFFFFu) << 16));
        w.events.buttons.push_back({message, position, pressState(e)});
        return;
    }
    case ClientMessage:
        w.drop.absorbMessage(connection, w.xid, event.xclient, tickCount());
        return;
    case SelectionNotify:
        w.drop.absorbData(connection, w.xid, event.xselection);
        return;
    case DestroyNotify:
        if (event.xdestroywindow.window == w.xid) {
            markDead(w);
            w.events.destroyNoticePending = true;
        }
        return;
    default:
        return;
    }
}

// ----- Delivery -----

// Records that the calling thread pumps its windows (lock held).
void X11Backend::notePump() {
    uint32_t now = tickCount();
    for (auto& entry : windows) {
        // Drops whose data did not arrive in time are given up.
        entry.second.drop.expire(connection, entry.first, now);
    }
    std::thread::id self = std::this_thread::get_id();
    for (auto& entry : windows) {
        if (entry.second.events.owner == self) {
            entry.second.events.ownerSeen = now;
        }
    }
}

// Whether the calling thread may deliver to the window, taking it over
// from an owner that has stopped pumping it (lock held).
bool X11Backend::deliversTo(WindowRecord& w) {
    std::thread::id self = std::this_thread::get_id();
    WindowEvents& events = w.events;
    if (events.owner == self) {
        return true;
    }
    uint32_t now = tickCount();
    if (events.deliveries > 0 || now - events.ownerSeen < adoptionDelay) {
        return false;
    }
    events.owner = self;
    events.ownerSeen = now;
    return true;
}

// The next message for a window of the calling thread (lock held).
bool X11Backend::nextMessage(bool paintsOnly, const std::vector<XWindow>& painted, Message& out) {
    for (auto& entry : windows) {
        WindowRecord& w = entry.second;
        if (w.destroying || !deliversTo(w)) {
            continue;
        }
        WindowEvents& events = w.events;
        WindowClass* cls = findClass(w.className.c_str());
        out = {entry.first, 0, 0, cls ? cls->procedure : nullptr, nullptr, {}};
        if (!paintsOnly && events.destroyNoticePending) {
            events.destroyNoticePending = false;
            w.destroying = true;
            out.message = MessageDestroy;
            return true;
        }
        if (!paintsOnly && !events.buttons.empty()) {
            out.message = events.buttons.front().message;
            out.position = events.buttons.front().position;
            out.state = events.buttons.front().state;
            events.buttons.pop_front();
            return true;
        }
        if (!paintsOnly && !w.drop.steps.empty() && w.drop.sink) {
            out.message = dragStepMessage;
            out.sink = w.drop.sink.get();
            out.step = std::move(w.drop.steps.front());
            w.drop.steps.pop_front();
            // Revoked while the step runs, the sink lives until it returns.
            ++sinkCalls;
            return true;
        }
        if (w.alive && events.updatePending &&
            std::find(painted.begin(), painted.end(), entry.first) == painted.end()) {
            out.message = MessagePaint;
            return true;
        }
    }
    return false;
}

intptr_t X11Backend::call(const Message& m) {
    DeliveryScope scope;
    if (m.message == dragStepMessage) {
        runDragStep(m);
        return 0;
    }
    WindowHandle handle = handleFrom<WindowHandle>(m.window);
    if (!m.procedure) {
        return defaultWindowProcedure(handle, m.message, m.state, m.position);
    }
    return m.procedure(handle, m.message, m.state, m.position);
}

// Delivers waiting messages of the calling thread's windows to their
// procedures, without holding the lock while a procedure runs. Each window
// gets at most one paint per call. Answers the number of paints delivered.
int32_t X11Backend::deliver(bool paintsOnly, int32_t paintLimit) {
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
            ++windows.at(m.window).events.deliveries;
        }
        call(m);
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (m.message == dragStepMessage) {
                --sinkCalls;
            }
            auto it = windows.find(m.window);
            if (it != windows.end()) {
                --it->second.events.deliveries;
                it->second.events.ownerSeen = tickCount();
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

void X11Backend::deliverDestroy(XWindow id) {
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

} // namespace platform::x11
