// The value's text (through a converter or a default format), its drawing over the background,
// box or bevel, and the display's style setters.
#include "gui/controls/ValueDisplay.h"

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"

#include <cstdio>

ValueDisplay::ValueDisplay(const Rect& viewSize, Bitmap* backgroundBitmap, int32_t displayStyle)
    : Control(viewSize, nullptr, 0, backgroundBitmap), style(displayStyle) {
    backgroundOffset = Point(0, 0);
    if (style & DisplayNoDraw) {
        setDirty(false);
    }
}

ValueDisplay::~ValueDisplay() = default;

void ValueDisplay::formatText(char* text) const {
    text[0] = 0;
    const float current = loadValue();
    if (textConverterWithData) {
        textConverterWithData(current, text, converterData);
    } else if (textConverter) {
        textConverter(current, text);
    } else {
        std::snprintf(text, TextSize, "%2.2f", double(current));
    }
    text[TextSize - 1] = 0;
}

void ValueDisplay::draw(DrawContext* context) {
    char text[TextSize] = {};
    formatText(text);
    drawText(context, text, nullptr);
}

void ValueDisplay::drawText(DrawContext* context, const char* text, Bitmap* bitmap) {
    setDirty(false);
    if ((style & DisplayNoDraw) || !context) {
        return;
    }
    const bool bevel = (style & (DisplayBevelRaised | DisplayBevelSunken)) != 0;
    Bitmap* picture = bitmap ? bitmap : background;
    if (picture) {
        if (transparent) {
            picture->drawTransparent(context, size, backgroundOffset);
        } else {
            picture->draw(context, size, backgroundOffset);
        }
    } else if (!transparent) {
        context->setFillColour(backColour);
        context->fillRect(size);
        if (!bevel) {
            context->setFrameColour(frameColour);
            context->strokeRect(size);
        }
    }
    if (bevel) {
        const bool raised = (style & DisplayBevelRaised) != 0;
        context->setFrameColour(raised ? backColour : frameColour);
        context->moveTo(Point(size.left, size.bottom));
        context->lineTo(Point(size.left, size.top));
        context->lineTo(Point(size.right + 1, size.top));
        context->setFrameColour(raised ? frameColour : backColour);
        context->moveTo(Point(size.right, size.top + 1));
        context->lineTo(Point(size.right, size.bottom));
        context->lineTo(Point(size.left, size.bottom));
    }
    if ((style & DisplayNoText) || !text) {
        return;
    }
    context->setFont(fontId, 0, fontStyle);
    if (style & DisplayShadow) {
        context->setFontColour(shadowColour);
        Rect shadow = size;
        shadow.offset(1, 1);
        context->drawString(text, shadow, !transparentText, alignment);
    }
    context->setFontColour(fontColour);
    context->drawString(text, size, !transparentText, alignment);
}

void ValueDisplay::setFont(int32_t id) {
    if (id != fontId) {
        setDirty(true);
    }
    fontId = id;
}

void ValueDisplay::changeColour(Colour& field, Colour colour) {
    if (colour.red != field.red || colour.green != field.green || colour.blue != field.blue) {
        setDirty(true);
    }
    field = colour;
}

void ValueDisplay::setFontColour(Colour colour) {
    changeColour(fontColour, colour);
}

void ValueDisplay::setBackColour(Colour colour) {
    changeColour(backColour, colour);
}

void ValueDisplay::setFrameColour(Colour colour) {
    changeColour(frameColour, colour);
}

void ValueDisplay::setShadowColour(Colour colour) {
    changeColour(shadowColour, colour);
}

void ValueDisplay::setAlignment(int32_t value) {
    if (value != alignment) {
        setDirty(true);
    }
    alignment = value;
}

void ValueDisplay::setTextConverter(ValueToTextWithData converter, void* data) {
    textConverterWithData = converter;
    converterData = data;
}

void ValueDisplay::setTextConverter(ValueToText converter) {
    textConverter = converter;
}

void ValueDisplay::setStyle(int32_t value) {
    if (value != style) {
        style = value;
        setDirty(true);
    }
}

void ValueDisplay::setFontStyle(int32_t value) {
    if (value != fontStyle) {
        setDirty(true);
    }
    fontStyle = value;
}
