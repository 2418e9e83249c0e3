// The popup menu in its frame: where it opens, how it looks, what a press on
// an item, on its title and beside it does, and that it stays on top.
#include "gui/controls/PopupMenu.h"

#include "gui/controls/ValueDisplay.h"
#include "tests/gui/controls/ControlWorld.h"

#include <string>
#include <vector>

using namespace controltest;

namespace {

constexpr uint32_t kFacePixel = 0xDBD7D6;  // (214, 215, 219)
constexpr uint32_t kEdgePixel = 0x4E4846;  // (70, 72, 78)
constexpr uint32_t kPlatePixel = 0x101070; // (112, 16, 16)

class Chooser : public PopupMenuListener {
public:
    void itemChosen(PopupMenu* menu, int32_t index) override {
        chosen.push_back(index);
        tags.push_back(menu->getTag());
    }
    std::vector<int32_t> chosen;
    std::vector<int32_t> tags;
};

constexpr uint16_t kTestPanelId = 2001;
constexpr uint32_t kPanelPixel = 0x808080;

class MenuWorld : public ControlWorld {
protected:
    // A plain panel behind everything: what a closed menu leaves visible.
    void SetUp() override {
        ControlWorld::SetUp();
        p.addBitmapResource(kTestPanelId, 300, 245, std::vector<uint32_t>(300 * 245, kPanelPixel));
        auto* panel = new Bitmap(kTestPanelId);
        frame->setBackground(panel);
        panel->release();
    }
    PopupMenu* open(Point at, int32_t marked = 2) {
        const PopupMenu::Section zooms{"ZOOM", {"100%", "150%", "200%", "300%"}, marked};
        auto* menu = new PopupMenu(at, Rect(0, 0, 300, 245), {zooms}, &chooser, 7);
        DrawContext context(frame, p.windowDC(window()), window());
        frame->openPopup(menu, &context);
        return menu;
    }
    Chooser chooser;
};

} // namespace

TEST_F(MenuWorld, OpensWhereAskedInsideTheFrameWithTheCurrentItemMarked) {
    paint();
    const uint32_t background = pixel(50, 50);
    EXPECT_EQ(background, kPanelPixel);
    PopupMenu* menu = open(Point(20, 30));
    Rect r;
    menu->getSize(r);
    EXPECT_EQ(r, Rect(20, 30, 84, 103)); // 64 wide, a title and four 14-pixel rows
    EXPECT_EQ(frame->getPopup(), menu);
    EXPECT_EQ(frame->getViewCount(), 0); // not one of the frame's views
    EXPECT_EQ(pixel(20, 30), kEdgePixel);
    EXPECT_EQ(pixel(84, 103), kEdgePixel); // outline right and bottom included
    EXPECT_EQ(pixel(83, 102), kFacePixel);
    EXPECT_EQ(pixel(19, 30), background);
    EXPECT_EQ(pixel(85, 50), background);
    for (int32_t i = 0; i < 4; ++i) {
        const Rect item = menu->itemRect(i);
        EXPECT_EQ(pixel(item.left + 2, item.top + 2), i == 2 ? kPlatePixel : kFacePixel) << i;
    }
    // Near the right and bottom edges the menu moves inside the frame.
    menu = open(Point(290, 240));
    menu->getSize(r);
    EXPECT_EQ(r, Rect(235, 171, 299, 244));
    menu = open(Point(-20, -5), -1);
    menu->getSize(r);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(pixel(menu->itemRect(2).left + 2, menu->itemRect(2).top + 2), kFacePixel);
}

TEST_F(MenuWorld, APressOnAnItemChoosesItAndTheMenuLeavesNoTrace) {
    paint();
    const uint32_t background = pixel(50, 50);
    PopupMenu* menu = open(Point(20, 30));
    menu->retain(); // to look at it after the frame let it go
    const Rect item = menu->itemRect(1);
    press(item.left + 5, item.top + 3);
    EXPECT_EQ(chooser.chosen, std::vector<int32_t>{1});
    EXPECT_EQ(chooser.tags, std::vector<int32_t>{7});
    EXPECT_EQ(frame->getPopup(), nullptr);
    EXPECT_EQ(menu->getReferenceCount(), 1);
    EXPECT_EQ(menu->getFrame(), nullptr);
    menu->release();
    // The place is drawn again at once, its outline's right and bottom lines too.
    EXPECT_EQ(pixel(20, 30), background);
    EXPECT_EQ(pixel(50, 60), background);
    EXPECT_EQ(pixel(84, 103), background);
    // Edges of an item count as the item; the right button chooses as well.
    open(Point(20, 30));
    const Rect last =
        frame->getPopup() ? static_cast<PopupMenu*>(frame->getPopup())->itemRect(3) : Rect();
    press(last.right, last.bottom, {}, 40, platform::KeyRightButton);
    EXPECT_EQ(chooser.chosen, (std::vector<int32_t>{1, 3}));
}

TEST_F(MenuWorld, APressBesideTheItemsOnlyClosesTheMenu) {
    auto* display = new ValueDisplay(Rect(100, 100, 150, 120), nullptr, 1);
    ASSERT_TRUE(frame->addView(display));
    paint();
    for (Point at : {Point(125, 110), Point(50, 32), Point(21, 101)}) {
        PopupMenu* menu = open(Point(20, 30));
        ASSERT_EQ(menu->itemAt(at), -1);
        press(at.x, at.y);
        EXPECT_EQ(frame->getPopup(), nullptr);
        EXPECT_TRUE(chooser.chosen.empty());
    }
    // The press that closed the menu did not reach the view under it: the
    // focus is untouched and nothing else happened.
    EXPECT_EQ(frame->getFocusView(), nullptr);
}

TEST_F(MenuWorld, ViewsRedrawnUnderTheMenuLeaveItOnTop) {
    auto* display = new ValueDisplay(Rect(30, 50, 70, 64), nullptr, 1);
    display->setBackColour(Colour(0, 200, 0));
    ASSERT_TRUE(frame->addView(display));
    paint();
    PopupMenu* menu = open(Point(20, 30));
    const Rect item = menu->itemRect(1); // over the display
    ASSERT_EQ(pixel(item.left + 2, item.top + 2), kFacePixel);
    display->setValue(0.75f);
    editor->idle();
    EXPECT_EQ(pixel(item.left + 2, item.top + 2), kFacePixel);
    EXPECT_EQ(pixel(20, 30), kEdgePixel);
    // Without a context the place is drawn again at the next idle.
    frame->closePopup(nullptr);
    editor->idle();
    EXPECT_EQ(pixel(31, 55), 0x00C800);
}

TEST_F(MenuWorld, AFrameClosedWithItsMenuOpenLetsTheMenuGo) {
    paint();
    PopupMenu* menu = open(Point(20, 30));
    menu->retain();
    editor->close();
    EXPECT_EQ(menu->getReferenceCount(), 1);
    EXPECT_EQ(menu->getFrame(), nullptr);
    menu->release();
}
