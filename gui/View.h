// A rectangle of the frame window that draws itself, reacts to presses, keys
// and dropped data, and knows whether it needs redrawing. Reference counted.
#pragma once

#include "gui/GuiTypes.h"
#include "host/VstTypes.h"

#include <cstdint>

class DrawContext;
class EditorBase;
class Frame;

class View {
public:
    explicit View(const Rect& size);
    virtual ~View();

    View(const View&) = delete;
    View& operator=(const View&) = delete;

    // Slot order as the toolkit's derived classes expect it.
    virtual void draw(DrawContext* context);
    virtual void drawArea(DrawContext* context, const Rect& area);
    // Whether the area and the view share at least one point, edges included.
    virtual bool overlaps(const Rect& area);
    virtual void mouseDown(DrawContext* context, Point& where);
    virtual void update(DrawContext* context);
    // -1 when the key is not taken.
    virtual int32_t keyDown(VstKeyCode& key);
    virtual int32_t keyUp(VstKeyCode& key);
    virtual bool drop(void** items, int32_t count, int32_t type, Point& where);
    virtual bool wheel(DrawContext* context, Point& where, float distance);
    virtual void loseFocus(DrawContext* context);
    virtual bool isDirty();
    virtual void setDirty(bool state = true);
    virtual void setMouseEnabled(bool state);
    virtual bool isMouseEnabled();
    // Whether where lies inside the view, right and bottom included.
    virtual bool hitTest(const Point& where, int32_t buttons = -1);
    virtual void setTransparent(bool state);
    virtual bool isTransparent();
    virtual Rect& getSize(Rect& out);
    virtual EditorBase* getEditor();
    virtual bool removedFrom(Frame* container);
    virtual bool attachedTo(Frame* container);
    // Nothing at a count of 0 or less; destroys the view when the count was 1.
    virtual void release();
    virtual void retain();

    int32_t getReferenceCount() const { return referenceCount; }
    Frame* getFrame() const { return frame; }
    const Rect& getSizeRect() const { return size; }
    // Set by the frame when the view joins it.
    void setFrame(Frame* owner) { frame = owner; }

protected:
    int32_t referenceCount = 1;
    Rect size;
    Frame* frame = nullptr;
    bool dirty = false;
    bool mouseEnabled = true;
    bool transparent = false;
};
