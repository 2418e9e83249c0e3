// Value displays: the text, the converters, the box, bevels, shadow and styles.
#include "gui/controls/ValueDisplay.h"

#include "tests/gui/controls/ControlWorld.h"

#include <cstring>
#include <string>

using namespace controltest;

namespace {

constexpr uint32_t kBlack = 0x000000;
constexpr uint32_t kBoxGrey = 0xE6E6E6; // (230, 230, 230)
const Rect kBox(193, 36, 221, 50);      // the editor's first value box

class DisplayWorld : public ControlWorld {
protected:
    // A display set up as the editor's: style 1, font 4, black on (230, 230, 230).
    ValueDisplay* makeDisplay(float value, int32_t style = 1) {
        auto* d = new ValueDisplay(kBox, nullptr, style);
        d->setFont(4);
        d->setFontColour(ColourBlack);
        d->setBackColour(Colour(230, 230, 230));
        d->setFrameColour(ColourBlack);
        d->setValue(value);
        return d;
    }
    std::string text(ValueDisplay* d) {
        char buffer[ValueDisplay::TextSize];
        std::memset(buffer, 'x', sizeof buffer);
        d->formatText(buffer);
        return buffer;
    }
    int countInside(uint32_t colour) {
        int n = 0;
        for (int32_t y = kBox.top + 1; y < kBox.bottom; ++y) {
            for (int32_t x = kBox.left + 1; x < kBox.right; ++x) {
                n += pixel(x, y) == colour;
            }
        }
        return n;
    }
    // Draws the display through the frame's idle pass.
    void show(ValueDisplay* d) {
        ASSERT_TRUE(frame->addView(d));
        paint();
    }
};

int converterCalls = 0;
int dataConverterCalls = 0;
void plainConverter(float value, char* text) {
    ++converterCalls;
    std::strcpy(text, "plain");
}
void dataConverter(float value, char* text, void* data) {
    ++dataConverterCalls;
    std::strcpy(text, static_cast<const char*>(data));
}
void silentConverter(float, char*) {}

} // namespace

TEST_F(DisplayWorld, DefaultFieldsAndTag) {
    auto* d = new ValueDisplay(kBox, nullptr, 0);
    EXPECT_EQ(d->getTag(), 0);
    EXPECT_EQ(d->getListener(), nullptr);
    EXPECT_EQ(d->getAlignment(), TextAlignCentre);
    EXPECT_EQ(d->getFont(), 3);
    EXPECT_EQ(d->getFontStyle(), 0);
    EXPECT_EQ(d->getFontColour(), ColourWhite);
    EXPECT_EQ(d->getBackColour(), ColourBlack);
    EXPECT_EQ(d->getFrameColour(), ColourBlack);
    EXPECT_EQ(d->getShadowColour(), ColourRed);
    EXPECT_TRUE(d->getTransparentText());
    EXPECT_EQ(d->getDefaultValue(), 0.5f);
    EXPECT_TRUE(d->isDirty());
    d->release();
}

TEST_F(DisplayWorld, FormatsTwoDecimals) {
    ValueDisplay* d = makeDisplay(0.0f);
    struct Case {
        float value;
        const char* text;
    } cases[] = {{0.0f, "0.00"},    {0.5f, "0.50"},   {1.0f, "1.00"},  {1.5f, "1.50"},
                 {-0.25f, "-0.25"}, {0.005f, "0.00"}, {0.25f, "0.25"}, {0.999f, "1.00"}};
    for (const Case& k : cases) {
        d->setValue(k.value);
        EXPECT_EQ(text(d), k.text) << k.value;
    }
    // The largest float still fits the buffer.
    d->setValue(3.4e38f);
    EXPECT_EQ(text(d).size(), 42u);
    d->release();
}

TEST_F(DisplayWorld, ConverterWithDataTakesPrecedence) {
    ValueDisplay* d = makeDisplay(0.5f);
    converterCalls = dataConverterCalls = 0;
    d->setTextConverter(&plainConverter);
    EXPECT_EQ(text(d), "plain");
    char label[] = "with data";
    d->setTextConverter(&dataConverter, label);
    EXPECT_EQ(text(d), "with data");
    EXPECT_EQ(converterCalls, 1);
    EXPECT_EQ(dataConverterCalls, 1);
    // The buffer is empty when a converter gets it.
    d->setTextConverter(nullptr, nullptr);
    d->setTextConverter(&silentConverter);
    EXPECT_EQ(text(d), "");
    // Installing converters does not ask for a redraw.
    d->setDirty(false);
    d->setTextConverter(&plainConverter);
    EXPECT_FALSE(d->isDirty());
    d->release();
}

TEST_F(DisplayWorld, EditorBoxIsGreyWithABlackOutlineAndBlackText) {
    ValueDisplay* d = makeDisplay(0.5f);
    show(d);
    EXPECT_FALSE(d->isDirty());
    // Outline on columns 193 and 221 and rows 36 and 50, corners included.
    for (int32_t x = kBox.left; x <= kBox.right; ++x) {
        EXPECT_EQ(pixel(x, kBox.top), kBlack) << x;
        EXPECT_EQ(pixel(x, kBox.bottom), kBlack) << x;
    }
    for (int32_t y = kBox.top; y <= kBox.bottom; ++y) {
        EXPECT_EQ(pixel(kBox.left, y), kBlack) << y;
        EXPECT_EQ(pixel(kBox.right, y), kBlack) << y;
    }
    EXPECT_NE(pixel(kBox.right + 1, kBox.top + 5), kBlack);
    // Mostly grey inside, with dark text pixels.
    EXPECT_EQ(pixel(kBox.left + 1, kBox.top + 1), kBoxGrey);
    EXPECT_GT(countInside(kBoxGrey), 200);
    int dark = 0;
    for (int32_t y = kBox.top + 1; y < kBox.bottom; ++y) {
        for (int32_t x = kBox.left + 1; x < kBox.right; ++x) {
            const uint32_t c = pixel(x, y);
            dark += (c & 0xFF) < 100 && ((c >> 8) & 0xFF) < 100 && ((c >> 16) & 0xFF) < 100;
        }
    }
    EXPECT_GT(dark, 8);
}

TEST_F(DisplayWorld, NoDrawStyleIsCleanAndNeverDrawn) {
    ValueDisplay* d = makeDisplay(0.5f, DisplayNoDraw);
    d->setDirty(false); // the setters above marked it dirty
    auto* fresh = new ValueDisplay(kBox, nullptr, DisplayNoDraw);
    EXPECT_FALSE(fresh->isDirty());
    fresh->release();
    show(d);
    EXPECT_EQ(countInside(kBoxGrey), 0);
    EXPECT_NE(pixel(kBox.left, kBox.top), kBlack);
}

TEST_F(DisplayWorld, NoTextStyleDrawsOnlyTheBox) {
    ValueDisplay* d = makeDisplay(0.5f, DisplayNoText);
    show(d);
    EXPECT_EQ(countInside(kBoxGrey), (kBox.width() - 1) * (kBox.height() - 1));
}

TEST_F(DisplayWorld, RaisedBevelLightAboveLeftDarkBelowRight) {
    ValueDisplay* d = makeDisplay(0.5f, DisplayBevelRaised | DisplayNoText);
    show(d);
    // No outline with a bevel: left and top grey, right and bottom black.
    EXPECT_EQ(pixel(kBox.left, kBox.top + 5), kBoxGrey);
    EXPECT_EQ(pixel(kBox.left + 5, kBox.top), kBoxGrey);
    EXPECT_EQ(pixel(kBox.right, kBox.top), kBoxGrey);
    EXPECT_EQ(pixel(kBox.right, kBox.top + 5), kBlack);
    EXPECT_EQ(pixel(kBox.left + 5, kBox.bottom), kBlack);
    EXPECT_EQ(pixel(kBox.left, kBox.bottom), kBoxGrey);
}

TEST_F(DisplayWorld, SunkenBevelTheOtherWayRoundAndRaisedWins) {
    ValueDisplay* d = makeDisplay(0.5f, DisplayBevelSunken | DisplayNoText);
    show(d);
    EXPECT_EQ(pixel(kBox.left, kBox.top + 5), kBlack);
    EXPECT_EQ(pixel(kBox.left + 5, kBox.top), kBlack);
    EXPECT_EQ(pixel(kBox.right, kBox.top + 5), kBoxGrey);
    EXPECT_EQ(pixel(kBox.left + 5, kBox.bottom), kBoxGrey);
    d->setStyle(DisplayBevelSunken | DisplayBevelRaised | DisplayNoText);
    EXPECT_TRUE(d->isDirty());
    frame->idle();
    EXPECT_EQ(pixel(kBox.left, kBox.top + 5), kBoxGrey);
    EXPECT_EQ(pixel(kBox.right, kBox.top + 5), kBlack);
}

TEST_F(DisplayWorld, ShadowIsDrawnOnePixelRightAndDown) {
    ValueDisplay* d = makeDisplay(0.5f, DisplayShadow);
    d->setShadowColour(Colour(0, 0, 255));
    show(d);
    int shadow = 0;
    for (int32_t y = kBox.top + 1; y < kBox.bottom + 2; ++y) {
        for (int32_t x = kBox.left + 1; x < kBox.right + 2; ++x) {
            const uint32_t c = pixel(x, y);
            shadow += ((c >> 16) & 0xFF) > 150 && (c & 0xFF) < 100;
        }
    }
    EXPECT_GT(shadow, 3);
}

TEST_F(DisplayWorld, SettersMarkDirtyOnlyOnChange) {
    ValueDisplay* d = makeDisplay(0.5f);
    d->setDirty(false);
    d->setFontColour(ColourBlack);
    EXPECT_FALSE(d->isDirty());
    d->setFontColour(Colour(0, 0, 0, 99)); // only the fourth byte differs
    EXPECT_FALSE(d->isDirty());
    EXPECT_EQ(d->getFontColour().extra, 99);
    d->setBackColour(Colour(230, 230, 230));
    d->setFrameColour(ColourBlack);
    d->setShadowColour(ColourRed);
    d->setFont(4);
    d->setAlignment(TextAlignCentre);
    d->setStyle(1);
    d->setFontStyle(0);
    d->setTransparentText(false);
    EXPECT_FALSE(d->isDirty());

    auto changes = [&](auto change) {
        d->setDirty(false);
        change();
        return d->isDirty();
    };
    EXPECT_TRUE(changes([&] { d->setFontColour(Colour(1, 0, 0)); }));
    EXPECT_TRUE(changes([&] { d->setBackColour(Colour(230, 231, 230)); }));
    EXPECT_TRUE(changes([&] { d->setFrameColour(Colour(0, 0, 9)); }));
    EXPECT_TRUE(changes([&] { d->setShadowColour(ColourBlue); }));
    EXPECT_TRUE(changes([&] { d->setFont(5); }));
    EXPECT_TRUE(changes([&] { d->setAlignment(TextAlignLeft); }));
    EXPECT_TRUE(changes([&] { d->setStyle(2); }));
    EXPECT_TRUE(changes([&] { d->setFontStyle(FontBold); }));
    d->release();
}

TEST_F(DisplayWorld, ClickOnADisplayOnlyTakesTheFocusAway) {
    ValueDisplay* d = makeDisplay(0.5f);
    show(d);
    frame->setFocusView(d);
    press(200, 40);
    EXPECT_EQ(frame->getFocusView(), nullptr);
    EXPECT_EQ(d->getValue(), 0.5f);
    EXPECT_EQ(RecordingHost::get().count(audioMasterBeginEdit), 0);
}
