// A reference-counted image loaded from the library's bitmap resources, drawn
// plainly or with one colour treated as transparent.
//
// Its size is always the 100% picture's, in panel pixels. A context that
// draws at another zoom gets the same picture drawn for that zoom (the
// resource Zoom::bitmapId names), loaded the first time it is needed.
#pragma once

#include "gui/GuiTypes.h"
#include "gui/Zoom.h"
#include "gui/platform/Platform.h"

#include <cstdint>

class DrawContext;

class Bitmap {
public:
    // Loads the bitmap resource named by the low 16 bits of resourceId. A failed
    // load leaves an empty bitmap (size 0) that draws nothing. Always created
    // with new; freed by the release that brings the count from 1 to 0.
    explicit Bitmap(int32_t resourceId);

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

    void retain() { ++referenceCount; }
    // Nothing when the count is 0 or less; frees the bitmap when it was 1.
    void release();

    // Copies a block as large as rect from sourceOffset in the image to the
    // rect's top-left corner (shifted by the context's offset).
    void draw(DrawContext* context, const Rect& rect, const Point& sourceOffset = Point(0, 0));
    // The same block, but pixels of transparentColour leave the destination alone.
    void drawTransparent(DrawContext* context, const Rect& rect,
                         const Point& sourceOffset = Point(0, 0));
    void setTransparentColour(Colour colour) { transparentColour = colour; }

    int32_t getResourceId() const { return resourceId; }
    int32_t getReferenceCount() const { return referenceCount; }
    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    Colour getTransparentColour() const { return transparentColour; }
    platform::ObjectHandle getPlatformBitmap() const { return platformBitmap; }

private:
    ~Bitmap();

    int32_t resourceId;
    int32_t referenceCount = 1;

public:
    // Read directly by the users of a bitmap.
    int32_t width = 0;
    int32_t height = 0;
    Colour transparentColour;

    // The platform bitmap that draws at a zoom: the picture drawn for it, or
    // the 100% one where there is none (shown at its own size, not scaled).
    platform::ObjectHandle pictureFor(Zoom zoom);

private:
    // Where a block of the picture goes: device position and size on the
    // context's surface, and the device position in the picture.
    struct Block {
        platform::ObjectHandle picture;
        int32_t x, y, width, height, sourceX, sourceY;
    };
    Block blockFor(DrawContext* context, const Rect& rect, const Point& sourceOffset);

    platform::ObjectHandle platformBitmap = nullptr;
    // The pictures for the other zooms, by factor; `looked` once searched.
    platform::ObjectHandle zoomed[Zoom::kFactorCount] = {};
    bool looked[Zoom::kFactorCount] = {};
};
