// A drawing context whose pixels live in a bitmap in memory: a control composes
// its image there and copies the finished result to the window in one step.
#pragma once

#include "gui/DrawContext.h"

#include <cstdint>

class OffscreenContext : public DrawContext {
public:
    // A width x height image compatible with the frame's window (or the screen
    // when the frame has none), entirely painted in the background colour.
    // At the frame's zoom the image holds the device pixels of the panel
    // rectangle whose top-left corner is `origin`, where it will be shown.
    OffscreenContext(Frame* frame, int32_t width, int32_t height, Colour background = ColourBlack,
                     Point origin = Point(0, 0));
    ~OffscreenContext() override;

    // Plain copy of a block as large as rect from sourceOffset in the image to
    // the rect's top-left corner (shifted by the destination's offset).
    void copyFrom(DrawContext* destination, Rect rect, Point sourceOffset = Point(0, 0));

    int32_t getWidth() const { return width; }
    int32_t getHeight() const { return height; }
    Colour getBackgroundColour() const { return backgroundColour; }
    platform::ObjectHandle getBitmap() const { return static_cast<platform::ObjectHandle>(window); }

protected:
    int32_t height = 0;
    int32_t width = 0;
    bool ownsBitmap = true;
    Colour backgroundColour;
    platform::ObjectHandle previousBitmap = nullptr;
};
