// Drawing at a zoom: panel coordinates to device pixels, lines, rectangles, fonts and text, the
// mouse's buttons and place, and the state shared by every frame.
#include "gui/DrawContext.h"

#include "gui/Frame.h"
#include "gui/Toolkit.h"

#include <algorithm>
#include <cstring>
#include <initializer_list>

using platform::DeviceContextHandle;
using platform::ObjectHandle;

namespace {

// Longer zoomed lines are not drawn: no surface is that large, and a host
// cannot make the walk over them take forever.
constexpr int64_t kLongestZoomedLine = 1 << 16;

} // namespace

DrawContext::DrawContext(Frame* owner, DeviceContextHandle dc, void* windowHandle)
    : deviceContext(dc), window(windowHandle), frame(owner) {
    platform::Platform& p = platform::current();
    if (frame) {
        frame->getSize(clipRect);
    } else {
        clipRect = Rect(0, 0, 1000, 1000);
    }
    if (frame) {
        zoom = frame->getZoom();
    }
    frameColour = ColourWhite;
    fillColour = ColourBlack;
    fontColour = ColourWhite;
    offset = Point(0, 0);
    windowOrigin = Point(0, 0);
    if (deviceContext) {
        previousBrush = p.currentObject(deviceContext, platform::ObjectKind::Brush);
        previousPen = p.currentObject(deviceContext, platform::ObjectKind::Pen);
        previousFont = p.currentObject(deviceContext, platform::ObjectKind::Font);
        p.setBackgroundMode(deviceContext, platform::BackgroundTransparent);
    }
    platformPenStyle = platform::PenSolid;
    if (window) {
        platform::PixelRect screen;
        if (p.windowScreenRect(static_cast<platform::WindowHandle>(window), screen)) {
            windowOrigin = Point(screen.left, screen.top);
        }
    }
    if (deviceContext) {
        setFrameColour(frameColour);
        setLineStyle(lineStyle);
        setFillColour(fillColour);
        setFontColour(fontColour);
    }
}

DrawContext::~DrawContext() {
    platform::Platform& p = platform::current();
    for (ObjectHandle previous : {previousBrush, previousPen, previousFont}) {
        if (previous && deviceContext) {
            p.selectObject(deviceContext, previous);
        }
    }
    for (ObjectHandle owned : {brush, pen, font}) {
        if (owned) {
            p.deleteObject(owned);
        }
    }
}

int32_t DrawContext::deviceX(int32_t x) const {
    return zoom.toDevice(x + zoomOrigin.x) - zoom.toDevice(zoomOrigin.x);
}

int32_t DrawContext::deviceY(int32_t y) const {
    return zoom.toDevice(y + zoomOrigin.y) - zoom.toDevice(zoomOrigin.y);
}

platform::PixelRect DrawContext::deviceRect(const Rect& rect) const {
    if (zoom.isIdentity()) {
        return {rect.left + offset.x, rect.top + offset.y, rect.right + offset.x,
                rect.bottom + offset.y};
    }
    return {deviceX(rect.left + offset.x), deviceY(rect.top + offset.y),
            deviceX(rect.right + offset.x), deviceY(rect.bottom + offset.y)};
}

void DrawContext::moveTo(const Point& point) {
    const Point at(point.x + offset.x, point.y + offset.y);
    if (zoom.isIdentity()) {
        platform::current().moveTo(deviceContext, at.x, at.y);
        return;
    }
    penPosition = at;
    platform::current().moveTo(deviceContext, deviceX(at.x), deviceY(at.y));
}

void DrawContext::lineTo(const Point& point) {
    const Point at(point.x + offset.x, point.y + offset.y);
    if (zoom.isIdentity()) {
        platform::current().lineTo(deviceContext, at.x, at.y);
        return;
    }
    zoomedLine(penPosition, at);
    penPosition = at;
    platform::current().moveTo(deviceContext, deviceX(at.x), deviceY(at.y));
}

void DrawContext::fillDeviceBlock(ObjectHandle blockBrush, int32_t left, int32_t top, int32_t right,
                                  int32_t bottom) {
    platform::current().fillRect(
        deviceContext,
        platform::PixelRect{deviceX(left), deviceY(top), deviceX(right + 1), deviceY(bottom + 1)},
        blockBrush);
}

void DrawContext::zoomedLine(const Point& from, const Point& to) {
    // The panel pixels of a one-pixel line at 100%: the start included, the
    // end left out; on a dotted pen three on, three off from the start.
    const int64_t dx = int64_t(to.x) - from.x, dy = int64_t(to.y) - from.y;
    const int64_t steps = std::max(dx < 0 ? -dx : dx, dy < 0 ? -dy : dy);
    if (steps == 0 || steps > kLongestZoomedLine) {
        return;
    }
    platform::Platform& p = platform::current();
    ObjectHandle blockBrush = p.createSolidBrush(frameColour.toPlatform());
    if (!blockBrush) {
        return;
    }
    // The nearest pixel to the exact line, halves rounded up.
    auto along = [steps](int32_t start, int64_t delta, int64_t i) {
        const int64_t twice = 2 * i * delta + steps;
        const int64_t q = twice / (2 * steps);
        return static_cast<int32_t>(start + ((twice % (2 * steps) < 0) ? q - 1 : q));
    };
    // Consecutive pixels of one row or one column go out as one block.
    bool open = false;
    Point first, last;
    for (int64_t i = 0; i < steps; ++i) {
        const bool on = platformPenStyle != platform::PenDotted || i % 6 < 3;
        const Point pixel(along(from.x, dx, i), along(from.y, dy, i));
        const bool joins = open && on &&
                           ((pixel.y == first.y && pixel.y == last.y &&
                             (pixel.x == last.x + 1 || pixel.x == last.x - 1)) ||
                            (pixel.x == first.x && pixel.x == last.x &&
                             (pixel.y == last.y + 1 || pixel.y == last.y - 1)));
        if (open && !joins) {
            fillDeviceBlock(blockBrush, std::min(first.x, last.x), std::min(first.y, last.y),
                            std::max(first.x, last.x), std::max(first.y, last.y));
            open = false;
        }
        if (on) {
            if (!open) {
                first = pixel;
                open = true;
            }
            last = pixel;
        }
    }
    if (open) {
        fillDeviceBlock(blockBrush, std::min(first.x, last.x), std::min(first.y, last.y),
                        std::max(first.x, last.x), std::max(first.y, last.y));
    }
    p.deleteObject(blockBrush);
}

void DrawContext::strokeRect(const Rect& rect) {
    moveTo(Point(rect.left, rect.top));
    lineTo(Point(rect.right, rect.top));
    lineTo(Point(rect.right, rect.bottom));
    lineTo(Point(rect.left, rect.bottom));
    lineTo(Point(rect.left, rect.top));
}

void DrawContext::fillRect(const Rect& rect) {
    platform::Platform& p = platform::current();
    const platform::PixelRect area =
        deviceRect(Rect(rect.left + 1, rect.top + 1, rect.right, rect.bottom));
    ObjectHandle previous =
        p.selectObject(deviceContext, p.stockObject(platform::StockObject::NullPen));
    p.fillRect(deviceContext, area, brush);
    if (previous) {
        p.selectObject(deviceContext, previous);
    }
}

void DrawContext::installPen() {
    platform::Platform& p = platform::current();
    ObjectHandle created = p.createPen(platformPenStyle, lineWidth, frameColour.toPlatform());
    if (!created) {
        // Keep drawing with the pen in use rather than leaving none selected.
        return;
    }
    p.selectObject(deviceContext, created);
    if (pen) {
        p.deleteObject(pen);
    }
    pen = created;
}

void DrawContext::setLineStyle(int32_t style) {
    lineStyle = style;
    platformPenStyle = style == LineDotted ? platform::PenDotted : platform::PenSolid;
    installPen();
}

void DrawContext::setFrameColour(Colour colour) {
    frameColour = colour;
    installPen();
}

void DrawContext::setFillColour(Colour colour) {
    platform::Platform& p = platform::current();
    fillColour = colour;
    p.setBackgroundColour(deviceContext, colour.toPlatform());
    ObjectHandle created = p.createSolidBrush(colour.toPlatform());
    if (!created) {
        return;
    }
    p.selectObject(deviceContext, created);
    if (brush) {
        p.deleteObject(brush);
    }
    brush = created;
}

void DrawContext::setFontColour(Colour colour) {
    fontColour = colour;
    platform::current().setTextColour(deviceContext, colour.toPlatform());
}

void DrawContext::setFont(int32_t id, int32_t size, int32_t style) {
    if (id < 0 || id >= FontCount) {
        id = 0;
    }
    fontId = id;
    fontSize = size != 0 ? size : FontTable[id].size;

    platform::FontDescription description{};
    description.height = -zoom.fontHeight(fontSize);
    description.width = 0;
    description.escapement = 0;
    description.orientation = 0;
    description.weight = (style & FontBold) ? 700 : 400;
    description.italic = (style & FontItalic) ? 1 : 0;
    description.underline = (style & FontUnderline) ? 1 : 0;
    description.strikeOut = 0;
    description.charSet = 0;
    description.outPrecision = 1;
    description.clipPrecision = 2;
    description.quality = 0;
    description.pitchAndFamily = 0x22;
    std::strncpy(description.faceName, FontTable[id].face, sizeof(description.faceName) - 1);
    if (id == 7) {
        description.pitchAndFamily = 0x50;
    } else if (id == 0) {
        description.weight = 700;
    }

    platform::Platform& p = platform::current();
    ObjectHandle created = p.createFont(description);
    if (!created) {
        return;
    }
    p.selectObject(deviceContext, created);
    if (font) {
        p.deleteObject(font);
    }
    font = created;
}

void DrawContext::drawString(const char* text, const Rect& rect, bool opaque, int32_t align) {
    if (!text) {
        return;
    }
    platform::Platform& p = platform::current();
    const bool left = align != TextAlignCentre && align != TextAlignRight;
    // Left-aligned text starts one pixel right of the rectangle's left edge.
    platform::PixelRect area =
        deviceRect(Rect(rect.left + (left ? 1 : 0), rect.top, rect.right, rect.bottom));
    p.setBackgroundMode(deviceContext,
                        opaque ? platform::BackgroundOpaque : platform::BackgroundTransparent);
    int32_t placement = platform::AlignLeft;
    if (align == TextAlignCentre) {
        placement = platform::AlignCentre;
    } else if (align == TextAlignRight) {
        placement = platform::AlignRight;
    }
    p.drawText(deviceContext, text, area, placement);
    p.setBackgroundMode(deviceContext, platform::BackgroundTransparent);
}

int32_t DrawContext::getMouseButtons() {
    platform::Platform& p = platform::current();
    bool left = p.isKeyHeld(platform::KeyLeftButton);
    bool right = p.isKeyHeld(platform::KeyRightButton);
    if (toolkitState().buttonsSwapped) {
        bool physicalLeft = left;
        left = right;
        right = physicalLeft;
    }
    int32_t buttons = 0;
    if (left) {
        buttons |= MouseLeft;
    }
    if (right) {
        buttons |= MouseRight;
    }
    if (p.isKeyHeld(platform::KeyMiddleButton)) {
        buttons |= MouseMiddle;
    }
    if (p.isKeyHeld(platform::KeyShift)) {
        buttons |= MouseShift;
    }
    if (p.isKeyHeld(platform::KeyControl)) {
        buttons |= MouseControl;
    }
    if (p.isKeyHeld(platform::KeyAlt)) {
        buttons |= MouseAlt;
    }
    return buttons;
}

int32_t DrawContext::getPressButtons() {
    return pressRecorded ? pressButtons : getMouseButtons();
}

void DrawContext::setPressButtons(int32_t buttons) {
    pressButtons = buttons;
    pressRecorded = true;
}

void DrawContext::getMouseLocation(Point& point) {
    platform::PixelPoint screen{0, 0};
    platform::current().cursorPosition(screen);
    point = Point(zoom.toPanel(screen.x - windowOrigin.x), zoom.toPanel(screen.y - windowOrigin.y));
}
