// Drags onto the frame's window: the effects answered and the items handed on.
#include "gui/DropTarget.h"

#include "GuiTestSupport.h"
#include "RecordingDropView.h"

#include <string>

namespace {

class FakeData : public platform::DropData {
public:
    bool offersText() override { return !text.empty(); }
    bool offersFileList() override { return !files.empty(); }
    bool lockText(const char*& out, size_t& size) override {
        if (text.empty()) {
            return false;
        }
        out = text.c_str();
        size = text.size() + 1;
        ++locks;
        return true;
    }
    void releaseText() override { ++releases; }
    int32_t fileCount() override { return static_cast<int32_t>(files.size()); }
    bool filePath(int32_t index, char* buffer, size_t size) override {
        if (index < 0 || index >= fileCount() || files[index] == "!") {
            return false;
        }
        std::snprintf(buffer, size, "%s", files[index].c_str());
        return true;
    }
    std::string text;
    std::vector<std::string> files;
    int locks = 0;
    int releases = 0;
};

class DropTargetTest : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        frame = new Frame(Rect(0, 0, 300, 245), makeHost(), nullptr);
        view = new RecordingDropView(Rect(0, 0, 300, 245));
        frame->addView(view);
        sink = dynamic_cast<DropTarget*>(world.dropSinkOf(frame->getWindow()));
        ASSERT_NE(nullptr, sink);
    }
    void TearDown() override {
        delete frame;
        GuiTest::TearDown();
    }
    Frame* frame = nullptr;
    RecordingDropView* view = nullptr;
    DropTarget* sink = nullptr;
};

} // namespace

TEST_F(DropTargetTest, EffectsFollowTheDataAndTheControlKey) {
    FakeData files;
    files.files = {"C:\\a.wav"};
    EXPECT_EQ(platform::DropEffectCopy, sink->dragEnter(&files, platform::DragKeyControl, {0, 0}));
    EXPECT_TRUE(sink->isAccepting());
    EXPECT_EQ(platform::DropEffectMove, sink->dragOver(0, {0, 0}));
    EXPECT_EQ(platform::DropEffectCopy, sink->dragOver(platform::DragKeyControl, {0, 0}));

    FakeData nothing;
    EXPECT_EQ(platform::DropEffectNone, sink->dragEnter(&nothing, 0, {0, 0}));
    EXPECT_FALSE(sink->isAccepting());
    EXPECT_EQ(platform::DropEffectNone, sink->dragOver(platform::DragKeyControl, {0, 0}));
    EXPECT_EQ(platform::DropEffectNone, sink->dragEnter(nullptr, 0, {0, 0}));

    FakeData text;
    text.text = "hello";
    EXPECT_EQ(platform::DropEffectMove, sink->dragEnter(&text, 0, {0, 0}));
}

TEST_F(DropTargetTest, DroppedTextReachesTheViewsAtTheCursor) {
    FakeData text;
    text.text = "0.75";
    world.setCursor({200 + 12, 100 + 34});
    sink->drop(&text, 0, {999, 999}); // the platform's point is not used
    EXPECT_EQ(DropTypeText, view->type);
    EXPECT_EQ(5, view->count); // the size of the block
    ASSERT_EQ(1u, view->received.size());
    EXPECT_EQ("0.75", view->received[0]);
    EXPECT_EQ(Point(12, 34), view->at);
    EXPECT_EQ(1, text.releases);
}

TEST_F(DropTargetTest, DroppedFilesArriveInOrderWithShortcutsResolved) {
    world.addShortcut("C:\\Sounds\\Hall.LNK", "C:\\Impulses\\hall.wav");
    world.addShortcut("C:\\dir.lnk\\readme", "C:\\wrong");
    FakeData files;
    files.files = {"C:\\Sounds\\Hall.LNK", "!", "C:\\dir.lnk\\readme", "C:\\plain.wav"};
    world.setCursor({210, 110});
    sink->drop(&files, 0, {0, 0});
    EXPECT_EQ(DropTypeFiles, view->type);
    EXPECT_EQ(3, view->count); // the path that could not be fetched is left out
    EXPECT_EQ((std::vector<std::string>{"C:\\Impulses\\hall.wav", "C:\\dir.lnk\\readme",
                                        "C:\\plain.wav"}),
              view->received);
    EXPECT_TRUE(DropTarget::isShortcut("x.lnk"));
    EXPECT_FALSE(DropTarget::isShortcut("x.lnkx"));
    EXPECT_FALSE(DropTarget::isShortcut("noextension"));
    EXPECT_FALSE(DropTarget::isShortcut(nullptr));
}

TEST_F(DropTargetTest, ADropWhileAViewHasTheFocusChangesNothingButReleasesTheText) {
    frame->setFocusView(view);
    FakeData text;
    text.text = "x";
    sink->drop(&text, 0, {0, 0});
    EXPECT_EQ(-1, view->type);
    EXPECT_EQ(1, text.locks);
    EXPECT_EQ(1, text.releases);
}

TEST_F(DropTargetTest, RegistrationEndsWithTheFrame) {
    platform::WindowHandle window = frame->getWindow();
    EXPECT_TRUE(frame->setDropActive(false));
    EXPECT_EQ(nullptr, world.dropSinkOf(window));
    EXPECT_FALSE(frame->isDropActive());
    EXPECT_TRUE(frame->setDropActive(false)); // not registered: nothing to do
    EXPECT_TRUE(frame->setDropActive(true));
    EXPECT_NE(nullptr, world.dropSinkOf(window));
}
