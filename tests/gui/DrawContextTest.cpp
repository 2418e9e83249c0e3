// The drawing context on the headless backend: its default state, its origin and offset,
// lines, fills, pens, brushes, fonts, text and the mouse buttons.
#include "GuiTestSupport.h"

#include <cstring>

namespace {

class DrawContextTest : public GuiTest {};

constexpr uint32_t red = 0x0000FF, green = 0x00FF00, white = 0xFFFFFF;

} // namespace

TEST_F(DrawContextTest, ConstructionAppliesTheDefaultStateAndRemembersThePrevious) {
    platform::DeviceContextHandle dc = makeCanvas(40, 40);
    ScriptedPlatform::ContextState before;
    world.contextState(dc, before);

    auto* context = new DrawContext(nullptr, dc, nullptr);
    EXPECT_EQ(Rect(0, 0, 1000, 1000), context->getClipRect());
    EXPECT_EQ(Point(0, 0), context->getOffset());
    EXPECT_EQ(Point(0, 0), context->getWindowOrigin());
    EXPECT_EQ(1, context->getLineWidth());
    EXPECT_EQ(0, context->getFontSize());
    EXPECT_EQ(0, context->getFontId());
    EXPECT_EQ(ColourWhite, context->getFrameColour());
    EXPECT_EQ(ColourBlack, context->getFillColour());
    EXPECT_EQ(ColourWhite, context->getFontColour());

    ScriptedPlatform::ContextState state;
    world.contextState(dc, state);
    EXPECT_EQ(platform::BackgroundTransparent, state.backgroundMode);
    EXPECT_EQ(0x000000u, state.background); // the fill colour
    EXPECT_EQ(white, state.text);
    EXPECT_EQ(context->getPen(), state.pen);
    EXPECT_EQ(context->getBrush(), state.brush);
    EXPECT_EQ(before.font, state.font); // no font until setFont
    int32_t style = -1, width = -1;
    platform::ColourRef colour = 0;
    ASSERT_TRUE(world.penOf(state.pen, style, width, colour));
    EXPECT_EQ(platform::PenSolid, style);
    EXPECT_EQ(1, width);
    EXPECT_EQ(white, colour);

    context->setFont(3);
    delete context;
    // Everything it created is gone and the context holds its old objects again.
    world.contextState(dc, state);
    EXPECT_EQ(before.pen, state.pen);
    EXPECT_EQ(before.brush, state.brush);
    EXPECT_EQ(before.font, state.font);
    dropCanvases();
    EXPECT_EQ(baselineObjects, world.liveObjectCount());
}

TEST_F(DrawContextTest, WindowOriginComesFromTheWindowAndLocationsAreRelativeToIt) {
    platform::WindowHandle host = makeHost();
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    platform::DeviceContextHandle dc = world.windowDC(frame.getWindow());
    auto* context = new DrawContext(&frame, dc, frame.getWindow());
    EXPECT_EQ(Point(200, 100), context->getWindowOrigin());
    EXPECT_EQ(Rect(0, 0, 300, 245), context->getClipRect()); // the frame's size
    world.setCursor({215, 130});
    Point where;
    context->getMouseLocation(where);
    EXPECT_EQ(Point(15, 30), where);
    delete context;
    world.releaseWindowDC(frame.getWindow(), dc);
}

TEST_F(DrawContextTest, StrokeTouchesRightAndBottomAndFillCoversTheInside) {
    platform::DeviceContextHandle dc = makeCanvas(40, 40);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    context->setFrameColour(ColourRed);
    context->strokeRect(Rect(10, 10, 20, 20));
    const Surface& s = pixels(dc);
    EXPECT_EQ(red, s.at(20, 20));
    EXPECT_EQ(red, s.at(10, 10));
    EXPECT_EQ(red, s.at(20, 10));
    EXPECT_EQ(red, s.at(10, 20));
    EXPECT_EQ(40, count(s, red));
    EXPECT_EQ(0u, s.at(11, 11));

    context->setFillColour(ColourGreen);
    context->fillRect(Rect(10, 10, 20, 20));
    EXPECT_EQ(81, count(s, green)); // 11 to 19 in both directions
    EXPECT_EQ(green, s.at(11, 11));
    EXPECT_EQ(green, s.at(19, 19));
    EXPECT_EQ(40, count(s, red)); // the outline is untouched
    // The fill used no pen and left the line colour's pen selected.
    ScriptedPlatform::ContextState state;
    world.contextState(dc, state);
    EXPECT_EQ(context->getPen(), state.pen);
    delete context;
}

TEST_F(DrawContextTest, OffsetShiftsEveryDrawingOperation) {
    platform::DeviceContextHandle dc = makeCanvas(40, 40);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    context->setOffset(Point(5, -2));
    context->setFrameColour(ColourRed);
    context->moveTo(Point(0, 10));
    context->lineTo(Point(3, 10));
    const Surface& s = pixels(dc);
    EXPECT_EQ(red, s.at(5, 8));
    EXPECT_EQ(red, s.at(7, 8));
    EXPECT_EQ(0u, s.at(8, 8));
    context->setFillColour(ColourGreen);
    context->fillRect(Rect(0, 10, 2, 12));
    EXPECT_EQ(green, s.at(6, 9));
    EXPECT_EQ(1, count(s, green));
    delete context;
}

TEST_F(DrawContextTest, PensFollowStyleAndColourAndReplaceTheirPredecessors) {
    platform::DeviceContextHandle dc = makeCanvas(40, 4);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    int32_t live = world.liveObjectCount();
    context->setLineStyle(LineDotted);
    context->setFrameColour(ColourBlue);
    EXPECT_EQ(live, world.liveObjectCount()); // each new pen replaced the old one
    int32_t style = 0, width = 0;
    platform::ColourRef colour = 0;
    world.penOf(context->getPen(), style, width, colour);
    EXPECT_EQ(platform::PenDotted, style);
    EXPECT_EQ(ColourBlue.toPlatform(), colour);
    EXPECT_EQ(LineDotted, context->getLineStyle());
    context->moveTo(Point(0, 1));
    context->lineTo(Point(12, 1));
    EXPECT_EQ(6, count(pixels(dc), 0xFF0000)); // 3 on, 3 off
    context->setLineStyle(7);                  // anything but 1 is solid
    world.penOf(context->getPen(), style, width, colour);
    EXPECT_EQ(platform::PenSolid, style);
    delete context;
}

TEST_F(DrawContextTest, FailedBrushCreationKeepsTheOldBrushButStoresTheColour) {
    platform::DeviceContextHandle dc = makeCanvas(20, 20);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    context->setFillColour(ColourRed);
    platform::ObjectHandle brush = context->getBrush();
    world.setObjectCreationFails(true);
    context->setFillColour(ColourGreen);
    world.setObjectCreationFails(false);
    EXPECT_EQ(ColourGreen, context->getFillColour());
    EXPECT_EQ(brush, context->getBrush());
    ScriptedPlatform::ContextState state;
    world.contextState(dc, state);
    EXPECT_EQ(brush, state.brush);
    EXPECT_EQ(green, state.background); // the background colour was already set
    context->fillRect(Rect(0, 0, 5, 5));
    EXPECT_EQ(red, pixels(dc).at(2, 2));
    delete context;
}

TEST_F(DrawContextTest, FontSelectionFollowsTheTable) {
    platform::DeviceContextHandle dc = makeCanvas(20, 20);
    auto* context = new DrawContext(nullptr, dc, nullptr);

    // Id outside 0-7 is 0: Arial 12, always bold.
    context->setFont(9, 0, 0);
    const platform::FontDescription* f = world.fontOf(context->getFont());
    ASSERT_NE(nullptr, f);
    EXPECT_STREQ("Arial", f->faceName);
    EXPECT_EQ(-12, f->height);
    EXPECT_EQ(700, f->weight);
    EXPECT_EQ(0x22, f->pitchAndFamily);
    EXPECT_EQ(0, f->width);
    EXPECT_EQ(0, f->charSet);
    EXPECT_EQ(1, f->outPrecision);
    EXPECT_EQ(2, f->clipPrecision);
    EXPECT_EQ(0, f->quality);
    EXPECT_EQ(0, f->strikeOut);
    EXPECT_EQ(0, context->getFontId());
    EXPECT_EQ(12, context->getFontSize());
    context->setFont(-1);
    EXPECT_EQ(0, context->getFontId());

    // Id 7, size 20, bold: the decorative family.
    context->setFont(7, 20, FontBold);
    f = world.fontOf(context->getFont());
    EXPECT_STREQ("Symbol", f->faceName);
    EXPECT_EQ(-20, f->height);
    EXPECT_EQ(700, f->weight);
    EXPECT_EQ(0x50, f->pitchAndFamily);

    // Plain ids are regular unless asked; italic and underline follow the bits.
    context->setFont(4);
    f = world.fontOf(context->getFont());
    EXPECT_EQ(-11, f->height);
    EXPECT_EQ(400, f->weight);
    EXPECT_EQ(0, f->italic);
    context->setFont(1, 0, FontItalic | FontUnderline);
    f = world.fontOf(context->getFont());
    EXPECT_EQ(-18, f->height);
    EXPECT_EQ(1, f->italic);
    EXPECT_EQ(1, f->underline);
    EXPECT_EQ(400, f->weight);
    ScriptedPlatform::ContextState state;
    world.contextState(dc, state);
    EXPECT_EQ(context->getFont(), state.font);
    delete context;
    dropCanvases();
    EXPECT_EQ(baselineObjects, world.liveObjectCount());
}

TEST_F(DrawContextTest, LeftAlignedTextStartsOnePixelRightOfTheRectangle) {
    // The same text through the context and straight through the platform.
    const Rect rect(10, 5, 90, 25);
    const int32_t alignments[] = {TextAlignLeft, TextAlignCentre, TextAlignRight, 5};
    for (int32_t align : alignments) {
        platform::DeviceContextHandle viaContext = makeCanvas(100, 30, white);
        platform::DeviceContextHandle direct = makeCanvas(100, 30, white);
        auto* context = new DrawContext(nullptr, viaContext, nullptr);
        context->setFont(4);
        context->setFontColour(ColourBlack);
        context->drawString("0.50", rect, false, align);
        delete context;

        platform::FontDescription font{};
        font.height = -11;
        font.weight = 400;
        std::strcpy(font.faceName, "Arial");
        platform::ObjectHandle handle = world.createFont(font);
        world.selectObject(direct, handle);
        world.setTextColour(direct, 0);
        world.setBackgroundMode(direct, platform::BackgroundTransparent);
        bool moved = align != TextAlignCentre && align != TextAlignRight;
        int32_t placement = align == TextAlignCentre  ? platform::AlignCentre
                            : align == TextAlignRight ? platform::AlignRight
                                                      : platform::AlignLeft;
        world.drawText(direct, "0.50", {rect.left + (moved ? 1 : 0), 5, 90, 25}, placement);
        EXPECT_EQ(pixels(direct).pixels, pixels(viaContext).pixels) << "alignment " << align;
        dropCanvases();
    }
}

TEST_F(DrawContextTest, OpaqueTextFillsItsCellWithTheFillColourThenGoesBackToTransparent) {
    platform::DeviceContextHandle dc = makeCanvas(100, 30, white);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    context->setOffset(Point(3, 0));
    context->setFont(4);
    context->setFillColour(ColourGreen);
    context->setFontColour(ColourBlack);
    context->drawString(nullptr, Rect(0, 0, 100, 30)); // nothing at all
    EXPECT_EQ(3000, count(pixels(dc), white));
    context->drawString("1.00", Rect(0, 0, 60, 30), true, TextAlignLeft);
    EXPECT_GT(count(pixels(dc), green), 20);
    // The cell starts at 0 + 1 + offset 3; its top row (above every glyph) is
    // (30 - cell height) / 2, 9 for the 12-pixel cell of 11-pixel Arial.
    EXPECT_EQ(green, pixels(dc).at(4, 9));
    EXPECT_EQ(white, pixels(dc).at(3, 9));
    EXPECT_EQ(white, pixels(dc).at(4, 8));
    ScriptedPlatform::ContextState state;
    world.contextState(dc, state);
    EXPECT_EQ(platform::BackgroundTransparent, state.backgroundMode);
    delete context;
}

TEST_F(DrawContextTest, MouseButtonsReportPhysicalButtonsAndModifiers) {
    platform::DeviceContextHandle dc = makeCanvas(4, 4);
    auto* context = new DrawContext(nullptr, dc, nullptr);
    toolkitState().buttonsSwapped = false;
    EXPECT_EQ(0, context->getMouseButtons());
    world.setKeyHeld(platform::KeyLeftButton, true);
    EXPECT_EQ(MouseLeft, context->getMouseButtons());
    world.setKeyHeld(platform::KeyMiddleButton, true);
    world.setKeyHeld(platform::KeyShift, true);
    world.setKeyHeld(platform::KeyAlt, true);
    EXPECT_EQ(MouseLeft | MouseMiddle | MouseShift | MouseAlt, context->getMouseButtons());
    world.releaseAllKeys();
    world.setKeyHeld(platform::KeyRightButton, true);
    world.setKeyHeld(platform::KeyControl, true);
    EXPECT_EQ(MouseRight | MouseControl, context->getMouseButtons());

    // Swapped buttons: the physical right button is the primary one.
    toolkitState().buttonsSwapped = true;
    EXPECT_EQ(17, context->getMouseButtons());
    world.releaseAllKeys();
    world.setKeyHeld(platform::KeyLeftButton, true);
    EXPECT_EQ(MouseRight, context->getMouseButtons());
    toolkitState().buttonsSwapped = false;
    delete context;
}

TEST_F(DrawContextTest, ContextsWithoutADeviceContextCreateNothingAndDrawNothing) {
    int32_t live = world.liveObjectCount();
    auto* context = new DrawContext(nullptr, nullptr, nullptr);
    EXPECT_EQ(nullptr, context->getPen());
    EXPECT_EQ(nullptr, context->getBrush());
    EXPECT_EQ(live, world.liveObjectCount());
    context->strokeRect(Rect(0, 0, 5, 5));
    context->drawString("x", Rect(0, 0, 5, 5));
    delete context;
    EXPECT_EQ(live, world.liveObjectCount());
}
