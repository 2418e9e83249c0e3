// The pixel rules of the software drawing (through the headless backend),
// which every backend shares.
#include "gui/platform/MaskedTransparentCopy.h"
#include "tests/support/ScriptedPlatform.h"

#include <gtest/gtest.h>

using namespace platform;
using platform::headless::ScriptedPlatform;
using platform::software::Surface;

namespace {

constexpr ColourRef red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000, white = 0xFFFFFF;

class HeadlessDrawing : public ::testing::Test {
protected:
    // A memory context holding a colour bitmap of w x h, cleared to `clear`.
    DeviceContextHandle makeCanvas(int32_t w, int32_t h, ColourRef clear = 0) {
        DeviceContextHandle screen = p.windowDC(nullptr);
        DeviceContextHandle dc = p.createCompatibleDC(screen);
        ObjectHandle bitmap = p.createCompatibleBitmap(screen, w, h);
        p.releaseWindowDC(nullptr, screen);
        EXPECT_NE(nullptr, p.selectObject(dc, bitmap));
        ObjectHandle brush = p.createSolidBrush(clear);
        p.fillRect(dc, {0, 0, w, h}, brush);
        p.deleteObject(brush);
        return dc;
    }
    const Surface& surface(DeviceContextHandle dc) { return *p.contextSurface(dc); }
    int32_t countColour(DeviceContextHandle dc, ColourRef colour) {
        int32_t n = 0;
        for (uint32_t px : surface(dc).pixels) {
            n += px == colour ? 1 : 0;
        }
        return n;
    }
    void usePen(DeviceContextHandle dc, int32_t style, ColourRef colour) {
        ObjectHandle pen = p.createPen(style, 1, colour);
        ObjectHandle old = p.selectObject(dc, pen);
        if (old) {
            p.deleteObject(old);
        }
    }

    ScriptedPlatform p;
};

} // namespace

TEST_F(HeadlessDrawing, LinesLeaveOutTheirEndPoint) {
    DeviceContextHandle dc = makeCanvas(32, 32);
    usePen(dc, PenSolid, red);
    p.moveTo(dc, 10, 10);
    p.lineTo(dc, 20, 10);
    const Surface& s = surface(dc);
    for (int x = 10; x < 20; ++x) {
        EXPECT_EQ(red, s.at(x, 10)) << x;
    }
    EXPECT_EQ(0u, s.at(20, 10));
    EXPECT_EQ(0u, s.at(9, 10));
    EXPECT_EQ(10, countColour(dc, red));

    // The end point becomes the current position: the next line starts there.
    p.lineTo(dc, 20, 15);
    for (int y = 10; y < 15; ++y) {
        EXPECT_EQ(red, s.at(20, y)) << y;
    }
    EXPECT_EQ(0u, s.at(20, 15));

    // A diagonal touches one pixel per step and skips its end as well.
    p.moveTo(dc, 0, 0);
    p.lineTo(dc, 5, 5);
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(red, s.at(i, i));
    }
    EXPECT_EQ(0u, s.at(5, 5));
}

TEST_F(HeadlessDrawing, ClosedOutlineCoversBothEdgesAndCorners) {
    DeviceContextHandle dc = makeCanvas(32, 32);
    usePen(dc, PenSolid, green);
    p.moveTo(dc, 10, 10);
    p.lineTo(dc, 20, 10);
    p.lineTo(dc, 20, 20);
    p.lineTo(dc, 10, 20);
    p.lineTo(dc, 10, 10);
    const Surface& s = surface(dc);
    for (int i = 10; i <= 20; ++i) {
        EXPECT_EQ(green, s.at(i, 10));
        EXPECT_EQ(green, s.at(i, 20));
        EXPECT_EQ(green, s.at(10, i));
        EXPECT_EQ(green, s.at(20, i));
    }
    EXPECT_EQ(40, countColour(dc, green));
    EXPECT_EQ(0u, s.at(15, 15));
}

TEST_F(HeadlessDrawing, DottedLinesRepeatThreeOnThreeOff) {
    DeviceContextHandle dc = makeCanvas(32, 4);
    usePen(dc, PenDotted, blue);
    p.setBackgroundMode(dc, BackgroundTransparent);
    p.moveTo(dc, 0, 1);
    p.lineTo(dc, 12, 1);
    const Surface& s = surface(dc);
    const ColourRef expected[12] = {blue, blue, blue, 0, 0, 0, blue, blue, blue, 0, 0, 0};
    for (int x = 0; x < 12; ++x) {
        EXPECT_EQ(expected[x], s.at(x, 1)) << x;
    }
    // With an opaque background the gaps take the background colour.
    p.setBackgroundMode(dc, BackgroundOpaque);
    p.setBackgroundColour(dc, white);
    p.moveTo(dc, 0, 2);
    p.lineTo(dc, 6, 2);
    EXPECT_EQ(blue, s.at(2, 2));
    EXPECT_EQ(white, s.at(3, 2));
    // The null pen draws nothing.
    p.selectObject(dc, p.stockObject(StockObject::NullPen));
    p.moveTo(dc, 0, 3);
    p.lineTo(dc, 10, 3);
    EXPECT_EQ(0u, s.at(0, 3));
}

TEST_F(HeadlessDrawing, FillsExcludeRightAndBottom) {
    DeviceContextHandle dc = makeCanvas(32, 32);
    ObjectHandle brush = p.createSolidBrush(red);
    p.fillRect(dc, {11, 11, 20, 20}, brush);
    const Surface& s = surface(dc);
    EXPECT_EQ(red, s.at(11, 11));
    EXPECT_EQ(red, s.at(19, 19));
    EXPECT_EQ(0u, s.at(20, 19));
    EXPECT_EQ(0u, s.at(19, 20));
    EXPECT_EQ(0u, s.at(10, 11));
    EXPECT_EQ(81, countColour(dc, red));
    // Empty and inverted rectangles fill nothing; parts outside are clipped.
    p.fillRect(dc, {5, 5, 5, 9}, brush);
    p.fillRect(dc, {9, 5, 5, 9}, brush);
    EXPECT_EQ(81, countColour(dc, red));
    p.fillRect(dc, {-5, -5, 2, 1}, brush);
    EXPECT_EQ(83, countColour(dc, red));
    p.deleteObject(brush);
}

TEST_F(HeadlessDrawing, BlockCopiesExcludeRightAndBottomAndCombine) {
    DeviceContextHandle source = makeCanvas(8, 8, red);
    DeviceContextHandle dc = makeCanvas(16, 16, 0);
    p.blockCopy(dc, 4, 5, 3, 2, source, 1, 1, RopCopy);
    const Surface& s = surface(dc);
    EXPECT_EQ(6, countColour(dc, red));
    EXPECT_EQ(red, s.at(4, 5));
    EXPECT_EQ(red, s.at(6, 6));
    EXPECT_EQ(0u, s.at(7, 6));
    EXPECT_EQ(0u, s.at(6, 7));

    // XOR twice restores; AND with black clears.
    DeviceContextHandle other = makeCanvas(16, 16, green);
    p.blockCopy(other, 0, 0, 4, 4, source, 0, 0, RopInvert);
    EXPECT_EQ(red ^ green, surface(other).at(0, 0));
    p.blockCopy(other, 0, 0, 4, 4, source, 0, 0, RopInvert);
    EXPECT_EQ(green, surface(other).at(0, 0));
    p.blockCopy(other, 0, 0, 2, 2, dc, 0, 0, RopAnd);
    EXPECT_EQ(0u, surface(other).at(1, 1));
    EXPECT_EQ(green, surface(other).at(2, 2));

    // Nothing for empty sizes; a block partly outside the source copies the rest.
    p.blockCopy(dc, 0, 0, 0, 5, source, 0, 0, RopCopy);
    p.blockCopy(dc, 0, 0, -3, 5, source, 0, 0, RopCopy);
    EXPECT_EQ(6, countColour(dc, red));
    p.blockCopy(dc, 10, 10, 4, 4, source, 6, 6, RopCopy);
    EXPECT_EQ(10, countColour(dc, red));
}

TEST_F(HeadlessDrawing, ColourAndMonochromeConversionsFollowTheContextColours) {
    DeviceContextHandle source = makeCanvas(4, 1, red);
    ObjectHandle brush = p.createSolidBrush(white);
    p.fillRect(source, {0, 0, 2, 1}, brush);
    p.deleteObject(brush);

    // Colour to mono: pixels equal to the source's background colour become 1.
    DeviceContextHandle mask = p.createCompatibleDC(source);
    ObjectHandle maskBitmap = p.createMonochromeBitmap(4, 1);
    p.selectObject(mask, maskBitmap);
    p.setBackgroundColour(source, white);
    p.blockCopy(mask, 0, 0, 4, 1, source, 0, 0, RopCopy);
    const Surface& m = surface(mask);
    EXPECT_TRUE(m.monochrome);
    EXPECT_EQ(0xFFFFFFu, m.at(0, 0));
    EXPECT_EQ(0u, m.at(3, 0));

    // Mono to colour: 0 takes the destination's text colour, 1 its background.
    DeviceContextHandle dc = makeCanvas(4, 1, 0);
    p.setTextColour(dc, blue);
    p.setBackgroundColour(dc, green);
    p.blockCopy(dc, 0, 0, 4, 1, mask, 0, 0, RopCopy);
    EXPECT_EQ(green, surface(dc).at(0, 0));
    EXPECT_EQ(blue, surface(dc).at(3, 0));
}

TEST_F(HeadlessDrawing, MemoryContextsStartMonochromeAndBitmapsSitInOneContext) {
    DeviceContextHandle memory = p.createCompatibleDC(nullptr);
    // A fresh memory context holds the 1 x 1 monochrome default, so a bitmap
    // "compatible" with it is monochrome too.
    ObjectHandle fromMemory = p.createCompatibleBitmap(memory, 5, 5);
    EXPECT_TRUE(p.bitmapSurface(fromMemory)->monochrome);
    DeviceContextHandle screen = p.windowDC(nullptr);
    ObjectHandle fromScreen = p.createCompatibleBitmap(screen, 5, 5);
    EXPECT_FALSE(p.bitmapSurface(fromScreen)->monochrome);

    ObjectHandle previous = p.selectObject(memory, fromScreen);
    EXPECT_NE(nullptr, previous);
    DeviceContextHandle second = p.createCompatibleDC(screen);
    EXPECT_EQ(nullptr, p.selectObject(second, fromScreen));
    // Selected objects cannot be deleted; after deselection they can.
    EXPECT_FALSE(p.deleteObject(fromScreen));
    p.selectObject(memory, previous);
    EXPECT_TRUE(p.deleteObject(fromScreen));
    EXPECT_TRUE(p.deleteObject(fromMemory));
    // Stock objects never go away.
    EXPECT_FALSE(p.deleteObject(p.stockObject(StockObject::NullPen)));
    // Window contexts cannot be selected a bitmap nor deleted as memory ones.
    EXPECT_FALSE(p.deleteDC(screen));
    p.releaseWindowDC(nullptr, screen);
    EXPECT_TRUE(p.deleteDC(memory));
    EXPECT_TRUE(p.deleteDC(second));
    EXPECT_EQ(0, p.liveContextCount());
    EXPECT_EQ(0, p.liveObjectCount());
}

TEST_F(HeadlessDrawing, DeletingAContextReleasesWhatItHeld) {
    DeviceContextHandle dc = makeCanvas(4, 4);
    ObjectHandle pen = p.createPen(PenSolid, 1, red);
    p.selectObject(dc, pen);
    EXPECT_FALSE(p.deleteObject(pen));
    ObjectHandle bitmap = p.currentObject(dc, ObjectKind::Bitmap);
    p.deleteDC(dc);
    EXPECT_TRUE(p.deleteObject(pen));
    EXPECT_TRUE(p.deleteObject(bitmap));
}

TEST_F(HeadlessDrawing, TransparentCopyKeepsTheDestinationUnderTheKeyColour) {
    DeviceContextHandle source = makeCanvas(4, 4, white);
    ObjectHandle brush = p.createSolidBrush(red);
    p.fillRect(source, {1, 1, 3, 3}, brush);
    p.deleteObject(brush);
    DeviceContextHandle dc = makeCanvas(8, 8, green);

    EXPECT_TRUE(p.transparentCopy(dc, 2, 2, 4, 4, source, 0, 0, white));
    const Surface& s = surface(dc);
    EXPECT_EQ(green, s.at(2, 2));
    EXPECT_EQ(red, s.at(3, 3));
    EXPECT_EQ(red, s.at(4, 4));
    EXPECT_EQ(green, s.at(5, 5));

    // The one-bit mask of platforms without a transparent copy gives the same
    // pixels, and the destination keeps its colours.
    DeviceContextHandle masked = makeCanvas(8, 8, green);
    p.setBackgroundColour(masked, blue);
    p.setTextColour(masked, red);
    EXPECT_TRUE(maskedTransparentCopy(p, masked, 2, 2, 4, 4, source, 0, 0, white));
    EXPECT_EQ(s.pixels, surface(masked).pixels);
    ScriptedPlatform::ContextState state;
    ASSERT_TRUE(p.contextState(masked, state));
    EXPECT_EQ(blue, state.background);
    EXPECT_EQ(red, state.text);
}
