// One window's side of drags from other applications (the X drag-and-drop
// protocol, gui/platform/x11/Xdnd.h): the registration's sink, the drag over
// the window as far as its source told, and the steps that wait for the
// window's thread to call the sink. The source's messages become steps; the
// dropped data is asked for with the drop and arrives later as an event, so
// nothing waits for the source.
//
// Nothing here locks: the backend calls it with its lock held (and calls the
// sink without it).
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/x11/X11Connection.h"
#include "gui/platform/x11/Xdnd.h"

#include <cstdint>
#include <deque>
#include <memory>

// Xlib last: its macros (None, Bool, Status, ...) must not reach other headers.
#include <X11/Xlib.h>

namespace platform::x11 {

// One call of a window's sink, made on the window's thread.
struct DragStep {
    enum Kind { Enter, Over, Leave, Drop } kind = Leave;
    ::Window source = 0;
    std::shared_ptr<XdndData> data;
    PixelPoint point{0, 0};
};

class DropTarget {
public:
    // Takes a message of the protocol sent to the window.
    void absorbMessage(const Connection& connection, ::Window self,
                       const XClientMessageEvent& message, uint32_t now);
    // The dropped data has arrived, or the source refused it.
    void absorbData(const Connection& connection, ::Window self, const XSelectionEvent& event);
    // Gives up a drop whose data did not arrive in time.
    void expire(const Connection& connection, ::Window self, uint32_t now);
    // The drag ends without a drop: a source waiting for the data is told
    // that the drop failed, and steps not yet delivered are dropped.
    void abandon(const Connection& connection, ::Window self);
    // Whether `source` still waits for answers to its positions.
    bool expectsStatus(::Window source) const {
        return sink && drag.source == source && !drag.dropPending;
    }

    std::unique_ptr<DropSink> sink; // the registration's sink, or none
    std::deque<DragStep> steps;     // waiting for the window's thread
    Atom action = 0;                // the sink's last answer to the source

private:
    // A drag over the window, as far as its source told.
    struct DragState {
        ::Window source = 0; // none: no drag
        std::shared_ptr<XdndData> data;
        Atom conversion = 0;  // the type asked for at the drop
        bool entered = false; // the sink has been (or will be) told of the drag
        PixelPoint point{0, 0};
        bool dropPending = false; // the data was asked for and has not arrived
        uint32_t dropDeadline = 0;
    };

    // The drag ends without data reaching the sink: the source is told when
    // it waits for an answer, and the sink sees the drag leave.
    void end(const Connection& connection, ::Window self);

    DragState drag;
};

} // namespace platform::x11
