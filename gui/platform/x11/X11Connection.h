// The X11 backend's display connection (opened with its first window, closed
// with its last), the traps that absorb the X errors of the backend's own
// requests, and the pointer and the desktop's scale read over the connection.
//
// Nothing here locks: the backend calls it with its lock held.
#pragma once

#include "gui/platform/x11/Xdnd.h"

#include <cstdint>
#include <string>

// Xlib last: its macros (None, Bool, Status, ...) must not reach other headers.
#include <X11/Xlib.h>

namespace platform::x11 {

// Xlib reports a failed request (a window that no longer exists, typically the
// host's window destroyed under the editor) to one process-wide handler, whose
// default ends the process. While the backend talks to its display it sets a
// trap: a handler that absorbs the errors of the backend's own connection and
// passes every other connection's errors on to the handler it replaced. Each
// trap ends with a round trip, so that no answer to the backend's requests
// arrives later, outside the trap. An inner trap leaves the handler to the
// outer one. Traps are only set with the backend's lock held.
class ErrorTrap {
public:
    explicit ErrorTrap(Display* display);
    ~ErrorTrap();
    ErrorTrap(const ErrorTrap&) = delete;
    ErrorTrap& operator=(const ErrorTrap&) = delete;

    // Waits for the answers to every request so far; true when none failed
    // since the trap was set.
    bool succeeded();

private:
    Display* display;
    uint64_t start = 0;
};

// The pointer's position, the buttons and modifiers held, and the mapping of
// physical to logical buttons.
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

class Connection {
public:
    // Opens the connection to the host's display unless it is open; false when
    // the display cannot be reached.
    bool open();
    void close();
    Display* display() const { return handle; }

    // Reads the pointer on the open connection, or on a short-lived one when
    // none is open.
    bool queryPointer(PointerState& state);
    // The session's scale in percent (X11DesktopScale.h), read on the open
    // connection, or on a short-lived one when none is open; 0 when the
    // display cannot be reached and the environment says nothing.
    int32_t desktopScale();
    // The server announced a new pointer mapping: it is read again at the next query.
    void pointerMappingChanged() { buttonMapCount = -1; }

    uint64_t opened() const { return connectionsOpened; }
    // X errors of the backend's own requests absorbed so far.
    static uint64_t absorbedErrors();

    // Facts of the open connection.
    Atom eventProcedureAtom = 0; // the `_XEventProc` property
    XdndAtoms dnd;
    std::string localHost; // this machine's name, for file URIs

private:
    Display* handle = nullptr;
    unsigned char buttonMap[8] = {};
    int32_t buttonMapCount = -1; // unknown
    uint64_t connectionsOpened = 0;
};

} // namespace platform::x11
