// A control's value, its dirty state, its background picture and the report of a change made
// by the user.
#include "gui/controls/Control.h"

#include "gui/Bitmap.h"
#include "gui/Frame.h"
#include "gui/platform/Platform.h"

#include <cmath>

Control::Control(const Rect& viewSize, ControlListener* owner, int32_t controlTag,
                 Bitmap* backgroundBitmap)
    : View(viewSize), listener(owner), tag(controlTag), background(backgroundBitmap) {
    // The platform's double-click time, but never less than 250 ms (compared
    // as a signed number, as the platform's value is).
    const int32_t interval = static_cast<int32_t>(platform::current().doubleClickTime());
    doubleClickInterval = interval < 250 ? 250 : interval;
    setTransparent(false);
    setMouseEnabled(true);
    if (background) {
        background->retain();
    }
}

Control::~Control() {
    if (background) {
        background->release();
    }
}

bool Control::isDirty() {
    const float current = loadValue();
    // A NaN shown and a NaN stored count as the same picture, so that a control
    // holding a NaN is not redrawn on every idle pass.
    const bool same = oldValue == current || (std::isnan(oldValue) && std::isnan(current));
    return same ? dirty : true;
}

void Control::setDirty(bool state) {
    dirty = state;
    const float current = loadValue();
    if (state) {
        oldValue = current == -1.0f ? 0.0f : -1.0f;
    } else {
        oldValue = current;
    }
}

bool Control::doIdle() {
    return !frame || frame->doIdle();
}

void Control::setValue(float newValue) {
    storeValue(newValue);
}

float Control::getValue() {
    return loadValue();
}

void Control::setBackground(Bitmap* bitmap) {
    // Take the new reference first: the bitmap may be the one already held.
    if (bitmap) {
        bitmap->retain();
    }
    if (background) {
        background->release();
    }
    background = bitmap;
}

void Control::copyBackgroundOffset() {
    backgroundOffset = Point(size.left, size.top);
}

void Control::clampValue() {
    const float current = loadValue();
    if (current > maxValue) {
        storeValue(maxValue);
    } else if (!(current >= minValue)) {
        storeValue(minValue);
    }
}

void Control::reportChange(DrawContext* context) {
    if (isDirty() && listener) {
        listener->valueChanged(context, this);
    }
}
