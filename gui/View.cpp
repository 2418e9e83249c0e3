// A view's default behaviour (drawing nothing, ignoring input), its dirty state and its
// reference count.
#include "gui/View.h"

#include "gui/Frame.h"

View::View(const Rect& viewSize) : size(viewSize) {}

View::~View() = default;

void View::draw(DrawContext* context) {
    setDirty(false);
}

void View::drawArea(DrawContext* context, const Rect& area) {
    draw(context);
}

bool View::overlaps(const Rect& area) {
    return area.right >= size.left && area.left <= size.right && area.bottom >= size.top &&
           area.top <= size.bottom;
}

void View::mouseDown(DrawContext* context, Point& where) {}

void View::update(DrawContext* context) {
    if (isDirty()) {
        draw(context);
        setDirty(false);
    }
}

int32_t View::keyDown(VstKeyCode& key) {
    return -1;
}

int32_t View::keyUp(VstKeyCode& key) {
    return -1;
}

bool View::drop(void** items, int32_t count, int32_t type, Point& where) {
    return false;
}

bool View::wheel(DrawContext* context, Point& where, float distance) {
    return false;
}

void View::loseFocus(DrawContext* context) {}

bool View::isDirty() {
    return dirty;
}

void View::setDirty(bool state) {
    dirty = state;
}

void View::setMouseEnabled(bool state) {
    mouseEnabled = state;
}

bool View::isMouseEnabled() {
    return mouseEnabled;
}

bool View::hitTest(const Point& where, int32_t buttons) {
    return size.contains(where);
}

void View::setTransparent(bool state) {
    transparent = state;
}

bool View::isTransparent() {
    return transparent;
}

Rect& View::getSize(Rect& out) {
    out = size;
    return out;
}

EditorBase* View::getEditor() {
    return frame ? frame->getEditor() : nullptr;
}

bool View::removedFrom(Frame* container) {
    return true;
}

bool View::attachedTo(Frame* container) {
    return true;
}

void View::release() {
    if (referenceCount <= 0) {
        return;
    }
    if (--referenceCount == 0) {
        delete this;
    }
}

void View::retain() {
    ++referenceCount;
}
