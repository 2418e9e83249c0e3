// The editor calls' bindings to the frame: the open and idle calls, keys, and the idle pump
// that hands the host its idle time while a control tracks the mouse.
#include "gui/EditorBase.h"

#include "gui/Frame.h"
#include "gui/platform/Platform.h"

EditorBase::EditorBase(EditorOwner* editorOwner) : owner(editorOwner) {
    platform::Platform& p = platform::current();
    frame = nullptr;
    inIdle = false;
    systemWindow = nullptr;
    nextIdleTime = p.tickCount();
    p.oleInitialize();
}

EditorBase::~EditorBase() {
    // An editor destroyed while still open takes its frame (and with it the
    // child window and the views) along, so that nothing is left pointing here.
    if (frame) {
        Frame* open = frame;
        frame = nullptr;
        open->close();
    }
    platform::current().oleUninitialize();
}

int32_t EditorBase::getRect(ERect** out) {
    if (out) {
        *out = &rect;
    }
    return 1;
}

int32_t EditorBase::open(void* parentWindow) {
    postUpdate();
    systemWindow = parentWindow;
    return 0;
}

void EditorBase::idle() {
    if (inIdle) {
        return;
    }
    if (takeUpdateRequest()) {
        update();
    }
    if (frame) {
        frame->idle();
    }
}

int32_t EditorBase::keyDown(VstKeyCode& key) {
    // A control reports its change to the host, which may close the editor
    // from there; the frame outlives the call.
    Frame::EventScope scope(frame);
    return frame ? frame->keyDown(key) : -1;
}

int32_t EditorBase::keyUp(VstKeyCode& key) {
    Frame::EventScope scope(frame);
    return frame ? frame->keyUp(key) : -1;
}

void EditorBase::setParameter(int32_t index, float value) {
    postUpdate();
}

void EditorBase::doIdleWork() {
    platform::Platform& p = platform::current();
    // Unsigned millisecond arithmetic throughout: the tick counter wraps.
    uint32_t now = p.tickCount();
    if (now < nextIdleTime) {
        p.sleep(4);
        now += 4;
        if (now < nextIdleTime - 50u) {
            return;
        }
    }
    idle();
    p.dispatchOnePaintMessage();
    nextIdleTime = now + 100u;
    if (owner) {
        inIdle = true;
        owner->hostIdle();
    }
    inIdle = false;
}
