// The scripted world the toolkit's tests run in: the headless backend with a
// clock, input, paint requests, drags from other applications, bitmap
// resources, failure injection and call counters that a test sets up and
// reads. Everything is deterministic: the clock moves only when the script
// sets it or when someone sleeps. Built for the tests only, never into the
// plug-in.
#pragma once

#include "gui/platform/headless/HeadlessPlatform.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace platform::headless {

using software::Surface;

// Data carried by a scripted drag from another application: 8-bit text, a
// file list, or something the toolkit does not take. Counts what the drop
// target did with it.
class ScriptedDropData : public DropData {
public:
    // Text in a memory block holding the text and its terminator.
    static ScriptedDropData text(const std::string& text);
    // A text memory block exactly as given (it may lack a terminator, or hold
    // one before its end).
    static ScriptedDropData textBlock(const std::string& block);
    static ScriptedDropData files(const std::vector<std::string>& paths);
    // Data in a format that is neither text nor a file list.
    static ScriptedDropData other();

    // Makes fetching the path at index fail, as for an unreadable entry.
    void failPath(int32_t index) { failing.insert(index); }

    bool offersText() override { return hasText; }
    bool offersFileList() override { return hasFiles; }
    bool lockText(const char*& text, size_t& size) override;
    void releaseText() override;
    int32_t fileCount() override;
    // Copies at most bufferSize - 1 bytes of the path and a terminator; fails
    // for an unknown index, an empty path or a failing entry.
    bool filePath(int32_t index, char* buffer, size_t bufferSize) override;

    int32_t textLocks() const { return locks; }
    int32_t textReleases() const { return releases; }
    bool textLocked() const { return locks > releases; }
    int32_t pathFetches() const { return fetches; }

private:
    bool hasText = false;
    bool hasFiles = false;
    std::vector<char> block;
    std::vector<std::string> paths;
    std::set<int32_t> failing;
    int32_t locks = 0;
    int32_t releases = 0;
    int32_t fetches = 0;
};

// What became of a scripted drop.
enum class DropOutcome {
    NoTarget, // no window under the point (or its parents) takes drops
    Refused,  // the drop target did not take the data
    Taken,    // the drop target took it
};

class ScriptedPlatform : public HeadlessPlatform {
public:
    using ContextState = software::ContextState;

    ScriptedPlatform();
    ~ScriptedPlatform() override;

    // ----- Platform, as the script has it -----
    ModuleHandle moduleHandle() override { return module; }
    int32_t oleInitialize() override;
    void oleUninitialize() override;
    uint32_t tickCount() override { return clock; }
    void sleep(uint32_t milliseconds) override;
    bool isKeyHeld(int32_t key) override { return isHeld(key); }
    bool cursorPosition(PixelPoint& screen) override;
    bool mouseButtonsSwapped() override { return swapped; }
    uint32_t doubleClickTime() override { return doubleClick; }
    ObjectHandle createPen(int32_t style, int32_t width, ColourRef colour) override;
    ObjectHandle createSolidBrush(ColourRef colour) override;
    ObjectHandle createFont(const FontDescription& font) override;
    bool blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                   int32_t height, DeviceContextHandle source, int32_t sourceX, int32_t sourceY,
                   uint32_t rop) override;
    bool transparentCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                         int32_t height, DeviceContextHandle source, int32_t sourceX,
                         int32_t sourceY, ColourRef transparent) override;
    ObjectHandle loadBitmapResource(ModuleHandle module, uint16_t id) override;
    bool resolveShortcut(char* path, size_t bufferSize) override;
    // The scripted desktop's scale, the same for every window.
    int32_t desktopScale(WindowHandle) override { return desktopPercent; }

    // ----- The script -----
    void setModuleHandle(ModuleHandle handle) { module = handle; }

    // Clock: moves only here and in sleep(); due scheduled actions then run.
    void setTickCount(uint32_t now);
    void advanceClock(uint32_t milliseconds) { setTickCount(clock + milliseconds); }
    // Runs `action` once the clock reaches `tick` (ticks compared modulo 2^32,
    // within half the range); actions run in the order they were scheduled.
    void schedule(uint32_t tick, std::function<void()> action);
    // Every sleep(ms) so far, in order.
    const std::vector<uint32_t>& sleeps() const { return sleepLog; }
    void clearSleeps() { sleepLog.clear(); }

    // Input. Keys are Key... values; buttons are the PHYSICAL buttons.
    void setKeyHeld(int32_t key, bool held);
    void releaseAllKeys() { heldKeys.clear(); }
    void setCursor(PixelPoint screen) { cursor = screen; }
    void setButtonsSwapped(bool state) { swapped = state; }
    void setDoubleClickTime(uint32_t milliseconds) { doubleClick = milliseconds; }
    // Presses a physical button over a window at a client position: the button
    // becomes held, the cursor moves there and the window procedure receives the
    // button-down message (the left one for the primary button) with what is
    // held now in its wParam. Answers the procedure's result, or -1 when the
    // window is unknown.
    intptr_t pressButton(WindowHandle window, int32_t physicalButton, PixelPoint client);
    // A cursor movement during a held press: `after` ms from the press, to a
    // position in the pressed window's client coordinates.
    struct Move {
        uint32_t after;
        PixelPoint client;
    };
    // Presses a physical button as pressButton does, holds it for `holdFor` ms
    // of the clock while the cursor makes `moves`, and lets go. The clock ends
    // past the release, whether or not the window procedure waited for it.
    void holdButton(WindowHandle window, int32_t physicalButton, PixelPoint client,
                    uint32_t holdFor, const std::vector<Move>& moves = {});
    // The wParam of a button-down message made now: the Press... bits of the
    // buttons (logical) and modifiers held.
    uintptr_t pressState() const;
    // Sends any message straight to a window's procedure (-1 for unknown windows).
    using HeadlessPlatform::sendMessage;

    // Windows: adds to the window's update region, as when part of it is uncovered.
    void requestPaint(WindowHandle window, const PixelRect& area, bool erase = true);

    // System. Without the platform's transparent copy, transparent copies go
    // through a one-bit mask, as on a system without the optional library.
    void setPlatformTransparentCopy(bool available) { platformCopy = available; }
    // The desktop's scale in percent that desktopScale answers (0: unknown).
    void setDesktopScale(int32_t percent) { desktopPercent = percent; }
    // While set, creating a pen, brush or font fails (answers null).
    void setObjectCreationFails(bool fails) { failCreations = fails; }
    // A shortcut file and the path it points to, for resolveShortcut.
    void addShortcut(const std::string& path, const std::string& target);

    // Drags from another application (ScriptedDrags.cpp). Each step moves the
    // cursor to `screen` and talks to the drop target registered for the
    // window under it (the deepest visible window there, or else the nearest
    // of its parents that has a target), as the platform's drag loop does:
    // moving onto another target leaves the previous one and enters the new
    // one. The data stays the caller's and must outlive the drag. Steps answer
    // the drop effect (DropEffectNone where no target is under the point).
    uint32_t dragEnter(DropData* data, uint32_t keyState, PixelPoint screen);
    uint32_t dragOver(uint32_t keyState, PixelPoint screen);
    // The drag leaves the windows (cancelled, or moved off them).
    void dragLeave();
    // Drops onto the target under the point and ends the drag.
    DropOutcome drop(uint32_t keyState, PixelPoint screen);
    bool dragInProgress() const { return dragging; }
    // The window whose target the drag is over now, or null.
    WindowHandle dragTarget() const;
    // The window that takes drops at a screen point, or null.
    WindowHandle dropTargetAt(PixelPoint screen) const;

    // Bitmap resources: these take precedence over the embedded ones.
    void addBitmapResource(uint16_t id, int32_t width, int32_t height,
                           const std::vector<uint32_t>& pixels);
    bool addBitmapResourceFromBmp(uint16_t id, const std::vector<uint8_t>& file);

    // ----- Inspection -----
    using HeadlessPlatform::brushOf;
    using HeadlessPlatform::contextState;
    using HeadlessPlatform::fontOf;
    using HeadlessPlatform::liveContextCount;
    using HeadlessPlatform::liveObjectCount;
    using HeadlessPlatform::penOf;

    struct WindowInfo {
        std::string className;
        std::string title;
        uint32_t style;
        PixelRect rect; // in the parent's client coordinates (screen for host windows)
        WindowHandle parent;
        ModuleHandle module;
    };
    bool windowInfo(WindowHandle window, WindowInfo& info) const;
    bool windowExists(WindowHandle handle) const { return window(handle) != nullptr; }
    std::vector<WindowHandle> childWindows(WindowHandle parent) const;
    bool windowClassExists(const std::string& name) const;
    size_t windowClassCount() const { return allClasses().size(); }
    DropSink* dropSinkOf(WindowHandle window) const;

    int32_t oleBalance() const { return ole; }
    // Transparent copies made with the platform's own copy.
    int32_t transparentCopyCalls() const { return transparentCalls; }
    int32_t blockCopyCalls() const { return blockCalls; }

protected:
    void retireSink(std::unique_ptr<DropSink> sink) override;

private:
    struct ScheduledAction {
        uint32_t tick;
        uint64_t order;
        std::function<void()> action;
    };

    bool isHeld(int32_t key) const { return heldKeys.count(key) != 0; }
    void runDueActions();
    // Moves the drag to the target under the point (leaving and entering as
    // needed) and answers its effect.
    uint32_t dragTo(uint32_t keyState, PixelPoint screen);
    bool windowShown(uintptr_t handle) const;
    // Calls a window's sink, keeping sinks revoked meanwhile alive until the
    // call has returned. Answers false when the window has no sink.
    template <typename Call> bool callSink(uintptr_t handle, Call&& call);

    ModuleHandle module;
    uint32_t clock = 0;
    std::vector<uint32_t> sleepLog;
    std::vector<ScheduledAction> scheduled;
    uint64_t scheduleOrder = 0;
    bool runningActions = false;
    std::set<int32_t> heldKeys;
    PixelPoint cursor{0, 0};
    bool swapped = false;
    uint32_t doubleClick = 500;
    bool platformCopy = true;
    bool failCreations = false;
    int32_t desktopPercent = 100;
    int32_t ole = 0;
    int32_t transparentCalls = 0;
    int32_t blockCalls = 0;
    std::map<std::string, std::string> shortcuts;
    std::map<uint16_t, Surface> resources;

    bool dragging = false;
    DropData* dragData = nullptr;
    uintptr_t dragWindow = 0; // the window whose target the drag entered
    int32_t sinkCalls = 0;    // sink calls in progress
    std::vector<std::unique_ptr<DropSink>> retiredSinks;
};

} // namespace platform::headless
