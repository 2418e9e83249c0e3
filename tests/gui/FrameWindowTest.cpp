// The frame's child window: class, creation, paints, presses, idle redraws and
// the end of the window.
#include "GuiTestSupport.h"
#include "gui/Bitmap.h"

namespace {

class FrameWindow : public GuiTest {
protected:
    RecordingView* add(Frame& frame, const Rect& r, const std::string& name) {
        auto* view = new RecordingView(r, name, &log);
        EXPECT_TRUE(frame.addView(view));
        return view;
    }
    std::vector<std::string> log;
};

} // namespace

TEST_F(FrameWindow, TheClassNameIsPluginAndTheModuleHandleInEightLowerCaseDigits) {
    world.setModuleHandle(reinterpret_cast<platform::ModuleHandle>(uintptr_t{0xAB}));
    platform::WindowHandle host = makeHost();
    {
        Frame frame(Rect(0, 0, 300, 245), host, nullptr);
        EXPECT_STREQ("Plugin000000ab", toolkitState().windowClassName);
        EXPECT_TRUE(world.windowClassExists("Plugin000000ab"));
    }
    world.setModuleHandle(reinterpret_cast<platform::ModuleHandle>(uintptr_t{0x6A2CF00D}));
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    EXPECT_STREQ("Plugin6a2cf00d", toolkitState().windowClassName);
}

TEST_F(FrameWindow, CreatesAChildWindowOfItsSizeAtTheParentsOrigin) {
    platform::WindowHandle host = makeHost();
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    ASSERT_NE(nullptr, frame.getWindow());
    ScriptedPlatform::WindowInfo info;
    ASSERT_TRUE(world.windowInfo(frame.getWindow(), info));
    EXPECT_EQ(host, info.parent);
    EXPECT_EQ(0, info.rect.left);
    EXPECT_EQ(0, info.rect.top);
    EXPECT_EQ(300, info.rect.right);
    EXPECT_EQ(245, info.rect.bottom);
    EXPECT_EQ("Window", info.title);
    EXPECT_EQ(0x50000000u, info.style);
    EXPECT_EQ(world.moduleHandle(), info.module);
    EXPECT_EQ(&frame, world.windowUserData(frame.getWindow()));
    EXPECT_TRUE(frame.isWindowOpen());
    EXPECT_TRUE(frame.isFirstDrawPending());
    EXPECT_TRUE(frame.isDropActive());
    EXPECT_NE(nullptr, world.dropSinkOf(frame.getWindow()));
    EXPECT_EQ(host, frame.getParentWindow());
}

TEST_F(FrameWindow, TwoFramesShareOneClassUntilTheLastCloses) {
    platform::WindowHandle host = makeHost();
    auto* first = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    auto* second = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    EXPECT_EQ(2, toolkitState().windowClassUseCount);
    EXPECT_EQ(1u, world.windowClassCount());
    EXPECT_EQ(2, world.oleBalance());
    delete first;
    EXPECT_TRUE(world.windowClassExists(toolkitState().windowClassName));
    EXPECT_TRUE(world.windowExists(second->getWindow()));
    delete second;
    EXPECT_EQ(0u, world.windowClassCount());
    EXPECT_EQ(0, toolkitState().windowClassUseCount);
    EXPECT_EQ(0, world.oleBalance());
    EXPECT_TRUE(world.childWindows(host).empty());
}

TEST_F(FrameWindow, TheSwappedButtonSettingIsReadWhenTheClassIsRegistered) {
    platform::WindowHandle host = makeHost();
    world.setButtonsSwapped(true);
    {
        Frame frame(Rect(0, 0, 300, 245), host, nullptr);
        EXPECT_TRUE(toolkitState().buttonsSwapped);
        world.setButtonsSwapped(false);
        Frame second(Rect(0, 0, 300, 245), host, nullptr); // class exists: not read again
        EXPECT_TRUE(toolkitState().buttonsSwapped);
    }
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    EXPECT_FALSE(toolkitState().buttonsSwapped);
}

TEST_F(FrameWindow, APaintDrawsTheFramesViewsIntoTheWindow) {
    addSolidResource(101, 300, 245, 0x556677);
    auto* panel = new Bitmap(101);
    platform::WindowHandle host = makeHost();
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    frame.setBackground(panel);
    panel->release();
    RecordingView* view = add(frame, Rect(10, 10, 20, 20), "v");
    view->fill = &ColourRed;
    RecordingView* far = add(frame, Rect(200, 200, 210, 210), "far");
    log.clear();
    EXPECT_EQ(1, world.deliverPaints()); // the first paint of the new window
    EXPECT_FALSE(frame.isFirstDrawPending());
    EXPECT_EQ((std::vector<std::string>{"v:drawArea", "v:draw", "far:drawArea", "far:draw"}), log);
    const Surface& s = *world.windowSurface(frame.getWindow());
    EXPECT_EQ(0x556677u, s.at(0, 0));
    EXPECT_EQ(0x556677u, s.at(299, 244));
    EXPECT_EQ(ColourRed.toPlatform(), s.at(15, 15));

    // A later paint touches only what its area reaches.
    log.clear();
    world.requestPaint(frame.getWindow(), {0, 0, 50, 50});
    world.deliverPaints();
    EXPECT_EQ((std::vector<std::string>{"v:drawArea", "v:draw"}), log);
    EXPECT_EQ(0, world.liveContextCount());
    (void)far;
}

TEST_F(FrameWindow, AButtonPressReachesTheFrameAtItsWindowPosition) {
    platform::WindowHandle host = makeHost();
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    RecordingView* view = add(frame, Rect(0, 0, 10, 10), "v");
    for (int32_t button :
         {platform::KeyLeftButton, platform::KeyRightButton, platform::KeyMiddleButton}) {
        world.releaseAllKeys();
        view->lastWhere = Point(-1, -1);
        world.pressButton(frame.getWindow(), button, {5, 7});
        EXPECT_EQ(Point(5, 7), view->lastWhere) << button;
    }
    // The views tell the buttons apart only through the held-button query.
    world.releaseAllKeys();
    world.pressButton(frame.getWindow(), platform::KeyRightButton, {5, 7});
    EXPECT_EQ(MouseRight, view->lastButtons);
    world.setKeyHeld(platform::KeyShift, true);
    world.pressButton(frame.getWindow(), platform::KeyLeftButton, {5, 7});
    EXPECT_EQ(MouseLeft | MouseRight | MouseShift, view->lastButtons);
    EXPECT_EQ(0, world.liveContextCount());
}

TEST_F(FrameWindow, IdleRedrawsOnlyDirtyViewsAndOnlyAfterTheFirstPaint) {
    platform::WindowHandle host = makeHost();
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    RecordingView* a = add(frame, Rect(0, 0, 10, 10), "a");
    RecordingView* b = add(frame, Rect(20, 0, 30, 10), "b");
    b->fill = &ColourBlue;
    b->setDirty();
    log.clear();
    frame.idle();
    EXPECT_TRUE(log.empty()); // not painted yet
    EXPECT_TRUE(b->isDirty());

    world.deliverPaints();
    b->setDirty();
    a->setDirty(false);
    log.clear();
    frame.idle();
    EXPECT_EQ((std::vector<std::string>{"b:draw"}), log);
    EXPECT_EQ(ColourBlue.toPlatform(), world.windowSurface(frame.getWindow())->at(25, 5));
    log.clear();
    frame.idle(); // nothing dirty: nothing drawn, no context made
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(0, world.liveContextCount());
}

TEST_F(FrameWindow, AfterThePlatformDestroysTheWindowNothingIsDrawnAnyMore) {
    platform::WindowHandle host = makeHost();
    auto* frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    RecordingView* view = add(*frame, Rect(0, 0, 10, 10), "v");
    world.deliverPaints();
    world.destroyWindow(host); // the host closes its window first
    EXPECT_FALSE(frame->isWindowOpen());
    EXPECT_EQ(nullptr, frame->getParentWindow());
    EXPECT_FALSE(frame->isDropActive()); // revoked while the window still existed
    view->setDirty();
    log.clear();
    frame->idle();
    frame->update(nullptr);
    EXPECT_TRUE(log.empty());
    delete frame;
    EXPECT_EQ(0, toolkitState().windowClassUseCount);
    EXPECT_EQ(0u, world.windowClassCount());
}

TEST_F(FrameWindow, MessagesArrivingDuringDestructionFindNoFrame) {
    platform::WindowHandle host = makeHost();
    auto* frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    platform::WindowHandle window = frame->getWindow();
    struct Prober : View {
        Prober(ScriptedPlatform* w, platform::WindowHandle h)
            : View(Rect(0, 0, 5, 5)), world(w), window(h) {}
        bool removedFrom(Frame* container) override {
            // A press and a paint while the frame is being torn down.
            pressResult = world->pressButton(window, platform::KeyLeftButton, {1, 1});
            world->requestPaint(window, {0, 0, 5, 5});
            world->deliverPaints();
            userData = world->windowUserData(window);
            return true;
        }
        ScriptedPlatform* world;
        platform::WindowHandle window;
        intptr_t pressResult = -2;
        void* userData = reinterpret_cast<void*>(1);
    };
    auto* prober = new Prober(&world, window);
    prober->retain();
    frame->addView(prober);
    delete frame;
    EXPECT_EQ(nullptr, prober->userData);
    EXPECT_EQ(0, prober->pressResult); // default handling
    EXPECT_FALSE(world.windowExists(window));
    prober->release();
}

TEST_F(FrameWindow, AFrameWithoutAParentHasNoWindowAndNoEvents) {
    Frame frame(Rect(0, 0, 300, 245), nullptr, nullptr);
    EXPECT_EQ(nullptr, frame.getWindow());
    EXPECT_EQ(0, toolkitState().windowClassUseCount);
    EXPECT_FALSE(frame.setDropActive(true));
    EXPECT_TRUE(frame.setDropActive(false));
    RecordingView* view = add(frame, Rect(0, 0, 10, 10), "v");
    frame.setDirty();
    view->setDirty();
    Point where;
    world.setCursor({33, 44});
    EXPECT_TRUE(frame.getCurrentLocation(where));
    EXPECT_EQ(Point(33, 44), where); // screen coordinates: no window to subtract
    log.clear();
    frame.idle();
    EXPECT_TRUE(log.empty());
    frame.doIdle(); // no editor: nothing
}

TEST_F(FrameWindow, TheCurrentLocationIsRelativeToTheWindow) {
    platform::WindowHandle host = makeHost();
    Frame frame(Rect(0, 0, 300, 245), host, nullptr);
    world.setCursor({210, 130});
    Point where;
    EXPECT_TRUE(frame.getCurrentLocation(where));
    EXPECT_EQ(Point(10, 30), where);
}

TEST_F(FrameWindow, WindowCreationFailureLeavesTheClassUnused) {
    // A parent the platform does not know: no window, and no class user left over.
    Frame frame(Rect(0, 0, 300, 245), reinterpret_cast<void*>(uintptr_t{0xDEAD0000}), nullptr);
    EXPECT_EQ(nullptr, frame.getWindow());
    EXPECT_EQ(0, toolkitState().windowClassUseCount);
}
