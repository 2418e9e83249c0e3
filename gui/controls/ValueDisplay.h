// A passive control that shows its value as text in its rectangle, over a
// background picture or a filled box with an outline or a two-tone bevel, with
// an optional one-pixel shadow. Takes no input.
#pragma once

#include "gui/controls/Control.h"

#include <cstddef>
#include <cstdint>

// Style bits of a value display.
enum : int32_t {
    DisplayShadow = 0x0004, // the text is first drawn in the shadow colour, 1 px right and down
    DisplayBevelRaised =
        0x0080, // left and top in the back colour, right and bottom in the frame colour
    DisplayBevelSunken = 0x0100, // the other way round (the raised bevel wins when both are set)
    DisplayNoText = 0x0800,      // no text
    DisplayNoDraw = 0x1000,      // nothing is drawn at all; clean from construction
};

// Converters fill an empty buffer of ValueDisplay::TextSize characters
// (terminator included) with the text for a value.
using ValueToText = void (*)(float value, char* text);
using ValueToTextWithData = void (*)(float value, char* text, void* data);

class ValueDisplay : public Control {
public:
    static constexpr size_t TextSize = 256;

    // No listener, tag 0. background may be null.
    ValueDisplay(const Rect& size, Bitmap* background, int32_t style = 0);
    ~ValueDisplay() override;

    // Builds the text ("%2.2f" without a converter) and draws it.
    void draw(DrawContext* context) override;

    // Setters that change the look make the display dirty when the setting changes.
    virtual void setFont(int32_t id);
    virtual void setFontColour(Colour colour);
    virtual void setBackColour(Colour colour);
    virtual void setFrameColour(Colour colour);
    virtual void setShadowColour(Colour colour);
    virtual void setAlignment(int32_t value);
    // The converter setters and setTransparentText do not redraw.
    virtual void setTextConverter(ValueToTextWithData converter, void* data);
    virtual void setTextConverter(ValueToText converter);
    virtual void setStyle(int32_t value);
    virtual void setFontStyle(int32_t value);
    virtual void setTransparentText(bool state) { transparentText = state; }

    // Draws the given text over the given bitmap, or over the display's own
    // background or box when bitmap is null. text may be null (no text).
    void drawText(DrawContext* context, const char* text, Bitmap* bitmap = nullptr);
    // The text draw would show for the current value (at most TextSize - 1 characters).
    void formatText(char* text) const;

    int32_t getFont() const { return fontId; }
    Colour getFontColour() const { return fontColour; }
    Colour getBackColour() const { return backColour; }
    Colour getFrameColour() const { return frameColour; }
    Colour getShadowColour() const { return shadowColour; }
    int32_t getAlignment() const { return alignment; }
    int32_t getStyle() const { return style; }
    int32_t getFontStyle() const { return fontStyle; }
    bool getTransparentText() const { return transparentText; }

protected:
    // Marks the display dirty when a colour's red, green or blue changes.
    void changeColour(Colour& field, Colour colour);

    ValueToText textConverter = nullptr;
    ValueToTextWithData textConverterWithData = nullptr;
    void* converterData = nullptr;
    int32_t alignment = TextAlignCentre;
    int32_t style;
    int32_t fontId = 3;
    int32_t fontStyle = 0;
    Colour fontColour = ColourWhite;
    Colour backColour = ColourBlack;
    Colour frameColour = ColourBlack;
    Colour shadowColour = ColourRed;
    bool transparentText = true;
};
