// The headless backend: in-memory 32-bit surfaces drawn with the platform's
// pixel rules, text through a real font rasteriser, and a scripted world (held
// buttons and keys, cursor, clock, paint requests, button presses) that a test
// or a snapshot tool sets up. Everything is deterministic: the clock moves only
// when the script sets it or when someone sleeps.
#pragma once

#include "gui/platform/Platform.h"
#include "gui/platform/headless/Pixels.h"
#include "gui/platform/headless/TextRasteriser.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace platform::headless {

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

class HeadlessPlatform : public Platform {
public:
    HeadlessPlatform();
    ~HeadlessPlatform() override;
    HeadlessPlatform(const HeadlessPlatform&) = delete;
    HeadlessPlatform& operator=(const HeadlessPlatform&) = delete;

    // ----- Platform -----
    ModuleHandle moduleHandle() override { return module; }
    LibraryHandle loadLibrary(const char* name) override;
    ProcedureHandle findProcedure(LibraryHandle library, const char* name) override;
    void freeLibrary(LibraryHandle library) override;
    int32_t platformFamily() override { return family; }
    int32_t oleInitialize() override;
    void oleUninitialize() override;
    // The scripted desktop's scale, the same for every window.
    int32_t desktopScale(WindowHandle window) override { return desktopPercent; }

    uint32_t tickCount() override { return clock; }
    void sleep(uint32_t milliseconds) override;

    bool isKeyHeld(int32_t key) override { return isHeld(key); }
    bool cursorPosition(PixelPoint& screen) override;
    bool mouseButtonsSwapped() override { return swapped; }
    uint32_t doubleClickTime() override { return doubleClick; }

    ObjectHandle createPen(int32_t style, int32_t width, ColourRef colour) override;
    ObjectHandle createSolidBrush(ColourRef colour) override;
    ObjectHandle createFont(const FontDescription& font) override;
    ObjectHandle stockObject(StockObject which) override;
    bool deleteObject(ObjectHandle object) override;
    ObjectHandle currentObject(DeviceContextHandle dc, ObjectKind kind) override;
    ObjectHandle selectObject(DeviceContextHandle dc, ObjectHandle object) override;

    int32_t setBackgroundMode(DeviceContextHandle dc, int32_t mode) override;
    ColourRef setBackgroundColour(DeviceContextHandle dc, ColourRef colour) override;
    ColourRef setTextColour(DeviceContextHandle dc, ColourRef colour) override;

    bool moveTo(DeviceContextHandle dc, int32_t x, int32_t y) override;
    bool lineTo(DeviceContextHandle dc, int32_t x, int32_t y) override;
    bool fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) override;
    bool drawText(DeviceContextHandle dc, const char* text, const PixelRect& rect,
                  int32_t alignment) override;

    DeviceContextHandle createCompatibleDC(DeviceContextHandle dc) override;
    bool deleteDC(DeviceContextHandle dc) override;
    ObjectHandle createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                        int32_t height) override;
    ObjectHandle createMonochromeBitmap(int32_t width, int32_t height) override;
    bool bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) override;
    bool blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                   int32_t height, DeviceContextHandle source, int32_t sourceX, int32_t sourceY,
                   uint32_t rop) override;
    bool transparentCopy(ProcedureHandle procedure, DeviceContextHandle destination, int32_t x,
                         int32_t y, int32_t width, int32_t height, DeviceContextHandle source,
                         int32_t sourceX, int32_t sourceY, int32_t sourceWidth,
                         int32_t sourceHeight, ColourRef transparent) override;
    ObjectHandle loadBitmapResource(ModuleHandle module, uint16_t id) override;

    bool registerWindowClass(const WindowClassDescription& description) override;
    bool unregisterWindowClass(const char* name, ModuleHandle module) override;
    WindowHandle createWindow(const char* className, const char* title, uint32_t style, int32_t x,
                              int32_t y, int32_t width, int32_t height, WindowHandle parent,
                              ModuleHandle module) override;
    bool destroyWindow(WindowHandle window) override;
    void setWindowUserData(WindowHandle window, void* data) override;
    void* windowUserData(WindowHandle window) override;
    intptr_t defaultWindowProcedure(WindowHandle window, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam) override;
    bool windowScreenRect(WindowHandle window, PixelRect& screen) override;
    bool updateRect(WindowHandle window, PixelRect* rect) override;
    DeviceContextHandle beginPaint(WindowHandle window, PaintSession& paint) override;
    void endPaint(WindowHandle window, PaintSession& paint) override;
    DeviceContextHandle windowDC(WindowHandle window) override;
    void releaseWindowDC(WindowHandle window, DeviceContextHandle dc) override;
    bool dispatchOnePaintMessage() override;
    void pumpWindowEvents() override { ++pumpCalls; }

    bool registerDropTarget(WindowHandle window, DropSink* sink) override;
    bool revokeDropTarget(WindowHandle window) override;
    bool resolveShortcut(char* path, size_t bufferSize) override;

    // ----- The scripted world -----
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
    // The wParam of a button-down message made now: the Press... bits of the
    // buttons (logical) and modifiers held.
    uintptr_t pressState() const;
    // Sends any message straight to a window's procedure (-1 for unknown windows).
    intptr_t sendMessage(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam);

    // System: the optional blending library and the version query.
    void setLibraryAvailable(const std::string& name, bool available);
    void setPlatformFamily(int32_t id) { family = id; }
    // The desktop's scale in percent that desktopScale answers (0: unknown).
    void setDesktopScale(int32_t percent) { desktopPercent = percent; }
    void setButtonFaceColour(ColourRef colour) { buttonFace = colour; }
    // While set, creating a pen, brush or font fails (answers null).
    void setObjectCreationFails(bool fails) { failCreations = fails; }
    // A shortcut file and the path it points to, for resolveShortcut.
    void addShortcut(const std::string& path, const std::string& target);

    // Drags from another application. Each step moves the cursor to `screen`
    // and talks to the drop target registered for the window under it (the
    // deepest visible window there, or else the nearest of its parents that
    // has a target), as the platform's drag loop does: moving onto another
    // target leaves the previous one and enters the new one. The data stays
    // the caller's and must outlive the drag. Steps answer the drop effect
    // (DropEffectNone where no target is under the point).
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

    // Windows. A host window is a top-level window at a screen position with
    // no window procedure, as a host gives the editor.
    WindowHandle createHostWindow(const PixelRect& screen);
    // Adds to the window's update region, as when part of it is uncovered.
    void requestPaint(WindowHandle window, const PixelRect& area, bool erase = true);
    // Dispatches paint requests until none is left (the host's message loop);
    // answers how many were dispatched.
    int32_t deliverPaints();

    // Bitmap resources: test resources take precedence over the embedded ones.
    void addBitmapResource(uint16_t id, int32_t width, int32_t height,
                           const std::vector<uint32_t>& pixels);
    bool addBitmapResourceFromBmp(uint16_t id, const std::vector<uint8_t>& file);
    void setTextRasteriser(std::unique_ptr<TextRasteriser> rasteriser);
    TextRasteriser& textRasteriser() { return *text; }

    // ----- Inspection -----
    const Surface* windowSurface(WindowHandle window) const;
    const Surface* bitmapSurface(ObjectHandle bitmap) const;
    // The surface a context draws on (window, screen or selected bitmap).
    const Surface* contextSurface(DeviceContextHandle dc) const;

    struct ContextState {
        ObjectHandle pen, brush, font, bitmap;
        ColourRef background, text;
        int32_t backgroundMode;
        PixelPoint position;
    };
    bool contextState(DeviceContextHandle dc, ContextState& state) const;
    bool penOf(ObjectHandle pen, int32_t& style, int32_t& width, ColourRef& colour) const;
    bool brushOf(ObjectHandle brush, ColourRef& colour) const;
    const FontDescription* fontOf(ObjectHandle font) const;

    struct WindowInfo {
        std::string className;
        std::string title;
        uint32_t style;
        PixelRect rect; // in the parent's client coordinates (screen for host windows)
        WindowHandle parent;
        ModuleHandle module;
    };
    bool windowInfo(WindowHandle window, WindowInfo& info) const;
    bool windowExists(WindowHandle window) const;
    std::vector<WindowHandle> childWindows(WindowHandle parent) const;
    bool windowClassExists(const std::string& name) const;
    size_t windowClassCount() const { return classes.size(); }
    DropSink* dropSinkOf(WindowHandle window) const;

    // Objects and contexts created and not yet deleted (stock ones not counted).
    int32_t liveObjectCount() const;
    int32_t liveContextCount() const { return static_cast<int32_t>(contexts.size()); }
    int32_t oleBalance() const { return ole; }
    int32_t loadedLibraryCount() const;
    int32_t transparentCopyCalls() const { return transparentCalls; }
    // Calls of a transparent-copy procedure whose library was already unloaded.
    int32_t staleProcedureCalls() const { return staleCalls; }
    int32_t blockCopyCalls() const { return blockCalls; }
    int32_t pumpWindowEventCalls() const { return pumpCalls; }

private:
    struct Object {
        ObjectKind kind = ObjectKind::Pen;
        bool stock = false;
        int32_t penStyle = PenSolid;
        int32_t penWidth = 1;
        ColourRef colour = 0;
        FontDescription font{};
        Surface bitmap;
        int32_t selections = 0;
    };
    enum class ContextKind { Screen, Window, Paint, Memory };
    struct Context {
        ContextKind kind = ContextKind::Memory;
        uintptr_t window = 0;
        uintptr_t pen = 0, brush = 0, font = 0, bitmap = 0;
        ColourRef background = 0xFFFFFF;
        ColourRef text = 0;
        int32_t backgroundMode = BackgroundOpaque;
        PixelPoint position{0, 0};
        bool clipped = false;
        PixelRect clip{0, 0, 0, 0};
    };
    struct WindowClass {
        uint32_t style = 0;
        WindowProcedure procedure = nullptr;
        ModuleHandle module = nullptr;
        int32_t background = 0;
    };
    struct Window {
        std::string className;
        std::string title;
        uint32_t style = 0;
        PixelRect rect{0, 0, 0, 0};
        uintptr_t parent = 0;
        ModuleHandle module = nullptr;
        void* userData = nullptr;
        Surface surface;
        bool updatePending = false;
        bool erasePending = false;
        PixelRect update{0, 0, 0, 0};
        std::unique_ptr<DropSink> dropSink;
        bool destroying = false;
    };
    struct Library {
        std::string name;
        int32_t references = 0;
    };
    struct ScheduledAction {
        uint32_t tick;
        uint64_t order;
        std::function<void()> action;
    };

    bool isHeld(int32_t key) const { return heldKeys.count(key) != 0; }
    uintptr_t newHandle() { return nextHandle += 8; }
    Object* object(ObjectHandle handle);
    const Object* object(ObjectHandle handle) const;
    Context* context(DeviceContextHandle handle);
    const Context* context(DeviceContextHandle handle) const;
    Window* window(WindowHandle handle);
    const Window* window(WindowHandle handle) const;
    Surface* target(Context& dc);
    const Surface* target(const Context& dc) const;
    PixelRect clipOf(const Context& dc, const Surface& surface) const;
    DeviceContextHandle newContext(ContextKind kind, uintptr_t windowHandle);
    void unselectAll(Context& dc);
    ObjectHandle addObject(Object&& o);
    void runDueActions();
    // Moves the drag to the target under the point (leaving and entering as
    // needed) and answers its effect.
    uint32_t dragTo(uint32_t keyState, PixelPoint screen);
    bool windowShown(uintptr_t handle) const;
    // Deletes a sink, or keeps it until the sink call in progress returns.
    void retireSink(std::unique_ptr<DropSink> sink);
    // Calls a window's sink, keeping sinks revoked meanwhile alive until the
    // call has returned. Answers false when the window has no sink.
    template <typename Call> bool callSink(uintptr_t handle, Call&& call);
    void collectSubtree(uintptr_t root, std::vector<uintptr_t>& out) const;
    PixelPoint screenOrigin(uintptr_t handle) const;
    CopyColours copyColours(const Context& destination, const Context& source) const;
    ColourRef systemColour(int32_t index) const;

    ModuleHandle module;
    uintptr_t nextHandle = 0x10000;
    std::map<uintptr_t, Object> objects;
    std::map<uintptr_t, Context> contexts;
    std::map<uintptr_t, Window> windows; // ordered by creation
    std::map<std::string, WindowClass> classes;
    std::map<uintptr_t, Library> libraries;
    std::map<std::string, bool> availableLibraries;
    std::map<std::string, std::string> shortcuts;
    std::map<uint16_t, Surface> resources;
    std::unique_ptr<TextRasteriser> text;
    std::unique_ptr<Surface> screen;
    uintptr_t nullPen = 0, blackPen = 0, whiteBrush = 0, systemFont = 0, defaultBitmap = 0;
    uintptr_t transparentProcedure = 0;
    uintptr_t transparentLibrary = 0;

    uint32_t clock = 0;
    std::vector<uint32_t> sleepLog;
    std::vector<ScheduledAction> scheduled;
    uint64_t scheduleOrder = 0;
    bool runningActions = false;
    std::set<int32_t> heldKeys;
    PixelPoint cursor{0, 0};
    bool swapped = false;
    uint32_t doubleClick = 500;
    int32_t family = PlatformFamilyNt;
    int32_t desktopPercent = 100;
    ColourRef buttonFace = 0xF0F0F0;
    int32_t ole = 0;
    int32_t transparentCalls = 0;
    int32_t staleCalls = 0;
    int32_t blockCalls = 0;
    int32_t pumpCalls = 0;
    bool failCreations = false;

    bool dragging = false;
    DropData* dragData = nullptr;
    uintptr_t dragWindow = 0; // the window whose target the drag entered
    int32_t sinkCalls = 0;    // sink calls in progress
    std::vector<std::unique_ptr<DropSink>> retiredSinks;
};

// The instance that serves as the native backend where no other is built in.
HeadlessPlatform& sharedPlatform();

} // namespace platform::headless
