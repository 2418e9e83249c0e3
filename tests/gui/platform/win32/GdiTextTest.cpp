// The headless backend's text in the Windows builds, drawn by GDI: metrics of
// the fonts the toolkit asks for, and the same pixels as the win32 backend
// drawing the same string into a real device context.
#include "Win32TestSupport.h"
#include "gui/platform/headless/HeadlessPlatform.h"
#include "gui/platform/win32/GdiTextRasteriser.h"
#include "gui/platform/win32/Win32Platform.h"

#include <cstring>
#include <gtest/gtest.h>

namespace {

using platform::ColourRef;
using platform::FontDescription;
using platform::makeColourRef;
using platform::headless::HeadlessPlatform;

FontDescription font(const char* face, int32_t height, int32_t weight = 400) {
    FontDescription f{};
    f.height = height;
    f.weight = weight;
    f.outPrecision = 1;
    f.clipPrecision = 2;
    f.pitchAndFamily = 0x22;
    std::strncpy(f.faceName, face, sizeof(f.faceName) - 1);
    return f;
}

TEST(GdiText, IsTheDefaultTextOfTheHeadlessBackendOnWindows) {
    HeadlessPlatform p;
    EXPECT_STREQ("gdi", p.textRasteriser().name());
}

TEST(GdiText, ArialCellsFollowTheFontsDesignMetrics) {
    auto text = platform::win32::createGdiTextRasteriser();
    EXPECT_FALSE(text->resolvedFamily(font("Arial", -12)).empty());
    // The cell of a character height h: ascent 1854/2048 h and descent
    // 434/2048 h, each rounded (12: 10.86 and 2.54).
    auto m12 = text->metrics(font("Arial", -12));
    EXPECT_EQ(11, m12.ascent);
    EXPECT_EQ(3, m12.descent);
    // A positive height asks for the cell itself.
    auto cell = text->metrics(font("Arial", 14));
    EXPECT_EQ(14, cell.ascent + cell.descent);
    EXPECT_GT(text->textWidth(font("Arial", -12, 700), "Room Size"),
              text->textWidth(font("Arial", -12, 400), "Room Size"));
    EXPECT_EQ(0, text->textWidth(font("Arial", -12), ""));
    EXPECT_EQ(0, text->textWidth(font("Arial", -12), nullptr));
}

TEST(GdiText, GlyphsStayInsideTheirCellAndTheClip) {
    auto text = platform::win32::createGdiTextRasteriser();
    FontDescription arial = font("Arial", -12);
    const ColourRef white = makeColourRef(255, 255, 255);
    platform::software::Surface surface(100, 30, false, white);
    int32_t width = text->textWidth(arial, "0.25");
    auto m = text->metrics(arial);
    text->drawText(surface, {0, 0, 100, 30}, arial, "0.25", 10, 20, makeColourRef(0, 0, 0));
    int ink = 0;
    for (int32_t y = 0; y < 30; ++y) {
        for (int32_t x = 0; x < 100; ++x) {
            if (surface.at(x, y) != white) {
                ++ink;
                EXPECT_GE(x, 10);
                EXPECT_LT(x, 10 + width);
                EXPECT_GE(y, 20 - m.ascent);
                EXPECT_LT(y, 20 + m.descent);
            }
        }
    }
    EXPECT_GT(ink, 10);

    platform::software::Surface clipped(100, 30, false, white);
    text->drawText(clipped, {0, 0, 16, 30}, arial, "0.25", 10, 20, makeColourRef(0, 0, 0));
    for (int32_t y = 0; y < 30; ++y) {
        for (int32_t x = 16; x < 100; ++x) {
            ASSERT_EQ(white, clipped.at(x, y)) << x << "," << y;
        }
    }
}

TEST(GdiText, HeadlessTextMatchesTheWin32BackendPixelForPixel) {
    HeadlessPlatform headless;
    headless.setTextRasteriser(platform::win32::createGdiTextRasteriser());
    platform::Platform& native = platform::win32::nativePlatform();
    FontDescription arial = font("Arial", -12, 700);
    const platform::PixelRect area{5, 3, 95, 27};

    for (int32_t alignment : {platform::AlignLeft, platform::AlignCentre, platform::AlignRight}) {
        win32test::Canvas canvas(native, 100, 30, makeColourRef(200, 210, 220));
        platform::ObjectHandle nativeFont = native.createFont(arial);
        platform::ObjectHandle oldFont = native.selectObject(canvas.dc(), nativeFont);
        native.setBackgroundMode(canvas.dc(), platform::BackgroundTransparent);
        native.setTextColour(canvas.dc(), makeColourRef(10, 20, 30));
        native.drawText(canvas.dc(), "-12.5 dB", area, alignment);
        native.selectObject(canvas.dc(), oldFont);
        native.deleteObject(nativeFont);

        platform::DeviceContextHandle dc = headless.createCompatibleDC(nullptr);
        platform::DeviceContextHandle screen = headless.windowDC(nullptr);
        platform::ObjectHandle bitmap = headless.createCompatibleBitmap(screen, 100, 30);
        headless.releaseWindowDC(nullptr, screen);
        platform::ObjectHandle oldBitmap = headless.selectObject(dc, bitmap);
        platform::ObjectHandle background = headless.createSolidBrush(makeColourRef(200, 210, 220));
        headless.fillRect(dc, {0, 0, 100, 30}, background);
        platform::ObjectHandle headlessFont = headless.createFont(arial);
        platform::ObjectHandle oldHeadlessFont = headless.selectObject(dc, headlessFont);
        headless.setBackgroundMode(dc, platform::BackgroundTransparent);
        headless.setTextColour(dc, makeColourRef(10, 20, 30));
        headless.drawText(dc, "-12.5 dB", area, alignment);
        const platform::software::Surface* surface = headless.contextSurface(dc);
        ASSERT_NE(nullptr, surface);
        for (int32_t y = 0; y < 30; ++y) {
            for (int32_t x = 0; x < 100; ++x) {
                ASSERT_EQ(canvas.pixel(x, y), surface->at(x, y) & 0x00FFFFFFu)
                    << x << "," << y << " alignment " << alignment;
            }
        }
        headless.selectObject(dc, oldHeadlessFont);
        headless.deleteObject(headlessFont);
        headless.deleteObject(background);
        headless.selectObject(dc, oldBitmap);
        headless.deleteObject(bitmap);
        headless.deleteDC(dc);
    }
}

} // namespace
