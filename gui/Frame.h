// The top of the editor's view tree and its link to the platform: a child
// window inside the host's window whose paints and button presses reach the
// views, redrawing of dirty views when the editor idles, and the services the
// controls need from outside the view tree.
#pragma once

#include "gui/View.h"
#include "gui/Zoom.h"
#include "gui/platform/Platform.h"

#include <cstddef>
#include <cstdint>

class Bitmap;
class EditorBase;

class Frame : public View {
public:
    // parentWindow is the host's window (none: a frame without a window, which
    // draws only when asked and receives no events). The frame and its views
    // work in panel coordinates; its window and everything drawn in it are
    // scaled by `zoom`, and the mouse positions it hands on scaled back.
    Frame(const Rect& size, void* parentWindow, EditorBase* editor, Zoom zoom = Zoom());
    ~Frame() override;

    // View operations the container replaces.
    void draw(DrawContext* context) override;
    void drawArea(DrawContext* context, const Rect& area) override;
    void mouseDown(DrawContext* context, Point& where) override;
    void update(DrawContext* context) override;
    int32_t keyDown(VstKeyCode& key) override;
    int32_t keyUp(VstKeyCode& key) override;
    bool drop(void** items, int32_t count, int32_t type, Point& where) override;
    EditorBase* getEditor() override { return editor; }

    // Container operations. addView takes over the view's reference; it answers
    // false, leaving list and view untouched, only when the list cannot grow.
    virtual bool addView(View* view);
    virtual bool removeAll(bool withRelease = true);

    void setBackground(Bitmap* bitmap);
    Bitmap* getBackground() const { return background; }
    // Stores the new focus view, then tells the previous one it lost the focus.
    void setFocusView(View* view);
    View* getFocusView() const { return focusView; }
    bool isSomethingDirty();

    // A view shown above all others until it is closed (a menu): drawn after
    // the views and over them whenever they are redrawn, it takes every press
    // while it is open. The frame takes over the view's reference; an open
    // popup is replaced. With a context the popup is drawn at once.
    void openPopup(View* view, DrawContext* context);
    // Closes the open popup and lets it go; what it covered is drawn again (at
    // once with a context, else at the next idle).
    void closePopup(DrawContext* context);
    View* getPopup() const { return popup; }

    // Closes the frame and deletes it. Called from inside one of the frame's
    // own event handlers (a control tracking the mouse runs the host's idle,
    // and the host may close the editor there), it ends the edit in progress,
    // lets go of the editor at once, and is deleted when that handler returns.
    void close();
    bool isClosing() const { return closePending; }

    // Marks a call into the frame's event handling for its lifetime; a close
    // requested meanwhile takes effect when the outermost one ends.
    class EventScope {
    public:
        explicit EventScope(Frame* frame);
        ~EventScope();
        EventScope(const EventScope&) = delete;
        EventScope& operator=(const EventScope&) = delete;

    private:
        Frame* frame;
    };

    // Redraws the dirty views (called on every editor idle).
    void idle();
    // Runs the editor's idle pump (called by controls while they track the
    // mouse). Answers false once the frame is closing: the tracking must end.
    bool doIdle();
    // The cursor position in window coordinates; always true.
    bool getCurrentLocation(Point& where);
    // Tell the host that the user starts or stops changing a parameter. An
    // edit begun by the wheel ends first (FrameEdits.cpp).
    void beginEdit(int32_t index);
    void endEdit(int32_t index);
    // A wheel step is about to change a parameter (called by the control that
    // takes it). A run of steps is one edit for the host: the first step of a
    // run begins it (ending one of another parameter), and it ends once no
    // wheel input has come for kWheelQuietTime ms (checked at idle), when a
    // drag begins, or when the frame closes.
    void wheelEdit(int32_t index);
    static constexpr uint32_t kWheelQuietTime = 500;
    bool setDropActive(bool on);

    Zoom getZoom() const { return zoom; }
    // Shows the frame at another zoom in the same window: the window takes
    // the zoomed size, an open popup closes, the views are attached again (so
    // that what they keep in device pixels, a slider's offscreen, follows)
    // and everything is drawn anew. False, changing nothing, when the window
    // cannot be resized.
    bool setZoom(Zoom zoom);
    // Declares the window's size at a zoom to whoever lays it out, as the only
    // size it takes (Platform::declareWindowSize): done before the host is
    // asked for the room, which it may give by resizing the window itself.
    bool declareZoom(Zoom zoom);
    int32_t getViewCount() const { return viewCount; }
    int32_t getViewCapacity() const { return viewCapacity; }
    // The view at a list position, or null outside the list.
    View* getView(int32_t index) const;
    platform::WindowHandle getWindow() const { return window; }
    platform::WindowHandle getParentWindow() const { return parentWindow; }
    bool isWindowOpen() const { return windowOpen; }
    bool isFirstDrawPending() const { return firstDrawPending; }
    bool isDropActive() const { return dropActive; }

    static intptr_t FUMARA_WINDOW_PROCEDURE windowProcedure(platform::WindowHandle window,
                                                            uint32_t message, uintptr_t wParam,
                                                            intptr_t lParam);

    // How the view list grows (resize or allocate, as the C library's realloc).
    // Replaceable so that a failing allocation can be exercised.
    using Reallocate = void* (*)(void* block, size_t bytes);
    static void setViewListAllocator(Reallocate reallocate);

protected:
    // The Mouse... bits of a button or wheel message: the pressed button, and
    // the other buttons, Shift and Control as the message carries them; Alt,
    // which messages do not carry, as held now.
    static int32_t messageButtons(uint32_t message, uintptr_t state, DrawContext& context);
    // A wheel message: its notches (finer ones added up until they make one)
    // turned into steps of the view under the pointer. False when no view
    // there takes the wheel: the message gets the default handling.
    bool wheelMessage(uintptr_t wParam, intptr_t lParam);
    // Ends the wheel's edit once the wheel has been quiet long enough.
    void expireWheelEdit();
    void endWheelEdit();
    void openWindow();
    void registerWindowClass();
    void unregisterWindowClass();

    EditorBase* editor = nullptr;
    platform::WindowHandle parentWindow = nullptr;
    Bitmap* background = nullptr;
    int32_t viewCount = 0;
    int32_t viewCapacity = 0;
    View** views = nullptr;
    View* focusView = nullptr;
    View* popup = nullptr;
    bool firstDrawPending = true;
    bool windowOpen = true;
    bool dropActive = false;
    bool closePending = false;
    int32_t eventDepth = 0;
    int32_t editInProgress = -1; // the parameter between beginEdit and endEdit
    int32_t wheelEditIndex = -1; // the parameter whose wheel edit is open
    int32_t wheelRemainder = 0;  // wheel distance short of a notch
    uint32_t lastWheelInput = 0; // tick of the last wheel message or step
    platform::WindowHandle window = nullptr;
    Zoom zoom;
};
