// The one layer between the GUI toolkit and the platform.
//
// The toolkit (gui/) draws, loads images, opens its window and reads input only
// through the abstract class `platform::Platform` below. One backend implements
// it per platform (win32: GDI/user32; x11: X11 windows shown through cairo;
// headless: off-screen windows for snapshots). Backends hold no toolkit logic:
// every operation is a plain platform service, shaped after the 2-D drawing and
// windowing model the toolkit was written for (device contexts with a selected
// pen, brush, font and bitmap; window classes with a window procedure). The
// x11 and headless backends draw in memory through the software drawing of
// gui/platform/software, which follows the rules below.
//
// The backend in use is chosen at run time (`setCurrent`), so one library can
// draw through the native backend inside a host and through the headless
// backend for snapshots. Choose it before any toolkit object exists: handles
// of one backend mean nothing to another.
//
// ---------------------------------------------------------------------------
// Rules every backend must follow exactly (the toolkit's pixels depend on them)
// ---------------------------------------------------------------------------
// Coordinates: integer pixels, origin at the top-left of the surface (window
//   client area or bitmap), x to the right, y downwards. Screen coordinates
//   (cursor, window rectangles) use the same orientation.
// Colours: ColourRef = red + 256 * green + 65536 * blue; the top byte is 0.
//   Surfaces are 32-bit RGB; there is no alpha channel anywhere.
// moveTo(x, y): sets the current position, draws nothing.
// lineTo(x, y): draws from the current position to (x, y) with the selected pen,
//   EXCLUDING the end point (x, y) itself, then makes (x, y) the current
//   position. A horizontal line from (10, 10) to (20, 10) sets x = 10..19.
//   Pen style PenSolid sets every pixel; PenDotted repeats 3 pixels on, 3 off
//   (starting "on" at each lineTo; gaps are left untouched while the background
//   mode is BackgroundTransparent and set to the background colour while it is
//   BackgroundOpaque); PenNull draws nothing. Width 0 or 1 is one pixel wide.
//   So a closed outline moveTo(l,t) lineTo(r,t) lineTo(r,b) lineTo(l,b)
//   lineTo(l,t) covers columns l and r and rows t and b, corners included.
// fillRect(rect, brush): fills columns left..right-1 and rows top..bottom-1
//   (right and bottom EXCLUDED) with the brush's colour; empty when right <= left
//   or bottom <= top. The selected pen is not used.
// blockCopy(dst, x, y, w, h, src, sx, sy, rop): the block of w x h pixels whose
//   top-left is (sx, sy) in the source goes to (x, y) in the destination:
//   columns x..x+w-1, rows y..y+h-1 (right and bottom EXCLUDED). Nothing for
//   w <= 0 or h <= 0. Pixels outside either surface are skipped. rop:
//   RopCopy d = s; RopInvert d = d XOR s; RopAnd d = d AND s; RopPaint d = d OR s.
//   Colour to monochrome: a source pixel equal to the SOURCE context's
//   background colour becomes 1 (white), every other pixel 0 (black).
//   Monochrome to colour: 0 becomes the DESTINATION context's text colour,
//   1 its background colour.
// transparentCopy(dst, x, y, w, h, src, sx, sy, transparent): like a RopCopy
//   block copy, except that source pixels equal to the transparent colour
//   leave the destination pixel unchanged. Every backend answers it itself:
//   with the platform's own transparent copy where there is one, otherwise
//   through a one-bit mask (maskedTransparentCopy, MaskedTransparentCopy.h).
// drawText(dc, text, rect, alignment): one line of text, never wrapped and not
//   clipped to rect (only to the surface and any paint area). The text cell is
//   as high as the font's ascent + descent (rounded from the font's design
//   metrics at the requested pixel size) and as wide as the sum of the glyph
//   advances. Cell top = rect.top + (rect.height - cellHeight) / 2 (integer
//   division toward zero); cell left = rect.left for AlignLeft, rect.left +
//   (rect.width - cellWidth) / 2 for AlignCentre, rect.right - cellWidth for
//   AlignRight. The baseline lies `ascent` pixels below the cell top. Glyphs are
//   drawn in the text colour; with BackgroundOpaque the cell is first filled
//   with the background colour. The current position is not used or changed.
// Fonts: FontDescription.height < 0 asks for a character (em) height of
//   -height pixels, > 0 for a cell height of height pixels, 0 for a default.
//   weight >= 600 is bold. Face names are matched by the backend's font system;
//   a backend without the face substitutes a metric-compatible one if it can.
// Device contexts: a new context (windowDC, createCompatibleDC) starts with
//   the stock black solid pen, a white solid brush, a default font, background
//   colour white, text colour black, background mode opaque, current position
//   (0, 0); a memory context starts with a 1 x 1 monochrome bitmap selected.
//   createCompatibleBitmap(dc, ...) makes a bitmap in the format of the bitmap
//   selected in dc (so a fresh memory context gives a monochrome one; a window
//   or screen context gives a colour one). A bitmap can be selected into one
//   memory context at a time; selecting it into a second one fails (null).
//   A paint context (beginPaint) is clipped to the paint area.
// Objects: selectObject answers the previously selected object of the same kind,
//   or null on failure (the selection is then unchanged). deleteObject fails on
//   an object that is still selected into a context and on stock objects.
//   Deleting a context (deleteDC) unselects everything it held.
// Windows: createWindow with WindowStyleVisible makes the whole client area
//   invalid (an update region that asks for erasing). beginPaint answers the
//   paint area, erases it with the class background colour when erasing was
//   asked for, and validates the window; endPaint ends the paint. A window
//   procedure receives MessagePaint while the window has an update region,
//   MessageLeftButtonDown / MessageRightButtonDown / MessageMiddleButtonDown
//   with lParam = x (low 16 bits) | y << 16 in client coordinates and wParam =
//   the Press... bits of the buttons (logical, as the messages name them) and
//   modifiers held at the press itself, the pressed button included (the
//   message may be delivered after the button went up again), and
//   MessageDestroy when the window (or its parent) is destroyed, while its
//   handle is still valid. Messages to a destroyed window handle are never sent;
//   operations on it fail quietly.
// The wheel: MessageMouseWheel reaches the window with the keyboard focus or
//   the window under the pointer, with lParam = the pointer's SCREEN position,
//   x (low 16 bits) | y << 16, each a signed 16-bit number, and wParam = the
//   Press... bits held (low 16 bits) | the distance turned << 16, a signed
//   16-bit number in units of WheelNotch per notch (a finer wheel sends less),
//   positive away from the user. A procedure that leaves it to the default
//   handling lets it go on to the window's parent where the platform does so.
// Size: a window declares its client size to whoever lays it out (a window
//   manager, a toolkit that embeds it) as the only size it takes, when it is
//   created, when setWindowSize gives it another, and when asked to
//   (declareWindowSize), where the platform has such a declaration.
// Input: isKeyHeld reports the PHYSICAL state of a mouse button or key at the
//   moment of the call (KeyLeftButton is the physical left button whether or not
//   the buttons are swapped). cursorPosition answers screen coordinates.
// Clock: tickCount is an unsigned 32-bit millisecond counter that wraps;
//   sleep(ms) blocks the calling thread for about ms milliseconds.
// ---------------------------------------------------------------------------
#pragma once

#include <cstddef>
#include <cstdint>

// Calling convention of window procedures (the platform's own on 32-bit Windows).
#if defined(_WIN32) && !defined(_WIN64)
#define FUMARA_WINDOW_PROCEDURE __stdcall
#else
#define FUMARA_WINDOW_PROCEDURE
#endif

namespace platform {

// Opaque handles. A backend casts its own handles to and from these types; the
// toolkit only stores, compares and passes them back. Null means "none".
struct OpaqueDeviceContext;
struct OpaqueObject;
struct OpaqueWindow;
struct OpaqueModule;
using DeviceContextHandle = OpaqueDeviceContext*;
using ObjectHandle = OpaqueObject*; // a pen, brush, font or bitmap
using WindowHandle = OpaqueWindow*; // also the host's parent window
using ModuleHandle = OpaqueModule*;

// A backend's own handle values to and from the opaque handle types.
template <typename Handle> uintptr_t handleValue(Handle handle) {
    return reinterpret_cast<uintptr_t>(handle);
}
template <typename Handle> Handle handleFrom(uintptr_t value) {
    return reinterpret_cast<Handle>(value);
}

using ColourRef = uint32_t;
constexpr ColourRef makeColourRef(uint8_t red, uint8_t green, uint8_t blue) {
    return static_cast<ColourRef>(red) | (static_cast<ColourRef>(green) << 8) |
           (static_cast<ColourRef>(blue) << 16);
}

struct PixelPoint {
    int32_t x;
    int32_t y;
};

struct PixelRect {
    int32_t left;
    int32_t top;
    int32_t right;
    int32_t bottom;
};

// Pen styles.
enum : int32_t { PenSolid = 0, PenDotted = 2, PenNull = 5 };

// Background modes.
enum : int32_t { BackgroundTransparent = 1, BackgroundOpaque = 2 };

// Raster operations of blockCopy.
enum : uint32_t {
    RopCopy = 0x00CC0020,
    RopInvert = 0x00660046,
    RopAnd = 0x008800C6,
    RopPaint = 0x00EE0086,
};

// Horizontal placement of drawText.
enum : int32_t { AlignLeft = 0, AlignCentre = 1, AlignRight = 2 };

// Kinds of object for currentObject.
enum class ObjectKind : int32_t { Pen = 1, Brush = 2, Font = 6, Bitmap = 7 };

// Stock objects.
enum class StockObject : int32_t { NullPen = 8 };

// Keys and buttons for isKeyHeld (the platform's virtual-key numbers).
enum : int32_t {
    KeyLeftButton = 0x01,
    KeyRightButton = 0x02,
    KeyMiddleButton = 0x04,
    KeyShift = 0x10,
    KeyControl = 0x11,
    KeyAlt = 0x12,
};

// Window messages delivered to window procedures.
enum : uint32_t {
    MessageDestroy = 0x0002,
    MessagePaint = 0x000F,
    MessageLeftButtonDown = 0x0201,
    MessageRightButtonDown = 0x0204,
    MessageMiddleButtonDown = 0x0207,
    MessageMouseWheel = 0x020A,
};

// The distance of one notch of a wheel in MessageMouseWheel.
constexpr int32_t WheelNotch = 120;

// wParam bits of the button-down messages: what was held at the press (the
// values of the win32 messages' own key-state bits, which pass unchanged).
enum : uintptr_t {
    PressLeftButton = 0x0001,
    PressRightButton = 0x0002,
    PressShift = 0x0004,
    PressControl = 0x0008,
    PressMiddleButton = 0x0010,
};

// Window styles.
enum : uint32_t { WindowStyleChild = 0x40000000, WindowStyleVisible = 0x10000000 };

// System colour index of the button face (a window class background).
enum : int32_t { SystemColourButtonFace = 15 };

// Key-state bit of drag-and-drop calls: the Control key is held.
enum : uint32_t { DragKeyControl = 8 };

// Drop effects answered by a DropSink.
enum : uint32_t { DropEffectNone = 0, DropEffectCopy = 1, DropEffectMove = 2 };

// The description of a font to create (the fields of a logical font).
struct FontDescription {
    int32_t height;      // < 0: character height -height; > 0: cell height; 0: default
    int32_t width;       // 0: the face's own proportions
    int32_t escapement;  // tenths of a degree; 0
    int32_t orientation; // tenths of a degree; 0
    int32_t weight;      // 400 normal, 700 bold
    uint8_t italic;
    uint8_t underline;
    uint8_t strikeOut;
    uint8_t charSet;        // 0 ANSI
    uint8_t outPrecision;   // 1 string precision
    uint8_t clipPrecision;  // 2 stroke precision
    uint8_t quality;        // 0 default
    uint8_t pitchAndFamily; // 0x22 variable pitch sans-serif; 0x50 decorative
    char faceName[32];      // zero-terminated
};

using WindowProcedure = intptr_t(FUMARA_WINDOW_PROCEDURE*)(WindowHandle window, uint32_t message,
                                                           uintptr_t wParam, intptr_t lParam);

struct WindowClassDescription {
    const char* name;
    uint32_t style;
    WindowProcedure procedure;
    ModuleHandle module;
    int32_t backgroundSystemColour; // e.g. SystemColourButtonFace; the cursor is the arrow
};

// One paint between beginPaint and endPaint. `area` is the rectangle to repaint
// in client coordinates; `platformData` is the backend's own record of the paint.
struct PaintSession {
    DeviceContextHandle deviceContext;
    PixelRect area;
    alignas(8) unsigned char platformData[128];
};

// Data carried by a drag, as a backend offers it to a DropSink.
class DropData {
public:
    virtual ~DropData() = default;
    virtual bool offersText() = 0;
    virtual bool offersFileList() = 0;
    // 8-bit text: on success `text` points at the zero-terminated text and `size`
    // is the size of its memory block in bytes; valid until releaseText.
    virtual bool lockText(const char*& text, size_t& size) = 0;
    virtual void releaseText() = 0;
    // File list: number of files (0 when there is none), and one path by index
    // into `buffer` (zero-terminated, at most `bufferSize` bytes).
    virtual int32_t fileCount() = 0;
    virtual bool filePath(int32_t index, char* buffer, size_t bufferSize) = 0;
};

// The toolkit's receiver of drags onto a window. A registration owns its sink:
// revokeDropTarget (or the window's destruction) deletes it; a backend that is
// calling the sink at that moment deletes it once the call has returned.
class DropSink {
public:
    virtual ~DropSink() = default;
    // Each answers the drop effect (DropEffect...) for the platform's feedback.
    virtual uint32_t dragEnter(DropData* data, uint32_t keyState, PixelPoint screen) = 0;
    virtual uint32_t dragOver(uint32_t keyState, PixelPoint screen) = 0;
    virtual void dragLeave() = 0;
    // Answers whether the dropped data was taken, so that the backend can tell
    // a source that nothing was done with it (a source must not delete what it
    // "moved" onto a window that only looked).
    virtual bool drop(DropData* data, uint32_t keyState, PixelPoint screen) = 0;
};

class Platform {
public:
    virtual ~Platform() = default;

    // --- Module, system services ---
    // The module (library or executable) that contains the toolkit's code.
    virtual ModuleHandle moduleHandle() = 0;
    // Object-linking layer for drag and drop (balanced calls; may do nothing).
    virtual int32_t oleInitialize() = 0;
    virtual void oleUninitialize() = 0;
    // How large the desktop draws things where the window is (null: the
    // desktop's default), in percent: 100 for 96 DPI, 200 for 192 DPI or a
    // desktop scaled by 2. 0 when the backend cannot tell.
    virtual int32_t desktopScale(WindowHandle window) { return 0; }

    // --- Clock ---
    virtual uint32_t tickCount() = 0;
    virtual void sleep(uint32_t milliseconds) = 0;

    // --- Input ---
    virtual bool isKeyHeld(int32_t key) = 0; // Key... values
    virtual bool cursorPosition(PixelPoint& screen) = 0;
    virtual bool mouseButtonsSwapped() = 0;
    virtual uint32_t doubleClickTime() = 0; // milliseconds

    // --- Drawing objects ---
    virtual ObjectHandle createPen(int32_t style, int32_t width, ColourRef colour) = 0;
    virtual ObjectHandle createSolidBrush(ColourRef colour) = 0;
    virtual ObjectHandle createFont(const FontDescription& font) = 0;
    virtual ObjectHandle stockObject(StockObject which) = 0;
    virtual bool deleteObject(ObjectHandle object) = 0;
    virtual ObjectHandle currentObject(DeviceContextHandle dc, ObjectKind kind) = 0;
    virtual ObjectHandle selectObject(DeviceContextHandle dc, ObjectHandle object) = 0;

    // --- Device-context state (each answers the previous value; 0 on failure) ---
    virtual int32_t setBackgroundMode(DeviceContextHandle dc, int32_t mode) = 0;
    virtual ColourRef setBackgroundColour(DeviceContextHandle dc, ColourRef colour) = 0;
    virtual ColourRef setTextColour(DeviceContextHandle dc, ColourRef colour) = 0;

    // --- Drawing ---
    virtual bool moveTo(DeviceContextHandle dc, int32_t x, int32_t y) = 0;
    virtual bool lineTo(DeviceContextHandle dc, int32_t x, int32_t y) = 0;
    virtual bool fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) = 0;
    virtual bool drawText(DeviceContextHandle dc, const char* text, const PixelRect& rect,
                          int32_t alignment) = 0;

    // --- Memory surfaces and block copies ---
    // dc may be null: compatible with the screen.
    virtual DeviceContextHandle createCompatibleDC(DeviceContextHandle dc) = 0;
    virtual bool deleteDC(DeviceContextHandle dc) = 0;
    virtual ObjectHandle createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                                int32_t height) = 0;
    virtual ObjectHandle createMonochromeBitmap(int32_t width, int32_t height) = 0;
    virtual bool bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) = 0;
    virtual bool blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                           int32_t height, DeviceContextHandle source, int32_t sourceX,
                           int32_t sourceY, uint32_t rop) = 0;
    // A block copy in which source pixels of the transparent colour leave the
    // destination alone (see the rules above).
    virtual bool transparentCopy(DeviceContextHandle destination, int32_t x, int32_t y,
                                 int32_t width, int32_t height, DeviceContextHandle source,
                                 int32_t sourceX, int32_t sourceY, ColourRef transparent) = 0;
    // A bitmap resource of the module by its 16-bit id; null when there is none.
    virtual ObjectHandle loadBitmapResource(ModuleHandle module, uint16_t id) = 0;

    // --- Windows ---
    virtual bool registerWindowClass(const WindowClassDescription& description) = 0;
    virtual bool unregisterWindowClass(const char* name, ModuleHandle module) = 0;
    virtual WindowHandle createWindow(const char* className, const char* title, uint32_t style,
                                      int32_t x, int32_t y, int32_t width, int32_t height,
                                      WindowHandle parent, ModuleHandle module) = 0;
    virtual bool destroyWindow(WindowHandle window) = 0;
    virtual void setWindowUserData(WindowHandle window, void* data) = 0;
    virtual void* windowUserData(WindowHandle window) = 0; // null for an unknown window
    virtual intptr_t defaultWindowProcedure(WindowHandle window, uint32_t message, uintptr_t wParam,
                                            intptr_t lParam) = 0;
    virtual bool windowScreenRect(WindowHandle window, PixelRect& screen) = 0;
    // Gives a window a new client size, keeping its place; the whole window
    // then asks to be painted (an update region that asks for erasing).
    // False when the window is unknown or cannot be resized (this default).
    virtual bool setWindowSize(WindowHandle window, int32_t width, int32_t height) { return false; }
    // Declares width x height as the only client size the window takes, before
    // it is given that size (see the rules above). False where the platform
    // has no such declaration (this default: a win32 host lays out the
    // windows inside its own) or the window is unknown.
    virtual bool declareWindowSize(WindowHandle window, int32_t width, int32_t height) {
        return false;
    }
    // Whether the window has a non-empty update region; its bounds into rect.
    virtual bool updateRect(WindowHandle window, PixelRect* rect) = 0;
    virtual DeviceContextHandle beginPaint(WindowHandle window, PaintSession& paint) = 0;
    virtual void endPaint(WindowHandle window, PaintSession& paint) = 0;
    // The context of a window's client area; a null window gives the screen's.
    virtual DeviceContextHandle windowDC(WindowHandle window) = 0;
    virtual void releaseWindowDC(WindowHandle window, DeviceContextHandle dc) = 0;
    // Removes one waiting paint request of any window of the calling thread and
    // dispatches it to its window procedure; false when none was waiting. No
    // other kind of event is looked at.
    virtual bool dispatchOnePaintMessage() = 0;
    // Delivers the pending events of the toolkit's windows to their window
    // procedures where the platform's host does not do so itself (nothing on
    // platforms whose host runs the message loop). A call made from inside a
    // delivered event must deliver paint requests only.
    virtual void pumpWindowEvents() = 0;

    // --- Drag and drop ---
    // Registers `sink` for drops onto the window. Ownership of the sink always
    // passes to the backend: a refused sink is deleted at once.
    virtual bool registerDropTarget(WindowHandle window, DropSink* sink) = 0;
    // Ends the registration and deletes its sink.
    virtual bool revokeDropTarget(WindowHandle window) = 0;
    // Replaces a shortcut file path (in place, within bufferSize bytes) by the
    // path of its target; false when it could not be resolved.
    virtual bool resolveShortcut(char* path, size_t bufferSize) = 0;
};

// The backend in use. Starts as the native backend of the build (win32 on
// Windows; the headless backend where no native one is built in). A native
// backend provides `Platform& <name>::nativePlatform()` in namespace
// platform::win32 (gui/platform/win32/Win32Platform.h, compiled with
// FUMARA_NATIVE_WIN32) or platform::x11 (gui/platform/x11/X11Platform.h,
// FUMARA_NATIVE_X11).
Platform& current();
// Selects the backend in use; null goes back to the native backend.
void setCurrent(Platform* backend);
// The native backend of the build.
Platform& native();

} // namespace platform
