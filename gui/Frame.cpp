// The frame at work: its child window and window class, the views it holds, the popup and the
// zoom, drawing and idle redraws, presses, keys and drops handed on, and the window procedure.
#include "gui/Frame.h"

#include "gui/Bitmap.h"
#include "gui/DrawContext.h"
#include "gui/DropTarget.h"
#include "gui/EditorBase.h"
#include "gui/Toolkit.h"

#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

Frame::Reallocate viewListReallocate = &std::realloc;

constexpr int32_t viewListStep = 20;
constexpr uint32_t globalClassStyle = 0x4000;

} // namespace

int32_t Frame::messageButtons(uint32_t message, uintptr_t state, DrawContext& context) {
    int32_t buttons = context.getMouseButtons() & MouseAlt;
    const struct {
        bool held;
        int32_t bit;
    } bits[] = {
        {message == platform::MessageLeftButtonDown || (state & platform::PressLeftButton) != 0,
         MouseLeft},
        {message == platform::MessageRightButtonDown || (state & platform::PressRightButton) != 0,
         MouseRight},
        {message == platform::MessageMiddleButtonDown || (state & platform::PressMiddleButton) != 0,
         MouseMiddle},
        {(state & platform::PressShift) != 0, MouseShift},
        {(state & platform::PressControl) != 0, MouseControl},
    };
    for (const auto& b : bits) {
        if (b.held) {
            buttons |= b.bit;
        }
    }
    return buttons;
}

void Frame::setViewListAllocator(Reallocate reallocate) {
    viewListReallocate = reallocate ? reallocate : &std::realloc;
}

Frame::Frame(const Rect& frameSize, void* parent, EditorBase* owner, Zoom frameZoom)
    : View(frameSize), editor(owner), parentWindow(static_cast<platform::WindowHandle>(parent)),
      zoom(frameZoom) {
    platform::current().oleInitialize();
    openWindow();
}

Frame::~Frame() {
    // The host hears the end of a wheel edit before the window goes.
    endWheelEdit();
    platform::Platform& p = platform::current();
    // Messages that arrive from here on find no frame.
    if (window && windowOpen) {
        p.setWindowUserData(window, nullptr);
    }
    setDropActive(false);
    closePopup(nullptr);
    removeAll(true);
    if (background) {
        background->release();
        background = nullptr;
    }
    p.oleUninitialize();
    if (window) {
        // A window the platform already destroyed is not touched again.
        if (windowOpen) {
            p.setWindowUserData(window, nullptr);
            p.destroyWindow(window);
        }
        window = nullptr;
        unregisterWindowClass();
    }
}

void Frame::registerWindowClass() {
    platform::Platform& p = platform::current();
    ToolkitState& state = toolkitState();
    if (++state.windowClassUseCount > 1) {
        return;
    }
    std::snprintf(state.windowClassName, sizeof(state.windowClassName), "Plugin%08x",
                  static_cast<unsigned>(
                      static_cast<uint32_t>(reinterpret_cast<uintptr_t>(p.moduleHandle()))));
    platform::WindowClassDescription description{state.windowClassName, globalClassStyle,
                                                 &Frame::windowProcedure, p.moduleHandle(),
                                                 platform::SystemColourButtonFace};
    p.registerWindowClass(description);
    state.buttonsSwapped = p.mouseButtonsSwapped();
}

void Frame::unregisterWindowClass() {
    ToolkitState& state = toolkitState();
    if (state.windowClassUseCount <= 0) {
        return;
    }
    if (state.windowClassUseCount-- == 1) {
        platform::Platform& p = platform::current();
        p.unregisterWindowClass(state.windowClassName, p.moduleHandle());
    }
}

void Frame::openWindow() {
    if (!parentWindow) {
        return;
    }
    platform::Platform& p = platform::current();
    registerWindowClass();
    window =
        p.createWindow(toolkitState().windowClassName, "Window",
                       platform::WindowStyleChild | platform::WindowStyleVisible, 0, 0,
                       zoom.deviceLength(size.left, size.width()),
                       zoom.deviceLength(size.top, size.height()), parentWindow, p.moduleHandle());
    if (!window) {
        // No window, no user of the class.
        unregisterWindowClass();
        return;
    }
    p.setWindowUserData(window, this);
    setDropActive(true);
}

// ----- Container -----

bool Frame::addView(View* view) {
    if (!view) {
        return false;
    }
    for (int32_t i = 0; i < viewCount; ++i) {
        if (views[i] == view) {
            return false; // the list holds a view at most once
        }
    }
    if (viewCount == viewCapacity) {
        if (viewCapacity > INT32_MAX / static_cast<int32_t>(sizeof(View*)) - viewListStep) {
            return false;
        }
        int32_t capacity = viewCapacity + viewListStep;
        void* grown = viewListReallocate(views, sizeof(View*) * static_cast<size_t>(capacity));
        if (!grown) {
            return false;
        }
        views = static_cast<View**>(grown);
        viewCapacity = capacity;
    }
    views[viewCount++] = view;
    view->setFrame(this);
    view->attachedTo(this);
    return true;
}

bool Frame::removeAll(bool withRelease) {
    if (focusView) {
        focusView->loseFocus(nullptr);
        focusView = nullptr;
    }
    if (!views) {
        return true;
    }
    for (int32_t i = 0; i < viewCount; ++i) {
        View* view = views[i];
        views[i] = nullptr;
        if (!view) {
            continue;
        }
        view->removedFrom(this);
        view->setFrame(nullptr);
        if (withRelease) {
            view->release();
        }
    }
    std::free(views);
    views = nullptr;
    viewCount = 0;
    viewCapacity = 0;
    return true;
}

View* Frame::getView(int32_t index) const {
    return index >= 0 && index < viewCount ? views[index] : nullptr;
}

void Frame::setBackground(Bitmap* bitmap) {
    // Take the new reference first: setting the bitmap already held keeps it alive.
    if (bitmap) {
        bitmap->retain();
    }
    if (background) {
        background->release();
    }
    background = bitmap;
}

void Frame::setFocusView(View* view) {
    View* previous = focusView;
    focusView = view;
    if (previous) {
        previous->loseFocus(nullptr);
    }
}

bool Frame::isSomethingDirty() {
    if (isDirty() || (popup && popup->isDirty())) {
        return true;
    }
    for (int32_t i = 0; i < viewCount; ++i) {
        if (views[i]->isDirty()) {
            return true;
        }
    }
    return false;
}

void Frame::openPopup(View* view, DrawContext* context) {
    closePopup(context);
    if (!view) {
        return;
    }
    popup = view;
    popup->setFrame(this);
    popup->attachedTo(this);
    if (context) {
        popup->draw(context);
    } else {
        popup->setDirty(true);
    }
}

void Frame::closePopup(DrawContext* context) {
    View* closed = popup;
    if (!closed) {
        return;
    }
    popup = nullptr;
    Rect covered;
    closed->getSize(covered);
    // Outlines are drawn on a view's right and bottom lines too.
    covered.right += 1;
    covered.bottom += 1;
    closed->removedFrom(this);
    closed->setFrame(nullptr);
    closed->release();
    if (context) {
        drawArea(context, covered);
    } else {
        setDirty(true);
    }
}

bool Frame::setZoom(Zoom newZoom) {
    if (newZoom == zoom) {
        return true;
    }
    if (window && windowOpen &&
        !platform::current().setWindowSize(window, newZoom.deviceLength(size.left, size.width()),
                                           newZoom.deviceLength(size.top, size.height()))) {
        return false;
    }
    closePopup(nullptr);
    zoom = newZoom;
    for (int32_t i = 0; i < viewCount; ++i) {
        views[i]->removedFrom(this);
        views[i]->attachedTo(this);
    }
    setDirty(true);
    return true;
}

bool Frame::declareZoom(Zoom shown) {
    return window && windowOpen &&
           platform::current().declareWindowSize(window,
                                                 shown.deviceLength(size.left, size.width()),
                                                 shown.deviceLength(size.top, size.height()));
}

// ----- Drawing -----

void Frame::draw(DrawContext* context) {
    firstDrawPending = false;
    if (background) {
        background->draw(context, Rect(0, 0, background->width, background->height), Point(0, 0));
    }
    for (int32_t i = 0; i < viewCount; ++i) {
        views[i]->draw(context);
    }
    if (popup) {
        popup->draw(context);
    }
}

void Frame::drawArea(DrawContext* context, const Rect& area) {
    firstDrawPending = false;
    if (background) {
        background->draw(context, area, Point(area.left, area.top));
    }
    for (int32_t i = 0; i < viewCount; ++i) {
        if (views[i]->overlaps(area)) {
            views[i]->drawArea(context, area);
        }
    }
    if (popup && popup->overlaps(area)) {
        popup->drawArea(context, area);
    }
}

void Frame::update(DrawContext* context) {
    if (!windowOpen) {
        return;
    }
    if (isDirty()) {
        draw(context);
        setDirty(false);
        return;
    }
    // A popup stays on top of the views redrawn under it.
    Rect popupArea;
    bool coverPopup = popup && popup->isDirty();
    if (popup) {
        popup->getSize(popupArea);
    }
    for (int32_t i = 0; i < viewCount; ++i) {
        const bool redrawn = views[i]->isDirty();
        views[i]->update(context);
        coverPopup = coverPopup || (popup && redrawn && views[i]->overlaps(popupArea));
    }
    if (coverPopup) {
        popup->draw(context);
    }
}

// ----- Events -----

void Frame::mouseDown(DrawContext* context, Point& where) {
    if (focusView) {
        focusView->loseFocus(nullptr);
        focusView = nullptr;
    }
    if (popup) {
        // An open popup takes the press wherever it lands; it may close itself.
        View* open = popup;
        open->retain();
        open->mouseDown(context, where);
        open->release();
        return;
    }
    int32_t buttons = context ? context->getPressButtons() : -1;
    for (int32_t i = viewCount - 1; i >= 0; --i) {
        View* view = views[i];
        if (view->isMouseEnabled() && view->hitTest(where, buttons)) {
            view->mouseDown(context, where);
            return;
        }
    }
    // A press on the background: the editor may offer something there (a menu).
    if (editor) {
        editor->backgroundMouseDown(context, where);
    }
}

int32_t Frame::keyDown(VstKeyCode& key) {
    if (focusView) {
        int32_t result = focusView->keyDown(key);
        if (result != -1) {
            return result;
        }
    }
    for (int32_t i = viewCount - 1; i >= 0; --i) {
        int32_t result = views[i]->keyDown(key);
        if (result != -1) {
            return result;
        }
    }
    return -1;
}

int32_t Frame::keyUp(VstKeyCode& key) {
    if (focusView) {
        int32_t result = focusView->keyUp(key);
        if (result != -1) {
            return result;
        }
    }
    for (int32_t i = viewCount - 1; i >= 0; --i) {
        int32_t result = views[i]->keyUp(key);
        if (result != -1) {
            return result;
        }
    }
    return -1;
}

bool Frame::drop(void** items, int32_t count, int32_t type, Point& where) {
    if (focusView) {
        return false;
    }
    for (int32_t i = viewCount - 1; i >= 0; --i) {
        View* view = views[i];
        Rect area;
        if (view->isMouseEnabled() && view->getSize(area).contains(where) &&
            view->drop(items, count, type, where)) {
            return true;
        }
    }
    return false;
}

// ----- Idle and services -----

void Frame::idle() {
    platform::Platform& p = platform::current();
    // The host may close the editor when it hears the wheel's edit end: the
    // frame is then gone (or going), and nothing more is done here.
    bool closing = false;
    {
        EventScope scope(this);
        expireWheelEdit();
        closing = closePending;
    }
    if (closing) {
        return;
    }
    if (window && windowOpen) {
        p.pumpWindowEvents();
    }
    if (!windowOpen || firstDrawPending || !window || !isSomethingDirty()) {
        return;
    }
    platform::DeviceContextHandle dc = p.windowDC(window);
    if (!dc) {
        return;
    }
    DrawContext* context = new (std::nothrow) DrawContext(this, dc, window);
    if (context) {
        update(context);
        delete context;
    }
    p.releaseWindowDC(window, dc);
}

bool Frame::doIdle() {
    if (editor) { // a closing frame has let go of its editor
        editor->doIdleWork();
    }
    return !closePending;
}

void Frame::close() {
    if (eventDepth == 0) {
        delete this;
        return;
    }
    if (closePending) {
        return;
    }
    closePending = true;
    // The host sees the edit end before its close returns, and nothing here
    // calls the editor again: the host may delete it next.
    if (editInProgress >= 0) {
        endEdit(editInProgress);
    }
    wheelEditIndex = -1;
    editor = nullptr;
}

Frame::EventScope::EventScope(Frame* f) : frame(f) {
    if (frame) {
        ++frame->eventDepth;
    }
}

Frame::EventScope::~EventScope() {
    if (frame && --frame->eventDepth == 0 && frame->closePending) {
        delete frame;
    }
}

bool Frame::getCurrentLocation(Point& where) {
    platform::Platform& p = platform::current();
    platform::PixelPoint screen{0, 0};
    p.cursorPosition(screen);
    where = Point(screen.x, screen.y);
    platform::PixelRect rect;
    if (window && p.windowScreenRect(window, rect)) {
        where = Point(zoom.toPanel(screen.x - rect.left), zoom.toPanel(screen.y - rect.top));
    }
    return true;
}

bool Frame::setDropActive(bool on) {
    if (!dropActive && !on) {
        return true;
    }
    if (!window) {
        return false;
    }
    platform::Platform& p = platform::current();
    if (on) {
        // The registration owns the target from here on.
        p.registerDropTarget(window, new (std::nothrow) DropTarget(this));
    } else {
        p.revokeDropTarget(window);
    }
    dropActive = on;
    return true;
}

// ----- Window procedure -----

intptr_t FUMARA_WINDOW_PROCEDURE Frame::windowProcedure(platform::WindowHandle handle,
                                                        uint32_t message, uintptr_t wParam,
                                                        intptr_t lParam) {
    platform::Platform& p = platform::current();
    try {
        Frame* frame = static_cast<Frame*>(p.windowUserData(handle));
        switch (message) {
        case platform::MessagePaint:
            if (frame && p.updateRect(handle, nullptr)) {
                platform::PaintSession paint;
                platform::DeviceContextHandle dc = p.beginPaint(handle, paint);
                DrawContext* context = new (std::nothrow) DrawContext(frame, dc, handle);
                if (context) {
                    // Every panel pixel with a device pixel in the paint area.
                    const Zoom z = frame->zoom;
                    Rect area(z.toPanel(paint.area.left), z.toPanel(paint.area.top),
                              z.toPanel(paint.area.right - 1) + 1,
                              z.toPanel(paint.area.bottom - 1) + 1);
                    frame->drawArea(context, area);
                    delete context;
                }
                p.endPaint(handle, paint);
                return 0;
            }
            break;
        case platform::MessageLeftButtonDown:
        case platform::MessageRightButtonDown:
        case platform::MessageMiddleButtonDown:
            if (frame) {
                // Outlives the context and the device context: a close during
                // the press deletes the frame only after both are given back.
                Frame::EventScope scope(frame);
                platform::DeviceContextHandle dc = p.windowDC(handle);
                DrawContext* context = new (std::nothrow) DrawContext(frame, dc, handle);
                if (context) {
                    context->setPressButtons(messageButtons(message, wParam, *context));
                    uint32_t position = static_cast<uint32_t>(lParam);
                    Point where(
                        frame->zoom.toPanel(static_cast<int32_t>(position & 0xFFFF)),
                        frame->zoom.toPanel(static_cast<int32_t>((position >> 16) & 0xFFFF)));
                    frame->mouseDown(context, where);
                    delete context;
                }
                p.releaseWindowDC(handle, dc);
                return 0;
            }
            break;
        case platform::MessageMouseWheel:
            if (frame && frame->wheelMessage(wParam, lParam)) {
                return 0;
            }
            break;
        case platform::MessageDestroy:
            if (frame) {
                // The window is still valid here: end the drop registration now,
                // later it could not be revoked.
                frame->setDropActive(false);
                frame->windowOpen = false;
                frame->parentWindow = nullptr;
            }
            break;
        default:
            break;
        }
    } catch (...) {
        // Nothing may unwind into the platform's message dispatch.
        return 0;
    }
    return p.defaultWindowProcedure(handle, message, wParam, lParam);
}
