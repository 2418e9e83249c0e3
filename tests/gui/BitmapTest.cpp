// Bitmaps (resources, reference counts, plain and transparent drawing) and offscreen contexts
// (their background, their size and the copy into another context).
#include "gui/Bitmap.h"

#include "GuiTestSupport.h"
#include "gui/OffscreenContext.h"
#include "gui/platform/EmbeddedResources.h"

namespace {

constexpr uint32_t red = 0x0000FF, green = 0x00FF00, blue = 0xFF0000, white = 0xFFFFFF;

class BitmapTest : public GuiTest {
protected:
    // 4 x 3 image: white border pixels in the corners, red elsewhere, one blue.
    void addSprite(uint16_t id) {
        std::vector<uint32_t> px(12, red);
        px[0] = px[3] = px[8] = px[11] = white;
        px[5] = blue;
        world.addBitmapResource(id, 4, 3, px);
    }
};

} // namespace

TEST_F(BitmapTest, LoadsTheResourceNamedByTheLowSixteenBits) {
    addSolidResource(101, 7, 5, red);
    auto* bitmap = new Bitmap(0x12340065);
    EXPECT_EQ(0x12340065, bitmap->getResourceId());
    EXPECT_EQ(7, bitmap->width);
    EXPECT_EQ(5, bitmap->height);
    EXPECT_EQ(1, bitmap->getReferenceCount());
    EXPECT_EQ(ColourTransparent, bitmap->transparentColour);
    EXPECT_NE(nullptr, bitmap->getPlatformBitmap());
    bitmap->release();
    EXPECT_EQ(baselineObjects, world.liveObjectCount());
}

TEST_F(BitmapTest, TheLibrarysOwnBitmapsAreBuiltIn) {
    if (!platform::findEmbeddedBitmap(101)) {
        GTEST_SKIP() << "no resource script in this tree";
    }
    struct Expected {
        int32_t id, width, height;
    };
    for (Expected e : {Expected{101, 300, 245}, Expected{102, 22, 17}, Expected{103, 182, 27}}) {
        auto* bitmap = new Bitmap(e.id);
        EXPECT_EQ(e.width, bitmap->width) << e.id;
        EXPECT_EQ(e.height, bitmap->height) << e.id;
        bitmap->release();
    }
    // The handle's corners are pure white, so that the trough shows through.
    auto* handle = new Bitmap(102);
    platform::DeviceContextHandle dc = makeCanvas(22, 17, 0x123456);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    handle->draw(context, Rect(0, 0, 22, 17));
    EXPECT_EQ(white, pixels(dc).at(0, 0));
    EXPECT_EQ(white, pixels(dc).at(21, 16));
    handle->drawTransparent(context, Rect(0, 0, 22, 17)); // nothing new over itself
    delete context;
    handle->release();
}

TEST_F(BitmapTest, AMissingResourceGivesAnEmptyBitmapThatDrawsNothing) {
    auto* bitmap = new Bitmap(4242);
    EXPECT_EQ(0, bitmap->getWidth());
    EXPECT_EQ(0, bitmap->getHeight());
    EXPECT_EQ(nullptr, bitmap->getPlatformBitmap());
    platform::DeviceContextHandle dc = makeCanvas(8, 8, green);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    int32_t copies = world.blockCopyCalls();
    bitmap->draw(context, Rect(0, 0, 8, 8));
    bitmap->drawTransparent(context, Rect(0, 0, 8, 8));
    EXPECT_EQ(copies, world.blockCopyCalls());
    EXPECT_EQ(64, count(pixels(dc), green));
    delete context;
    bitmap->release();
}

TEST_F(BitmapTest, ReferenceCountingFreesThePlatformBitmapAtTheLastRelease) {
    addSolidResource(5, 2, 2, red);
    auto* bitmap = new Bitmap(5);
    int32_t withBitmap = world.liveObjectCount();
    bitmap->retain();
    bitmap->retain();
    EXPECT_EQ(3, bitmap->getReferenceCount());
    bitmap->release();
    bitmap->release();
    EXPECT_EQ(1, bitmap->getReferenceCount());
    EXPECT_EQ(withBitmap, world.liveObjectCount());
    bitmap->release();
    EXPECT_EQ(withBitmap - 1, world.liveObjectCount());
}

TEST_F(BitmapTest, DrawCopiesTheBlockFromTheSourceOffsetToTheShiftedRectangle) {
    addSprite(9);
    auto* bitmap = new Bitmap(9);
    platform::DeviceContextHandle dc = makeCanvas(10, 10, green);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    context->setOffset(Point(1, 1));
    // A 2 x 2 block from (1, 1) of the image: blue red / red red.
    bitmap->draw(context, Rect(3, 4, 5, 6), Point(1, 1));
    const Surface& s = pixels(dc);
    EXPECT_EQ(blue, s.at(4, 5));
    EXPECT_EQ(red, s.at(5, 5));
    EXPECT_EQ(red, s.at(4, 6));
    EXPECT_EQ(red, s.at(5, 6));   // the white corner (3, 2) lies outside the block
    EXPECT_EQ(green, s.at(6, 5)); // right edge excluded
    EXPECT_EQ(green, s.at(4, 7)); // bottom edge excluded
    EXPECT_EQ(96, count(s, green));
    delete context;
    bitmap->release();
}

TEST_F(BitmapTest, TransparentDrawingGivesTheSamePixelsWithAndWithoutThePlatformCopy) {
    addSprite(9);
    for (bool platformCopy : {true, false}) {
        // Without its own copy the platform goes through a one-bit mask.
        world.setPlatformTransparentCopy(platformCopy);
        auto* bitmap = new Bitmap(9);
        platform::DeviceContextHandle dc = makeCanvas(6, 5, green);
        auto* context = new DrawContext(nullptr, dc, nullptr);
        int32_t objects = world.liveObjectCount();
        int32_t contexts = world.liveContextCount();
        int32_t platformCalls = world.transparentCopyCalls();

        bitmap->drawTransparent(context, Rect(1, 1, 5, 4));
        const Surface& s = pixels(dc);
        EXPECT_EQ(green, s.at(1, 1)) << platformCopy; // white corner: untouched
        EXPECT_EQ(green, s.at(4, 3));
        EXPECT_EQ(red, s.at(2, 1));
        EXPECT_EQ(blue, s.at(2, 2));
        EXPECT_EQ(red, s.at(4, 2));
        EXPECT_EQ(green, s.at(5, 2)); // right of the block
        EXPECT_EQ(6 * 5 - 12 + 4, count(s, green));
        EXPECT_EQ(platformCopy ? platformCalls + 1 : platformCalls, world.transparentCopyCalls());
        // Nothing left behind; the destination keeps its colours.
        EXPECT_EQ(objects, world.liveObjectCount());
        EXPECT_EQ(contexts, world.liveContextCount());
        ScriptedPlatform::ContextState state;
        world.contextState(dc, state);
        EXPECT_EQ(0x000000u, state.background);
        EXPECT_EQ(white, state.text);

        // Another transparent colour: now the blue pixel lets the destination show.
        context->setFillColour(ColourMagenta);
        context->fillRect(Rect(-1, -1, 6, 5));
        bitmap->setTransparentColour(ColourBlue);
        bitmap->drawTransparent(context, Rect(1, 1, 5, 4));
        EXPECT_EQ(white, s.at(1, 1));
        EXPECT_EQ(ColourMagenta.toPlatform(), s.at(2, 2));
        delete context;
        bitmap->release();
        dropCanvases();
    }
    world.setPlatformTransparentCopy(true);
}

TEST_F(BitmapTest, AnAllWhiteBitmapLeavesTheDestinationUnchanged) {
    addSolidResource(101, 8, 8, white);
    std::vector<uint32_t> pattern(64);
    for (size_t i = 0; i < pattern.size(); ++i) {
        pattern[i] = static_cast<uint32_t>(i * 0x030507) & 0xFFFFFF;
    }
    world.addBitmapResource(50, 8, 8, pattern);
    for (bool platformCopy : {true, false}) {
        world.setPlatformTransparentCopy(platformCopy);
        auto* background = new Bitmap(50);
        auto* bitmap = new Bitmap(101);
        platform::DeviceContextHandle dc = makeCanvas(8, 8);
        auto* context = new DrawContext(nullptr, dc, nullptr);
        background->draw(context, Rect(0, 0, 8, 8));
        std::vector<uint32_t> before = pixels(dc).pixels;
        bitmap->drawTransparent(context, Rect(0, 0, 8, 8));
        EXPECT_EQ(before, pixels(dc).pixels) << platformCopy;
        delete context;
        bitmap->release();
        background->release();
        dropCanvases();
    }
    world.setPlatformTransparentCopy(true);
}

TEST_F(BitmapTest, TransparentDrawingNeedsNoFrameBeforeOrAfterIt) {
    addSprite(9);
    auto* bitmap = new Bitmap(9);
    platform::DeviceContextHandle dc = makeCanvas(6, 5, green);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    int32_t platformCalls = world.transparentCopyCalls();
    bitmap->drawTransparent(context, Rect(1, 1, 5, 4));
    {
        Frame first(Rect(0, 0, 8, 8), nullptr, nullptr);
        Frame second(Rect(0, 0, 8, 8), nullptr, nullptr);
    }
    // Frames come and go; the platform's copy stays the platform's.
    bitmap->drawTransparent(context, Rect(1, 1, 5, 4));
    EXPECT_EQ(platformCalls + 2, world.transparentCopyCalls());
    EXPECT_EQ(red, pixels(dc).at(2, 1));
    EXPECT_EQ(green, pixels(dc).at(1, 1));
    delete context;
    bitmap->release();
}

namespace {
class OffscreenTest : public GuiTest {};
} // namespace

TEST_F(OffscreenTest, IsFilledWithItsBackgroundUpToTheLastRowAndColumn) {
    Frame frame(Rect(0, 0, 300, 245), nullptr, nullptr);
    int32_t objects = world.liveObjectCount();
    int32_t contexts = world.liveContextCount();
    auto* offscreen = new OffscreenContext(&frame, 182, 27, ColourBlack);
    const Surface* s = world.contextSurface(offscreen->getDeviceContext());
    ASSERT_NE(nullptr, s);
    EXPECT_FALSE(s->monochrome);
    EXPECT_EQ(182, s->width);
    EXPECT_EQ(27, s->height);
    EXPECT_EQ(182 * 27, count(*s, 0x000000));
    EXPECT_EQ(Rect(0, 0, 182, 27), offscreen->getClipRect());
    delete offscreen;

    offscreen = new OffscreenContext(&frame, 10, 4, ColourCyan);
    s = world.contextSurface(offscreen->getDeviceContext());
    EXPECT_EQ(40, count(*s, ColourCyan.toPlatform()));
    EXPECT_EQ(ColourCyan.toPlatform(), s->at(9, 3));
    delete offscreen;
    EXPECT_EQ(objects, world.liveObjectCount());
    EXPECT_EQ(contexts, world.liveContextCount());
}

TEST_F(OffscreenTest, AFrameWhoseWindowIsGoneStillGetsAColourImage) {
    platform::WindowHandle host = makeHost();
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    world.destroyWindow(host);
    auto* offscreen = new OffscreenContext(&frame, 8, 8, ColourRed);
    const Surface* s = world.contextSurface(offscreen->getDeviceContext());
    ASSERT_NE(nullptr, s);
    EXPECT_FALSE(s->monochrome);
    EXPECT_EQ(64, count(*s, red));
    delete offscreen;
}

TEST_F(OffscreenTest, NegativeSizesGiveANormalisedClipRectangle) {
    auto* offscreen = new OffscreenContext(nullptr, -5, 7, ColourBlack);
    EXPECT_EQ(Rect(-5, 0, 0, 7), offscreen->getClipRect());
    delete offscreen;
}

TEST_F(OffscreenTest, CopiesABlockIntoAnotherContextAtItsOffset) {
    auto* offscreen = new OffscreenContext(nullptr, 6, 6, ColourRed);
    offscreen->setFillColour(ColourBlue);
    offscreen->fillRect(Rect(2, 2, 4, 4)); // the inside of that outline: pixel (3, 3)
    platform::DeviceContextHandle dc = makeCanvas(20, 20, 0x00FF00);
    auto* window = new DrawContext(nullptr, dc, nullptr);
    window->setOffset(Point(10, 0));
    offscreen->copyFrom(window, Rect(0, 5, 4, 9), Point(1, 1));
    const Surface& s = pixels(dc);
    EXPECT_EQ(red, s.at(10, 5));
    EXPECT_EQ(blue, s.at(12, 7)); // image (3, 3)
    EXPECT_EQ(0x00FF00u, s.at(14, 5));
    EXPECT_EQ(0x00FF00u, s.at(10, 9));
    EXPECT_EQ(20 * 20 - 16, count(s, 0x00FF00));
    delete window;
    delete offscreen;
}
