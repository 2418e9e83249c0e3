// The win32 backend with real windows, messages, input, OLE drag and drop and
// shell shortcuts: the frame's child window inside a host window, the paint
// and button messages reaching the views, the idle pump's paint-only dispatch,
// and the drop target that the frame registers. Needs a display (Xvfb under
// Wine); without one the tests skip.
#include "Win32TestSupport.h"
#include "gui/DrawContext.h"
#include "gui/Frame.h"
#include "gui/Toolkit.h"
#include "gui/View.h"
#include "gui/platform/win32/Win32DropTarget.h"
#include "gui/platform/win32/Win32Platform.h"
#include "tests/gui/RecordingDropView.h"
#include "tests/gui/platform/win32/OleTestObjects.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <gtest/gtest.h>
#include <ole2.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

using platform::ColourRef;
using platform::makeColourRef;
using win32test::ControlHeld;
using win32test::ScriptedDropSource;
using win32test::TestDataObject;

const ColourRef red = makeColourRef(255, 0, 0);

// Delivers every waiting message of this thread.
void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// A view that fills itself red and records what reaches it.
class RecordingView : public View {
public:
    explicit RecordingView(const Rect& size) : View(size) { setMouseEnabled(true); }

    void draw(DrawContext* context) override {
        ++draws;
        context->setFillColour(ColourRed);
        context->setFrameColour(ColourRed);
        Rect r = getSizeRect();
        context->fillRect(r);
        context->strokeRect(r);
        setDirty(false);
    }

    void mouseDown(DrawContext* context, Point& where) override {
        ++presses;
        lastWhere = where;
        lastButtons = context ? context->getMouseButtons() : -1;
        lastPressButtons = context ? context->getPressButtons() : -1;
        if (context) {
            context->getMouseLocation(lastLocation);
        }
    }

    int draws = 0;
    int presses = 0;
    Point lastWhere{-1, -1};
    Point lastLocation{-1, -1};
    int32_t lastButtons = 0;
    int32_t lastPressButtons = 0;
};

class Win32Windows : public testing::Test {
protected:
    platform::Platform& p = platform::current();
    HWND host = nullptr;

    void SetUp() override {
        ASSERT_EQ(&platform::win32::nativePlatform(), &p);
        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "FumaraTestHost";
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        RegisterClassA(&windowClass); // may exist from an earlier test
        host = CreateWindowExA(0, "FumaraTestHost", "Host", WS_POPUP | WS_VISIBLE, 50, 40, 420, 320,
                               nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        if (!host) {
            GTEST_SKIP() << "no display to open windows on";
        }
        pumpMessages();
    }

    void TearDown() override {
        if (host && IsWindow(host)) {
            DestroyWindow(host);
        }
        pumpMessages();
    }

    static std::string expectedClassName() {
        char name[32];
        std::snprintf(
            name, sizeof(name), "Plugin%08x",
            static_cast<unsigned>(reinterpret_cast<uintptr_t>(GetModuleHandleA(nullptr))));
        return name;
    }

    static bool classRegistered(const std::string& name) {
        WNDCLASSA info{};
        return GetClassInfoA(GetModuleHandleA(nullptr), name.c_str(), &info) != 0;
    }
};

TEST_F(Win32Windows, TheFrameOpensAChildWindowOfItsSizeInTheHostWindow) {
    Frame* frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    HWND window = reinterpret_cast<HWND>(frame->getWindow());
    ASSERT_NE(nullptr, window);
    EXPECT_EQ(host, GetParent(window));

    char text[32] = {};
    GetWindowTextA(window, text, sizeof(text));
    EXPECT_STREQ("Window", text);
    char className[64] = {};
    GetClassNameA(window, className, sizeof(className));
    EXPECT_EQ(expectedClassName(), className);
    EXPECT_EQ(14u, std::strlen(className)); // "Plugin" and eight hexadecimal digits

    LONG style = GetWindowLongA(window, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_CHILD | WS_VISIBLE), style & (WS_CHILD | WS_VISIBLE));
    RECT client{};
    GetClientRect(window, &client);
    EXPECT_EQ(300, client.right - client.left);
    EXPECT_EQ(245, client.bottom - client.top);
    POINT origin{0, 0};
    MapWindowPoints(window, host, &origin, 1);
    EXPECT_EQ(0, origin.x);
    EXPECT_EQ(0, origin.y);
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(GetSysColorBrush(COLOR_BTNFACE)),
              GetClassLongPtrA(window, GCLP_HBRBACKGROUND));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(LoadCursorA(nullptr, IDC_ARROW)),
              GetClassLongPtrA(window, GCLP_HCURSOR));
    EXPECT_EQ(static_cast<DWORD>(CS_GLOBALCLASS), GetClassLongA(window, GCL_STYLE));
    EXPECT_EQ(frame, reinterpret_cast<Frame*>(GetWindowLongPtrA(window, GWLP_USERDATA)));
    EXPECT_TRUE(frame->isDropActive());

    delete frame;
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(Win32Windows, TwoFramesShareTheClassAndTheLastOneUnregistersIt) {
    std::string name = expectedClassName();
    Frame* first = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    Frame* second = new Frame(Rect(0, 0, 100, 50), host, nullptr);
    EXPECT_TRUE(classRegistered(name));
    EXPECT_EQ(2, toolkitState().windowClassUseCount);
    delete first;
    EXPECT_TRUE(classRegistered(name));
    delete second;
    EXPECT_FALSE(classRegistered(name));
    EXPECT_EQ(0, toolkitState().windowClassUseCount);
}

TEST_F(Win32Windows, PaintsReachTheViewsAndTheIdlePumpDispatchesPaintsOnly) {
    Frame* frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    auto* view = new RecordingView(Rect(10, 10, 60, 40));
    frame->addView(view);
    platform::WindowHandle window = frame->getWindow();

    // A new visible window waits for its first paint.
    platform::PixelRect pending{};
    ASSERT_TRUE(p.updateRect(window, &pending));
    EXPECT_EQ(300, pending.right - pending.left);
    EXPECT_TRUE(frame->isFirstDrawPending());

    const UINT other = WM_USER + 5;
    PostMessageA(reinterpret_cast<HWND>(window), other, 0, 0);
    ASSERT_TRUE(p.dispatchOnePaintMessage());
    EXPECT_EQ(1, view->draws);
    EXPECT_FALSE(frame->isFirstDrawPending());
    EXPECT_FALSE(p.updateRect(window, nullptr));
    EXPECT_FALSE(p.dispatchOnePaintMessage());

    // The other message is still waiting: the pump looked at paints only.
    MSG message;
    EXPECT_TRUE(PeekMessageA(&message, reinterpret_cast<HWND>(window), other, other, PM_NOREMOVE));

    // The view's pixels reached the window.
    HDC dc = GetDC(reinterpret_cast<HWND>(window));
    EXPECT_EQ(red, GetPixel(dc, 10, 10));
    EXPECT_EQ(red, GetPixel(dc, 60, 40));
    EXPECT_NE(red, GetPixel(dc, 61, 41));
    ReleaseDC(reinterpret_cast<HWND>(window), dc);

    // Idle redraws a dirty view straight away once the first paint is done.
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(2, view->draws);
    delete frame;
    pumpMessages();
}

TEST_F(Win32Windows, ButtonPressesReachMouseDownAtTheirWindowPosition) {
    Frame* frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    auto* view = new RecordingView(Rect(0, 0, 300, 245));
    frame->addView(view);
    HWND window = reinterpret_cast<HWND>(frame->getWindow());
    for (UINT press : {WM_LBUTTONDOWN, WM_RBUTTONDOWN, WM_MBUTTONDOWN}) {
        view->lastWhere = Point(-1, -1);
        EXPECT_EQ(0, SendMessageA(window, press, 0, MAKELPARAM(5, 7)));
        EXPECT_EQ(5, view->lastWhere.x) << press;
        EXPECT_EQ(7, view->lastWhere.y) << press;
    }
    EXPECT_EQ(3, view->presses);
    // Releases, moves and double clicks are left to the default handling.
    SendMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(5, 7));
    SendMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(6, 8));
    SendMessageA(window, WM_LBUTTONDBLCLK, 0, MAKELPARAM(5, 7));
    EXPECT_EQ(3, view->presses);
    delete frame;
    pumpMessages();
}

TEST_F(Win32Windows, RealInputReachesTheFrameWithTheHeldButtonAndCursorPosition) {
    Frame* frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    auto* view = new RecordingView(Rect(0, 0, 300, 245));
    frame->addView(view);
    HWND window = reinterpret_cast<HWND>(frame->getWindow());
    pumpMessages();
    RECT screen{};
    GetWindowRect(window, &screen);
    ASSERT_TRUE(SetCursorPos(screen.left + 40, screen.top + 30));
    pumpMessages();

    INPUT press{};
    press.type = INPUT_MOUSE;
    press.mi.dwFlags =
        GetSystemMetrics(SM_SWAPBUTTON) ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    ASSERT_EQ(1u, SendInput(1, &press, sizeof(press)));
    for (int i = 0; i < 200 && view->presses == 0; ++i) {
        pumpMessages();
        Sleep(5);
    }
    ASSERT_EQ(1, view->presses);
    EXPECT_EQ(40, view->lastWhere.x);
    EXPECT_EQ(30, view->lastWhere.y);
    EXPECT_EQ(1, view->lastButtons & 1) << "the primary button is held during the press";
    EXPECT_EQ(40, view->lastLocation.x);
    EXPECT_EQ(30, view->lastLocation.y);

    INPUT release{};
    release.type = INPUT_MOUSE;
    release.mi.dwFlags = GetSystemMetrics(SM_SWAPBUTTON) ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    ASSERT_EQ(1u, SendInput(1, &release, sizeof(release)));
    pumpMessages();
    EXPECT_FALSE(p.isKeyHeld(platform::KeyLeftButton));
    EXPECT_FALSE(p.isKeyHeld(platform::KeyRightButton));

    Point where;
    ASSERT_TRUE(frame->getCurrentLocation(where));
    EXPECT_EQ(40, where.x);
    EXPECT_EQ(30, where.y);
    delete frame;
    pumpMessages();
}

TEST_F(Win32Windows, APressDeliveredAfterItsReleaseStillTellsWhatWasHeldAtThePress) {
    Frame* frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    auto* view = new RecordingView(Rect(0, 0, 300, 245));
    frame->addView(view);
    HWND window = reinterpret_cast<HWND>(frame->getWindow());
    pumpMessages();
    RECT screen{};
    GetWindowRect(window, &screen);
    ASSERT_TRUE(SetCursorPos(screen.left + 40, screen.top + 30));
    pumpMessages();

    // Control and the primary button are pressed and let go before this
    // thread reads its messages, as when a host's thread is busy for a
    // moment or a touchpad sends a tap's press and release together.
    const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    INPUT inputs[4] = {};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = VK_CONTROL;
    }
    inputs[1].type = inputs[2].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = swapped ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags = swapped ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
    inputs[3].ki.dwFlags = KEYEVENTF_KEYUP;
    ASSERT_EQ(4u, SendInput(4, inputs, sizeof(INPUT)));
    for (int i = 0; i < 200 && view->presses == 0; ++i) {
        pumpMessages();
        Sleep(5);
    }
    ASSERT_EQ(1, view->presses);
    EXPECT_EQ(0, view->lastButtons & (MouseLeft | MouseControl))
        << "the asynchronous state says up when the press is handled";
    EXPECT_EQ(MouseLeft | MouseControl, view->lastPressButtons) << "the message says held";
    delete frame;
    pumpMessages();
}

TEST_F(Win32Windows, DestroyingTheHostWindowClosesTheFrame) {
    std::string name = expectedClassName();
    Frame* frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
    auto* view = new RecordingView(Rect(0, 0, 50, 50));
    frame->addView(view);
    ASSERT_TRUE(p.dispatchOnePaintMessage());
    DestroyWindow(host);
    host = nullptr;
    EXPECT_FALSE(frame->isWindowOpen());
    EXPECT_EQ(nullptr, frame->getParentWindow());
    view->setDirty(true);
    frame->idle();
    EXPECT_EQ(1, view->draws);
    delete frame;
    EXPECT_FALSE(classRegistered(name));
}

// ----- Drag and drop -----

// A sink that records what it is told and reads the data it is offered.
class RecordingSink : public platform::DropSink {
public:
    explicit RecordingSink(int* deletions) : deleted(deletions) {}
    ~RecordingSink() override { ++*deleted; }

    uint32_t dragEnter(platform::DropData* data, uint32_t keys, platform::PixelPoint) override {
        accepting = data && (data->offersText() || data->offersFileList());
        return dragOver(keys, {});
    }
    uint32_t dragOver(uint32_t keys, platform::PixelPoint) override {
        if (!accepting) {
            return platform::DropEffectNone;
        }
        return keys & platform::DragKeyControl ? platform::DropEffectCopy
                                               : platform::DropEffectMove;
    }
    void dragLeave() override { ++leaves; }
    bool drop(platform::DropData* data, uint32_t, platform::PixelPoint) override {
        ++drops;
        const char* text = nullptr;
        size_t size = 0;
        if (data && data->lockText(text, size)) {
            droppedText = text;
            droppedSize = size;
            data->releaseText();
        } else if (data) {
            for (int32_t i = 0; i < data->fileCount(); ++i) {
                char path[1024];
                if (data->filePath(i, path, sizeof(path))) {
                    droppedFiles.push_back(path);
                }
            }
        }
        if (onDrop) {
            onDrop();
        }
        return take;
    }

    int* deleted;
    bool accepting = false;
    bool take = true;
    int leaves = 0;
    int drops = 0;
    std::string droppedText;
    size_t droppedSize = 0;
    std::vector<std::string> droppedFiles;
    std::function<void()> onDrop;
};

class Win32DragAndDrop : public testing::Test {
protected:
    void SetUp() override { OleInitialize(nullptr); }
    void TearDown() override { OleUninitialize(); }
    int deletions = 0;
};

TEST_F(Win32DragAndDrop, FeedbackFollowsTheDataAndTheControlKeyWithinWhatTheSourceAllows) {
    auto* sink = new RecordingSink(&deletions);
    IDropTarget* target = platform::win32::createDropTarget(sink);
    POINTL point{0, 0};
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;

    TestDataObject* text = TestDataObject::text("0.75");
    DWORD effect = both;
    EXPECT_EQ(S_OK, target->DragEnter(text, 0, point, &effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect);
    effect = both;
    target->DragOver(MK_CONTROL, point, &effect);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    effect = DROPEFFECT_COPY; // a source that only lets copy
    target->DragOver(0, point, &effect);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);
    effect = DROPEFFECT_LINK;
    target->DragOver(0, point, &effect);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    target->DragLeave();
    EXPECT_EQ(1, sink->leaves);
    text->Release();

    TestDataObject* files = TestDataObject::files({"C:\\a.wav"});
    effect = both;
    target->DragEnter(files, 0, point, &effect);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect);
    files->Release();

    TestDataObject* other = TestDataObject::other();
    effect = both;
    target->DragEnter(other, MK_CONTROL, point, &effect);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    other->Release();

    EXPECT_EQ(0, deletions);
    target->Release();
    EXPECT_EQ(1, deletions);
}

TEST_F(Win32DragAndDrop, DroppedTextAndFileListsReachTheSinkAndRefusedDropsReportNoEffect) {
    auto* sink = new RecordingSink(&deletions);
    IDropTarget* target = platform::win32::createDropTarget(sink);
    POINTL point{3, 4};
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;

    TestDataObject* text = TestDataObject::text("Room Size");
    DWORD effect = both;
    target->DragEnter(text, 0, point, &effect);
    effect = both;
    EXPECT_EQ(S_OK, target->Drop(text, MK_CONTROL, point, &effect));
    EXPECT_EQ("Room Size", sink->droppedText);
    EXPECT_EQ(10u, sink->droppedSize); // the whole memory block, terminator included
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);

    // A drop that nothing takes must not let the source delete what it moved.
    sink->take = false;
    effect = both;
    target->DragEnter(text, 0, point, &effect);
    effect = both;
    target->Drop(text, 0, point, &effect);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    text->Release();

    sink->take = true;
    TestDataObject* files =
        TestDataObject::files({"C:\\one.wav", "C:\\two\\three.wav", "D:\\four.txt"});
    effect = both;
    target->DragEnter(files, 0, point, &effect);
    effect = both;
    target->Drop(files, 0, point, &effect);
    ASSERT_EQ(3u, sink->droppedFiles.size());
    EXPECT_EQ("C:\\one.wav", sink->droppedFiles[0]);
    EXPECT_EQ("C:\\two\\three.wav", sink->droppedFiles[1]);
    EXPECT_EQ("D:\\four.txt", sink->droppedFiles[2]);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect);
    files->Release();
    target->Release();
}

TEST_F(Win32DragAndDrop, ASinkDetachedDuringItsDropIsDeletedWhenTheCallReturns) {
    auto* sink = new RecordingSink(&deletions);
    IDropTarget* target = platform::win32::createDropTarget(sink);
    int deletionsDuringDrop = -1;
    sink->onDrop = [&] {
        platform::win32::detachSink(target);
        deletionsDuringDrop = deletions;
    };
    TestDataObject* text = TestDataObject::text("x");
    POINTL point{0, 0};
    DWORD effect = DROPEFFECT_COPY;
    target->Drop(text, 0, point, &effect);
    EXPECT_EQ(0, deletionsDuringDrop);
    EXPECT_EQ(1, deletions);
    // A detached target refuses further drags.
    effect = DROPEFFECT_COPY;
    target->DragEnter(text, 0, point, &effect);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    text->Release();
    target->Release();
    EXPECT_EQ(1, deletions);
}

TEST_F(Win32DragAndDrop, RegistrationOwnsTheSinkFromTheStart) {
    platform::Platform& p = platform::win32::nativePlatform();
    // Refused (no window): the sink is deleted at once.
    EXPECT_FALSE(p.registerDropTarget(nullptr, new RecordingSink(&deletions)));
    EXPECT_EQ(1, deletions);
    EXPECT_FALSE(p.revokeDropTarget(nullptr));

    HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                  GetModuleHandleA(nullptr), nullptr);
    if (!window) {
        GTEST_SKIP() << "no display to open windows on";
    }
    auto handle = reinterpret_cast<platform::WindowHandle>(window);
    EXPECT_TRUE(p.registerDropTarget(handle, new RecordingSink(&deletions)));
    // A second registration for the same window is refused and its sink deleted.
    EXPECT_FALSE(p.registerDropTarget(handle, new RecordingSink(&deletions)));
    EXPECT_EQ(2, deletions);
    EXPECT_TRUE(p.revokeDropTarget(handle));
    EXPECT_EQ(3, deletions);
    EXPECT_FALSE(p.revokeDropTarget(handle));
    DestroyWindow(window);
}

TEST_F(Win32DragAndDrop, ShortcutsResolveToTheShortPathOfTheirTarget) {
    // Saving a shortcut makes the system start helper processes and threads,
    // which 32-bit Wine does not survive when it runs under an emulator.
    if (std::getenv("FUMARA_I386_EMULATED") && sizeof(void*) == 4) {
        GTEST_SKIP() << "32-bit Wine runs emulated on this machine";
    }
    char directory[MAX_PATH] = {};
    ASSERT_GT(GetTempPathA(sizeof(directory), directory), 0u);
    std::string targetPath = std::string(directory) + "fumara shortcut target.txt";
    std::string linkPath = std::string(directory) + "fumara shortcut.LNK";
    HANDLE file = CreateFileA(targetPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, file);
    CloseHandle(file);

    IShellLinkA* link = nullptr;
    ASSERT_EQ(S_OK, CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                     IID_IShellLinkA, reinterpret_cast<void**>(&link)));
    link->SetPath(targetPath.c_str());
    IPersistFile* persist = nullptr;
    ASSERT_EQ(S_OK, link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    WCHAR wide[MAX_PATH];
    MultiByteToWideChar(CP_ACP, 0, linkPath.c_str(), -1, wide, MAX_PATH);
    ASSERT_EQ(S_OK, persist->Save(wide, TRUE));
    persist->Release();
    link->Release();

    platform::Platform& p = platform::win32::nativePlatform();
    char path[1024];
    std::strcpy(path, linkPath.c_str());
    ASSERT_TRUE(p.resolveShortcut(path, sizeof(path)));
    // The short form of the target is asked for; a system without short
    // names answers the long one. Either names the target file.
    char resolved[MAX_PATH] = {};
    char expected[MAX_PATH] = {};
    ASSERT_GT(GetLongPathNameA(path, resolved, sizeof(resolved)), 0u) << path;
    ASSERT_GT(GetLongPathNameA(targetPath.c_str(), expected, sizeof(expected)), 0u);
    EXPECT_STRCASEEQ(expected, resolved);

    // A shortcut that does not exist leaves the path as it was.
    std::string missing = std::string(directory) + "no such shortcut.lnk";
    std::strcpy(path, missing.c_str());
    EXPECT_FALSE(p.resolveShortcut(path, sizeof(path)));
    EXPECT_EQ(missing, path);

    DeleteFileA(linkPath.c_str());
    DeleteFileA(targetPath.c_str());
}

// Real drags: DoDragDrop runs the system's drag loop in the test's thread,
// which finds the frame's window under the cursor and calls the drop target
// the frame registered.
class Win32OleDrag : public Win32Windows {
protected:
    void SetUp() override {
        Win32Windows::SetUp();
        if (IsSkipped()) {
            return;
        }
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        frame = new Frame(Rect(0, 0, 300, 245), host, nullptr);
        view = new RecordingDropView(Rect(0, 0, 300, 245));
        frame->addView(view);
        window = reinterpret_cast<HWND>(frame->getWindow());
        pumpMessages();
        RECT screen{};
        GetWindowRect(window, &screen);
        origin = POINT{screen.left, screen.top};
        // The host window reaches 120 pixels right of the frame and 75 below.
        outside = POINT{origin.x + 360, origin.y + 280};
    }

    void TearDown() override {
        delete frame;
        if (!IsSkipped()) {
            OleUninitialize();
        }
        Win32Windows::TearDown();
    }

    POINT inFrame(int32_t x, int32_t y) const { return POINT{origin.x + x, origin.y + y}; }

    Frame* frame = nullptr;
    RecordingDropView* view = nullptr;
    HWND window = nullptr;
    POINT origin{};
    POINT outside{};
};

TEST_F(Win32OleDrag, TextDraggedFromTheHostWindowOntoTheFrameIsDroppedAsAMove) {
    ASSERT_EQ(host, WindowFromPoint(outside));
    ASSERT_EQ(window, WindowFromPoint(inFrame(120, 90)));
    TestDataObject* text = TestDataObject::text("0.75");
    ScriptedDropSource source(win32test::dragPath(outside, inFrame(120, 90)));
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(DRAGDROP_S_DROP, source.run(text, DROPEFFECT_COPY | DROPEFFECT_MOVE, effect));

    // Over the host window nothing answers; over the frame a move is offered.
    ASSERT_FALSE(source.feedback.empty());
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), source.feedback.front());
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), source.feedback.back());
    EXPECT_FALSE(source.sawFeedback(DROPEFFECT_COPY));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_MOVE), effect);

    ASSERT_EQ(1, view->drops);
    EXPECT_EQ(DropTypeText, view->type);
    EXPECT_EQ(5, view->count); // the block with its terminator
    ASSERT_EQ(1u, view->received.size());
    EXPECT_EQ("0.75", view->received[0]);
    EXPECT_EQ(120, view->at.x);
    EXPECT_EQ(90, view->at.y);
    EXPECT_GE(text->fetches, 1);
    EXPECT_EQ(1u, text->referenceCount()) << "the drag loop gave back every reference it took";
    text->Release();
}

TEST_F(Win32OleDrag, AFileListDraggedWithControlHeldArrivesInOrderAsACopy) {
    TestDataObject* files =
        TestDataObject::files({"C:\\one.wav", "C:\\two\\three.wav", "D:\\four.txt"});
    ScriptedDropSource source(win32test::dragPath(outside, inFrame(30, 200)));
    DWORD effect = DROPEFFECT_NONE;
    HRESULT result;
    {
        ControlHeld control;
        result = source.run(files, DROPEFFECT_COPY | DROPEFFECT_MOVE, effect);
    }
    EXPECT_EQ(DRAGDROP_S_DROP, result);
    ASSERT_FALSE(source.keyStates.empty());
    EXPECT_TRUE(source.keyStates.back() & MK_CONTROL);
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), source.feedback.back());
    EXPECT_FALSE(source.sawFeedback(DROPEFFECT_MOVE));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_COPY), effect);

    ASSERT_EQ(1, view->drops);
    EXPECT_EQ(DropTypeFiles, view->type);
    ASSERT_EQ(3, view->count);
    EXPECT_EQ("C:\\one.wav", view->received[0]);
    EXPECT_EQ("C:\\two\\three.wav", view->received[1]);
    EXPECT_EQ("D:\\four.txt", view->received[2]);
    EXPECT_EQ(30, view->at.x);
    EXPECT_EQ(200, view->at.y);
    files->Release();
}

TEST_F(Win32OleDrag, OtherDataRefusedDropsAndCancelledDragsEndWithNoEffect) {
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;
    // Data in no format the toolkit reads: refused over the frame, never dropped.
    TestDataObject* other = TestDataObject::other();
    ScriptedDropSource refused(win32test::dragPath(outside, inFrame(150, 120)));
    DWORD effect = both;
    EXPECT_EQ(DRAGDROP_S_DROP, refused.run(other, both, effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    EXPECT_FALSE(refused.sawFeedback(DROPEFFECT_MOVE));
    EXPECT_FALSE(refused.sawFeedback(DROPEFFECT_COPY));
    EXPECT_EQ(0, view->drops);
    EXPECT_EQ(0, other->fetches);
    other->Release();

    // Text that the view under the cursor does not take: the source is told
    // nothing happened, so it keeps what it would have moved.
    view->takes = false;
    TestDataObject* text = TestDataObject::text("Room Size");
    ScriptedDropSource notTaken(win32test::dragPath(outside, inFrame(150, 120)));
    EXPECT_EQ(DRAGDROP_S_DROP, notTaken.run(text, both, effect));
    EXPECT_EQ(1, view->drops);
    EXPECT_EQ("Room Size", view->received[0]);
    EXPECT_TRUE(notTaken.sawFeedback(DROPEFFECT_MOVE));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);

    // A drag the source cancels over the frame drops nothing.
    view->takes = true;
    ScriptedDropSource cancelled(win32test::dragPath(outside, inFrame(150, 120)));
    cancelled.cancelAtEnd = true;
    EXPECT_EQ(DRAGDROP_S_CANCEL, cancelled.run(text, both, effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    EXPECT_TRUE(cancelled.sawFeedback(DROPEFFECT_MOVE));
    EXPECT_EQ(1, view->drops);

    // A drop outside the frame does not reach it.
    ScriptedDropSource elsewhere(win32test::dragPath(inFrame(150, 120), outside));
    EXPECT_EQ(DRAGDROP_S_DROP, elsewhere.run(text, both, effect));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    EXPECT_EQ(1, view->drops);
    text->Release();
}

TEST_F(Win32OleDrag, AFrameClosedDuringTheDragLeavesTheDropToNobody) {
    TestDataObject* text = TestDataObject::text("0.75");
    ScriptedDropSource source(win32test::dragPath(outside, inFrame(150, 120)));
    int dropsBeforeClose = -1;
    // The editor closes while the cursor is over it, before the drop.
    source.onStep = [&](size_t step) {
        if (step == source.path.size() - 1 && frame) {
            dropsBeforeClose = view->drops;
            delete frame;
            frame = nullptr;
            view = nullptr;
        }
    };
    DWORD effect = DROPEFFECT_NONE;
    EXPECT_EQ(DRAGDROP_S_DROP, source.run(text, DROPEFFECT_COPY | DROPEFFECT_MOVE, effect));
    EXPECT_EQ(0, dropsBeforeClose);
    EXPECT_TRUE(source.sawFeedback(DROPEFFECT_MOVE)) << "the frame answered while it was open";
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effect);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(1u, text->referenceCount());
    text->Release();
}

TEST(Win32Ole, FailedInitialisationsOnAHostThreadAreNotUndoneAgainstTheHostsOwn) {
    // A host thread in the multi-threaded apartment: the object-linking layer
    // cannot start there, and its uninitialise must leave the host's COM alone.
    HRESULT again = E_FAIL;
    int32_t ole = 0;
    std::thread host([&] {
        CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        platform::Platform& p = platform::win32::nativePlatform();
        ole = p.oleInitialize();
        p.oleUninitialize();
        again = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
        if (SUCCEEDED(again)) {
            CoUninitialize();
        }
        CoUninitialize();
    });
    host.join();
    EXPECT_LT(ole, 0);
    EXPECT_EQ(S_FALSE, again) << "the host's initialisation is still in place";
}

} // namespace
