// Drawing at a zoom through the headless backend: the geometry is the 100%
// picture with every panel pixel made a block of device pixels (so outlines
// include right and bottom and fills exclude them in device pixels too), text
// is rasterised at the zoomed size, bitmaps draw the pictures made for the
// zoom, offscreens line up with the panel at 150%, and the frame's window and
// mouse positions follow the zoom.
#include "GuiTestSupport.h"
#include "gui/Bitmap.h"
#include "gui/OffscreenContext.h"

#include <algorithm>

namespace {

constexpr uint32_t red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000, white = 0xFFFFFF;
constexpr uint32_t grey = 0x808080;

class ZoomDrawingTest : public GuiTest {
protected:
    // A context of a windowless frame at `percent`, drawing on a canvas.
    struct Zoomed {
        Frame frame;
        platform::DeviceContextHandle dc;
        DrawContext* context;
    };
    std::unique_ptr<Zoomed> zoomedCanvas(int32_t percent, int32_t panelW, int32_t panelH,
                                         uint32_t clear = 0) {
        const Zoom zoom(percent);
        auto z = std::unique_ptr<Zoomed>(
            new Zoomed{Frame(Rect(0, 0, panelW, panelH), nullptr, nullptr, zoom),
                       makeCanvas(zoom.toDevice(panelW), zoom.toDevice(panelH), clear), nullptr});
        z->context = new DrawContext(&z->frame, z->dc, nullptr);
        return z;
    }

    // Lines in the four directions and both pen styles, outlines and fills,
    // with the context's offset in use.
    static void drawGeometry(DrawContext* c) {
        c->setFrameColour(ColourRed);
        c->strokeRect(Rect(3, 4, 12, 10));
        c->setFillColour(ColourGreen);
        c->fillRect(Rect(3, 4, 12, 10));
        c->setOffset(Point(2, 1));
        c->setFrameColour(ColourBlue);
        c->moveTo(Point(20, 2));
        c->lineTo(Point(30, 2));
        c->lineTo(Point(30, 18));
        c->lineTo(Point(15, 18)); // leftwards: the start is set, the end is not
        c->lineTo(Point(15, 12)); // upwards
        c->setOffset(Point(0, 0));
        c->setLineStyle(LineDotted);
        c->setFrameColour(ColourWhite);
        c->moveTo(Point(1, 22));
        c->lineTo(Point(33, 22));
        c->moveTo(Point(36, 1));
        c->lineTo(Point(36, 23));
    }
};

} // namespace

TEST_F(ZoomDrawingTest, GeometryIsTheFullSizePictureWithEveryPixelABlock) {
    // The picture at 100%.
    platform::DeviceContextHandle plain = makeCanvas(40, 26, grey);
    auto* context = new DrawContext(nullptr, plain, nullptr);
    drawGeometry(context);
    delete context;
    const Surface reference = pixels(plain);
    ASSERT_GT(count(reference, red), 0);
    ASSERT_GT(count(reference, blue), 10);
    ASSERT_GT(count(reference, white), 10);

    for (int32_t percent : {150, 200, 300}) {
        SCOPED_TRACE(percent);
        const Zoom zoom(percent);
        auto z = zoomedCanvas(percent, 40, 26, grey);
        drawGeometry(z->context);
        delete z->context;
        const Surface& s = pixels(z->dc);
        for (int32_t y = 0; y < s.height; ++y) {
            for (int32_t x = 0; x < s.width; ++x) {
                ASSERT_EQ(s.at(x, y), reference.at(zoom.toPanel(x), zoom.toPanel(y)))
                    << "device " << x << "," << y;
            }
        }
    }
}

TEST_F(ZoomDrawingTest, ADiagonalLineIsAChainOfBlocksFromItsStartToItsEnd) {
    // (2, 1) to (8, 4) at 200%: the start's block is set, the end's is not,
    // and every column of blocks in between holds one block of the line.
    auto z = zoomedCanvas(200, 12, 8);
    z->context->setFrameColour(ColourRed);
    z->context->moveTo(Point(2, 1));
    z->context->lineTo(Point(8, 4));
    delete z->context;
    const Surface& s = pixels(z->dc);
    EXPECT_EQ(s.at(4, 2), red);
    EXPECT_EQ(s.at(5, 3), red);
    EXPECT_EQ(s.at(16, 8), 0u);
    EXPECT_EQ(count(s, red), 6 * 4);
    for (int32_t x = 2; x < 8; ++x) {
        int32_t blocks = 0;
        for (int32_t y = 0; y < 8; ++y) {
            blocks += s.at(2 * x, 2 * y) == red;
        }
        EXPECT_EQ(blocks, 1) << x;
    }
}

TEST_F(ZoomDrawingTest, OutlineAndFillRulesInDevicePixels) {
    // strokeRect (10, 10, 20, 20) at 200%: the outline covers device columns
    // 20-21 and 40-41; the fill covers 22 to 39.
    auto z = zoomedCanvas(200, 30, 30);
    z->context->setFrameColour(ColourRed);
    z->context->strokeRect(Rect(10, 10, 20, 20));
    z->context->setFillColour(ColourGreen);
    z->context->fillRect(Rect(10, 10, 20, 20));
    delete z->context;
    const Surface& s = pixels(z->dc);
    for (int32_t v : {20, 21, 40, 41}) {
        EXPECT_EQ(s.at(v, 30), red) << v;
        EXPECT_EQ(s.at(30, v), red) << v;
    }
    EXPECT_EQ(s.at(41, 41), red); // the corner right and bottom
    EXPECT_EQ(s.at(42, 30), 0u);
    EXPECT_EQ(s.at(19, 30), 0u);
    EXPECT_EQ(s.at(22, 22), green);
    EXPECT_EQ(s.at(39, 39), green);
    EXPECT_EQ(count(s, green), 18 * 18);
    EXPECT_EQ(count(s, red), 22 * 22 - 18 * 18);
}

TEST_F(ZoomDrawingTest, TextIsRasterisedAtTheZoomedSize) {
    // The value box of the editor, "0.50" in 11-pixel Arial, at 100% and 200%.
    auto box = [&](int32_t percent, Surface& out) {
        auto z = zoomedCanvas(percent, 40, 20, white);
        z->context->setFont(4);
        z->context->setFontColour(ColourBlack);
        z->context->drawString("0.50", Rect(2, 2, 30, 16), false, TextAlignCentre);
        const platform::FontDescription* font = world.fontOf(z->context->getFont());
        EXPECT_NE(font, nullptr);
        const int32_t height = font ? font->height : 0;
        EXPECT_EQ(z->context->getFontSize(), 11); // the panel's size is kept
        delete z->context;
        out = pixels(z->dc);
        return height;
    };
    Surface small, large, middle;
    EXPECT_EQ(box(100, small), -11);
    EXPECT_EQ(box(200, large), -22);
    EXPECT_EQ(box(150, middle), -17);
    // The ink's extent doubles, and the letters are drawn, not magnified:
    // many aligned 2 x 2 device squares of the large text are not one colour.
    auto extent = [](const Surface& s, int32_t& w, int32_t& h) {
        int32_t left = s.width, right = -1, top = s.height, bottom = -1;
        for (int32_t y = 0; y < s.height; ++y) {
            for (int32_t x = 0; x < s.width; ++x) {
                if (s.at(x, y) != white) {
                    left = std::min(left, x), right = std::max(right, x);
                    top = std::min(top, y), bottom = std::max(bottom, y);
                }
            }
        }
        w = right - left + 1;
        h = bottom - top + 1;
    };
    int32_t w1, h1, w2, h2;
    extent(small, w1, h1);
    extent(large, w2, h2);
    ASSERT_GT(h1, 4);
    EXPECT_NEAR(double(h2) / h1, 2.0, 0.35);
    EXPECT_NEAR(double(w2) / w1, 2.0, 0.35);
    int32_t mixed = 0;
    for (int32_t y = 0; y + 1 < large.height; y += 2) {
        for (int32_t x = 0; x + 1 < large.width; x += 2) {
            const uint32_t c = large.at(x, y);
            mixed +=
                large.at(x + 1, y) != c || large.at(x, y + 1) != c || large.at(x + 1, y + 1) != c;
        }
    }
    EXPECT_GT(mixed, 10);
}

TEST_F(ZoomDrawingTest, BitmapsDrawThePictureMadeForTheZoom) {
    // Bitmap 2001 is 4 x 3 red; drawn for 200% (id 22001) it is 8 x 6 with a
    // blue left half, so that the source offset's scaling shows.
    addSolidResource(2001, 4, 3, red);
    std::vector<uint32_t> zoomed(8 * 6, green);
    for (int32_t y = 0; y < 6; ++y) {
        for (int32_t x = 0; x < 4; ++x) {
            zoomed[size_t(y) * 8 + x] = blue;
        }
    }
    world.addBitmapResource(22001, 8, 6, zoomed);
    auto* bitmap = new Bitmap(2001);
    EXPECT_EQ(bitmap->width, 4); // panel pixels, whatever the zoom
    EXPECT_EQ(bitmap->height, 3);

    auto z = zoomedCanvas(200, 10, 10);
    bitmap->draw(z->context, Rect(1, 1, 5, 4));              // the whole picture at device (2, 2)
    bitmap->draw(z->context, Rect(6, 6, 8, 8), Point(2, 1)); // from device (4, 2) on
    delete z->context;
    const Surface& s = pixels(z->dc);
    EXPECT_EQ(s.at(2, 2), blue);
    EXPECT_EQ(s.at(5, 7), blue);
    EXPECT_EQ(s.at(6, 2), green);
    EXPECT_EQ(s.at(9, 7), green);
    EXPECT_EQ(s.at(10, 2), 0u);
    EXPECT_EQ(s.at(2, 8), 0u);
    EXPECT_EQ(s.at(12, 12), green);
    EXPECT_EQ(s.at(15, 15), green);
    EXPECT_EQ(s.at(16, 16), 0u);
    EXPECT_EQ(count(s, red), 0);

    // No picture for 150%: the 100% one is shown at its own size.
    auto m = zoomedCanvas(150, 10, 10);
    bitmap->draw(m->context, Rect(2, 2, 6, 5));
    delete m->context;
    EXPECT_EQ(count(pixels(m->dc), red), 4 * 3);
    EXPECT_EQ(pixels(m->dc).at(3, 3), red);
    bitmap->release();
    dropCanvases();
    EXPECT_EQ(baselineObjects, world.liveObjectCount());
}

TEST_F(ZoomDrawingTest, TransparentPicturesAtAZoomWithAndWithoutThePlatformCopy) {
    addSolidResource(2002, 2, 2, red);
    std::vector<uint32_t> zoomed(6 * 6, red); // 300%: white corners of 2 x 2
    for (int32_t y : {0, 1, 4, 5}) {
        for (int32_t x : {0, 1, 4, 5}) {
            zoomed[size_t(y) * 6 + x] = white;
        }
    }
    world.addBitmapResource(32002, 6, 6, zoomed);
    for (bool platformCopy : {true, false}) {
        SCOPED_TRACE(platformCopy);
        world.setPlatformTransparentCopy(platformCopy);
        auto z = zoomedCanvas(300, 4, 4, green);
        auto* bitmap = new Bitmap(2002);
        bitmap->drawTransparent(z->context, Rect(1, 1, 3, 3));
        delete z->context;
        const Surface& s = pixels(z->dc);
        EXPECT_EQ(count(s, red), 36 - 16);
        EXPECT_EQ(s.at(3, 3), green); // a transparent corner
        EXPECT_EQ(s.at(5, 3), red);
        EXPECT_EQ(s.at(5, 5), red);
        bitmap->release();
    }
}

TEST_F(ZoomDrawingTest, AnOffscreenLinesUpWithThePanelAt150Percent) {
    // A slider's 182 x 27 rectangle at (7, 31) takes device columns 10 to 282
    // and rows 46 to 86: 273 x 41, one row more than 27 rows at an even row.
    platform::WindowHandle host = makeHost();
    Frame frame(Rect(0, 0, 300, 245), host, nullptr, Zoom(150));
    auto* offscreen = new OffscreenContext(&frame, 182, 27, ColourGreen, Point(7, 31));
    int32_t w = 0, h = 0;
    ASSERT_TRUE(world.bitmapSize(offscreen->getBitmap(), w, h));
    EXPECT_EQ(w, 273);
    EXPECT_EQ(h, 41);
    EXPECT_EQ(offscreen->getWidth(), 182); // panel pixels
    EXPECT_EQ(offscreen->getClipRect(), Rect(0, 0, 182, 27));
    // The bottom row of the slider, drawn in the offscreen, is the last
    // device row of the copy.
    offscreen->setFrameColour(ColourRed);
    offscreen->moveTo(Point(0, 26));
    offscreen->lineTo(Point(182, 26));
    platform::DeviceContextHandle dc = world.windowDC(frame.getWindow());
    auto* window = new DrawContext(&frame, dc, frame.getWindow());
    offscreen->copyFrom(window, Rect(7, 31, 189, 58));
    delete window;
    world.releaseWindowDC(frame.getWindow(), dc);
    delete offscreen;
    const Surface& s = *world.windowSurface(frame.getWindow());
    EXPECT_EQ(s.at(10, 46), green);
    EXPECT_EQ(s.at(282, 84), green);
    EXPECT_EQ(s.at(10, 85), red); // panel row 57: device rows 85 and 86
    EXPECT_EQ(s.at(282, 86), red);
    EXPECT_NE(s.at(283, 60), green);
    EXPECT_NE(s.at(9, 60), green);
    EXPECT_NE(s.at(100, 87), red);
}

TEST_F(ZoomDrawingTest, TheFramesWindowAndItsMousePositionsFollowTheZoom) {
    platform::WindowHandle host = makeHost();
    std::vector<std::string> journal;
    auto* view = new RecordingView(Rect(10, 20, 40, 50), "v", &journal);
    {
        Frame frame(Rect(0, 0, 300, 245), host, nullptr, Zoom(200));
        ASSERT_TRUE(frame.addView(view));
        journal.clear();
        ScriptedPlatform::WindowInfo info;
        ASSERT_TRUE(world.windowInfo(frame.getWindow(), info));
        EXPECT_EQ(info.rect.right - info.rect.left, 600);
        EXPECT_EQ(info.rect.bottom - info.rect.top, 490);
        // A press at device (37, 61) is panel (18, 30); (19, 39) misses the view.
        world.pressButton(frame.getWindow(), platform::KeyLeftButton, {19, 39});
        EXPECT_TRUE(journal.empty());
        world.pressButton(frame.getWindow(), platform::KeyLeftButton, {37, 61});
        EXPECT_EQ(view->lastWhere, Point(18, 30));
        world.setCursor({200 + 81, 100 + 99});
        Point where;
        frame.getCurrentLocation(where);
        EXPECT_EQ(where, Point(40, 49));
        platform::DeviceContextHandle dc = world.windowDC(frame.getWindow());
        auto* context = new DrawContext(&frame, dc, frame.getWindow());
        EXPECT_EQ(context->getZoom().percent(), 200);
        context->getMouseLocation(where);
        EXPECT_EQ(where, Point(40, 49));
        delete context;
        world.releaseWindowDC(frame.getWindow(), dc);
        world.setKeyHeld(platform::KeyLeftButton, false);
    }
}
