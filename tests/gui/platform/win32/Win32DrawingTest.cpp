// The win32 backend's drawing against real GDI, in memory device contexts (no
// display needed): the pixel rules the toolkit relies on, and the toolkit's
// drawing context, bitmaps and offscreen images on top of them.
#include "Win32TestSupport.h"
#include "gui/Bitmap.h"
#include "gui/DrawContext.h"
#include "gui/Frame.h"
#include "gui/OffscreenContext.h"
#include "gui/Toolkit.h"
#include "gui/platform/MaskedTransparentCopy.h"
#include "gui/platform/win32/Win32Platform.h"
#include "resources/ResourceIds.h"

#include <cstring>
#include <gtest/gtest.h>
#include <string>

using platform::ColourRef;
using platform::makeColourRef;
using win32test::Canvas;

namespace {

const ColourRef white = makeColourRef(255, 255, 255);
const ColourRef black = makeColourRef(0, 0, 0);
const ColourRef red = makeColourRef(255, 0, 0);
const ColourRef green = makeColourRef(0, 255, 0);
const ColourRef blue = makeColourRef(0, 0, 255);

class Win32Drawing : public testing::Test {
protected:
    platform::Platform& p = platform::win32::nativePlatform();

    // Selects a new pen into the canvas; the caller's canvas owns nothing.
    platform::ObjectHandle pen(Canvas& canvas, int32_t style, ColourRef colour) {
        platform::ObjectHandle made = p.createPen(style, 1, colour);
        platform::ObjectHandle old = p.selectObject(canvas.dc(), made);
        selectedPens.push_back({&canvas, old, made});
        return made;
    }

    void TearDown() override {
        for (auto& entry : selectedPens) {
            p.selectObject(entry.canvas->dc(), entry.old);
            p.deleteObject(entry.made);
        }
    }

    struct Selected {
        Canvas* canvas;
        platform::ObjectHandle old;
        platform::ObjectHandle made;
    };
    std::vector<Selected> selectedPens;
};

// ----- The pixel rules of the platform layer -----

TEST_F(Win32Drawing, LinesLeaveOutTheirEndPointAndOutlinesCloseAtTheCorners) {
    Canvas canvas(p, 40, 40);
    pen(canvas, platform::PenSolid, red);
    p.moveTo(canvas.dc(), 10, 10);
    p.lineTo(canvas.dc(), 20, 10);
    for (int x = 10; x < 20; ++x) {
        EXPECT_EQ(red, canvas.pixel(x, 10)) << x;
    }
    EXPECT_EQ(white, canvas.pixel(20, 10));
    EXPECT_EQ(white, canvas.pixel(9, 10));

    canvas.fill(white);
    p.moveTo(canvas.dc(), 5, 5);
    p.lineTo(canvas.dc(), 15, 5);
    p.lineTo(canvas.dc(), 15, 15);
    p.lineTo(canvas.dc(), 5, 15);
    p.lineTo(canvas.dc(), 5, 5);
    for (int corner : {0, 1, 2, 3}) {
        int x = corner & 1 ? 15 : 5;
        int y = corner & 2 ? 15 : 5;
        EXPECT_EQ(red, canvas.pixel(x, y)) << x << "," << y;
    }
    EXPECT_EQ(40, canvas.count(red)); // 4 sides of 11 pixels, corners shared
}

TEST_F(Win32Drawing, DottedPenDrawsThreeOnThreeOffAndLeavesGapsWhenTransparent) {
    Canvas canvas(p, 40, 4);
    pen(canvas, platform::PenDotted, blue);
    p.setBackgroundMode(canvas.dc(), platform::BackgroundTransparent);
    p.moveTo(canvas.dc(), 0, 1);
    p.lineTo(canvas.dc(), 24, 1);
    std::string pattern;
    for (int x = 0; x < 24; ++x) {
        pattern += canvas.pixel(x, 1) == blue ? '#' : (canvas.pixel(x, 1) == white ? '.' : '?');
    }
    EXPECT_EQ("###...###...###...###...", pattern);

    // With an opaque background the gaps take the background colour.
    canvas.fill(white);
    p.setBackgroundMode(canvas.dc(), platform::BackgroundOpaque);
    p.setBackgroundColour(canvas.dc(), green);
    p.moveTo(canvas.dc(), 0, 2);
    p.lineTo(canvas.dc(), 12, 2);
    EXPECT_EQ(blue, canvas.pixel(0, 2));
    EXPECT_EQ(green, canvas.pixel(3, 2));
    EXPECT_EQ(blue, canvas.pixel(6, 2));
}

TEST_F(Win32Drawing, NullPenDrawsNothing) {
    Canvas canvas(p, 20, 20);
    platform::ObjectHandle old =
        p.selectObject(canvas.dc(), p.stockObject(platform::StockObject::NullPen));
    ASSERT_NE(nullptr, old);
    p.moveTo(canvas.dc(), 0, 5);
    p.lineTo(canvas.dc(), 19, 5);
    EXPECT_EQ(400, canvas.count(white));
    p.selectObject(canvas.dc(), old);
}

TEST_F(Win32Drawing, FillRectLeavesOutTheRightColumnAndBottomRow) {
    Canvas canvas(p, 30, 30);
    platform::ObjectHandle brush = p.createSolidBrush(green);
    ASSERT_TRUE(p.fillRect(canvas.dc(), {10, 10, 20, 20}, brush));
    EXPECT_EQ(100, canvas.count(green));
    EXPECT_EQ(green, canvas.pixel(10, 10));
    EXPECT_EQ(green, canvas.pixel(19, 19));
    EXPECT_EQ(white, canvas.pixel(20, 19));
    EXPECT_EQ(white, canvas.pixel(19, 20));
    // An empty or inverted rectangle fills nothing.
    p.fillRect(canvas.dc(), {5, 5, 5, 9}, brush);
    p.fillRect(canvas.dc(), {9, 9, 6, 6}, brush);
    EXPECT_EQ(100, canvas.count(green));
    p.deleteObject(brush);
}

TEST_F(Win32Drawing, BlockCopiesCombineSourceAndDestinationByTheirOperation) {
    Canvas source(p, 4, 1);
    Canvas destination(p, 4, 1);
    const ColourRef s = makeColourRef(0xF0, 0x0F, 0xAA);
    const ColourRef d = makeColourRef(0xCC, 0x33, 0x0F);
    struct Case {
        uint32_t rop;
        ColourRef expected;
    } cases[] = {
        {platform::RopCopy, s},
        {platform::RopInvert, s ^ d},
        {platform::RopAnd, s & d},
        {platform::RopPaint, s | d},
    };
    for (const Case& c : cases) {
        source.fill(s);
        destination.fill(d);
        ASSERT_TRUE(p.blockCopy(destination.dc(), 1, 0, 2, 1, source.dc(), 0, 0, c.rop));
        EXPECT_EQ(d, destination.pixel(0, 0)) << std::hex << c.rop;
        EXPECT_EQ(c.expected, destination.pixel(1, 0)) << std::hex << c.rop;
        EXPECT_EQ(c.expected, destination.pixel(2, 0)) << std::hex << c.rop;
        EXPECT_EQ(d, destination.pixel(3, 0)) << std::hex << c.rop;
    }
}

TEST_F(Win32Drawing, MonochromeMasksFollowTheBackgroundAndTextColours) {
    // Colour to monochrome: the source's background colour becomes 1 (white).
    Canvas source(p, 3, 1);
    source.setPixel(0, 0, red);
    source.setPixel(1, 0, green);
    source.setPixel(2, 0, red);
    platform::DeviceContextHandle maskDc = p.createCompatibleDC(source.dc());
    platform::ObjectHandle mask = p.createMonochromeBitmap(3, 1);
    platform::ObjectHandle oldMask = p.selectObject(maskDc, mask);
    ASSERT_NE(nullptr, oldMask);
    p.setBackgroundColour(source.dc(), red);
    ASSERT_TRUE(p.blockCopy(maskDc, 0, 0, 3, 1, source.dc(), 0, 0, platform::RopCopy));

    // Monochrome to colour: 0 becomes the destination's text colour, 1 its
    // background colour.
    Canvas destination(p, 3, 1);
    p.setTextColour(destination.dc(), blue);
    p.setBackgroundColour(destination.dc(), green);
    ASSERT_TRUE(p.blockCopy(destination.dc(), 0, 0, 3, 1, maskDc, 0, 0, platform::RopCopy));
    EXPECT_EQ(green, destination.pixel(0, 0));
    EXPECT_EQ(blue, destination.pixel(1, 0));
    EXPECT_EQ(green, destination.pixel(2, 0));

    p.selectObject(maskDc, oldMask);
    p.deleteObject(mask);
    p.deleteDC(maskDc);
}

TEST_F(Win32Drawing, AFreshMemoryContextMakesMonochromeCompatibleBitmaps) {
    platform::DeviceContextHandle dc = p.createCompatibleDC(nullptr);
    platform::ObjectHandle bitmap = p.createCompatibleBitmap(dc, 5, 3);
    ASSERT_NE(nullptr, bitmap);
    BITMAP description{};
    ASSERT_TRUE(GetObjectA(reinterpret_cast<HGDIOBJ>(bitmap), sizeof(description), &description));
    EXPECT_EQ(1, description.bmBitsPixel);
    int32_t width = 0;
    int32_t height = 0;
    ASSERT_TRUE(p.bitmapSize(bitmap, width, height));
    EXPECT_EQ(5, width);
    EXPECT_EQ(3, height);
    p.deleteObject(bitmap);
    p.deleteDC(dc);
}

TEST_F(Win32Drawing, TransparentCopyFromTheOptionalLibraryKeepsKeyedPixels) {
    // The system reports the NT family, where the backend uses the library.
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_TRUE(GetVersionExA(&version));
    EXPECT_TRUE(
        platform::win32::libraryTransparentCopyUsable(static_cast<int32_t>(version.dwPlatformId)));
    Canvas source(p, 2, 2, red);
    source.setPixel(1, 0, blue);
    Canvas destination(p, 4, 4, green);
    ASSERT_TRUE(p.transparentCopy(destination.dc(), 1, 1, 2, 2, source.dc(), 0, 0, red));
    EXPECT_EQ(green, destination.pixel(1, 1));
    EXPECT_EQ(blue, destination.pixel(2, 1));
    EXPECT_EQ(15, destination.count(green));
    EXPECT_NE(nullptr, GetModuleHandleA("msimg32.dll")) << "the backend loaded the library";
}

TEST(Win32TransparentCopy, OnlyTheNtFamilyUsesTheOptionalLibrary) {
    struct Case {
        int32_t family;
        bool usable;
    };
    // -1: the version query failed; 0 and 1: the older families.
    for (Case c : {Case{-1, false}, Case{0, false}, Case{1, false}, Case{2, true}}) {
        EXPECT_EQ(c.usable, platform::win32::libraryTransparentCopyUsable(c.family)) << c.family;
    }
}

TEST_F(Win32Drawing, TextIsCentredVerticallyAndPlacedByAlignment) {
    Canvas canvas(p, 200, 40);
    platform::FontDescription description{};
    description.height = -12;
    description.weight = 400;
    description.outPrecision = 1;
    description.clipPrecision = 2;
    description.pitchAndFamily = 0x22;
    std::strcpy(description.faceName, "Arial");
    platform::ObjectHandle font = p.createFont(description);
    ASSERT_NE(nullptr, font);
    platform::ObjectHandle oldFont = p.selectObject(canvas.dc(), font);
    p.setTextColour(canvas.dc(), black);
    p.setBackgroundMode(canvas.dc(), platform::BackgroundTransparent);

    // The cell of a 12-pixel Arial (or its metric twin) is 14 pixels high.
    TEXTMETRICA metrics{};
    ASSERT_TRUE(GetTextMetricsA(canvas.hdc(), &metrics));
    EXPECT_EQ(14, metrics.tmHeight);
    SIZE extent{};
    ASSERT_TRUE(GetTextExtentPoint32A(canvas.hdc(), "0.50", 4, &extent));

    auto inkColumns = [&](int& first, int& last, int& top, int& bottom) {
        first = last = top = bottom = -1;
        for (int y = 0; y < canvas.height(); ++y) {
            for (int x = 0; x < canvas.width(); ++x) {
                if (canvas.pixel(x, y) != white) {
                    first = first < 0 || x < first ? x : first;
                    last = x > last ? x : last;
                    top = top < 0 ? y : top;
                    bottom = y;
                }
            }
        }
    };
    int first = 0, last = 0, top = 0, bottom = 0;

    ASSERT_TRUE(p.drawText(canvas.dc(), "0.50", {100, 10, 180, 30}, platform::AlignRight));
    inkColumns(first, last, top, bottom);
    EXPECT_GE(first, 180 - extent.cx);
    EXPECT_LE(last, 179);
    EXPECT_GE(last, 176);
    // Cell top 10 + (20 - 14) / 2 = 13; digits sit inside the cell.
    EXPECT_GE(top, 13);
    EXPECT_LE(bottom, 13 + 14 - 1);

    canvas.fill(white);
    ASSERT_TRUE(p.drawText(canvas.dc(), "0.50", {0, 10, 100, 30}, platform::AlignCentre));
    inkColumns(first, last, top, bottom);
    int cellLeft = (100 - extent.cx) / 2;
    EXPECT_GE(first, cellLeft);
    EXPECT_LE(last, cellLeft + extent.cx);

    canvas.fill(white);
    ASSERT_TRUE(p.drawText(canvas.dc(), "0.50", {30, 10, 40, 30}, platform::AlignLeft));
    inkColumns(first, last, top, bottom);
    EXPECT_GE(first, 30);
    EXPECT_GT(last, 40) << "text is not clipped to its rectangle";

    // An ampersand is drawn as it stands, not taken as a mnemonic prefix.
    SIZE withAmpersand{};
    GetTextExtentPoint32A(canvas.hdc(), "R&B", 3, &withAmpersand);
    canvas.fill(white);
    p.drawText(canvas.dc(), "R&B", {0, 0, 200, 40}, platform::AlignLeft);
    inkColumns(first, last, top, bottom);
    EXPECT_GT(last - first + 2, withAmpersand.cx * 2 / 3);

    EXPECT_FALSE(p.drawText(canvas.dc(), nullptr, {0, 0, 10, 10}, platform::AlignLeft));
    p.selectObject(canvas.dc(), oldFont);
    p.deleteObject(font);
}

TEST_F(Win32Drawing, StateSettersAnswerThePreviousValue) {
    Canvas canvas(p, 2, 2);
    EXPECT_EQ(platform::BackgroundOpaque,
              p.setBackgroundMode(canvas.dc(), platform::BackgroundTransparent));
    EXPECT_EQ(platform::BackgroundTransparent,
              p.setBackgroundMode(canvas.dc(), platform::BackgroundOpaque));
    EXPECT_EQ(white, p.setBackgroundColour(canvas.dc(), red));
    EXPECT_EQ(red, p.setBackgroundColour(canvas.dc(), white));
    EXPECT_EQ(black, p.setTextColour(canvas.dc(), blue));
    EXPECT_EQ(blue, p.setTextColour(canvas.dc(), black));
    EXPECT_EQ(0, p.setBackgroundMode(nullptr, platform::BackgroundOpaque));
}

// ----- The toolkit's drawing over the backend -----

class Win32Toolkit : public testing::Test {
protected:
    platform::Platform& p = platform::current();

    void SetUp() override { ASSERT_EQ(&platform::win32::nativePlatform(), &p); }

    // Draws the whole bitmap at (x, y) as drawTransparent does, but through the
    // one-bit mask of systems without the optional library.
    void drawMasked(Bitmap* bitmap, platform::DeviceContextHandle destination, int32_t x, int32_t y,
                    ColourRef key) {
        platform::DeviceContextHandle source = p.createCompatibleDC(destination);
        platform::ObjectHandle previous = p.selectObject(source, bitmap->getPlatformBitmap());
        EXPECT_TRUE(platform::maskedTransparentCopy(p, destination, x, y, bitmap->getWidth(),
                                                    bitmap->getHeight(), source, 0, 0, key));
        p.selectObject(source, previous);
        p.deleteDC(source);
    }
};

TEST_F(Win32Toolkit, StrokeRectTouchesItsFarCornerAndFillRectFillsTheInside) {
    Canvas canvas(p, 30, 30);
    {
        DrawContext context(nullptr, canvas.dc(), nullptr);
        context.setFrameColour(ColourRed);
        context.strokeRect(Rect(10, 10, 20, 20));
        context.setFillColour(ColourBlue);
        context.fillRect(Rect(10, 10, 20, 20));
    }
    EXPECT_EQ(red, canvas.pixel(20, 20));
    EXPECT_EQ(red, canvas.pixel(10, 10));
    EXPECT_EQ(40, canvas.count(red));
    EXPECT_EQ(81, canvas.count(blue)); // 11..19 in both directions
    EXPECT_EQ(blue, canvas.pixel(11, 11));
    EXPECT_EQ(blue, canvas.pixel(19, 19));
}

TEST_F(Win32Toolkit, TheContextGivesTheDeviceContextBackAsItFoundIt) {
    Canvas canvas(p, 8, 8);
    HGDIOBJ pen = GetCurrentObject(canvas.hdc(), OBJ_PEN);
    HGDIOBJ brush = GetCurrentObject(canvas.hdc(), OBJ_BRUSH);
    HGDIOBJ font = GetCurrentObject(canvas.hdc(), OBJ_FONT);
    {
        DrawContext context(nullptr, canvas.dc(), nullptr);
        context.setFont(3);
        context.setLineStyle(LineDotted);
        context.setFillColour(ColourYellow);
        EXPECT_NE(pen, GetCurrentObject(canvas.hdc(), OBJ_PEN));
        EXPECT_NE(font, GetCurrentObject(canvas.hdc(), OBJ_FONT));
    }
    EXPECT_EQ(pen, GetCurrentObject(canvas.hdc(), OBJ_PEN));
    EXPECT_EQ(brush, GetCurrentObject(canvas.hdc(), OBJ_BRUSH));
    EXPECT_EQ(font, GetCurrentObject(canvas.hdc(), OBJ_FONT));
}

TEST_F(Win32Toolkit, FontsAreDescribedFromTheFontTable) {
    Canvas canvas(p, 8, 8);
    DrawContext context(nullptr, canvas.dc(), nullptr);
    LOGFONTA font{};

    context.setFont(9, 0, 0); // out of range: id 0, "Arial" 12, always bold
    ASSERT_TRUE(GetObjectA(GetCurrentObject(canvas.hdc(), OBJ_FONT), sizeof(font), &font));
    EXPECT_STREQ("Arial", font.lfFaceName);
    EXPECT_EQ(-12, font.lfHeight);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_EQ(0x22, font.lfPitchAndFamily);
    EXPECT_EQ(OUT_STRING_PRECIS, font.lfOutPrecision);
    EXPECT_EQ(CLIP_STROKE_PRECIS, font.lfClipPrecision);

    context.setFont(7, 20, 1);
    ASSERT_TRUE(GetObjectA(GetCurrentObject(canvas.hdc(), OBJ_FONT), sizeof(font), &font));
    EXPECT_STREQ("Symbol", font.lfFaceName);
    EXPECT_EQ(-20, font.lfHeight);
    EXPECT_EQ(700, font.lfWeight);
    EXPECT_EQ(0x50, font.lfPitchAndFamily);

    context.setFont(4, 0, 2 | 4);
    ASSERT_TRUE(GetObjectA(GetCurrentObject(canvas.hdc(), OBJ_FONT), sizeof(font), &font));
    EXPECT_EQ(-11, font.lfHeight);
    EXPECT_EQ(400, font.lfWeight);
    EXPECT_TRUE(font.lfItalic);
    EXPECT_TRUE(font.lfUnderline);
}

TEST_F(Win32Toolkit, LeftAlignedStringsStartOnePixelRightOfTheRectangle) {
    Canvas canvas(p, 120, 30);
    DrawContext context(nullptr, canvas.dc(), nullptr);
    context.setFont(0);
    context.setFontColour(ColourBlack);
    // "|" has ink in its first column at this size; compare against the
    // platform's own placement at left and left + 1.
    Canvas reference(p, 120, 30);
    SelectObject(reference.hdc(), GetCurrentObject(canvas.hdc(), OBJ_FONT));
    SetBkMode(reference.hdc(), TRANSPARENT);
    RECT area{21, 0, 120, 30};
    DrawTextA(reference.hdc(), "|1", -1, &area, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
    context.drawString("|1", Rect(20, 0, 120, 30), false, 0);
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 120; ++x) {
            ASSERT_EQ(reference.pixel(x, y), canvas.pixel(x, y)) << x << "," << y;
        }
    }
    SelectObject(reference.hdc(), GetStockObject(SYSTEM_FONT));
}

TEST_F(Win32Toolkit, OpaqueStringsFillTheirCellWithTheFillColour) {
    Canvas canvas(p, 100, 30);
    DrawContext context(nullptr, canvas.dc(), nullptr);
    context.setFont(3);
    context.setFillColour(ColourGreen);
    context.setFontColour(ColourBlack);
    context.drawString("0.5", Rect(0, 0, 100, 30), true, 1);
    EXPECT_GT(canvas.count(green), 0);
    canvas.fill(white);
    context.drawString("0.5", Rect(0, 0, 100, 30), false, 1);
    EXPECT_EQ(0, canvas.count(green));
    EXPECT_GT(canvas.count(black), 0);
}

TEST_F(Win32Toolkit, BitmapsLoadFromTheModuleResourcesByTheLow16BitsOfTheirId) {
    struct Expected {
        int32_t id;
        int32_t width;
        int32_t height;
    } bitmaps[] = {
        {kPanelBitmapId, 300, 245},
        {kHandleBitmapId, 22, 17},
        {kTroughBitmapId, 182, 27},
        {0x7A0000 | kPanelBitmapId, 300, 245},
    };
    for (const Expected& e : bitmaps) {
        Bitmap* bitmap = new Bitmap(e.id);
        EXPECT_EQ(e.width, bitmap->getWidth()) << e.id;
        EXPECT_EQ(e.height, bitmap->getHeight()) << e.id;
        EXPECT_NE(nullptr, bitmap->getPlatformBitmap());
        bitmap->release();
    }
    Bitmap* missing = new Bitmap(4321);
    EXPECT_EQ(0, missing->getWidth());
    EXPECT_EQ(nullptr, missing->getPlatformBitmap());
    Canvas canvas(p, 10, 10, green);
    {
        DrawContext context(nullptr, canvas.dc(), nullptr);
        missing->draw(&context, Rect(0, 0, 10, 10));
        missing->drawTransparent(&context, Rect(0, 0, 10, 10));
    }
    EXPECT_EQ(100, canvas.count(green));
    missing->release();
}

TEST_F(Win32Toolkit, BitmapDrawCopiesTheBlockFromTheSourceOffset) {
    Bitmap* trough = new Bitmap(kTroughBitmapId);
    int32_t width = 0;
    int32_t height = 0;
    auto pixels = win32test::bitmapPixels(reinterpret_cast<HBITMAP>(trough->getPlatformBitmap()),
                                          width, height);
    ASSERT_EQ(182u * 27u, pixels.size());
    Canvas canvas(p, 60, 30, green);
    {
        DrawContext context(nullptr, canvas.dc(), nullptr);
        context.setOffset(Point(3, 2));
        trough->draw(&context, Rect(10, 5, 30, 15), Point(100, 7));
    }
    for (int y = 0; y < 30; ++y) {
        for (int x = 0; x < 60; ++x) {
            bool inside = x >= 13 && x < 33 && y >= 7 && y < 17;
            ColourRef expected =
                inside ? pixels[static_cast<size_t>((y - 7 + 7) * 182 + (x - 13 + 100))] : green;
            ASSERT_EQ(expected, canvas.pixel(x, y)) << x << "," << y;
        }
    }
    trough->release();
}

TEST_F(Win32Toolkit, TransparentDrawingGivesTheSamePixelsWithAndWithoutTheOptionalLibrary) {
    Bitmap* handle = new Bitmap(kHandleBitmapId);
    int32_t width = 0;
    int32_t height = 0;
    auto pixels = win32test::bitmapPixels(reinterpret_cast<HBITMAP>(handle->getPlatformBitmap()),
                                          width, height);
    ASSERT_EQ(22u * 17u, pixels.size());
    // Key on the colour of the top-left pixel, and separately on white (the
    // default), so that both keyed and unkeyed pixels occur.
    for (ColourRef key : {pixels[0], white}) {
        handle->setTransparentColour(Colour(static_cast<uint8_t>(key & 0xFF),
                                            static_cast<uint8_t>((key >> 8) & 0xFF),
                                            static_cast<uint8_t>((key >> 16) & 0xFF)));
        for (bool withLibrary : {true, false}) {
            Canvas canvas(p, 40, 30, makeColourRef(10, 200, 30));
            {
                DrawContext context(nullptr, canvas.dc(), nullptr);
                COLORREF background = GetBkColor(canvas.hdc());
                COLORREF text = GetTextColor(canvas.hdc());
                if (withLibrary) {
                    handle->drawTransparent(&context, Rect(5, 4, 27, 21), Point(0, 0));
                } else {
                    drawMasked(handle, canvas.dc(), 5, 4, key);
                }
                // The destination's colours are given back after the mask passes.
                EXPECT_EQ(background, GetBkColor(canvas.hdc()));
                EXPECT_EQ(text, GetTextColor(canvas.hdc()));
            }
            int keyed = 0;
            for (int y = 0; y < 17; ++y) {
                for (int x = 0; x < 22; ++x) {
                    ColourRef source = pixels[static_cast<size_t>(y * 22 + x)];
                    ColourRef expected = source == key ? makeColourRef(10, 200, 30) : source;
                    keyed += source == key ? 1 : 0;
                    ASSERT_EQ(expected, canvas.pixel(x + 5, y + 4))
                        << x << "," << y << (withLibrary ? " with" : " without") << " library";
                }
            }
            if (key == pixels[0]) {
                EXPECT_GT(keyed, 0);
            }
        }
    }
    handle->release();
}

TEST_F(Win32Toolkit, AnOffscreenImageStartsEntirelyInItsBackgroundColour) {
    Frame frame(Rect(0, 0, 300, 245), nullptr, nullptr);
    OffscreenContext offscreen(&frame, 182, 27, ColourBlack);
    int32_t width = 0;
    int32_t height = 0;
    auto pixels =
        win32test::bitmapPixels(reinterpret_cast<HBITMAP>(offscreen.getBitmap()), width, height);
    ASSERT_EQ(182, width);
    ASSERT_EQ(27, height);
    for (size_t i = 0; i < pixels.size(); ++i) {
        ASSERT_EQ(black, pixels[i]) << i % 182 << "," << i / 182;
    }

    // Drawing there and copying out reaches the destination in one block.
    offscreen.setFillColour(ColourRed);
    offscreen.fillRect(Rect(-1, -1, 10, 10)); // fills 0..9
    Canvas canvas(p, 200, 40, white);
    {
        DrawContext context(nullptr, canvas.dc(), nullptr);
        offscreen.copyFrom(&context, Rect(5, 5, 25, 15), Point(0, 0));
    }
    EXPECT_EQ(red, canvas.pixel(5, 5));
    EXPECT_EQ(red, canvas.pixel(14, 14));
    EXPECT_EQ(black, canvas.pixel(15, 5));
    EXPECT_EQ(white, canvas.pixel(25, 5));
    EXPECT_EQ(100, canvas.count(red));
}

// ----- The module -----

TEST(Win32Module, TheModuleIsTheLibraryThatContainsTheBackendAndHoldsItsResources) {
    HMODULE library = LoadLibraryA(FUMARA_MODULE_PROBE_PATH);
    ASSERT_NE(nullptr, library) << FUMARA_MODULE_PROBE_PATH;
    using ModuleProbe = void* (*)();
    using WidthProbe = int (*)(int);
    auto moduleOf = reinterpret_cast<ModuleProbe>(GetProcAddress(library, "probeModuleHandle"));
    auto widthOf = reinterpret_cast<WidthProbe>(GetProcAddress(library, "probeBitmapWidth"));
    ASSERT_NE(nullptr, moduleOf);
    ASSERT_NE(nullptr, widthOf);
    EXPECT_EQ(static_cast<void*>(library), moduleOf());
    EXPECT_NE(static_cast<void*>(GetModuleHandleA(nullptr)), moduleOf());
    EXPECT_EQ(300, widthOf(kPanelBitmapId));
    EXPECT_EQ(182, widthOf(kTroughBitmapId));
    EXPECT_EQ(-1, widthOf(999));
    FreeLibrary(library);

    // In this program the backend is part of the program itself.
    EXPECT_EQ(static_cast<void*>(GetModuleHandleA(nullptr)),
              static_cast<void*>(platform::win32::nativePlatform().moduleHandle()));
}

} // namespace
