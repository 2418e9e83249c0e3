// The edits the frame reports to the host: a control's drag between beginEdit and endEdit, and
// the wheel, whose messages become steps of the view under the pointer, a run of steps one edit.
#include "gui/DrawContext.h"
#include "gui/EditorBase.h"
#include "gui/Frame.h"

#include <new>

void Frame::beginEdit(int32_t index) {
    if (!editor) {
        return;
    }
    // A drag right after the wheel: the wheel's edit is over (and the host,
    // told so, may have closed the editor).
    endWheelEdit();
    if (!editor) {
        return;
    }
    editInProgress = index;
    if (EditorOwner* owner = editor->getOwner()) {
        owner->beginEdit(index);
    }
}

void Frame::endEdit(int32_t index) {
    if (!editor) {
        return;
    }
    if (index == editInProgress) {
        editInProgress = -1;
    }
    if (EditorOwner* owner = editor->getOwner()) {
        owner->endEdit(index);
    }
}

void Frame::wheelEdit(int32_t index) {
    lastWheelInput = platform::current().tickCount();
    if (index == wheelEditIndex || !editor) {
        return;
    }
    beginEdit(index); // ends the open wheel edit first
    if (editor) {
        wheelEditIndex = index;
    }
}

void Frame::endWheelEdit() {
    const int32_t index = wheelEditIndex;
    if (index < 0) {
        return;
    }
    wheelEditIndex = -1;
    endEdit(index);
}

void Frame::expireWheelEdit() {
    const uint32_t quiet = platform::current().tickCount() - lastWheelInput;
    if (quiet >= kWheelQuietTime) {
        wheelRemainder = 0; // a fine wheel's partial notch does not wait for the next run
        endWheelEdit();
    }
}

bool Frame::wheelMessage(uintptr_t wParam, intptr_t lParam) {
    platform::Platform& p = platform::current();
    // The pointer's screen position, where the message comes from the window
    // with the focus as well as from the window under the pointer.
    const auto screenX = static_cast<int16_t>(static_cast<uint32_t>(lParam) & 0xFFFFu);
    const auto screenY = static_cast<int16_t>((static_cast<uint32_t>(lParam) >> 16) & 0xFFFFu);
    // A drag's edit still open (a host that delivers messages while the drag
    // waits) keeps the wheel out: one edit at a time reaches the host.
    const bool dragging = editInProgress >= 0 && wheelEditIndex < 0;
    platform::PixelRect shown;
    if (!window || !windowOpen || closePending || dragging || !p.windowScreenRect(window, shown) ||
        screenX < shown.left || screenX >= shown.right || screenY < shown.top ||
        screenY >= shown.bottom) {
        return false;
    }
    Point where(zoom.toPanel(screenX - shown.left), zoom.toPanel(screenY - shown.top));
    View* target = nullptr;
    // Never into a menu, never onto the background (no menu opens there).
    for (int32_t i = viewCount - 1; i >= 0 && !popup; --i) {
        if (views[i]->isMouseEnabled() && views[i]->hitTest(where)) {
            target = views[i];
            break;
        }
    }
    if (!target) {
        return false;
    }
    // A step's report (or the end of an earlier run's edit) may make the
    // host close the editor.
    EventScope scope(this);
    // Whole notches are steps; what a fine wheel sends adds up until it makes
    // one. A turn the other way starts afresh.
    expireWheelEdit();
    const int32_t distance = static_cast<int16_t>((wParam >> 16) & 0xFFFFu);
    if ((distance < 0) != (wheelRemainder < 0)) {
        wheelRemainder = 0;
    }
    wheelRemainder += distance;
    const int32_t steps = wheelRemainder / platform::WheelNotch;
    wheelRemainder -= steps * platform::WheelNotch;
    lastWheelInput = p.tickCount();

    platform::DeviceContextHandle dc = p.windowDC(window);
    DrawContext* context = new (std::nothrow) DrawContext(this, dc, window);
    bool taken = true;
    if (context) {
        context->setPressButtons(messageButtons(platform::MessageMouseWheel, wParam, *context));
        for (int32_t n = 0; n < (steps < 0 ? -steps : steps) && taken && !closePending; ++n) {
            taken = target->wheel(context, where, steps < 0 ? -1.0f : 1.0f);
        }
        delete context;
    }
    p.releaseWindowDC(window, dc);
    return taken;
}
