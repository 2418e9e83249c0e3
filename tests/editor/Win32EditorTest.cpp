// The editor of the built plug-in module on the win32 backend, driven the way
// a host drives it: the module loaded through LoadLibrary and its entry point,
// the editor opened in a window of the test's own, painted by real GDI,
// dragged with real (injected) mouse input, made the target of real OLE
// drags, closed and opened again. Needs a
// display (Xvfb under Wine); without one the tests skip.
#include "host/AEffect.h"
#include "host/VstTypes.h"
#include "tests/gui/platform/win32/OleTestObjects.h"
#include "tools/PluginLoader.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

// Where the editor's pieces are, in editor coordinates (the first slider row).
constexpr int32_t kEditorWidth = 300;
constexpr int32_t kEditorHeight = 245;
constexpr int32_t kSliderLeft = 7;
constexpr int32_t kSliderTop = 31;
constexpr int32_t kHandleTop = kSliderTop + 6;
constexpr int32_t kHandleLeftAtZero = kSliderLeft + 1;
constexpr int32_t kTravel = 153; // trough 182 wide, handle 22, 12 to 165
constexpr int32_t kFirstSliderParameter = 2;

// Bitmap resources of the module.
constexpr int kPanelId = 101;
constexpr int kHandleId = 102;
constexpr int kTroughId = 103;

// A host callback that records what the editor reports (all calls come on
// the test's thread).
struct Automation {
    int32_t index;
    float value;
};

// Mouse input that the host's idle plays during a drag.
struct DragScript {
    bool armed = false;
    int32_t step = 0;
    int32_t fromX = 0;
    int32_t toX = 0;
    int32_t y = 0;
    DWORD release = 0;
};

void sendButton(DWORD flags);
void sendMove(int32_t x, int32_t y);

struct HostRecord {
    DragScript drag;
    std::vector<int32_t> opcodes;
    std::vector<Automation> automation;
    int beginEdits = 0;
    int endEdits = 0;
    int32_t beginIndex = -1;
    int32_t endIndex = -1;

    void reset() {
        opcodes.clear();
        automation.clear();
        beginEdits = 0;
        endEdits = 0;
        beginIndex = -1;
        endIndex = -1;
        drag = DragScript{};
    }
};

HostRecord record;

intptr_t VSTCALLBACK hostCallback(AEffect*, int32_t opcode, int32_t index, intptr_t, void*,
                                  float opt) {
    record.opcodes.push_back(opcode);
    switch (opcode) {
    case audioMasterVersion:
        return 2400;
    case audioMasterAutomate:
        record.automation.push_back({index, opt});
        break;
    case audioMasterBeginEdit:
        record.beginIndex = index;
        ++record.beginEdits;
        break;
    case audioMasterEndEdit:
        record.endIndex = index;
        ++record.endEdits;
        break;
    case audioMasterIdle: {
        DragScript& drag = record.drag;
        if (drag.armed && record.beginEdits > 0) {
            ++drag.step;
            if (drag.step <= 4) {
                sendMove(drag.fromX + (drag.toX - drag.fromX) * drag.step / 4, drag.y);
            } else {
                sendButton(drag.release);
            }
        }
        break;
    }
    default:
        break;
    }
    return 0;
}

void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

// The pixels of a bitmap resource of the module, top row first, as
// red + 256 green + 65536 blue (GDI decodes the file's pixel format).
struct Pixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint32_t> bgra;

    COLORREF at(int32_t x, int32_t y) const {
        const uint32_t p = bgra[static_cast<size_t>(y) * width + x];
        return RGB((p >> 16) & 0xff, (p >> 8) & 0xff, p & 0xff);
    }
};

Pixels readBitmap(HBITMAP bitmap) {
    Pixels result;
    BITMAP info{};
    if (!bitmap || !GetObjectA(bitmap, sizeof(info), &info)) {
        return result;
    }
    result.width = info.bmWidth;
    result.height = info.bmHeight;
    result.bgra.assign(static_cast<size_t>(info.bmWidth) * info.bmHeight, 0);
    BITMAPINFO header{};
    header.bmiHeader.biSize = sizeof(header.bmiHeader);
    header.bmiHeader.biWidth = info.bmWidth;
    header.bmiHeader.biHeight = -info.bmHeight; // top-down
    header.bmiHeader.biPlanes = 1;
    header.bmiHeader.biBitCount = 32;
    header.bmiHeader.biCompression = BI_RGB;
    HDC screen = GetDC(nullptr);
    const int rows =
        GetDIBits(screen, bitmap, 0, info.bmHeight, result.bgra.data(), &header, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != info.bmHeight) {
        result = Pixels{};
    }
    return result;
}

Pixels resourcePixels(HMODULE module, int id) {
    HBITMAP bitmap = static_cast<HBITMAP>(
        LoadImageA(module, MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    Pixels result = readBitmap(bitmap);
    if (bitmap) {
        DeleteObject(bitmap);
    }
    return result;
}

// What a window shows on the screen, copied through its device context.
Pixels windowPixels(HWND window) {
    Pixels result;
    RECT client{};
    GetClientRect(window, &client);
    HDC source = GetDC(window);
    HDC memory = CreateCompatibleDC(source);
    HBITMAP copy = CreateCompatibleBitmap(source, client.right, client.bottom);
    HGDIOBJ previous = SelectObject(memory, copy);
    BitBlt(memory, 0, 0, client.right, client.bottom, source, 0, 0, SRCCOPY);
    SelectObject(memory, previous);
    DeleteDC(memory);
    ReleaseDC(window, source);
    result = readBitmap(copy);
    DeleteObject(copy);
    return result;
}

bool sameColour(COLORREF a, COLORREF b) {
    // 16-bit artwork may be widened to 24 bits with a rounding that differs
    // between the screen and a DIB by a step; more is a different picture.
    auto close = [](int x, int y) { return std::abs(x - y) <= 8; };
    return close(GetRValue(a), GetRValue(b)) && close(GetGValue(a), GetGValue(b)) &&
           close(GetBValue(a), GetBValue(b));
}

void sendButton(DWORD flags) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof(input));
}

void sendMove(int32_t x, int32_t y) {
    SetCursorPos(x, y);
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE; // relative 0,0: the position is already set
    SendInput(1, &input, sizeof(input));
}

class Win32Editor : public testing::Test {
protected:
    static void SetUpTestSuite() { module = new PluginLoader(FUMARA_MODULE_PATH); }
    static void TearDownTestSuite() {
        delete module;
        module = nullptr;
    }

    void SetUp() override {
        ASSERT_TRUE(module->loaded()) << FUMARA_MODULE_PATH << ": " << module->error();
        auto entry = reinterpret_cast<PluginEntryPoint>(module->symbol("VSTPluginMain"));
        ASSERT_NE(nullptr, entry);
        record.reset();
        effect = entry(hostCallback);
        ASSERT_NE(nullptr, effect);
        ASSERT_TRUE(effect->flags & effFlagsHasEditor);

        WNDCLASSA windowClass{};
        windowClass.lpfnWndProc = DefWindowProcA;
        windowClass.hInstance = GetModuleHandleA(nullptr);
        windowClass.lpszClassName = "FumaraEditorTestHost";
        windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
        windowClass.hCursor = LoadCursor(nullptr, IDC_ARROW);
        RegisterClassA(&windowClass); // may exist from an earlier test

        ERect* size = nullptr;
        ASSERT_EQ(1, dispatch(effEditGetRect, 0, 0, &size));
        ASSERT_NE(nullptr, size);
        width = size->right - size->left;
        height = size->bottom - size->top;
        host = CreateWindowExA(WS_EX_TOPMOST, "FumaraEditorTestHost", "Editor host",
                               WS_POPUP | WS_VISIBLE, 60, 50, width, height, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        if (!host) {
            GTEST_SKIP() << "no display to open windows on";
        }
        pumpMessages();
    }

    void TearDown() override {
        if (effect) {
            dispatch(effEditClose);
            dispatch(effClose);
            effect = nullptr;
        }
        if (host && IsWindow(host)) {
            DestroyWindow(host);
        }
        pumpMessages();
    }

    intptr_t dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                      float opt = 0.0f) {
        return effect->dispatcher(effect, opcode, index, value, ptr, opt);
    }

    // Opens the editor in the host window and lets it paint; answers its
    // child window.
    HWND openEditor() {
        if (dispatch(effEditOpen, 0, 0, host) != 1) {
            return nullptr;
        }
        HWND child = GetWindow(host, GW_CHILD);
        if (!child) {
            return nullptr;
        }
        waitForPaint(child);
        return child;
    }

    // Pumps messages and idles the editor, as a host's loop does, until the
    // window has nothing left to paint (bounded).
    void waitForPaint(HWND child) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        int quiet = 0;
        while (std::chrono::steady_clock::now() < deadline && quiet < 5) {
            pumpMessages();
            dispatch(effEditIdle);
            quiet = GetUpdateRect(child, nullptr, FALSE) ? 0 : quiet + 1;
            Sleep(10);
        }
    }

    // Counts the handle's own pixels (those not of its transparent white)
    // that the window shows at handle left edge x of the first row.
    int32_t handlePixelsMatching(const Pixels& shown, const Pixels& handle, int32_t left,
                                 int32_t& opaque) const {
        int32_t matching = 0;
        opaque = 0;
        for (int32_t y = 0; y < handle.height; ++y) {
            for (int32_t x = 0; x < handle.width; ++x) {
                const COLORREF own = handle.at(x, y);
                if (own == RGB(255, 255, 255)) {
                    continue;
                }
                ++opaque;
                matching += sameColour(own, shown.at(left + x, kHandleTop + y)) ? 1 : 0;
            }
        }
        return matching;
    }

    static HMODULE pluginModule() { return GetModuleHandleA("fumara.dll"); }

    static PluginLoader* module;
    AEffect* effect = nullptr;
    HWND host = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

PluginLoader* Win32Editor::module = nullptr;

TEST_F(Win32Editor, OpensAChildWindowOfItsSizeAndPaintsThePanelWithTheHandleAtTheValue) {
    EXPECT_EQ(kEditorWidth, width);
    EXPECT_EQ(kEditorHeight, height);
    ASSERT_FLOAT_EQ(0.5f, effect->getParameter(effect, kFirstSliderParameter));

    HWND child = openEditor();
    ASSERT_NE(nullptr, child);
    RECT client{};
    GetClientRect(child, &client);
    EXPECT_EQ(kEditorWidth, client.right);
    EXPECT_EQ(kEditorHeight, client.bottom);

    const Pixels panel = resourcePixels(pluginModule(), kPanelId);
    const Pixels trough = resourcePixels(pluginModule(), kTroughId);
    const Pixels handle = resourcePixels(pluginModule(), kHandleId);
    ASSERT_EQ(kEditorWidth, panel.width);
    ASSERT_EQ(182, trough.width);
    ASSERT_EQ(22, handle.width);
    const Pixels shown = windowPixels(child);
    ASSERT_EQ(kEditorWidth, shown.width);
    ASSERT_EQ(kEditorHeight, shown.height);

    // The panel where no control covers it: corners, the title band, below
    // the last row, between the sliders and the value boxes.
    for (const POINT& p : {POINT{2, 2}, POINT{150, 5}, POINT{297, 242}, POINT{150, 232},
                           POINT{260, 120}, POINT{2, 120}}) {
        EXPECT_TRUE(sameColour(panel.at(p.x, p.y), shown.at(p.x, p.y)))
            << "panel at " << p.x << "," << p.y;
    }
    // The trough of the first row away from the handle, at both ends.
    for (const POINT& p : {POINT{3, 13}, POINT{40, 13}, POINT{170, 13}, POINT{178, 3}}) {
        EXPECT_TRUE(sameColour(trough.at(p.x, p.y), shown.at(kSliderLeft + p.x, kSliderTop + p.y)))
            << "trough at " << p.x << "," << p.y;
    }
    // Value 0.5: the handle's left edge 76 pixels (153 x 0.5, truncated)
    // along from where it stands at 0.
    const int32_t expectedLeft = kHandleLeftAtZero + kTravel / 2;
    EXPECT_EQ(84, expectedLeft);
    int32_t opaque = 0;
    const int32_t matching = handlePixelsMatching(shown, handle, expectedLeft, opaque);
    EXPECT_GT(opaque, 100);
    EXPECT_EQ(opaque, matching);
    // One pixel to either side no longer lines up.
    EXPECT_LT(handlePixelsMatching(shown, handle, expectedLeft - 1, opaque), opaque);
    EXPECT_LT(handlePixelsMatching(shown, handle, expectedLeft + 1, opaque), opaque);
}

TEST_F(Win32Editor, DraggingTheFirstHandleToTheRightEndAutomatesRoomSizeToOne) {
    HWND child = openEditor();
    ASSERT_NE(nullptr, child);
    POINT origin{0, 0};
    ASSERT_TRUE(ClientToScreen(child, &origin));
    const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    const DWORD down = swapped ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
    const DWORD up = swapped ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;

    // The press lands on the middle of the handle (value 0.5).
    const int32_t grabX = origin.x + 84 + 11;
    const int32_t grabY = origin.y + kHandleTop + 8;
    const int32_t endX = origin.x + 230; // past the right end of the travel
    const float neighbour = effect->getParameter(effect, kFirstSliderParameter + 1);
    sendMove(grabX, grabY);
    pumpMessages();
    record.reset();

    // The slider follows the mouse in a loop of its own inside the press
    // message, reading the button state and cursor position, and calls the
    // host's idle about every 100 ms while it runs. The host's idle moves the
    // mouse towards the right end, a quarter of the way each time, then
    // releases the button (again at every later idle, until the loop ends).
    record.drag = DragScript{true, 0, grabX, endX, grabY, up};
    sendButton(down);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline && record.endEdits == 0) {
        pumpMessages();
        dispatch(effEditIdle);
        Sleep(5);
    }
    record.drag.armed = false;
    sendButton(up); // in case the press never reached the slider
    pumpMessages();

    EXPECT_EQ(1, record.beginEdits);
    EXPECT_EQ(kFirstSliderParameter, record.beginIndex);
    EXPECT_EQ(1, record.endEdits);
    EXPECT_EQ(kFirstSliderParameter, record.endIndex);
    ASSERT_FALSE(record.automation.empty());
    for (const Automation& a : record.automation) {
        EXPECT_EQ(kFirstSliderParameter, a.index);
    }
    EXPECT_FLOAT_EQ(1.0f, record.automation.back().value);
    // Begin before the first automation, end after the last.
    size_t begin = record.opcodes.size();
    size_t firstAutomate = record.opcodes.size();
    size_t lastAutomate = 0;
    size_t end = 0;
    for (size_t i = 0; i < record.opcodes.size(); ++i) {
        const int32_t op = record.opcodes[i];
        if (op == audioMasterBeginEdit) {
            begin = i;
        } else if (op == audioMasterEndEdit) {
            end = i;
        } else if (op == audioMasterAutomate) {
            firstAutomate = std::min(firstAutomate, i);
            lastAutomate = i;
        }
    }
    EXPECT_LT(begin, firstAutomate);
    EXPECT_GT(end, lastAutomate);
    EXPECT_FLOAT_EQ(1.0f, effect->getParameter(effect, kFirstSliderParameter));
    // The neighbour row was not touched.
    EXPECT_FLOAT_EQ(neighbour, effect->getParameter(effect, kFirstSliderParameter + 1));

    // The handle is drawn at the right end.
    waitForPaint(child);
    const Pixels handle = resourcePixels(pluginModule(), kHandleId);
    const Pixels shown = windowPixels(child);
    ASSERT_EQ(kEditorWidth, shown.width);
    int32_t opaque = 0;
    EXPECT_EQ(handlePixelsMatching(shown, handle, kHandleLeftAtZero + kTravel, opaque), opaque);
}

TEST_F(Win32Editor, ClicksHandledAfterTheirReleaseActOnce) {
    effect->setParameter(effect, kFirstSliderParameter + 1, 0.8f);
    HWND child = openEditor();
    ASSERT_NE(nullptr, child);
    POINT origin{0, 0};
    ASSERT_TRUE(ClientToScreen(child, &origin));
    const bool swapped = GetSystemMetrics(SM_SWAPBUTTON) != 0;
    // Press and release (with Control around them when asked) are sent
    // together before the host's loop runs again: the press message is read
    // after the release. The host's loop then runs until the click has
    // acted, and 100 ms more.
    auto quickClick = [&](int32_t x, int32_t y, bool control) {
        sendMove(origin.x + x, origin.y + y);
        pumpMessages();
        record.reset();
        std::vector<INPUT> inputs;
        INPUT key{};
        key.type = INPUT_KEYBOARD;
        key.ki.wVk = VK_CONTROL;
        if (control) {
            inputs.push_back(key);
        }
        INPUT button{};
        button.type = INPUT_MOUSE;
        button.mi.dwFlags = swapped ? MOUSEEVENTF_RIGHTDOWN : MOUSEEVENTF_LEFTDOWN;
        inputs.push_back(button);
        button.mi.dwFlags = swapped ? MOUSEEVENTF_RIGHTUP : MOUSEEVENTF_LEFTUP;
        inputs.push_back(button);
        if (control) {
            key.ki.dwFlags = KEYEVENTF_KEYUP;
            inputs.push_back(key);
        }
        SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
        bool acted = false;
        while (std::chrono::steady_clock::now() < deadline) {
            pumpMessages();
            dispatch(effEditIdle);
            if (!acted && (record.endEdits > 0 || !record.automation.empty())) {
                acted = true;
                deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(100);
            }
            Sleep(10);
        }
    };
    // The edits and automation, in order.
    auto sequence = [] {
        std::string out;
        size_t automated = 0;
        for (int32_t op : record.opcodes) {
            std::string step;
            if (op == audioMasterBeginEdit) {
                step = "begin";
            } else if (op == audioMasterEndEdit) {
                step = "end";
            } else if (op == audioMasterAutomate && automated < record.automation.size()) {
                const Automation& a = record.automation[automated++];
                char text[48];
                std::snprintf(text, sizeof text, "automate %d %.9g", a.index, double(a.value));
                step = text;
            }
            if (!step.empty()) {
                out += (out.empty() ? "" : ", ") + step;
            }
        }
        return out;
    };
    auto number = [](float value) {
        char text[32];
        std::snprintf(text, sizeof text, "%.9g", double(value));
        return std::string(text);
    };

    // On the first row's track, beside its handle (value 0.5): the handle's
    // centre moves to the mouse, 131 pixels along the travel.
    quickClick(150, kHandleTop + 8, false);
    EXPECT_EQ("begin, automate 2 " + number(131.0f / 153.0f) + ", end", sequence());
    EXPECT_EQ(kFirstSliderParameter, record.beginIndex);
    EXPECT_EQ(kFirstSliderParameter, record.endIndex);
    // With Control on the second row (at 0.8): back to 0.5, no edit.
    quickClick(100, kHandleTop + 26 + 8, true);
    EXPECT_EQ("automate 3 0.5", sequence());
    // On the first row's handle, now centred at 150: nothing changes.
    quickClick(150, kHandleTop + 8, false);
    EXPECT_EQ("begin, end", sequence());
    EXPECT_FLOAT_EQ(131.0f / 153.0f, effect->getParameter(effect, kFirstSliderParameter));
}

TEST_F(Win32Editor, WheelInputAtTheFocusStepsTheSliderUnderThePointerInWholeNotches) {
    HWND child = openEditor();
    ASSERT_NE(nullptr, child);
    POINT origin{0, 0};
    ASSERT_TRUE(ClientToScreen(child, &origin));
    SetFocus(child);
    // Over the second row (at 0): three thirds of a notch, a notch up, a third
    // down (a turn the other way starts afresh), a notch down.
    sendMove(origin.x + 100, origin.y + kHandleTop + 26 + 8);
    for (int32_t distance : {40, 40, 40, 120, -40, -120}) {
        INPUT wheel{};
        wheel.type = INPUT_MOUSE;
        wheel.mi.mouseData = static_cast<DWORD>(distance);
        wheel.mi.dwFlags = MOUSEEVENTF_WHEEL;
        SendInput(1, &wheel, sizeof(wheel));
    }
    for (int i = 0; i < 300 && record.endEdits == 0; ++i) {
        pumpMessages();
        dispatch(effEditIdle);
        Sleep(10);
    }
    ASSERT_EQ(3u, record.automation.size());
    EXPECT_EQ(kFirstSliderParameter + 1, record.automation[2].index);
    EXPECT_FLOAT_EQ(0.1f, record.automation[2].value);
    EXPECT_EQ(1, record.beginEdits);
    EXPECT_EQ(1, record.endEdits);
}

TEST_F(Win32Editor, CloseRemovesTheChildWindowAndReopeningShowsTheCurrentValue) {
    HWND child = openEditor();
    ASSERT_NE(nullptr, child);
    dispatch(effEditClose);
    pumpMessages();
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(nullptr, GetWindow(host, GW_CHILD));

    // A value set by the host while closed shows when the editor opens again.
    // (A quarter: clear of the lowest values, where the handle stops at the
    // start of its travel.)
    effect->setParameter(effect, kFirstSliderParameter, 0.25f);
    HWND reopened = openEditor();
    ASSERT_NE(nullptr, reopened);
    EXPECT_EQ(host, GetParent(reopened));
    const Pixels handle = resourcePixels(pluginModule(), kHandleId);
    const Pixels shown = windowPixels(reopened);
    ASSERT_EQ(kEditorWidth, shown.width);
    int32_t opaque = 0;
    const int32_t expectedLeft = kHandleLeftAtZero + kTravel / 4; // 38.25 truncated
    EXPECT_EQ(46, expectedLeft);
    EXPECT_EQ(handlePixelsMatching(shown, handle, expectedLeft, opaque), opaque);
    EXPECT_GT(opaque, 100);

    dispatch(effEditClose);
    pumpMessages();
    EXPECT_FALSE(IsWindow(reopened));
    EXPECT_EQ(nullptr, GetWindow(host, GW_CHILD));
}

TEST_F(Win32Editor, RealDragsOntoTheEditorAreAnsweredButNoControlTakesTheirData) {
    HWND child = openEditor();
    ASSERT_NE(nullptr, child);
    POINT origin{0, 0};
    ASSERT_TRUE(ClientToScreen(child, &origin));
    // From the desktop onto the first slider's handle.
    const POINT away{origin.x + kEditorWidth + 200, origin.y + kEditorHeight + 150};
    const POINT onHandle{origin.x + 84 + 11, origin.y + kHandleTop + 8};
    ASSERT_EQ(child, WindowFromPoint(onHandle));
    std::vector<float> before;
    for (int32_t i = 0; i < effect->numParams; ++i) {
        before.push_back(effect->getParameter(effect, i));
    }
    record.reset();
    const DWORD both = DROPEFFECT_COPY | DROPEFFECT_MOVE;

    // The editor offers a move for text and a copy with Control held, but no
    // control takes dropped data, so the source is told nothing happened.
    win32test::TestDataObject* text = win32test::TestDataObject::text("1.0");
    win32test::ScriptedDropSource textDrag(win32test::dragPath(away, onHandle));
    DWORD effectShown = both;
    EXPECT_EQ(DRAGDROP_S_DROP, textDrag.run(text, both, effectShown));
    EXPECT_TRUE(textDrag.sawFeedback(DROPEFFECT_MOVE));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effectShown);

    win32test::TestDataObject* files = win32test::TestDataObject::files({"C:\\take.wav"});
    win32test::ScriptedDropSource fileDrag(win32test::dragPath(away, onHandle));
    {
        win32test::ControlHeld control;
        EXPECT_EQ(DRAGDROP_S_DROP, fileDrag.run(files, both, effectShown));
    }
    EXPECT_TRUE(fileDrag.sawFeedback(DROPEFFECT_COPY));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effectShown);
    EXPECT_EQ(1u, files->referenceCount());
    files->Release();

    for (int32_t i = 0; i < effect->numParams; ++i) {
        EXPECT_FLOAT_EQ(before[static_cast<size_t>(i)], effect->getParameter(effect, i)) << i;
    }
    EXPECT_TRUE(record.automation.empty());
    EXPECT_EQ(0, record.beginEdits);

    // The host closes the editor while the drag is over it: the drop finds
    // no editor, and the effect goes on as before.
    win32test::ScriptedDropSource closing(win32test::dragPath(away, onHandle));
    closing.onStep = [&](size_t step) {
        if (step + 1 == closing.path.size()) {
            dispatch(effEditClose);
        }
    };
    EXPECT_EQ(DRAGDROP_S_DROP, closing.run(text, both, effectShown));
    EXPECT_EQ(static_cast<DWORD>(DROPEFFECT_NONE), effectShown);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(1u, text->referenceCount());
    text->Release();
    EXPECT_FLOAT_EQ(before[kFirstSliderParameter],
                    effect->getParameter(effect, kFirstSliderParameter));

    // And it opens again with the handle where the value is.
    HWND reopened = openEditor();
    ASSERT_NE(nullptr, reopened);
    const Pixels handle = resourcePixels(pluginModule(), kHandleId);
    const Pixels shown = windowPixels(reopened);
    ASSERT_EQ(kEditorWidth, shown.width);
    int32_t opaque = 0;
    EXPECT_EQ(handlePixelsMatching(shown, handle, kHandleLeftAtZero + kTravel / 2, opaque), opaque);
}

} // namespace
