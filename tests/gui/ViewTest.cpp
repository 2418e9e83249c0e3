// A plain view: its initial state, reference counting, hit tests and overlaps, and updates.
#include "GuiTestSupport.h"

namespace {
class ViewBasics : public GuiTest {};
} // namespace

TEST_F(ViewBasics, StartsCleanEnabledOpaqueAndAlone) {
    View* view = new View(Rect(1, 2, 3, 4));
    EXPECT_EQ(1, view->getReferenceCount());
    EXPECT_FALSE(view->isDirty());
    EXPECT_TRUE(view->isMouseEnabled());
    EXPECT_FALSE(view->isTransparent());
    EXPECT_EQ(nullptr, view->getFrame());
    EXPECT_EQ(nullptr, view->getEditor());
    Rect out;
    EXPECT_EQ(Rect(1, 2, 3, 4), view->getSize(out));
    EXPECT_EQ(&out, &view->getSize(out));
    VstKeyCode key{};
    EXPECT_EQ(-1, view->keyDown(key));
    EXPECT_EQ(-1, view->keyUp(key));
    Point where(2, 3);
    EXPECT_FALSE(view->drop(nullptr, 0, 0, where));
    EXPECT_FALSE(view->wheel(nullptr, where, 1.0f));
    EXPECT_TRUE(view->attachedTo(nullptr));
    EXPECT_TRUE(view->removedFrom(nullptr));
    view->release();
}

TEST_F(ViewBasics, ReferenceCountingFreesAtTheLastRelease) {
    std::vector<std::string> log;
    bool destroyed = false;
    auto* view = new RecordingView(Rect(0, 0, 5, 5), "v", &log, &destroyed);
    view->retain();
    EXPECT_EQ(2, view->getReferenceCount());
    view->release();
    EXPECT_FALSE(destroyed);
    EXPECT_EQ(1, view->getReferenceCount());
    view->release();
    EXPECT_TRUE(destroyed);

    // A count of 0 or below: release changes nothing.
    destroyed = false;
    auto* odd = new RecordingView(Rect(0, 0, 5, 5), "w", &log, &destroyed);
    odd->setCount(0);
    odd->release();
    EXPECT_EQ(0, odd->getReferenceCount());
    odd->setCount(-3);
    odd->release();
    EXPECT_EQ(-3, odd->getReferenceCount());
    EXPECT_FALSE(destroyed);
    odd->setCount(1);
    odd->release();
    EXPECT_TRUE(destroyed);
}

TEST_F(ViewBasics, HitTestsAndOverlapsIncludeRightAndBottomEdges) {
    View* view = new View(Rect(10, 20, 30, 40));
    EXPECT_TRUE(view->hitTest(Point(10, 20)));
    EXPECT_TRUE(view->hitTest(Point(30, 40)));
    EXPECT_TRUE(view->hitTest(Point(30, 20), MouseRight)); // buttons are not looked at
    EXPECT_FALSE(view->hitTest(Point(31, 40)));
    EXPECT_FALSE(view->hitTest(Point(30, 41)));
    EXPECT_FALSE(view->hitTest(Point(9, 25)));

    EXPECT_TRUE(view->overlaps(Rect(30, 40, 50, 60)));  // touches only the corner
    EXPECT_TRUE(view->overlaps(Rect(0, 0, 10, 20)));    // the other corner
    EXPECT_TRUE(view->overlaps(Rect(12, 22, 14, 24)));  // inside
    EXPECT_TRUE(view->overlaps(Rect(0, 0, 100, 100)));  // around
    EXPECT_FALSE(view->overlaps(Rect(31, 20, 50, 40))); // one column right
    EXPECT_FALSE(view->overlaps(Rect(10, 0, 30, 19)));  // one row above
    view->release();
}

TEST_F(ViewBasics, UpdateDrawsOnlyDirtyViewsAndCleansThem) {
    std::vector<std::string> log;
    auto* view = new RecordingView(Rect(0, 0, 5, 5), "v", &log);
    view->update(nullptr);
    EXPECT_TRUE(log.empty());
    view->setDirty();
    EXPECT_TRUE(view->isDirty());
    view->update(nullptr);
    EXPECT_EQ((std::vector<std::string>{"v:draw"}), log);
    EXPECT_FALSE(view->isDirty());
    // drawArea of the base draws the whole view.
    view->drawArea(nullptr, Rect(0, 0, 1, 1));
    EXPECT_EQ("v:draw", log.back());
    view->setMouseEnabled(false);
    EXPECT_FALSE(view->isMouseEnabled());
    view->setTransparent(true);
    EXPECT_TRUE(view->isTransparent());
    view->release();
}
