// The base of every control on the editor's panel: a view carrying a value with
// a range and a default, a tag that tells its owner what it stands for, an
// optional background picture and a listener told of changes made by the user.
#pragma once

#include "gui/GuiTypes.h"
#include "gui/View.h"

#include <atomic>
#include <cstdint>

class Bitmap;
class Control;
class DrawContext;

// Told by a control after the user changed its value. context is the drawing
// context of the gesture, or null when the change came from a key.
class ControlListener {
public:
    virtual ~ControlListener() = default;
    virtual void valueChanged(DrawContext* context, Control* control) = 0;
};

class Control : public View {
public:
    // listener and background may be null; one reference to background is held.
    Control(const Rect& size, ControlListener* listener, int32_t tag, Bitmap* background);
    ~Control() override;

    // Every concrete control draws itself and ends with setDirty(false).
    void draw(DrawContext* context) override = 0;
    // True when the value differs from the value last drawn, else the dirty flag.
    bool isDirty() override;
    // true: makes oldValue surely differ from value; false: oldValue := value.
    void setDirty(bool state = true) override;

    // Runs the editor's idle pump through the frame (used inside drag loops).
    // Answers false once the frame is closing: the loop must end.
    virtual bool doIdle();
    // Plain store: no clamping, no redraw, no notification. Safe to call from
    // another thread than the one that draws (a relaxed atomic store).
    virtual void setValue(float newValue);
    virtual float getValue();
    virtual void setMin(float newMin) { minValue = newMin; }
    virtual float getMin() { return minValue; }
    virtual void setMax(float newMax) { maxValue = newMax; }
    virtual float getMax() { return maxValue; }
    virtual void setOldValue(float newOld) { oldValue = newOld; }
    virtual float getOldValue() { return oldValue; }
    virtual void setDefaultValue(float newDefault) { defaultValue = newDefault; }
    virtual float getDefaultValue() { return defaultValue; }
    virtual void setTag(int32_t newTag) { tag = newTag; }
    // Gives up the old background (if any), holds the new one (if any).
    virtual void setBackground(Bitmap* bitmap);
    virtual Bitmap* getBackground() { return background; }
    virtual void setBackgroundOffset(const Point& offset) { backgroundOffset = offset; }
    // The background picture starts at the control's own top-left corner.
    virtual void copyBackgroundOffset();
    virtual void setWheelIncrement(float increment) { wheelIncrement = increment; }
    virtual float getWheelIncrement() { return wheelIncrement; }
    // Above the maximum: the maximum; otherwise, unless at least the minimum
    // (which a NaN never is): the minimum.
    virtual void clampValue();

    int32_t getTag() const { return tag; }
    ControlListener* getListener() const { return listener; }
    Point getBackgroundOffset() const { return backgroundOffset; }
    int32_t getLastClickTime() const { return lastClickTime; }
    int32_t getDoubleClickInterval() const { return doubleClickInterval; }

protected:
    float loadValue() const { return value.load(std::memory_order_relaxed); }
    void storeValue(float v) { value.store(v, std::memory_order_relaxed); }
    // After a gesture changed and clamped the value: tells the listener, if
    // there is one and the value differs from what was last drawn.
    void reportChange(DrawContext* context);

    ControlListener* listener;
    int32_t tag;
    float oldValue = 1.0f;
    float defaultValue = 0.5f;
    // Written by the host's parameter thread, read by the drawing thread.
    std::atomic<float> value{0.0f};
    float minValue = 0.0f;
    float maxValue = 1.0f;
    float wheelIncrement = 0.1f;
    int32_t lastClickTime = -1;
    int32_t doubleClickInterval = 250;
    Bitmap* background;
    Point backgroundOffset;
};
