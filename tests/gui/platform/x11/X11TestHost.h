// A stand-in for a Linux host's windowing side: its own X connection, the
// top-level window it gives an editor, synthetic mouse and keyboard input
// through the XTest extension, and a reader of a window's pixels. Below it,
// the host side of an editor test: a host callback that records what the
// editor asks, and a fixture that opens the editor in the host's window.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/x11/X11Platform.h"
#include "host/AEffect.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <string>
#include <thread>
#include <vector>

// Xlib last: its macros (None, Bool, ...) clash with names in other headers.
// clang-format off
#include <X11/Xlib.h>
// clang-format on

class X11TestHost {
public:
    X11TestHost();
    ~X11TestHost();
    X11TestHost(const X11TestHost&) = delete;
    X11TestHost& operator=(const X11TestHost&) = delete;

    // Whether an X server could be reached; why not, when it could not.
    bool available() const { return display != nullptr; }
    const std::string& unavailableReason() const { return reason; }
    bool hasXTest() const { return xtest; }
    Display* connection() const { return display; }

    // A mapped top-level window at a screen position, as a host makes one for
    // a plug-in editor; answers once the server shows it.
    Window createHostWindow(int x, int y, int width, int height);
    // Destroys a window and waits until the server has done it.
    void destroyWindow(Window window);

    // The children of a window.
    std::vector<Window> children(Window window);
    bool geometry(Window window, int& x, int& y, int& width, int& height);
    bool viewable(Window window);
    // The window's top-left corner on the screen.
    bool screenOrigin(Window window, int& x, int& y);
    // The 32-bit items of a window property (empty when it has none).
    std::vector<unsigned long> property(Window window, const char* name);
    std::string title(Window window);

    // The window's pixels as red + 256 green + 65536 blue, top row first.
    std::vector<uint32_t> capture(Window window, int width, int height);

    // Synthetic input (XTest), each answered once the server has it.
    void movePointer(int screenX, int screenY);
    void button(unsigned int button, bool press);
    void key(unsigned long keysym, bool press);
    // The pointer's button mapping: physical button i + 1 gives logical map[i].
    bool setButtonMap(const std::vector<unsigned char>& map);
    // Asks the server to send an Expose for an area of a window.
    void expose(Window window, int x, int y, int width, int height);
    void sync();

private:
    Display* display = nullptr;
    bool xtest = false;
    std::string reason;
    std::vector<Window> created;
};

// Pixels of one rendering against another: how many differ.
int32_t countDifferences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b);

// A host call the editor made (idle calls are left out).
struct HostCall {
    int32_t opcode;
    int32_t index;
    float opt;
};
// Every call recordingHost received since the last clear.
extern std::vector<HostCall> hostCalls;

// A host callback that says it is version 2400 and records every other call.
intptr_t VSTCALLBACK recordingHost(AEffect*, int32_t opcode, int32_t index, intptr_t, void*,
                                   float opt);

// An editor opened by the host in its own X window: skipped without an X
// server, starting with no host calls and no backend chosen, and closing the
// editor and the effect at the end, after which no X11 window or connection
// may remain.
class X11HostedEditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!host.available()) {
            GTEST_SKIP() << host.unavailableReason();
        }
        hostCalls.clear();
        platform::setCurrent(nullptr);
    }

    void TearDown() override {
        if (!host.available()) {
            return;
        }
        dispatch(effEditClose);
        dispatch(effClose);
        EXPECT_EQ(platform::x11::diagnostics().windows, 0);
        EXPECT_FALSE(platform::x11::diagnostics().connected);
    }

    intptr_t dispatch(int32_t opcode, void* ptr = nullptr) {
        return record->dispatcher(record, opcode, 0, 0, ptr, 0.0f);
    }

    // Idles as a host does, every 10 ms for up to 5 s, until the condition holds.
    bool idleUntil(const std::function<bool()>& condition) {
        for (int i = 0; i < 500; ++i) {
            dispatch(effEditIdle);
            if (condition()) {
                return true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return false;
    }

    // How many recorded host calls have this opcode (and this index).
    int calls(int32_t opcode) const {
        int n = 0;
        for (const HostCall& c : hostCalls) {
            n += c.opcode == opcode ? 1 : 0;
        }
        return n;
    }
    int calls(int32_t opcode, int32_t index) const {
        int n = 0;
        for (const HostCall& c : hostCalls) {
            n += c.opcode == opcode && c.index == index ? 1 : 0;
        }
        return n;
    }

    X11TestHost host;
    Window hostWindow = 0;
    AEffect* record = nullptr;
};
