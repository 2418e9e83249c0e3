// Text placement of the headless backend through its font rasteriser.
#include "gui/platform/headless/HeadlessPlatform.h"

#include <cstring>
#include <gtest/gtest.h>

using namespace platform;
using platform::headless::HeadlessPlatform;
using platform::software::Surface;

namespace {

FontDescription arial(int32_t height, int32_t weight = 400) {
    FontDescription f{};
    f.height = height;
    f.weight = weight;
    f.pitchAndFamily = 0x22;
    std::strcpy(f.faceName, "Arial");
    return f;
}

// Bounding box of the pixels that differ from `background`.
struct Box {
    int32_t left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    bool empty() const { return left > right; }
};
Box inkBox(const Surface& s, uint32_t background) {
    Box b;
    for (int32_t y = 0; y < s.height; ++y) {
        for (int32_t x = 0; x < s.width; ++x) {
            if (s.at(x, y) != background) {
                b.left = std::min(b.left, x);
                b.right = std::max(b.right, x);
                b.top = std::min(b.top, y);
                b.bottom = std::max(b.bottom, y);
            }
        }
    }
    return b;
}

class HeadlessText : public ::testing::Test {
protected:
    DeviceContextHandle canvas(int32_t w, int32_t h) {
        DeviceContextHandle screen = p.windowDC(nullptr);
        DeviceContextHandle dc = p.createCompatibleDC(screen);
        p.selectObject(dc, p.createCompatibleBitmap(screen, w, h));
        p.releaseWindowDC(nullptr, screen);
        ObjectHandle white = p.createSolidBrush(0xFFFFFF);
        p.fillRect(dc, {0, 0, w, h}, white);
        p.deleteObject(white);
        p.setTextColour(dc, 0x000000);
        p.setBackgroundMode(dc, BackgroundTransparent);
        return dc;
    }
    HeadlessPlatform p;
};

bool cairoText(HeadlessPlatform& p) {
    return std::strcmp(p.textRasteriser().name(), "cairo") == 0;
}

} // namespace

TEST_F(HeadlessText, ArialIsDrawnWithTheMetricCompatibleLiberationFace) {
    if (!cairoText(p)) {
        GTEST_SKIP() << "no font system in this build";
    }
    EXPECT_EQ("Liberation Sans", p.textRasteriser().resolvedFamily(arial(-12)));
    FontDescription symbol = arial(-13);
    std::strcpy(symbol.faceName, "Symbol");
    EXPECT_EQ("Liberation Serif", p.textRasteriser().resolvedFamily(symbol));
    // The cell of an Arial font of character height h: ascent 1854/2048 h and
    // descent 434/2048 h, each rounded (12: 10.86 and 2.54; 11: 9.96 and 2.33).
    auto m12 = p.textRasteriser().metrics(arial(-12));
    EXPECT_EQ(11, m12.ascent);
    EXPECT_EQ(3, m12.descent);
    auto m11 = p.textRasteriser().metrics(arial(-11));
    EXPECT_EQ(10, m11.ascent);
    EXPECT_EQ(2, m11.descent);
    // A positive height asks for the cell: 14 pixels of cell is character height 12.
    auto cell = p.textRasteriser().metrics(arial(14));
    EXPECT_EQ(14, cell.ascent + cell.descent);
    // Bold text is wider than regular text.
    EXPECT_GT(p.textRasteriser().textWidth(arial(-12, 700), "Room Size"),
              p.textRasteriser().textWidth(arial(-12, 400), "Room Size"));
}

TEST_F(HeadlessText, AlignmentPlacesTheTextCell) {
    DeviceContextHandle dc = canvas(200, 40);
    ObjectHandle font = p.createFont(arial(-12));
    p.selectObject(dc, font);
    int32_t width = p.textRasteriser().textWidth(arial(-12), "0.50");
    ASSERT_GT(width, 0);
    auto metrics = p.textRasteriser().metrics(arial(-12));

    // Opaque background: the cell itself becomes visible and measurable.
    p.setBackgroundMode(dc, BackgroundOpaque);
    p.setBackgroundColour(dc, 0x00FF00);
    p.drawText(dc, "0.50", {20, 10, 120, 30}, AlignCentre);
    Box box = inkBox(*p.contextSurface(dc), 0xFFFFFF);
    int32_t cellHeight = metrics.ascent + metrics.descent;
    EXPECT_EQ(20 + (100 - width) / 2, box.left);
    EXPECT_EQ(box.left + width - 1, box.right);
    EXPECT_EQ(10 + (20 - cellHeight) / 2, box.top);
    EXPECT_EQ(box.top + cellHeight - 1, box.bottom);
    p.deleteDC(dc);

    dc = canvas(200, 40);
    p.selectObject(dc, font);
    p.setBackgroundMode(dc, BackgroundOpaque);
    p.setBackgroundColour(dc, 0x00FF00);
    p.drawText(dc, "0.50", {20, 10, 120, 30}, AlignRight);
    box = inkBox(*p.contextSurface(dc), 0xFFFFFF);
    EXPECT_EQ(119, box.right);
    p.deleteDC(dc);

    dc = canvas(200, 40);
    p.selectObject(dc, font);
    p.setBackgroundMode(dc, BackgroundOpaque);
    p.setBackgroundColour(dc, 0x00FF00);
    p.drawText(dc, "0.50", {20, 10, 120, 30}, AlignLeft);
    box = inkBox(*p.contextSurface(dc), 0xFFFFFF);
    EXPECT_EQ(20, box.left);
    p.deleteDC(dc);
    p.deleteObject(font);
}

TEST_F(HeadlessText, TransparentTextTouchesOnlyGlyphsAndIsNotClippedToItsRectangle) {
    DeviceContextHandle dc = canvas(200, 40);
    ObjectHandle font = p.createFont(arial(-12));
    p.selectObject(dc, font);
    p.setTextColour(dc, 0x0000FF);
    // A rectangle far too small: the text is still drawn in full, centred on it.
    p.drawText(dc, "888", {100, 20, 101, 21}, AlignCentre);
    const Surface& s = *p.contextSurface(dc);
    Box box = inkBox(s, 0xFFFFFF);
    ASSERT_FALSE(box.empty());
    EXPECT_LT(box.left, 100);
    EXPECT_GT(box.right, 101);
    // The glyphs are in the text colour (smoothed at their edges); the cell is
    // not filled.
    bool textColour = false;
    for (uint32_t px : s.pixels) {
        textColour = textColour || ((px & 0xFF) > 0xE0 && ((px >> 8) & 0xFF) < 0x60);
    }
    EXPECT_TRUE(textColour);
    if (cairoText(p)) {
        EXPECT_EQ(0xFFFFFFu, s.at(box.left, box.top)); // a corner of "8" is blank
    }
    // Nothing at all for a null text.
    EXPECT_FALSE(p.drawText(dc, nullptr, {0, 0, 10, 10}, AlignLeft));
    p.deleteDC(dc);
    p.deleteObject(font);
}

TEST_F(HeadlessText, BlockRasteriserIsAvailableEverywhere) {
    p.setTextRasteriser(platform::software::createBlockTextRasteriser());
    EXPECT_STREQ("block", p.textRasteriser().name());
    auto m = p.textRasteriser().metrics(arial(-12));
    EXPECT_EQ(11, m.ascent);
    EXPECT_EQ(3, m.descent);
    EXPECT_EQ(3 * 7, p.textRasteriser().textWidth(arial(-12), "a b"));
    DeviceContextHandle dc = canvas(60, 20);
    ObjectHandle font = p.createFont(arial(-12));
    p.selectObject(dc, font);
    p.drawText(dc, "ab", {0, 0, 60, 20}, AlignLeft);
    Box box = inkBox(*p.contextSurface(dc), 0xFFFFFF);
    EXPECT_EQ(0, box.left);
    EXPECT_EQ(12, box.right); // two advances of 7, the last column of each left blank
    p.deleteDC(dc);
    p.deleteObject(font);
}
