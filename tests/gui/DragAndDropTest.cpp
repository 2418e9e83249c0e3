// Drags from other applications onto an editor's frame, scripted through the
// headless platform: the feedback the platform shows, what the views receive,
// and drops that must change nothing.
#include "GuiTestSupport.h"
#include "RecordingDropView.h"
#include "gui/DropTarget.h"

#include <cstring>
#include <functional>
#include <string>

using platform::headless::DropOutcome;
using platform::headless::ScriptedDropData;

namespace {

constexpr uint32_t control = platform::DragKeyControl;
// The host's window lies at (200, 100) on the screen and the frame's window at
// its top-left corner, so a point of the frame is at (200 + x, 100 + y).
constexpr platform::PixelPoint onFrame(int32_t x, int32_t y) {
    return {200 + x, 100 + y};
}
constexpr platform::PixelPoint offFrame{650, 500}; // in the host's window only

class DragAndDrop : public GuiTest {
protected:
    void SetUp() override {
        GuiTest::SetUp();
        host = makeHost();
        frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
        view = new RecordingDropView(Rect(10, 10, 290, 235));
        frame->addView(view);
    }
    void TearDown() override {
        world.dragLeave();
        delete frame;
        GuiTest::TearDown();
    }
    platform::WindowHandle host = nullptr;
    Frame* frame = nullptr;
    RecordingDropView* view = nullptr;
};

} // namespace

TEST_F(DragAndDrop, FeedbackIsCopyWithControlMoveWithoutAndNoneForOtherData) {
    ScriptedDropData files = ScriptedDropData::files({"/tmp/a.wav"});
    EXPECT_EQ(platform::DropEffectCopy, world.dragEnter(&files, control, onFrame(50, 50)));
    EXPECT_EQ(frame->getWindow(), world.dragTarget());
    EXPECT_EQ(platform::DropEffectMove, world.dragOver(0, onFrame(60, 50)));
    EXPECT_EQ(platform::DropEffectCopy, world.dragOver(control, onFrame(70, 50)));
    // Shift and the buttons do not count, only Control does.
    EXPECT_EQ(platform::DropEffectMove, world.dragOver(0x4 | 0x1, onFrame(70, 50)));
    world.dragLeave();
    EXPECT_FALSE(world.dragInProgress());

    ScriptedDropData text = ScriptedDropData::text("0.5");
    EXPECT_EQ(platform::DropEffectMove, world.dragEnter(&text, 0, onFrame(5, 5)));
    EXPECT_EQ(platform::DropEffectCopy, world.dragOver(control, onFrame(5, 6)));
    world.dragLeave();

    ScriptedDropData other = ScriptedDropData::other();
    EXPECT_EQ(platform::DropEffectNone, world.dragEnter(&other, control, onFrame(50, 50)));
    EXPECT_EQ(platform::DropEffectNone, world.dragOver(0, onFrame(51, 50)));
    EXPECT_EQ(DropOutcome::Refused, world.drop(0, onFrame(51, 50)));
    EXPECT_EQ(0, view->drops);
    EXPECT_EQ(0, other.textLocks());
    EXPECT_EQ(0, other.pathFetches());
}

TEST_F(DragAndDrop, OnlyTheFramesWindowTakesDropsAndMovingOffItLeaves) {
    ScriptedDropData files = ScriptedDropData::files({"/tmp/a.wav"});
    EXPECT_EQ(platform::DropEffectNone, world.dragEnter(&files, control, offFrame));
    EXPECT_EQ(nullptr, world.dragTarget());
    // Entering the frame's window from the host's area enters its target.
    EXPECT_EQ(platform::DropEffectCopy, world.dragOver(control, onFrame(299, 244)));
    EXPECT_EQ(frame->getWindow(), world.dragTarget());
    EXPECT_EQ(platform::DropEffectNone, world.dragOver(control, onFrame(300, 244)));
    EXPECT_EQ(nullptr, world.dragTarget());
    EXPECT_EQ(DropOutcome::NoTarget, world.drop(0, offFrame));
    EXPECT_EQ(0, view->drops);
    EXPECT_EQ(0, files.pathFetches());
}

TEST_F(DragAndDrop, ThreeFilesArriveInDropOrderAtTheCursor) {
    ScriptedDropData files =
        ScriptedDropData::files({"/home/u/c.wav", "/home/u/a.wav", "/home/u/b.wav"});
    world.dragEnter(&files, 0, onFrame(40, 40));
    EXPECT_EQ(DropOutcome::Taken, world.drop(0, onFrame(123, 45)));
    EXPECT_EQ(1, view->drops);
    EXPECT_EQ(DropTypeFiles, view->type);
    EXPECT_EQ(3, view->count);
    EXPECT_EQ((std::vector<std::string>{"/home/u/c.wav", "/home/u/a.wav", "/home/u/b.wav"}),
              view->received);
    EXPECT_EQ(Point(123, 45), view->at);
    EXPECT_FALSE(world.dragInProgress());
}

TEST_F(DragAndDrop, DroppedTextCarriesTheSizeOfItsBlockAndTheBlockIsReleased) {
    ScriptedDropData text = ScriptedDropData::text("Room 0.42");
    world.dragEnter(&text, control, onFrame(20, 30));
    EXPECT_EQ(DropOutcome::Taken, world.drop(control, onFrame(20, 31)));
    EXPECT_EQ(DropTypeText, view->type);
    EXPECT_EQ(10, view->count); // nine characters and the terminator
    ASSERT_EQ(1u, view->received.size());
    EXPECT_EQ("Room 0.42", view->received[0]);
    EXPECT_EQ(Point(20, 31), view->at);
    EXPECT_EQ(1, text.textLocks());
    EXPECT_FALSE(text.textLocked());
}

TEST_F(DragAndDrop, TheLastDotOfTheWholePathDecidesWhatIsAShortcut) {
    world.addShortcut("/samples/Hall.LNK", "/impulses/hall.wav");
    // Registered, but must never be asked for: its last dot is in a directory.
    world.addShortcut("/x/dir.lnk/readme", "/wrong");
    ScriptedDropData files = ScriptedDropData::files(
        {"/samples/Hall.LNK", "/x/dir.lnk/readme", "/gone/target.lnk", "/plain.lnkx"});
    world.dragEnter(&files, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Taken, world.drop(0, onFrame(50, 50)));
    // A shortcut that cannot be resolved stays as it was dropped.
    EXPECT_EQ((std::vector<std::string>{"/impulses/hall.wav", "/x/dir.lnk/readme",
                                        "/gone/target.lnk", "/plain.lnkx"}),
              view->received);
    EXPECT_TRUE(DropTarget::isShortcut("C:\\A.LNK"));
    EXPECT_TRUE(DropTarget::isShortcut("C:\\a.Lnk"));
    EXPECT_FALSE(DropTarget::isShortcut("C:\\a.lnk.wav"));
    EXPECT_FALSE(DropTarget::isShortcut("C:\\dir.lnk\\name"));
}

TEST_F(DragAndDrop, APathLongerThanTheBufferIsCutToIt) {
    std::string longPath = "/" + std::string(2000, 'p') + ".wav";
    ScriptedDropData files = ScriptedDropData::files({longPath, "/short.wav"});
    world.dragEnter(&files, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Taken, world.drop(0, onFrame(50, 50)));
    ASSERT_EQ(2u, view->received.size());
    EXPECT_EQ(DropTarget::maxPath - 1, view->received[0].size());
    EXPECT_EQ(longPath.substr(0, DropTarget::maxPath - 1), view->received[0]);
    EXPECT_EQ("/short.wav", view->received[1]);
}

namespace {
// A file list whose entries fill the whole buffer and leave no terminator.
class UnterminatedPaths : public platform::DropData {
public:
    bool offersText() override { return false; }
    bool offersFileList() override { return true; }
    bool lockText(const char*&, size_t&) override { return false; }
    void releaseText() override {}
    int32_t fileCount() override { return 1; }
    bool filePath(int32_t, char* buffer, size_t size) override {
        std::memset(buffer, 'q', size);
        return true;
    }
};
} // namespace

TEST_F(DragAndDrop, APathWithoutTerminatorEndsInsideTheBuffer) {
    UnterminatedPaths files;
    world.dragEnter(&files, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Taken, world.drop(0, onFrame(50, 50)));
    ASSERT_EQ(1u, view->received.size());
    EXPECT_EQ(std::string(DropTarget::maxPath - 1, 'q'), view->received[0]);
}

TEST_F(DragAndDrop, MalformedDataIsRefusedWithoutSideEffects) {
    // Text that does not end inside its block never reaches a view, and the
    // block is still given back.
    ScriptedDropData open = ScriptedDropData::textBlock("no terminator");
    world.dragEnter(&open, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Refused, world.drop(0, onFrame(50, 50)));
    EXPECT_EQ(1, open.textLocks());
    EXPECT_FALSE(open.textLocked());

    // An empty block is no text.
    ScriptedDropData empty = ScriptedDropData::textBlock("");
    world.dragEnter(&empty, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Refused, world.drop(0, onFrame(50, 50)));

    // A list none of whose paths can be fetched offers the views nothing.
    ScriptedDropData broken = ScriptedDropData::files({"/a.wav", ""});
    broken.failPath(0);
    world.dragEnter(&broken, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Refused, world.drop(0, onFrame(50, 50)));
    EXPECT_EQ(2, broken.pathFetches());

    EXPECT_EQ(0, view->drops);

    // One bad entry is left out, the others keep their order.
    ScriptedDropData partly = ScriptedDropData::files({"/1.wav", "/2.wav", "/3.wav"});
    partly.failPath(1);
    world.dragEnter(&partly, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Taken, world.drop(0, onFrame(50, 50)));
    EXPECT_EQ(2, view->count);
    EXPECT_EQ((std::vector<std::string>{"/1.wav", "/3.wav"}), view->received);
}

TEST_F(DragAndDrop, ADropNoViewTakesIsReportedAsRefused) {
    view->takes = false;
    ScriptedDropData text = ScriptedDropData::text("x");
    world.dragEnter(&text, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Refused, world.drop(0, onFrame(50, 50)));
    EXPECT_EQ(1, view->drops);
    // Outside every view: the frame offers it to none.
    view->takes = true;
    world.dragEnter(&text, 0, onFrame(2, 2));
    EXPECT_EQ(DropOutcome::Refused, world.drop(0, onFrame(2, 2)));
    EXPECT_EQ(1, view->drops);
    EXPECT_EQ(2, text.textReleases());
}

TEST_F(DragAndDrop, ADropWhileTheEditorClosesFindsNoFrameAndChangesNothing) {
    bool gone = false;
    std::vector<std::string> journal;
    frame->addView(new RecordingView(Rect(0, 0, 300, 245), "top", &journal, &gone));
    ScriptedDropData files = ScriptedDropData::files({"/a.wav"});
    EXPECT_EQ(platform::DropEffectMove, world.dragEnter(&files, 0, onFrame(50, 50)));
    delete frame; // the host closes the editor during the drag
    frame = nullptr;
    EXPECT_TRUE(gone);
    journal.clear();
    EXPECT_EQ(nullptr, world.dragTarget());
    EXPECT_EQ(platform::DropEffectNone, world.dragOver(0, onFrame(51, 50)));
    EXPECT_EQ(DropOutcome::NoTarget, world.drop(0, onFrame(51, 50)));
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(0, files.pathFetches());
    EXPECT_EQ(0, toolkitState().windowClassUseCount);
}

TEST_F(DragAndDrop, TheEditorClosedByTheDropItselfEndsTheDropSafely) {
    ScriptedDropData files = ScriptedDropData::files({"/a.wav", "/b.wav"});
    view->onDrop = [this] {
        // As an editor closes: the views, the frame's window and its drop
        // target go once the drop has returned.
        frame->close();
        frame = nullptr;
    };
    world.dragEnter(&files, 0, onFrame(50, 50));
    EXPECT_EQ(DropOutcome::Taken, world.drop(0, onFrame(50, 50)));
    EXPECT_EQ(nullptr, frame);
    EXPECT_TRUE(world.childWindows(host).empty());
    EXPECT_EQ(nullptr, world.dropTargetAt(onFrame(50, 50)));
}

TEST_F(DragAndDrop, TheHostDestroyingItsWindowMidDragLeavesNothingToDropOn) {
    ScriptedDropData text = ScriptedDropData::text("t");
    world.dragEnter(&text, 0, onFrame(50, 50));
    world.destroyWindow(host);
    EXPECT_FALSE(frame->isWindowOpen());
    EXPECT_EQ(DropOutcome::NoTarget, world.drop(0, onFrame(50, 50)));
    EXPECT_EQ(0, text.textLocks());
    EXPECT_EQ(0, view->drops);
}

TEST_F(DragAndDrop, SetDropActiveOnAFrameThatNeverRegisteredReportsTrueAndDoesNothing) {
    Frame windowless(Rect(0, 0, 300, 245), nullptr, nullptr);
    EXPECT_FALSE(windowless.isDropActive());
    EXPECT_TRUE(windowless.setDropActive(false));
    EXPECT_FALSE(windowless.isDropActive());
    // Registering needs a window.
    EXPECT_FALSE(windowless.setDropActive(true));
    EXPECT_FALSE(windowless.isDropActive());

    // The editor's frame is registered from the start; revoking it makes the
    // frame's window refuse drags, registering again restores them.
    EXPECT_TRUE(frame->isDropActive());
    EXPECT_TRUE(frame->setDropActive(false));
    EXPECT_EQ(nullptr, world.dropTargetAt(onFrame(50, 50)));
    EXPECT_TRUE(frame->setDropActive(false));
    EXPECT_EQ(nullptr, world.dropSinkOf(frame->getWindow()));
    ScriptedDropData files = ScriptedDropData::files({"/a.wav"});
    EXPECT_EQ(platform::DropEffectNone, world.dragEnter(&files, control, onFrame(50, 50)));
    world.dragLeave();
    EXPECT_TRUE(frame->setDropActive(true));
    EXPECT_EQ(platform::DropEffectCopy, world.dragEnter(&files, control, onFrame(50, 50)));
}

TEST_F(DragAndDrop, TheTopmostWindowUnderThePointTakesTheDrag) {
    // A second editor's frame over the first: the later window lies on top.
    RecordingDropView* second = new RecordingDropView(Rect(0, 0, 100, 100));
    Frame* over = new Frame(Rect(0, 0, 100, 100), host, nullptr);
    over->addView(second);
    ScriptedDropData text = ScriptedDropData::text("t");
    world.dragEnter(&text, 0, onFrame(50, 50));
    EXPECT_EQ(over->getWindow(), world.dragTarget());
    EXPECT_EQ(platform::DropEffectMove, world.dragOver(0, onFrame(150, 50)));
    EXPECT_EQ(frame->getWindow(), world.dragTarget());
    world.dragLeave();
    delete over;
    EXPECT_EQ(frame->getWindow(), world.dropTargetAt(onFrame(50, 50)));
}
