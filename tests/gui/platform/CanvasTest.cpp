// The software drawing's window surfaces: what a backend learns about the
// drawing on them (the X11 backend shows exactly that area), and contexts that
// outlive their surface.
#include "gui/platform/headless/HeadlessPlatform.h"

#include <functional>
#include <gtest/gtest.h>
#include <vector>

using namespace platform;
using platform::software::Surface;
using platform::software::SurfaceId;

namespace {

constexpr ColourRef red = 0x0000FF, blue = 0xFF0000, white = 0xFFFFFF;

// The smallest rectangle holding every pixel that differs between two
// pictures of one surface (empty when none does).
PixelRect changedArea(const Surface& before, const Surface& after) {
    PixelRect area{0, 0, 0, 0};
    for (int32_t y = 0; y < after.height; ++y) {
        for (int32_t x = 0; x < after.width; ++x) {
            if (before.at(x, y) != after.at(x, y)) {
                area = software::unite(area, {x, y, x + 1, y + 1});
            }
        }
    }
    return area;
}

bool contains(const PixelRect& outer, const PixelRect& inner) {
    return software::isEmpty(inner) || (outer.left <= inner.left && outer.top <= inner.top &&
                                        outer.right >= inner.right && outer.bottom >= inner.bottom);
}

// The window surfaces of the software drawing, as a backend uses them.
class SurfaceProbe : public platform::headless::HeadlessPlatform {
public:
    using CanvasPlatform::beginSurfacePaint;
    using CanvasPlatform::createWindowSurface;
    using CanvasPlatform::destroyWindowSurface;
    using CanvasPlatform::endSurfacePaint;
    using CanvasPlatform::liveContextCount;
    using CanvasPlatform::releaseSurfaceDC;
    using CanvasPlatform::screenDC;
    using CanvasPlatform::surfaceDC;
    using CanvasPlatform::surfacePixels;
    using CanvasPlatform::takeDamage;
};

class CanvasWindow : public ::testing::Test {
protected:
    void SetUp() override {
        surface = canvas.createWindowSurface(60, 40);
        dc = canvas.surfaceDC(surface);
        pen = canvas.createPen(PenSolid, 1, red);
        brush = canvas.createSolidBrush(blue);
        canvas.selectObject(dc, pen);
        font = canvas.createFont(
            FontDescription{-12, 0, 0, 0, 400, 0, 0, 0, 0, 1, 2, 0, 0x22, "Arial"});
        canvas.selectObject(dc, font);
        italic = canvas.createFont(
            FontDescription{-20, 0, 0, 0, 400, 1, 0, 0, 0, 1, 2, 0, 0x22, "Times New Roman"});
        canvas.setTextColour(dc, white);
        canvas.setBackgroundMode(dc, BackgroundTransparent);
        // A memory image to copy from: blue with a red middle.
        DeviceContextHandle screen = canvas.screenDC();
        memory = canvas.createCompatibleDC(screen);
        canvas.selectObject(memory, canvas.createCompatibleBitmap(screen, 6, 6));
        canvas.releaseSurfaceDC(screen);
        canvas.fillRect(memory, {0, 0, 6, 6}, brush);
        ObjectHandle middle = canvas.createSolidBrush(red);
        canvas.fillRect(memory, {2, 2, 4, 4}, middle);
    }

    SurfaceProbe canvas;
    SurfaceId surface = 0;
    DeviceContextHandle dc = nullptr, memory = nullptr;
    ObjectHandle pen = nullptr, brush = nullptr, font = nullptr, italic = nullptr;
};

} // namespace

TEST_F(CanvasWindow, TheDamageHoldsEveryPixelAWindowContextChanged) {
    struct Case {
        const char* what;
        std::function<void()> draw;
        bool exact; // the damage is exactly the changed area, not only around it
    };
    const std::vector<Case> cases = {
        {"line",
         [&] {
             canvas.moveTo(dc, 10, 10);
             canvas.lineTo(dc, 20, 14);
         },
         false},
        {"line upwards",
         [&] {
             canvas.moveTo(dc, 30, 30);
             canvas.lineTo(dc, 25, 5);
         },
         false},
        {"fill past the edge",
         [&] {
             canvas.fillRect(dc, {-5, 30, 8, 50}, brush);
         },
         true},
        {"block copy", [&] { canvas.blockCopy(dc, 40, 3, 6, 6, memory, 0, 0, RopCopy); }, true},
        {"transparent copy", [&] { canvas.transparentCopy(dc, 50, 20, 6, 6, memory, 0, 0, blue); },
         false},
        {"text",
         [&] {
             canvas.drawText(dc, "Wg-12.5", {5, 15, 55, 30}, AlignCentre);
         },
         false},
    };
    for (const Case& c : cases) {
        canvas.takeDamage(surface);
        Surface before = *canvas.surfacePixels(surface);
        c.draw();
        PixelRect changed = changedArea(before, *canvas.surfacePixels(surface));
        PixelRect damage = canvas.takeDamage(surface);
        EXPECT_FALSE(software::isEmpty(changed)) << c.what;
        EXPECT_TRUE(contains(damage, changed)) << c.what;
        if (c.exact) {
            EXPECT_EQ(changed.left, damage.left) << c.what;
            EXPECT_EQ(changed.top, damage.top) << c.what;
            EXPECT_EQ(changed.right, damage.right) << c.what;
            EXPECT_EQ(changed.bottom, damage.bottom) << c.what;
        }
        EXPECT_TRUE(contains({0, 0, 60, 40}, damage)) << c.what << ": within the surface";
        EXPECT_TRUE(software::isEmpty(canvas.takeDamage(surface))) << c.what << ": taken once";
    }
}

TEST_F(CanvasWindow, PaintsEraseStayInTheirAreaAndLeaveNoDamage) {
    canvas.takeDamage(surface);
    PaintSession whole;
    ASSERT_NE(nullptr, canvas.beginSurfacePaint(surface, {0, 0, 60, 40}, true, white, whole));
    canvas.endSurfacePaint(whole);
    EXPECT_EQ(nullptr, whole.deviceContext);
    PaintSession part;
    DeviceContextHandle paint = canvas.beginSurfacePaint(surface, {10, 10, 20, 20}, false, 0, part);
    ASSERT_NE(nullptr, paint);
    EXPECT_EQ(paint, part.deviceContext);
    EXPECT_EQ(10, part.area.left);
    EXPECT_EQ(20, part.area.bottom);
    EXPECT_TRUE(canvas.fillRect(paint, {0, 0, 60, 40}, brush));
    // A paint reaches the screen as a whole when it ends.
    EXPECT_TRUE(software::isEmpty(canvas.takeDamage(surface)));
    const Surface& pixels = *canvas.surfacePixels(surface);
    EXPECT_EQ(white, pixels.at(0, 0));
    EXPECT_EQ(blue, pixels.at(10, 10));
    EXPECT_EQ(blue, pixels.at(19, 19));
    EXPECT_EQ(white, pixels.at(20, 20));
    EXPECT_EQ(white, pixels.at(9, 10));
    EXPECT_FALSE(canvas.releaseSurfaceDC(paint)) << "a paint ends as a paint";
    int32_t contexts = canvas.liveContextCount();
    canvas.endSurfacePaint(part);
    EXPECT_EQ(contexts - 1, canvas.liveContextCount());
}

TEST_F(CanvasWindow, ContextsOutlivingTheirSurfaceDrawNothing) {
    int32_t contexts = canvas.liveContextCount();
    canvas.destroyWindowSurface(surface);
    EXPECT_EQ(nullptr, canvas.surfacePixels(surface));
    EXPECT_EQ(nullptr, canvas.surfaceDC(surface));
    PaintSession paint;
    EXPECT_EQ(nullptr, canvas.beginSurfacePaint(surface, {0, 0, 1, 1}, true, white, paint));
    EXPECT_EQ(nullptr, paint.deviceContext);
    EXPECT_FALSE(canvas.fillRect(dc, {0, 0, 10, 10}, brush));
    EXPECT_FALSE(canvas.lineTo(dc, 5, 5));
    EXPECT_FALSE(canvas.blockCopy(dc, 0, 0, 6, 6, memory, 0, 0, RopCopy));
    EXPECT_FALSE(canvas.drawText(dc, "x", {0, 0, 10, 10}, AlignLeft));
    EXPECT_TRUE(software::isEmpty(canvas.takeDamage(surface)));
    // Its objects can still be taken out and the context ended.
    EXPECT_EQ(pen, canvas.selectObject(dc, canvas.stockObject(StockObject::NullPen)));
    EXPECT_TRUE(canvas.deleteObject(pen));
    EXPECT_TRUE(canvas.releaseSurfaceDC(dc));
    EXPECT_EQ(contexts - 1, canvas.liveContextCount());
}
