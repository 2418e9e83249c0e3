// The slider's handle and drawing, its mouse tracking (grip, fine mode with Shift, default
// with Control), and the wheel and arrow keys.
#include "gui/controls/Slider.h"

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"
#include "gui/Frame.h"
#include "gui/OffscreenContext.h"

#include <cmath>
#include <limits>

namespace {

// Truncation toward zero of a position product; a NaN gives 0 and values
// beyond the 32-bit range saturate, so that a stray host value cannot turn
// into an undefined conversion.
int32_t truncatePosition(double product) {
    if (std::isnan(product)) {
        return 0;
    }
    if (product >= 2147483647.0) {
        return std::numeric_limits<int32_t>::max();
    }
    if (product <= -2147483648.0) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(product);
}

// a + b without signed overflow.
int32_t addSaturated(int32_t a, int32_t b) {
    const int64_t sum = int64_t(a) + int64_t(b);
    if (sum > std::numeric_limits<int32_t>::max()) {
        return std::numeric_limits<int32_t>::max();
    }
    if (sum < std::numeric_limits<int32_t>::min()) {
        return std::numeric_limits<int32_t>::min();
    }
    return static_cast<int32_t>(sum);
}

// The float nearest to x that is not below (not above) it: a value rounded
// the other way would be drawn a pixel short of the position it stands for.
float floatAtLeast(double x) {
    const float f = static_cast<float>(x);
    return double(f) < x ? std::nextafter(f, std::numeric_limits<float>::infinity()) : f;
}

float floatAtMost(double x) {
    const float f = static_cast<float>(x);
    return double(f) > x ? std::nextafter(f, -std::numeric_limits<float>::infinity()) : f;
}

} // namespace

Slider::Slider(const Rect& viewSize, ControlListener* owner, int32_t controlTag, int32_t minPos,
               int32_t maxPos, Bitmap* handleBitmap, Bitmap* backgroundBitmap, const Point& offset,
               int32_t sliderStyle)
    : Control(viewSize, owner, controlTag, backgroundBitmap), bitmapOffset(offset),
      handle(handleBitmap), style(sliderStyle) {
    if (handle) {
        handle->retain();
        handleWidth = handle->width;
        handleHeight = handle->height;
    }
    controlWidth = size.right - size.left;
    controlHeight = size.bottom - size.top;
    travelStart = isHorizontal() ? minPos - size.left : minPos - size.top;
    travel = maxPos - minPos;
    setHandleOffset(Point(0, 0));
}

Slider::~Slider() {
    if (handle) {
        handle->release();
    }
    // Normally gone already: the frame calls removedFrom before releasing.
    delete offscreen;
    offscreen = nullptr;
}

bool Slider::attachedTo(Frame* container) {
    delete offscreen;
    // Composed where the slider lies on the panel, so that a zoom that is not
    // a whole number puts its pixels exactly where the frame shows them.
    offscreen = new OffscreenContext(container, controlWidth, controlHeight, ColourBlack,
                                     Point(size.left, size.top));
    return true;
}

bool Slider::removedFrom(Frame* container) {
    delete offscreen;
    offscreen = nullptr;
    return true;
}

void Slider::setHandleOffset(const Point& offset) {
    handleOffset = offset;
    if (isHorizontal()) {
        minLimit = handleOffset.x + travelStart;
        maxLimit = minLimit + travel + handleWidth;
    } else {
        minLimit = handleOffset.y + travelStart;
        maxLimit = minLimit + travel + handleHeight;
    }
}

void Slider::setHandle(Bitmap* bitmap) {
    if (bitmap) {
        bitmap->retain();
    }
    if (handle) {
        handle->release();
    }
    handle = bitmap;
    if (handle) {
        handleWidth = handle->width;
        handleHeight = handle->height;
    }
}

Rect Slider::handleRect() {
    const int32_t position = drawnPosition(loadValue());
    Rect r;
    if (isHorizontal()) {
        r.top = handleOffset.y;
        r.bottom = r.top + handleHeight;
        r.left = addSaturated(handleOffset.x, position);
        if (r.left < minLimit) {
            r.left = minLimit;
        }
        r.right = addSaturated(r.left, handleWidth);
        if (r.right > maxLimit) {
            r.right = maxLimit;
        }
    } else {
        r.left = handleOffset.x;
        r.right = r.left + handleWidth;
        r.top = addSaturated(handleOffset.y, position);
        if (r.top < minLimit) {
            r.top = minLimit;
        }
        r.bottom = addSaturated(r.top, handleHeight);
        if (r.bottom > maxLimit) {
            r.bottom = maxLimit;
        }
    }
    return r;
}

void Slider::draw(DrawContext* context) {
    if (!offscreen || !context) {
        return; // not attached to a frame: nothing to compose into
    }
    const Rect whole(0, 0, controlWidth, controlHeight);
    if (background) {
        if (transparent) {
            background->drawTransparent(offscreen, whole, bitmapOffset);
        } else {
            background->draw(offscreen, whole, bitmapOffset);
        }
    }
    if (handle) {
        const Rect r = handleRect();
        if (transparentHandle) {
            handle->drawTransparent(offscreen, r, Point(0, 0));
        } else {
            handle->draw(offscreen, r, Point(0, 0));
        }
    }
    offscreen->copyFrom(context, size, Point(0, 0));
    setDirty(false);
}

int32_t Slider::drawnPosition(float v) const {
    const float drawn = (style & (SliderLeft | SliderTop)) ? v : 1.0f - v;
    return truncatePosition(double(travel) * double(drawn));
}

float Slider::valueAtPosition(int64_t pixels) const {
    const double along = double(pixels) / double(travel);
    if (!(style & (SliderRight | SliderBottom))) {
        return floatAtLeast(along);
    }
    // Measured from the far end, the value is drawn as 1 - value, which must
    // come out at least `along`. 1 - x is exact for x from 0.5 to 1, so
    // either the drawn amount or the value is taken from that half.
    const float drawn = floatAtLeast(along);
    return drawn >= 0.5f ? 1.0f - drawn : floatAtMost(1.0 - along);
}

float Slider::valueMovedBy(float base, int64_t pixels) const {
    if (pixels == 0) {
        return base; // held still: exactly the value it had
    }
    const float moved = static_cast<float>(pixels) / static_cast<float>(travel);
    return (style & (SliderRight | SliderBottom)) ? base - moved : base + moved;
}

void Slider::mouseDown(DrawContext* context, Point& where) {
    if (!mouseEnabled || !context) {
        return;
    }
    // The press as it was made: one handled only after its button went up
    // again (a tap, a click shorter than the host's idle interval) still acts,
    // once.
    int32_t buttons = context->getPressButtons();
    // Ctrl with the left button: back to the default, reported once, no edit.
    if (buttons == (MouseLeft | MouseControl)) {
        storeValue(getDefaultValue());
        reportChange(context);
        return;
    }
    if (!(buttons & MouseLeft)) {
        return;
    }

    const bool horizontal = isHorizontal();
    // A press on the handle as drawn (edges included) grabs it where it was
    // pressed: the value stays until the mouse moves, then follows it with
    // that grip. A press elsewhere, where free clicks are taken, puts the
    // centre of the drawn handle under the mouse.
    const Rect drawn = handleRect();
    const int64_t x = int64_t(where.x) - size.left, y = int64_t(where.y) - size.top;
    const bool grabbed = x >= drawn.left && x <= drawn.right && y >= drawn.top && y <= drawn.bottom;
    if (!grabbed && !freeClick) {
        return;
    }
    const float grabbedValue = loadValue();
    const int32_t pressedAt = horizontal ? where.x : where.y;
    const int32_t centre = horizontal ? size.left + handleOffset.x + handleWidth / 2
                                      : size.top + handleOffset.y + handleHeight / 2;

    if (frame) {
        frame->beginEdit(tag);
        frame->setFocusView(this);
    }
    int32_t remembered = buttons;
    float fineBase = loadValue();
    Point mouse = where;
    for (bool firstPass = true;; firstPass = false) {
        // The first pass acts on the press; later ones on what is held now.
        if (!firstPass) {
            buttons = context->getMouseButtons();
        }
        if (!(buttons & MouseLeft)) {
            break;
        }
        const bool shift = (buttons & MouseShift) != 0;
        if (buttons != remembered && shift) {
            // Shift newly pressed (or another change while it is held): fine
            // mode starts from where the value is now.
            fineBase = loadValue();
            remembered = buttons;
        } else if (!shift) {
            fineBase = loadValue();
        }
        const int64_t along = horizontal ? mouse.x : mouse.y;
        const float v = grabbed ? valueMovedBy(grabbedValue, along - pressedAt)
                                : valueAtPosition(along - centre);
        storeValue(shift ? fineBase + (v - fineBase) / zoomFactor : v);
        clampValue();
        reportChange(context);
        context->getMouseLocation(mouse);
        if (!doIdle()) {
            break; // the host closed the editor from its idle
        }
    }
    if (frame) {
        frame->endEdit(tag);
    }
}

bool Slider::wheel(DrawContext* context, Point& where, float distance) {
    if (!mouseEnabled) {
        return false;
    }
    // What was held when the wheel turned (a message handled later still
    // tells), else what is held now.
    const int32_t buttons = context ? context->getPressButtons() : 0;
    double step = double(wheelIncrement) * double(distance);
    if (buttons & MouseShift) {
        step *= 0.1;
    }
    storeValue(static_cast<float>(double(loadValue()) + step));
    clampValue();
    // The host hears of the run of wheel steps before its first change.
    if (frame && listener && isDirty()) {
        frame->wheelEdit(tag);
    }
    reportChange(context);
    return true;
}

int32_t Slider::keyDown(VstKeyCode& key) {
    int32_t direction;
    switch (key.virt) {
    case VKEY_UP:
    case VKEY_RIGHT:
        direction = 1;
        break;
    case VKEY_DOWN:
    case VKEY_LEFT:
        direction = -1;
        break;
    default:
        return -1;
    }
    double step = double(wheelIncrement) * direction;
    if (key.modifier & MODIFIER_SHIFT) {
        step *= 0.1;
    }
    storeValue(static_cast<float>(double(loadValue()) + step));
    clampValue();
    reportChange(nullptr);
    return 1;
}

HorizontalSlider::HorizontalSlider(const Rect& viewSize, ControlListener* owner, int32_t controlTag,
                                   int32_t minPos, int32_t maxPos, Bitmap* handleBitmap,
                                   Bitmap* backgroundBitmap, const Point& offset,
                                   int32_t sliderStyle)
    : Slider(viewSize, owner, controlTag, minPos, maxPos, handleBitmap, backgroundBitmap, offset,
             sliderStyle | SliderHorizontal) {}

HorizontalSlider::~HorizontalSlider() = default;
