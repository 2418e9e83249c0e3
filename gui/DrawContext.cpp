#include "gui/DrawContext.h"

#include "gui/Frame.h"
#include "gui/Toolkit.h"

#include <cstring>
#include <initializer_list>

using platform::DeviceContextHandle;
using platform::ObjectHandle;

ToolkitState& toolkitState() {
    static ToolkitState state;
    return state;
}

DrawContext::DrawContext(Frame* owner, DeviceContextHandle dc, void* windowHandle)
    : deviceContext(dc), window(windowHandle), frame(owner) {
    platform::Platform& p = platform::current();
    if (frame) {
        frame->getSize(clipRect);
    } else {
        clipRect = Rect(0, 0, 1000, 1000);
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

void DrawContext::moveTo(const Point& point) {
    platform::current().moveTo(deviceContext, point.x + offset.x, point.y + offset.y);
}

void DrawContext::lineTo(const Point& point) {
    platform::current().lineTo(deviceContext, point.x + offset.x, point.y + offset.y);
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
    platform::PixelRect area{rect.left + 1 + offset.x, rect.top + 1 + offset.y,
                             rect.right + offset.x, rect.bottom + offset.y};
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
    description.height = -fontSize;
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
    platform::PixelRect area{rect.left + offset.x, rect.top + offset.y, rect.right + offset.x,
                             rect.bottom + offset.y};
    p.setBackgroundMode(deviceContext,
                        opaque ? platform::BackgroundOpaque : platform::BackgroundTransparent);
    int32_t placement = platform::AlignLeft;
    if (align == TextAlignCentre) {
        placement = platform::AlignCentre;
    } else if (align == TextAlignRight) {
        placement = platform::AlignRight;
    } else {
        area.left += 1;
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
    point = Point(screen.x - windowOrigin.x, screen.y - windowOrigin.y);
}
