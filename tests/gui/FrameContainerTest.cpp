// The frame as a container: its list, drawing order, hit testing and routing.
#include "GuiTestSupport.h"
#include "gui/Bitmap.h"

#include <cstdlib>

namespace {

class FrameContainer : public GuiTest {
protected:
    void TearDown() override {
        Frame::setViewListAllocator(nullptr);
        GuiTest::TearDown();
    }
    RecordingView* add(Frame& frame, const Rect& r, const std::string& name) {
        auto* view = new RecordingView(r, name, &log);
        EXPECT_TRUE(frame.addView(view));
        return view;
    }
    std::vector<std::string> log;
};

bool failGrowth = false;
void* growOrFail(void* block, size_t bytes) {
    return failGrowth ? nullptr : std::realloc(block, bytes);
}

} // namespace

TEST_F(FrameContainer, TheListGrowsInStepsOfTwentyKeepingItsOrder) {
    Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
    EXPECT_EQ(0, frame.getViewCapacity());
    std::vector<RecordingView*> added;
    for (int i = 0; i < 20; ++i) {
        added.push_back(add(frame, Rect(i, 0, i + 1, 1), "v" + std::to_string(i)));
    }
    EXPECT_EQ(20, frame.getViewCapacity());
    added.push_back(add(frame, Rect(0, 0, 1, 1), "v20"));
    EXPECT_EQ(40, frame.getViewCapacity());
    EXPECT_EQ(21, frame.getViewCount());
    for (int i = 0; i < 21; ++i) {
        EXPECT_EQ(added[i], frame.getView(i));
        EXPECT_EQ(&frame, added[i]->getFrame());
        EXPECT_EQ(1, added[i]->getReferenceCount()); // the list owns the creation reference
    }
    EXPECT_EQ(nullptr, frame.getView(21));
    EXPECT_EQ(nullptr, frame.getView(-1));
    EXPECT_EQ("v0:attachedTo", log.front());
}

TEST_F(FrameContainer, AFailedGrowthLeavesListAndViewAsTheyWere) {
    Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
    Frame::setViewListAllocator(&growOrFail);
    failGrowth = true;
    bool destroyed = false;
    auto* view = new RecordingView(Rect(0, 0, 1, 1), "v", &log, &destroyed);
    EXPECT_FALSE(frame.addView(view));
    EXPECT_EQ(0, frame.getViewCount());
    EXPECT_EQ(0, frame.getViewCapacity());
    EXPECT_EQ(nullptr, view->getFrame());
    EXPECT_EQ(1, view->getReferenceCount());
    EXPECT_TRUE(log.empty());

    failGrowth = false;
    for (int i = 0; i < 20; ++i) {
        add(frame, Rect(0, 0, 1, 1), "x");
    }
    failGrowth = true;
    EXPECT_FALSE(frame.addView(view));
    EXPECT_EQ(20, frame.getViewCount());
    EXPECT_EQ(20, frame.getViewCapacity());
    failGrowth = false;
    EXPECT_TRUE(frame.addView(view));
    EXPECT_EQ(view, frame.getView(20));
    // A view is in the list at most once; null is refused.
    EXPECT_FALSE(frame.addView(view));
    EXPECT_FALSE(frame.addView(nullptr));
    EXPECT_EQ(21, frame.getViewCount());
}

TEST_F(FrameContainer, DrawPaintsTheBackgroundThenTheViewsInOrder) {
    addSolidResource(101, 30, 20, 0x123456);
    auto* background = new Bitmap(101);
    Frame frame(Rect(0, 0, 30, 20), nullptr, nullptr);
    frame.setBackground(background);
    EXPECT_EQ(2, background->getReferenceCount());
    background->release();
    RecordingView* first = add(frame, Rect(2, 2, 10, 10), "first");
    RecordingView* second = add(frame, Rect(6, 6, 14, 14), "second");
    first->fill = &ColourRed;
    second->fill = &ColourGreen;
    platform::DeviceContextHandle dc = makeCanvas(30, 20);
    auto* context = new DrawContext(&frame, dc, nullptr);
    EXPECT_TRUE(frame.isFirstDrawPending());
    frame.draw(context);
    EXPECT_FALSE(frame.isFirstDrawPending());
    EXPECT_EQ((std::vector<std::string>{"first:attachedTo", "second:attachedTo", "first:draw",
                                        "second:draw"}),
              log);
    const Surface& s = pixels(dc);
    EXPECT_EQ(0x123456u, s.at(0, 0));
    EXPECT_EQ(0x123456u, s.at(29, 19));
    EXPECT_EQ(ColourRed.toPlatform(), s.at(3, 3));
    EXPECT_EQ(ColourGreen.toPlatform(), s.at(8, 8)); // the later view lies on top
    delete context;
}

TEST_F(FrameContainer, DrawAreaAsksOnlyTheViewsItTouchesEdgesIncluded) {
    std::vector<uint32_t> gradient(40 * 30);
    for (size_t i = 0; i < gradient.size(); ++i) {
        gradient[i] = static_cast<uint32_t>(i);
    }
    world.addBitmapResource(101, 40, 30, gradient);
    auto* background = new Bitmap(101);
    Frame frame(Rect(0, 0, 40, 30), nullptr, nullptr);
    frame.setBackground(background);
    background->release();
    add(frame, Rect(0, 0, 10, 10), "a");   // touches the area at its corner (10, 10)
    add(frame, Rect(11, 0, 20, 9), "b");   // one row above the area
    add(frame, Rect(12, 12, 15, 15), "c"); // inside
    log.clear();
    platform::DeviceContextHandle dc = makeCanvas(40, 30);
    auto* context = new DrawContext(&frame, dc, nullptr);
    frame.drawArea(context, Rect(10, 10, 20, 20));
    EXPECT_EQ((std::vector<std::string>{"a:drawArea", "a:draw", "c:drawArea", "c:draw"}), log);
    // The background is aligned with the window inside the area, and only there.
    const Surface& s = pixels(dc);
    EXPECT_EQ(10u * 40 + 10, s.at(10, 10));
    EXPECT_EQ(19u * 40 + 19, s.at(19, 19));
    EXPECT_EQ(0u, s.at(20, 20));
    EXPECT_EQ(0u, s.at(9, 10));
    EXPECT_FALSE(frame.isFirstDrawPending());
    delete context;
}

TEST_F(FrameContainer, PressesGoToTheTopmostEnabledViewUnderThePoint) {
    Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
    RecordingView* lower = add(frame, Rect(0, 0, 50, 50), "lower");
    RecordingView* upper = add(frame, Rect(40, 40, 90, 90), "upper");
    log.clear();
    Point inOverlap(45, 45);
    frame.mouseDown(nullptr, inOverlap);
    EXPECT_EQ((std::vector<std::string>{"upper:mouseDown"}), log);
    EXPECT_EQ(-1, upper->lastButtons); // no context: -1 for the buttons

    upper->setMouseEnabled(false);
    log.clear();
    frame.mouseDown(nullptr, inOverlap);
    EXPECT_EQ((std::vector<std::string>{"lower:mouseDown"}), log);

    // Exactly on the right and bottom edge still hits.
    log.clear();
    Point corner(50, 50);
    upper->setMouseEnabled(true);
    Point onEdge(90, 90);
    frame.mouseDown(nullptr, onEdge);
    EXPECT_EQ((std::vector<std::string>{"upper:mouseDown"}), log);
    EXPECT_EQ(Point(90, 90), upper->lastWhere);
    log.clear();
    Point nowhere(95, 10);
    frame.mouseDown(nullptr, nowhere);
    EXPECT_TRUE(log.empty());

    // A press takes the focus away first.
    frame.setFocusView(lower);
    log.clear();
    frame.mouseDown(nullptr, corner);
    EXPECT_EQ((std::vector<std::string>{"lower:loseFocus", "upper:mouseDown"}), log);
    EXPECT_EQ(nullptr, frame.getFocusView());
}

TEST_F(FrameContainer, KeysGoToTheFocusViewFirstThenLastToFirst) {
    Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
    RecordingView* a = add(frame, Rect(0, 0, 1, 1), "a");
    RecordingView* b = add(frame, Rect(0, 0, 1, 1), "b");
    RecordingView* c = add(frame, Rect(0, 0, 1, 1), "c");
    VstKeyCode key{0, VKEY_UP, 0};
    log.clear();
    EXPECT_EQ(-1, frame.keyDown(key));
    EXPECT_EQ((std::vector<std::string>{"c:keyDown", "b:keyDown", "a:keyDown"}), log);

    b->keyAnswer = 0;
    frame.setFocusView(b);
    log.clear();
    EXPECT_EQ(0, frame.keyDown(key)); // taken by the focus view, nobody else asked
    EXPECT_EQ((std::vector<std::string>{"b:keyDown"}), log);

    b->keyAnswer = -1;
    a->keyAnswer = 1;
    log.clear();
    EXPECT_EQ(1, frame.keyUp(key)); // the focus view is asked again in its turn
    EXPECT_EQ((std::vector<std::string>{"b:keyUp", "c:keyUp", "b:keyUp", "a:keyUp"}), log);
    (void)c;
}

TEST_F(FrameContainer, DropsAreRefusedWhileAViewHasTheFocus) {
    Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
    RecordingView* under = add(frame, Rect(0, 0, 50, 50), "under");
    RecordingView* over = add(frame, Rect(10, 10, 50, 50), "over");
    RecordingView* disabled = add(frame, Rect(0, 0, 60, 60), "disabled");
    disabled->setMouseEnabled(false);
    disabled->dropAnswer = true;
    under->dropAnswer = true;
    Point where(50, 50); // on the right and bottom edges of both
    const char* text = "hello";
    void* items[1] = {const_cast<char*>(text)};

    frame.setFocusView(over);
    log.clear();
    EXPECT_FALSE(frame.drop(items, 6, 1, where));
    EXPECT_TRUE(log.empty());

    frame.setFocusView(nullptr);
    log.clear();
    EXPECT_TRUE(frame.drop(items, 6, 1, where));
    EXPECT_EQ((std::vector<std::string>{"over:drop", "under:drop"}), log);
    EXPECT_EQ(items, under->dropItems);
    EXPECT_EQ(6, under->dropCount);
    EXPECT_EQ(1, under->dropType);
    EXPECT_EQ(Point(50, 50), under->dropWhere);

    under->dropAnswer = false;
    Point outside(70, 70);
    log.clear();
    EXPECT_FALSE(frame.drop(items, 6, 1, outside));
    EXPECT_TRUE(log.empty());
}

TEST_F(FrameContainer, RemoveAllReleasesOrKeepsTheViews) {
    bool goneA = false, goneB = false;
    auto* a = new RecordingView(Rect(0, 0, 1, 1), "a", &log, &goneA);
    auto* b = new RecordingView(Rect(0, 0, 1, 1), "b", &log, &goneB);
    {
        Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
        frame.addView(a);
        frame.addView(b);
        frame.setFocusView(b);
        log.clear();
        EXPECT_TRUE(frame.removeAll(false));
        EXPECT_EQ((std::vector<std::string>{"b:loseFocus", "a:removedFrom", "b:removedFrom"}), log);
        EXPECT_FALSE(goneA);
        EXPECT_EQ(0, frame.getViewCount());
        EXPECT_EQ(0, frame.getViewCapacity());
        EXPECT_EQ(nullptr, frame.getFocusView());
        EXPECT_EQ(nullptr, a->getFrame());  // no pointer to the frame is left behind
        EXPECT_TRUE(frame.removeAll(true)); // an empty list is fine

        frame.addView(a);
        frame.addView(b);
        log.clear();
        EXPECT_TRUE(frame.removeAll(true));
        EXPECT_TRUE(goneA);
        EXPECT_TRUE(goneB);
        EXPECT_EQ((std::vector<std::string>{"a:removedFrom", "a:destroyed", "b:removedFrom",
                                            "b:destroyed"}),
                  log);
    }
    // A view with an extra reference survives its frame.
    bool goneC = false;
    auto* c = new RecordingView(Rect(0, 0, 1, 1), "c", &log, &goneC);
    c->retain();
    {
        Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
        frame.addView(c);
    }
    EXPECT_FALSE(goneC);
    EXPECT_EQ(1, c->getReferenceCount());
    EXPECT_EQ(nullptr, c->getFrame());
    c->release();
    EXPECT_TRUE(goneC);
}

TEST_F(FrameContainer, SettingTheSameFocusViewAgainTellsItAndKeepsIt) {
    Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
    RecordingView* a = add(frame, Rect(0, 0, 1, 1), "a");
    RecordingView* b = add(frame, Rect(0, 0, 1, 1), "b");
    frame.setFocusView(a);
    log.clear();
    frame.setFocusView(a);
    EXPECT_EQ((std::vector<std::string>{"a:loseFocus"}), log);
    EXPECT_EQ(a, frame.getFocusView());
    log.clear();
    frame.setFocusView(b); // the new one is not told
    EXPECT_EQ((std::vector<std::string>{"a:loseFocus"}), log);
    EXPECT_EQ(b, frame.getFocusView());
}

TEST_F(FrameContainer, BackgroundReferencesAreHeldAndGivenBack) {
    addSolidResource(101, 4, 4, 0);
    addSolidResource(102, 4, 4, 0);
    auto* one = new Bitmap(101);
    auto* two = new Bitmap(102);
    {
        Frame frame(Rect(0, 0, 10, 10), nullptr, nullptr);
        frame.setBackground(one);
        EXPECT_EQ(2, one->getReferenceCount());
        frame.setBackground(one); // the same bitmap again stays alive and counted once
        EXPECT_EQ(2, one->getReferenceCount());
        frame.setBackground(two);
        EXPECT_EQ(1, one->getReferenceCount());
        EXPECT_EQ(2, two->getReferenceCount());
        frame.setBackground(nullptr);
        EXPECT_EQ(1, two->getReferenceCount());
        frame.setBackground(two);
    }
    EXPECT_EQ(1, two->getReferenceCount());
    one->release();
    two->release();
    EXPECT_EQ(baselineObjects, world.liveObjectCount());
}

TEST_F(FrameContainer, UpdateRedrawsEverythingOrOnlyTheDirtyViews) {
    Frame frame(Rect(0, 0, 100, 100), nullptr, nullptr);
    RecordingView* a = add(frame, Rect(0, 0, 1, 1), "a");
    RecordingView* b = add(frame, Rect(0, 0, 1, 1), "b");
    EXPECT_FALSE(frame.isSomethingDirty());
    b->setDirty();
    EXPECT_TRUE(frame.isSomethingDirty());
    log.clear();
    frame.update(nullptr);
    EXPECT_EQ((std::vector<std::string>{"b:draw"}), log);
    EXPECT_FALSE(frame.isSomethingDirty());

    frame.setDirty();
    EXPECT_TRUE(frame.isSomethingDirty());
    log.clear();
    frame.update(nullptr);
    EXPECT_EQ((std::vector<std::string>{"a:draw", "b:draw"}), log);
    EXPECT_FALSE(frame.isDirty());
    (void)a;
}
