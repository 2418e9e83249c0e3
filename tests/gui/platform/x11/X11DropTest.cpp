// Drags onto an editor's frame through the X drag-and-drop protocol: a small
// drag source of the test's own (its own connection, owner of the drag's
// selection) finds the frame's window under the pointer, sends the protocol's
// messages and answers the request for the data, while the test idles the
// frame as a host does. Also the protocol's pure pieces: URI lists and file
// URI decoding.
#include "gui/DropTarget.h"
#include "gui/Frame.h"
#include "gui/View.h"
#include "gui/platform/x11/X11Platform.h"
#include "tests/gui/RecordingDropView.h"

#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

// Xlib last: its macros (None, Bool, ...) clash with names in other headers.
// clang-format off
#include "gui/platform/x11/Xdnd.h"
#include "tests/gui/platform/x11/X11TestHost.h"
#include <X11/Xatom.h>
#include <X11/keysym.h>
// clang-format on

using platform::x11::decodeFileUri;
using platform::x11::splitUriList;

// ----- The protocol's pure pieces -----

TEST(XdndUriList, LinesAreSplitAtCrLfOrLfWithoutCommentsOrEmptyLines) {
    const char list[] = "# from a file manager\r\nfile:///a\r\n\r\nfile:///b\nfile:///c";
    EXPECT_EQ((std::vector<std::string>{"file:///a", "file:///b", "file:///c"}),
              splitUriList(list, sizeof(list) - 1));
    // The list ends at a terminator inside the data.
    const char cut[] = "file:///a\r\n\0file:///hidden\r\n";
    EXPECT_EQ((std::vector<std::string>{"file:///a"}), splitUriList(cut, sizeof(cut) - 1));
    EXPECT_TRUE(splitUriList(nullptr, 10).empty());
    EXPECT_TRUE(splitUriList("", 0).empty());
}

TEST(XdndUriList, FileUrisDecodeToLocalPaths) {
    std::string path;
    EXPECT_TRUE(decodeFileUri("file:///home/u/a.wav", "box", path));
    EXPECT_EQ("/home/u/a.wav", path);
    EXPECT_TRUE(decodeFileUri("file://localhost/x/Hall%20Verb%2C%20long.wav", "box", path));
    EXPECT_EQ("/x/Hall Verb, long.wav", path);
    EXPECT_TRUE(decodeFileUri("FILE://BOX/%c3%a9t%C3%A9", "box", path)); // this machine's name
    EXPECT_EQ("/\xC3\xA9t\xC3\xA9", path);
    EXPECT_TRUE(decodeFileUri("file:/single/slash", "box", path));
    EXPECT_EQ("/single/slash", path);
    EXPECT_TRUE(decodeFileUri("file:///100%25", "box", path));
    EXPECT_EQ("/100%", path);
}

TEST(XdndUriList, MalformedOrForeignUrisAreRefused) {
    std::string path = "untouched";
    const char* refused[] = {
        "http://box/a.wav",       // another scheme
        "file://elsewhere/a.wav", // another machine
        "file://box",             // no path
        "file:relative/a.wav",    // not absolute
        "file:///a%2",            // cut escape
        "file:///a%zz",           // not hexadecimal
        "file:///a%00b",          // an escaped zero byte
        "file:///a b",            // a raw space
        "file:///a\tb",           // a raw control character
        "file:",                  // nothing at all
        "",
    };
    for (const char* uri : refused) {
        EXPECT_FALSE(decodeFileUri(uri, "box", path)) << uri;
        EXPECT_TRUE(path.empty()) << uri;
    }
    // Without a known name of this machine only the local forms pass.
    EXPECT_FALSE(decodeFileUri("file://box/a", "", path));
}

TEST(XdndUriList, DroppedPathsAreCutToTheBufferAndBadEntriesFail) {
    platform::x11::XdndData data(platform::x11::DragKind::Files);
    EXPECT_EQ(0, data.fileCount()); // no content yet
    std::string list = "file:///" + std::string(1500, 'p') + "\r\nfile:///bad%zz\r\nfile:///ok\r\n";
    data.setContent(reinterpret_cast<const unsigned char*>(list.data()), list.size(), "box");
    ASSERT_EQ(3, data.fileCount());
    char buffer[DropTarget::maxPath + 8];
    std::memset(buffer, 'X', sizeof(buffer));
    EXPECT_TRUE(data.filePath(0, buffer, DropTarget::maxPath));
    EXPECT_EQ(DropTarget::maxPath - 1, std::strlen(buffer));
    EXPECT_EQ('X', buffer[DropTarget::maxPath]); // nothing written past the buffer
    EXPECT_FALSE(data.filePath(1, buffer, DropTarget::maxPath));
    EXPECT_TRUE(data.filePath(2, buffer, DropTarget::maxPath));
    EXPECT_STREQ("/ok", buffer);
    EXPECT_FALSE(data.filePath(3, buffer, DropTarget::maxPath));
    EXPECT_FALSE(data.filePath(-1, buffer, DropTarget::maxPath));
    const char* text = nullptr;
    size_t size = 0;
    EXPECT_FALSE(data.lockText(text, size));
    EXPECT_TRUE(data.offersFileList());
    EXPECT_FALSE(data.offersText());
}

TEST(XdndUriList, DroppedTextGetsItsTerminator) {
    platform::x11::XdndData data(platform::x11::DragKind::Text);
    const char* text = nullptr;
    size_t size = 0;
    EXPECT_FALSE(data.lockText(text, size)); // not arrived yet
    const unsigned char bytes[] = {'0', '.', '5'};
    data.setContent(bytes, sizeof(bytes), "");
    ASSERT_TRUE(data.lockText(text, size));
    EXPECT_EQ(4u, size);
    EXPECT_STREQ("0.5", text);
    EXPECT_EQ(0, data.fileCount());
}

// ----- Drags through an X server -----

namespace {

using Clock = std::chrono::steady_clock;

constexpr int hostX = 100;
constexpr int hostY = 80;
constexpr int panelWidth = 300;
constexpr int panelHeight = 245;

// The source side of the protocol, on a connection of its own.
class DragSource {
public:
    DragSource() {
        display = XOpenDisplay(nullptr);
        if (!display) {
            return;
        }
        root = DefaultRootWindow(display);
        window = XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0);
        XSync(display, False);
    }
    ~DragSource() {
        if (display) {
            XDestroyWindow(display, window);
            XCloseDisplay(display);
        }
    }
    DragSource(const DragSource&) = delete;
    DragSource& operator=(const DragSource&) = delete;

    bool available() const { return display != nullptr; }
    Atom atom(const char* name) { return XInternAtom(display, name, False); }

    // What the source offers, type by type, in order.
    void offer(const char* type, const std::string& content) {
        types.push_back(atom(type));
        contents[atom(type)] = content;
    }

    bool isAware(Window w) {
        Atom type = 0;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        bool aware = false;
        if (XGetWindowProperty(display, w, atom("XdndAware"), 0, 1, False, XA_ATOM, &type, &format,
                               &count, &after, &data) == Success &&
            data) {
            aware = type == XA_ATOM && count == 1;
            XFree(data);
        }
        return aware;
    }

    // The window that takes drags at a screen point: from the root down
    // through the windows under the point, the first one that says it is
    // aware of the protocol.
    Window findTarget(int x, int y) {
        Window from = root, child = 0;
        int cx = 0, cy = 0;
        for (int depth = 0; depth < 32; ++depth) {
            if (!XTranslateCoordinates(display, root, from, x, y, &cx, &cy, &child) || !child) {
                return 0;
            }
            if (isAware(child)) {
                return child;
            }
            from = child;
        }
        return 0;
    }

    // Starts a drag onto the target: owns the drag's selection, tells the
    // target the types (through the type list when there are more than three).
    void enter(Window to, long version = 5) {
        target = to;
        XSetSelectionOwner(display, atom("XdndSelection"), window, CurrentTime);
        bool manyTypes = types.size() > 3;
        if (manyTypes) {
            std::vector<long> list(types.begin(), types.end());
            XChangeProperty(display, window, atom("XdndTypeList"), XA_ATOM, 32, PropModeReplace,
                            reinterpret_cast<unsigned char*>(list.data()),
                            static_cast<int>(list.size()));
        }
        long l[5] = {static_cast<long>(window), (version << 24) | (manyTypes ? 1 : 0), 0, 0, 0};
        for (size_t i = 0; i < types.size() && i < 3 && !manyTypes; ++i) {
            l[2 + i] = static_cast<long>(types[i]);
        }
        send("XdndEnter", l);
    }
    void position(int x, int y) {
        status = -1;
        long l[5] = {static_cast<long>(window), 0, (static_cast<long>(x) << 16) | y, CurrentTime,
                     static_cast<long>(atom("XdndActionCopy"))};
        send("XdndPosition", l);
    }
    void leave() {
        long l[5] = {static_cast<long>(window), 0, 0, 0, 0};
        send("XdndLeave", l);
    }
    void drop() {
        finished = -1;
        long l[5] = {static_cast<long>(window), 0, CurrentTime, 0, 0};
        send("XdndDrop", l);
    }

    // Handles what arrived: the target's answers and requests for the data.
    void process() {
        while (XPending(display) > 0) {
            XEvent event;
            XNextEvent(display, &event);
            if (event.type == SelectionRequest) {
                answer(event.xselectionrequest);
            } else if (event.type == ClientMessage &&
                       event.xclient.message_type == atom("XdndStatus")) {
                ++statuses;
                statusFrom = static_cast<Window>(event.xclient.data.l[0]);
                status = static_cast<int>(event.xclient.data.l[1] & 1);
                statusAction = static_cast<Atom>(event.xclient.data.l[4]);
            } else if (event.type == ClientMessage &&
                       event.xclient.message_type == atom("XdndFinished")) {
                ++finishes;
                finished = static_cast<int>(event.xclient.data.l[1] & 1);
                finishedAction = static_cast<Atom>(event.xclient.data.l[2]);
            }
        }
    }

    int status = -1; // -1: no answer to the last position yet
    Atom statusAction = 0;
    Window statusFrom = 0;
    int statuses = 0;
    int finished = -1; // -1: no answer to the drop yet
    Atom finishedAction = 0;
    int finishes = 0;
    bool answersRequests = true;
    std::vector<Atom> requested;

private:
    void send(const char* type, const long (&l)[5]) {
        XEvent event;
        std::memset(&event, 0, sizeof(event));
        event.xclient.type = ClientMessage;
        event.xclient.window = target;
        event.xclient.message_type = atom(type);
        event.xclient.format = 32;
        for (int i = 0; i < 5; ++i) {
            event.xclient.data.l[i] = l[i];
        }
        XSendEvent(display, target, False, NoEventMask, &event);
        XFlush(display);
    }

    void answer(const XSelectionRequestEvent& request) {
        requested.push_back(request.target);
        if (!answersRequests) {
            return;
        }
        XEvent reply;
        std::memset(&reply, 0, sizeof(reply));
        reply.xselection.type = SelectionNotify;
        reply.xselection.requestor = request.requestor;
        reply.xselection.selection = request.selection;
        reply.xselection.target = request.target;
        reply.xselection.time = request.time;
        reply.xselection.property = 0;
        auto found = contents.find(request.target);
        if (found != contents.end() && request.property != 0) {
            XChangeProperty(display, request.requestor, request.property, request.target, 8,
                            PropModeReplace,
                            reinterpret_cast<const unsigned char*>(found->second.data()),
                            static_cast<int>(found->second.size()));
            reply.xselection.property = request.property;
        }
        XSendEvent(display, request.requestor, False, NoEventMask, &reply);
        XFlush(display);
    }

    Display* display = nullptr;
    Window root = 0;
    Window window = 0;
    Window target = 0;
    std::vector<Atom> types;
    std::map<Atom, std::string> contents;
};

class X11DropTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!host.available()) {
            GTEST_SKIP() << host.unavailableReason();
        }
        if (!host.hasXTest()) {
            GTEST_SKIP() << "the X server has no XTest extension";
        }
        platform::setCurrent(nullptr);
        platform::x11::setDropDataTimeout(3000);
        hostWindow = host.createHostWindow(hostX, hostY, panelWidth, panelHeight);
        frame = new Frame(Rect(0, 0, panelWidth, panelHeight),
                          reinterpret_cast<void*>(static_cast<uintptr_t>(hostWindow)), nullptr);
        view = new RecordingDropView(Rect(0, 0, panelWidth, panelHeight));
        frame->addView(view);
        host.sync();
        ASSERT_TRUE(source.available());
    }
    void TearDown() override {
        if (!host.available() || !host.hasXTest()) {
            return;
        }
        host.key(XK_Control_L, false);
        delete frame;
        frame = nullptr;
        platform::x11::setDropDataTimeout(3000);
        EXPECT_EQ(0, platform::x11::diagnostics().windows);
    }

    Window frameWindow() const {
        return static_cast<Window>(reinterpret_cast<uintptr_t>(frame->getWindow()));
    }

    // Idles the frame as a host does and lets the source handle its events,
    // until the condition holds; false when it did not within two seconds.
    bool idleUntil(const std::function<bool()>& done, int milliseconds = 2000) {
        auto end = Clock::now() + std::chrono::milliseconds(milliseconds);
        while (Clock::now() < end) {
            if (frame) {
                frame->idle();
            } else {
                platform::current().pumpWindowEvents();
            }
            source.process();
            if (done()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        return false;
    }

    // Moves the pointer over the panel, enters and answers the first position.
    void enterAt(int x, int y) {
        host.movePointer(hostX + x, hostY + y);
        Window target = source.findTarget(hostX + x, hostY + y);
        ASSERT_EQ(frameWindow(), target);
        source.enter(target);
        moveTo(x, y);
    }
    void moveTo(int x, int y) {
        host.movePointer(hostX + x, hostY + y);
        source.position(hostX + x, hostY + y);
        ASSERT_TRUE(idleUntil([&] { return source.status >= 0; })) << "no status";
    }
    void dropAndWait() {
        source.drop();
        ASSERT_TRUE(idleUntil([&] { return source.finished >= 0; })) << "no finish";
    }

    X11TestHost host;
    DragSource source;
    Window hostWindow = 0;
    Frame* frame = nullptr;
    RecordingDropView* view = nullptr;
};

// A directory of files for drops, removed afterwards.
class TemporaryFiles {
public:
    TemporaryFiles() {
        char pattern[] = "/tmp/fumara-drop-XXXXXX";
        if (mkdtemp(pattern)) {
            char* real = realpath(pattern, nullptr);
            directory = real ? real : pattern;
            std::free(real);
        }
    }
    ~TemporaryFiles() {
        for (auto it = made.rbegin(); it != made.rend(); ++it) {
            unlink(it->c_str());
        }
        rmdir(directory.c_str());
    }
    std::string file(const std::string& name) {
        std::string path = directory + "/" + name;
        if (FILE* f = std::fopen(path.c_str(), "w")) {
            std::fclose(f);
            made.push_back(path);
        }
        return path;
    }
    std::string link(const std::string& name, const std::string& to) {
        std::string path = directory + "/" + name;
        if (symlink(to.c_str(), path.c_str()) == 0) {
            made.push_back(path);
        }
        return path;
    }
    std::string directory;

private:
    std::vector<std::string> made;
};

} // namespace

TEST_F(X11DropTest, TheFramesWindowIsAwareAndFoundUnderThePointer) {
    std::vector<unsigned long> aware = host.property(frameWindow(), "XdndAware");
    ASSERT_EQ(1u, aware.size());
    EXPECT_EQ(5u, aware[0]);
    // The host's own window does not take drags; the search goes past it.
    EXPECT_TRUE(host.property(hostWindow, "XdndAware").empty());
    EXPECT_EQ(frameWindow(), source.findTarget(hostX + 10, hostY + 10));
    EXPECT_EQ(0u, source.findTarget(hostX + panelWidth + 50, hostY + 10));
    // Without the registration the window no longer says so.
    EXPECT_TRUE(frame->setDropActive(false));
    host.sync();
    EXPECT_TRUE(host.property(frameWindow(), "XdndAware").empty());
    EXPECT_TRUE(frame->setDropActive(true));
    host.sync();
    EXPECT_EQ(1u, host.property(frameWindow(), "XdndAware").size());
}

TEST_F(X11DropTest, DroppedTextReachesTheViewAsTextWithItsBlockSize) {
    source.offer("text/plain", "Room 0.42");
    enterAt(40, 50);
    EXPECT_EQ(1, source.status);
    EXPECT_EQ(source.atom("XdndActionMove"), source.statusAction);
    EXPECT_EQ(frameWindow(), source.statusFrom);
    moveTo(60, 70);
    dropAndWait();
    EXPECT_EQ(1, view->drops);
    EXPECT_EQ(DropTypeText, view->type);
    EXPECT_EQ(10, view->count); // nine characters and the terminator
    ASSERT_EQ(1u, view->received.size());
    EXPECT_EQ("Room 0.42", view->received[0]);
    EXPECT_EQ(Point(60, 70), view->at);
    EXPECT_EQ(1, source.finished);
    EXPECT_EQ(source.atom("XdndActionMove"), source.finishedAction);
    EXPECT_EQ((std::vector<Atom>{source.atom("text/plain")}), source.requested);
}

TEST_F(X11DropTest, ADropNoViewTakesTellsTheSourceNothingWasDone) {
    view->takes = false;
    source.offer("UTF8_STRING", "0.5");
    enterAt(40, 50);
    dropAndWait();
    EXPECT_EQ(1, view->drops);
    EXPECT_EQ("0.5", view->received.at(0));
    // A source must not delete what it "moved" here.
    EXPECT_EQ(0, source.finished);
    EXPECT_EQ(0u, source.finishedAction);
}

TEST_F(X11DropTest, ThreeFilesArriveInOrderDecodedWithLinksResolved) {
    TemporaryFiles files;
    ASSERT_FALSE(files.directory.empty());
    std::string c = files.file("c.wav");
    std::string spaced = files.file("b c#1.wav");
    std::string target = files.file("impulse.wav");
    std::string link = files.link("shortcut.wav", target);
    std::string list = "# three files\r\nfile://" + c + "\r\nfile://" + files.directory +
                       "/b%20c%231.wav\r\nfile://localhost" + link + "\r\n";
    // More than three types: the target reads the source's type list.
    source.offer("text/html", "<p>x</p>");
    source.offer("text/plain", list);
    source.offer("application/x-other", "x");
    source.offer("text/uri-list", list);
    enterAt(100, 100);
    EXPECT_EQ(1, source.status);
    dropAndWait();
    EXPECT_EQ(DropTypeFiles, view->type);
    EXPECT_EQ(3, view->count);
    EXPECT_EQ((std::vector<std::string>{c, spaced, target}), view->received);
    EXPECT_EQ((std::vector<Atom>{source.atom("text/uri-list")}), source.requested);
    EXPECT_EQ(1, source.finished);
}

TEST_F(X11DropTest, MalformedUrisAreLeftOutAndAListOfOnlyThoseIsRefused) {
    source.offer("text/uri-list", "http://example.invalid/a.wav\r\nfile:///bad%zz\r\n");
    enterAt(100, 100);
    EXPECT_EQ(1, source.status); // a file list is welcome until its content is seen
    dropAndWait();
    EXPECT_EQ(0, view->drops);
    EXPECT_EQ(0, source.finished);
}

TEST_F(X11DropTest, FeedbackIsCopyWithControlAndMoveWithout) {
    source.offer("text/uri-list", "file:///tmp/a.wav\r\n");
    enterAt(30, 30);
    EXPECT_EQ(source.atom("XdndActionMove"), source.statusAction);
    host.key(XK_Control_L, true);
    moveTo(31, 30);
    EXPECT_EQ(1, source.status);
    EXPECT_EQ(source.atom("XdndActionCopy"), source.statusAction);
    host.key(XK_Control_L, false);
    moveTo(32, 30);
    EXPECT_EQ(source.atom("XdndActionMove"), source.statusAction);
    source.leave();
    int before = source.statuses;
    idleUntil([] { return false; }, 100);
    EXPECT_EQ(before, source.statuses);
    EXPECT_EQ(0, view->drops);
    EXPECT_TRUE(source.requested.empty());
}

TEST_F(X11DropTest, OtherTypesAreRefusedAndNeverAskedFor) {
    source.offer("image/png", "\x89PNG");
    source.offer("text/html", "<b>x</b>");
    enterAt(30, 30);
    EXPECT_EQ(0, source.status);
    EXPECT_EQ(0u, source.statusAction);
    dropAndWait();
    EXPECT_EQ(0, source.finished);
    EXPECT_TRUE(source.requested.empty());
    EXPECT_EQ(0, view->drops);
}

TEST_F(X11DropTest, DataThatNeverArrivesIsGivenUpWithoutHoldingTheHost) {
    platform::x11::setDropDataTimeout(150);
    source.answersRequests = false;
    source.offer("text/plain", "late");
    enterAt(30, 30);
    source.drop();
    // The host keeps idling meanwhile; the drop fails once the wait is over.
    ASSERT_TRUE(idleUntil([&] { return source.finished >= 0; }));
    EXPECT_EQ(0, source.finished);
    EXPECT_EQ(1u, source.requested.size());
    EXPECT_EQ(0, view->drops);
    // A new drag works as before.
    source.answersRequests = true;
    enterAt(40, 40);
    dropAndWait();
    EXPECT_EQ(1, source.finished);
    EXPECT_EQ("late", view->received.at(0));
}

TEST_F(X11DropTest, ADropWhileTheEditorClosesFindsNoFrameAndChangesNothing) {
    source.answersRequests = false;
    source.offer("text/plain", "gone");
    enterAt(30, 30);
    source.drop();
    ASSERT_TRUE(idleUntil([&] { return !source.requested.empty(); }));
    delete frame; // the editor closes while the data is on its way
    frame = nullptr;
    view = nullptr;
    ASSERT_TRUE(idleUntil([&] { return source.finished >= 0; }));
    EXPECT_EQ(0, source.finished);
    EXPECT_EQ(0, platform::x11::diagnostics().windows);
}

TEST_F(X11DropTest, ADropWithoutAPositionBeforeIsRefused) {
    source.offer("text/plain", "x");
    Window target = source.findTarget(hostX + 5, hostY + 5);
    ASSERT_EQ(frameWindow(), target);
    source.enter(target);
    dropAndWait();
    EXPECT_EQ(0, source.finished);
    EXPECT_TRUE(source.requested.empty());
    EXPECT_EQ(0, view->drops);
}
