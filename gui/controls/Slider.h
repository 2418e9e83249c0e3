// A bitmap slider: a handle picture moving in a straight line over a background
// picture, the value running linearly from 0 at one end of the travel to 1 at
// the other. Composed in an offscreen image of its own size, copied in one step.
#pragma once

#include "gui/controls/Control.h"

#include <cstdint>

class OffscreenContext;

// Style bits of a slider. A style holds exactly one of the four end bits.
enum : int32_t {
    SliderHorizontal = 0x01, // the handle moves along x (without it: along y)
    SliderLeft = 0x08,       // value 0 at the left (top) end
    SliderRight = 0x10,      // value 0 at the right (bottom) end
    SliderTop = 0x20,        // as SliderLeft
    SliderBottom = 0x40,     // as SliderRight
};

class Slider : public Control {
public:
    // minPos and maxPos: frame coordinates (x for a horizontal slider, y for a
    // vertical one) of the start and end of the handle's travel. handle and
    // background may be null; one reference to each is held.
    Slider(const Rect& size, ControlListener* listener, int32_t tag, int32_t minPos, int32_t maxPos,
           Bitmap* handle, Bitmap* background, const Point& bitmapOffset,
           int32_t style = SliderLeft | SliderHorizontal);
    ~Slider() override;

    void draw(DrawContext* context) override;
    void mouseDown(DrawContext* context, Point& where) override;
    int32_t keyDown(VstKeyCode& key) override;
    bool wheel(DrawContext* context, Point& where, float distance) override;
    // Deletes the offscreen image.
    bool removedFrom(Frame* container) override;
    // (Re)creates the offscreen image, black, of the control's size.
    bool attachedTo(Frame* container) override;

    virtual void setTransparentHandle(bool state) { transparentHandle = state; }
    virtual void setFreeClick(bool state) { freeClick = state; }
    virtual bool getFreeClick() { return freeClick; }
    // Stores the offset and recomputes the handle's limits.
    virtual void setHandleOffset(const Point& offset);
    // Holds the new handle and takes its size; the limits are not recomputed.
    virtual void setHandle(Bitmap* bitmap);
    virtual Bitmap* getHandle() { return handle; }
    virtual void setZoomFactor(float factor) { zoomFactor = factor; }
    virtual float getZoomFactor() { return zoomFactor; }

    // Where draw puts the handle, in control coordinates.
    Rect handleRect();
    Point getHandleOffset() const { return handleOffset; }
    Point getBitmapOffset() const { return bitmapOffset; }
    int32_t getStyle() const { return style; }
    int32_t getTravel() const { return travel; }
    int32_t getTravelStart() const { return travelStart; }
    int32_t getMinLimit() const { return minLimit; }
    int32_t getMaxLimit() const { return maxLimit; }
    int32_t getHandleWidth() const { return handleWidth; }
    int32_t getHandleHeight() const { return handleHeight; }
    OffscreenContext* getOffscreen() const { return offscreen; }
    bool getTransparentHandle() const { return transparentHandle; }

protected:
    bool isHorizontal() const { return (style & SliderHorizontal) != 0; }
    // How far along the travel the handle of value v is drawn, before the
    // limits: from the left (top) for value 0 there, else for 1 - v.
    int32_t drawnPosition(float v) const;
    // The value whose handle is drawn `pixels` along the travel (outside the
    // travel: beyond 0 or 1).
    float valueAtPosition(int64_t pixels) const;
    // `base` moved by `pixels` of mouse travel; exactly `base` for none.
    float valueMovedBy(float base, int64_t pixels) const;

    Point bitmapOffset;
    Point handleOffset;
    Bitmap* handle;
    OffscreenContext* offscreen = nullptr;
    int32_t handleWidth = 1;
    int32_t handleHeight = 1;
    int32_t travel = 0;
    int32_t style;
    int32_t minLimit = 0;
    int32_t maxLimit = 0;
    int32_t travelStart = 0;
    int32_t controlWidth = 0;
    int32_t controlHeight = 0;
    float zoomFactor = 10.0f;
    bool transparentHandle = true;
    bool freeClick = true;
};

// The slider that always moves along x: the editor's seven sliders.
class HorizontalSlider : public Slider {
public:
    HorizontalSlider(const Rect& size, ControlListener* listener, int32_t tag, int32_t minPos,
                     int32_t maxPos, Bitmap* handle, Bitmap* background, const Point& bitmapOffset,
                     int32_t style = SliderLeft);
    ~HorizontalSlider() override;
};
