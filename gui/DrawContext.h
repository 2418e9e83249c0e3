// The toolkit's only way of putting pixels on a surface: a short-lived wrapper
// of one platform device context that owns the pen, brush and font it creates
// and hands the device context back in the state it found it in.
//
// Callers draw in panel coordinates; the context draws at its frame's zoom
// (gui/Zoom.h): every rectangle, line, copy and text position becomes device
// pixels here, fonts are asked for at the zoomed size, and mouse positions
// come back in panel coordinates. At 100% every call reaches the platform
// exactly as given.
#pragma once

#include "gui/GuiTypes.h"
#include "gui/Zoom.h"
#include "gui/platform/Platform.h"

#include <cstdint>

class Frame;

class DrawContext {
public:
    // Each of the three may be none. Always created with new and destroyed with delete.
    DrawContext(Frame* frame, platform::DeviceContextHandle deviceContext, void* window);
    virtual ~DrawContext();

    DrawContext(const DrawContext&) = delete;
    DrawContext& operator=(const DrawContext&) = delete;

    // Drawing, in window coordinates shifted by `offset`.
    void moveTo(const Point& point);
    void lineTo(const Point& point);
    // Outline on the columns left and right and the rows top and bottom.
    void strokeRect(const Rect& rect);
    // Fills exactly the inside of the strokeRect outline of the same rectangle.
    void fillRect(const Rect& rect);

    void setLineStyle(int32_t style);
    void setFrameColour(Colour colour);
    void setFillColour(Colour colour);
    void setFontColour(Colour colour);
    // id outside 0-7 is 0; size 0 is the table's default; style FontBold etc.
    void setFont(int32_t id, int32_t size = 0, int32_t style = 0);
    // One line, vertically centred in rect, not clipped to it. With `opaque` the
    // text cell is filled with the fill colour first. Nothing when text is null.
    void drawString(const char* text, const Rect& rect, bool opaque = false,
                    int32_t align = TextAlignCentre);

    // Buttons and modifiers held right now (Mouse... bits).
    int32_t getMouseButtons();
    // Those of the press this context was made for, as the press message
    // carried them: a press handled after its button went up again still
    // tells what it was. Without a recorded press, those held now.
    int32_t getPressButtons();
    void setPressButtons(int32_t buttons);
    // The cursor position relative to the window's top-left corner.
    void getMouseLocation(Point& point);

    // The zoom the context draws at: its frame's, 100% without a frame.
    Zoom getZoom() const { return zoom; }
    // Where a rectangle given to the drawing operations lies on the surface,
    // in device pixels: left and top of its first pixels, right and bottom
    // of the first pixels past it (the offset applied).
    platform::PixelRect deviceRect(const Rect& rect) const;

    Point getOffset() const { return offset; }
    void setOffset(const Point& value) { offset = value; }
    Point getWindowOrigin() const { return windowOrigin; }
    platform::DeviceContextHandle getDeviceContext() const { return deviceContext; }
    void* getWindow() const { return window; }
    Frame* getFrame() const { return frame; }
    int32_t getFontSize() const { return fontSize; }
    int32_t getFontId() const { return fontId; }
    Colour getFontColour() const { return fontColour; }
    int32_t getLineWidth() const { return lineWidth; }
    Colour getFrameColour() const { return frameColour; }
    Colour getFillColour() const { return fillColour; }
    int32_t getLineStyle() const { return lineStyle; }
    Rect getClipRect() const { return clipRect; }
    platform::ObjectHandle getPen() const { return pen; }
    platform::ObjectHandle getBrush() const { return brush; }
    platform::ObjectHandle getFont() const { return font; }

protected:
    // Creates and selects a pen of the current style, width and line colour.
    void installPen();
    // The first device pixel of a panel coordinate that already holds the offset.
    int32_t deviceX(int32_t x) const;
    int32_t deviceY(int32_t y) const;
    // A zoomed line: each panel pixel the line sets at 100% becomes its block
    // of device pixels, filled in the line colour (the pen's dots as well).
    void zoomedLine(const Point& from, const Point& to);
    void fillDeviceBlock(platform::ObjectHandle brush, int32_t left, int32_t top, int32_t right,
                         int32_t bottom);

    Point windowOrigin;
    Point offset;
    platform::DeviceContextHandle deviceContext = nullptr;
    // The platform window, or (in an offscreen context) its platform bitmap.
    void* window = nullptr;
    Frame* frame = nullptr;
    int32_t fontSize = 0;
    int32_t fontId = 0;
    Colour fontColour;
    int32_t lineWidth = 1;
    Colour frameColour;
    Colour fillColour;
    int32_t lineStyle = 0;
    Rect clipRect;
    platform::ObjectHandle brush = nullptr;
    platform::ObjectHandle pen = nullptr;
    platform::ObjectHandle font = nullptr;
    platform::ObjectHandle previousBrush = nullptr;
    platform::ObjectHandle previousPen = nullptr;
    platform::ObjectHandle previousFont = nullptr;
    int32_t platformPenStyle = platform::PenSolid;
    Zoom zoom;
    // The panel position of the surface's top-left corner: (0, 0) for a
    // window, an offscreen's place on the panel. At 150% it decides whether a
    // panel pixel takes one or two device pixels.
    Point zoomOrigin;
    // The current position in panel coordinates (offset applied), for zoomed lines.
    Point penPosition;
    int32_t pressButtons = 0;
    bool pressRecorded = false;
};
