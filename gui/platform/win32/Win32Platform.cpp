// The win32 backend: each Platform operation as the GDI, user32 or OLE call of the same
// meaning, with the optional transparent copy looked up at run time.
#include "gui/platform/win32/Win32Platform.h"

#include "gui/platform/DesktopScale.h"
#include "gui/platform/MaskedTransparentCopy.h"
#include "gui/platform/win32/Win32DropTarget.h"

#include <cstring>
#include <map>
#include <new>
#include <ole2.h>
#include <windows.h>

namespace platform::win32 {

namespace {

template <class To, class From> To as(From handle) {
    return reinterpret_cast<To>(handle);
}

HDC dcOf(DeviceContextHandle dc) {
    return as<HDC>(dc);
}
HWND windowOf(WindowHandle window) {
    return as<HWND>(window);
}
HGDIOBJ objectOf(ObjectHandle object) {
    return as<HGDIOBJ>(object);
}

RECT toRect(const PixelRect& rect) {
    RECT r;
    r.left = rect.left;
    r.top = rect.top;
    r.right = rect.right;
    r.bottom = rect.bottom;
    return r;
}

PixelRect fromRect(const RECT& r) {
    return PixelRect{static_cast<int32_t>(r.left), static_cast<int32_t>(r.top),
                     static_cast<int32_t>(r.right), static_cast<int32_t>(r.bottom)};
}

static_assert(sizeof(PAINTSTRUCT) <= sizeof(PaintSession::platformData),
              "a paint session must hold the platform's paint record");
// The key-state bits of a press message reach the window procedure as the
// system sends them.
static_assert(PressLeftButton == MK_LBUTTON && PressRightButton == MK_RBUTTON &&
                  PressShift == MK_SHIFT && PressControl == MK_CONTROL &&
                  PressMiddleButton == MK_MBUTTON,
              "press bits are the system's own");
// The system's wheel message reaches the window procedure as it comes: the
// distance and keys in wParam, the pointer's screen position in lParam.
static_assert(MessageMouseWheel == WM_MOUSEWHEEL && WheelNotch == WHEEL_DELTA,
              "the wheel message is the system's own");

using TransparentBltProcedure = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, int, int,
                                              UINT);

// The platform family of the version query, or -1 when the query fails.
int32_t platformFamily() {
    OSVERSIONINFOA version;
    std::memset(&version, 0, sizeof(version));
    version.dwOSVersionInfoSize = sizeof(version);
    if (!GetVersionExA(&version)) {
        return -1;
    }
    return static_cast<int32_t>(version.dwPlatformId);
}

// msimg32's TransparentBlt, or null where it is missing or not used. Looked up
// at the first transparent copy and kept loaded from then on: freeing it while
// the plug-in unloads would run under the system's loader lock.
TransparentBltProcedure libraryTransparentCopy() {
    static const TransparentBltProcedure procedure = []() -> TransparentBltProcedure {
        if (!libraryTransparentCopyUsable(platformFamily())) {
            return nullptr;
        }
        HMODULE library = LoadLibraryA("msimg32.dll");
        if (!library) {
            return nullptr;
        }
        return reinterpret_cast<TransparentBltProcedure>(
            reinterpret_cast<void (*)()>(GetProcAddress(library, "TransparentBlt")));
    }();
    return procedure;
}

// OleInitialize calls that failed on this thread (for example because the host
// initialised COM for another apartment model). Their matching uninitialise
// calls must not reach the platform, or they would undo the host's own
// initialisation.
thread_local int failedOleInitialisations = 0;

// Lies inside this module's image, so its address names the module. (A
// thread-local variable would not do: its storage may live on the heap.)
const char moduleMarker = 0;

class Win32Platform final : public Platform {
public:
    // --- Module, system services ---
    ModuleHandle moduleHandle() override {
        HMODULE module = nullptr;
        // The module whose code contains this function: the plug-in library
        // inside a host, the test program in a test.
        if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                    GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                                &moduleMarker, &module)) {
            module = GetModuleHandleA(nullptr);
        }
        return as<ModuleHandle>(module);
    }

    int32_t oleInitialize() override {
        HRESULT result = OleInitialize(nullptr);
        if (FAILED(result)) {
            ++failedOleInitialisations;
        }
        return static_cast<int32_t>(result);
    }

    void oleUninitialize() override {
        if (failedOleInitialisations > 0) {
            --failedOleInitialisations;
            return;
        }
        OleUninitialize();
    }

    // The DPI the window is shown at (GetDpiForWindow, looked up at run time:
    // older systems lack it), else the screen's logical DPI. A host that is
    // not DPI-aware gets 96 from both: the system then scales its window.
    int32_t desktopScale(WindowHandle window) override {
        using DpiForWindow = UINT(WINAPI*)(HWND);
        static const DpiForWindow dpiForWindow =
            reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
                GetProcAddress(GetModuleHandleA("user32.dll"), "GetDpiForWindow")));
        UINT dpi = 0;
        if (window && dpiForWindow) {
            dpi = dpiForWindow(windowOf(window));
        }
        if (dpi == 0) {
            if (HDC screen = GetDC(nullptr)) {
                dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSX));
                ReleaseDC(nullptr, screen);
            }
        }
        return scaleFromDpi(dpi);
    }

    // --- Clock ---
    uint32_t tickCount() override { return GetTickCount(); }
    void sleep(uint32_t milliseconds) override { Sleep(milliseconds); }

    // --- Input ---
    bool isKeyHeld(int32_t key) override {
        // The mouse button codes report the physical buttons.
        return (GetAsyncKeyState(key) & 0x8000) != 0;
    }

    bool cursorPosition(PixelPoint& screen) override {
        POINT point;
        if (!GetCursorPos(&point)) {
            return false;
        }
        screen = PixelPoint{static_cast<int32_t>(point.x), static_cast<int32_t>(point.y)};
        return true;
    }

    bool mouseButtonsSwapped() override { return GetSystemMetrics(SM_SWAPBUTTON) > 0; }
    uint32_t doubleClickTime() override { return GetDoubleClickTime(); }

    // --- Drawing objects ---
    ObjectHandle createPen(int32_t style, int32_t width, ColourRef colour) override {
        LOGPEN pen;
        pen.lopnStyle = static_cast<UINT>(style);
        pen.lopnWidth.x = width;
        pen.lopnWidth.y = width;
        pen.lopnColor = colour;
        return as<ObjectHandle>(CreatePenIndirect(&pen));
    }

    ObjectHandle createSolidBrush(ColourRef colour) override {
        LOGBRUSH brush;
        brush.lbStyle = BS_SOLID;
        brush.lbColor = colour;
        brush.lbHatch = 0;
        return as<ObjectHandle>(CreateBrushIndirect(&brush));
    }

    ObjectHandle createFont(const FontDescription& font) override { return createGdiFont(font); }

    ObjectHandle stockObject(StockObject which) override {
        return as<ObjectHandle>(GetStockObject(static_cast<int>(which)));
    }

    bool deleteObject(ObjectHandle object) override {
        return object && DeleteObject(objectOf(object)) != 0;
    }

    ObjectHandle currentObject(DeviceContextHandle dc, ObjectKind kind) override {
        if (!dc) {
            return nullptr;
        }
        return as<ObjectHandle>(GetCurrentObject(dcOf(dc), static_cast<UINT>(kind)));
    }

    ObjectHandle selectObject(DeviceContextHandle dc, ObjectHandle object) override {
        if (!dc || !object) {
            return nullptr;
        }
        HGDIOBJ previous = SelectObject(dcOf(dc), objectOf(object));
        if (previous == HGDI_ERROR) {
            return nullptr;
        }
        return as<ObjectHandle>(previous);
    }

    // --- Device-context state ---
    int32_t setBackgroundMode(DeviceContextHandle dc, int32_t mode) override {
        return dc ? SetBkMode(dcOf(dc), mode) : 0;
    }

    ColourRef setBackgroundColour(DeviceContextHandle dc, ColourRef colour) override {
        if (!dc) {
            return 0;
        }
        COLORREF previous = SetBkColor(dcOf(dc), colour);
        return previous == CLR_INVALID ? 0 : previous;
    }

    ColourRef setTextColour(DeviceContextHandle dc, ColourRef colour) override {
        if (!dc) {
            return 0;
        }
        COLORREF previous = SetTextColor(dcOf(dc), colour);
        return previous == CLR_INVALID ? 0 : previous;
    }

    // --- Drawing ---
    bool moveTo(DeviceContextHandle dc, int32_t x, int32_t y) override {
        return dc && MoveToEx(dcOf(dc), x, y, nullptr) != 0;
    }

    bool lineTo(DeviceContextHandle dc, int32_t x, int32_t y) override {
        return dc && LineTo(dcOf(dc), x, y) != 0;
    }

    bool fillRect(DeviceContextHandle dc, const PixelRect& rect, ObjectHandle brush) override {
        if (!dc || !brush) {
            return false;
        }
        // An empty or inverted rectangle fills nothing (the platform would
        // fill an inverted one as if its corners were swapped).
        if (rect.right <= rect.left || rect.bottom <= rect.top) {
            return true;
        }
        RECT area = toRect(rect);
        return FillRect(dcOf(dc), &area, as<HBRUSH>(brush)) != 0;
    }

    bool drawText(DeviceContextHandle dc, const char* text, const PixelRect& rect,
                  int32_t alignment) override {
        if (!dc || !text) {
            return false;
        }
        UINT format = DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_NOPREFIX;
        if (alignment == AlignCentre) {
            format |= DT_CENTER;
        } else if (alignment == AlignRight) {
            format |= DT_RIGHT;
        } else {
            format |= DT_LEFT;
        }
        RECT area = toRect(rect);
        return DrawTextA(dcOf(dc), text, -1, &area, format) != 0;
    }

    // --- Memory surfaces and block copies ---
    DeviceContextHandle createCompatibleDC(DeviceContextHandle dc) override {
        return as<DeviceContextHandle>(CreateCompatibleDC(dcOf(dc)));
    }

    bool deleteDC(DeviceContextHandle dc) override { return dc && DeleteDC(dcOf(dc)) != 0; }

    ObjectHandle createCompatibleBitmap(DeviceContextHandle dc, int32_t width,
                                        int32_t height) override {
        if (!dc) {
            return nullptr;
        }
        return as<ObjectHandle>(CreateCompatibleBitmap(dcOf(dc), width, height));
    }

    ObjectHandle createMonochromeBitmap(int32_t width, int32_t height) override {
        return as<ObjectHandle>(CreateBitmap(width, height, 1, 1, nullptr));
    }

    bool bitmapSize(ObjectHandle bitmap, int32_t& width, int32_t& height) override {
        BITMAP description;
        if (!bitmap || GetObjectA(objectOf(bitmap), sizeof(description), &description) == 0) {
            return false;
        }
        width = description.bmWidth;
        height = description.bmHeight;
        return true;
    }

    bool blockCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                   int32_t height, DeviceContextHandle source, int32_t sourceX, int32_t sourceY,
                   uint32_t rop) override {
        if (!destination || !source) {
            return false;
        }
        return BitBlt(dcOf(destination), x, y, width, height, dcOf(source), sourceX, sourceY,
                      rop) != 0;
    }

    // msimg32's TransparentBlt where the system offers it; a one-bit mask otherwise.
    bool transparentCopy(DeviceContextHandle destination, int32_t x, int32_t y, int32_t width,
                         int32_t height, DeviceContextHandle source, int32_t sourceX,
                         int32_t sourceY, ColourRef transparent) override {
        if (!destination || !source) {
            return false;
        }
        if (TransparentBltProcedure copy = libraryTransparentCopy()) {
            return copy(dcOf(destination), x, y, width, height, dcOf(source), sourceX, sourceY,
                        width, height, transparent) != 0;
        }
        return maskedTransparentCopy(*this, destination, x, y, width, height, source, sourceX,
                                     sourceY, transparent);
    }

    ObjectHandle loadBitmapResource(ModuleHandle module, uint16_t id) override {
        return as<ObjectHandle>(LoadBitmapA(as<HINSTANCE>(module), MAKEINTRESOURCEA(id)));
    }

    // --- Windows ---
    bool registerWindowClass(const WindowClassDescription& description) override {
        if (!description.name || !description.procedure) {
            return false;
        }
        WNDCLASSA windowClass;
        std::memset(&windowClass, 0, sizeof(windowClass));
        windowClass.style = description.style;
        // The toolkit's procedure has the platform's signature and calling
        // convention (handle, message, two message parameters, result).
        windowClass.lpfnWndProc = reinterpret_cast<WNDPROC>(description.procedure);
        windowClass.cbClsExtra = 0;
        windowClass.cbWndExtra = 0;
        windowClass.hInstance = as<HINSTANCE>(description.module);
        windowClass.hIcon = nullptr;
        windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        windowClass.hbrBackground = GetSysColorBrush(description.backgroundSystemColour);
        windowClass.lpszMenuName = nullptr;
        windowClass.lpszClassName = description.name;
        return RegisterClassA(&windowClass) != 0;
    }

    bool unregisterWindowClass(const char* name, ModuleHandle module) override {
        return name && UnregisterClassA(name, as<HINSTANCE>(module)) != 0;
    }

    WindowHandle createWindow(const char* className, const char* title, uint32_t style, int32_t x,
                              int32_t y, int32_t width, int32_t height, WindowHandle parent,
                              ModuleHandle module) override {
        if (!className) {
            return nullptr;
        }
        HWND window = CreateWindowExA(0, className, title, style, x, y, width, height,
                                      windowOf(parent), nullptr, as<HINSTANCE>(module), nullptr);
        return as<WindowHandle>(window);
    }

    bool destroyWindow(WindowHandle window) override {
        return window && IsWindow(windowOf(window)) && DestroyWindow(windowOf(window)) != 0;
    }

    void setWindowUserData(WindowHandle window, void* data) override {
        if (window && IsWindow(windowOf(window))) {
            SetWindowLongPtrA(windowOf(window), GWLP_USERDATA, reinterpret_cast<LONG_PTR>(data));
        }
    }

    void* windowUserData(WindowHandle window) override {
        if (!window || !IsWindow(windowOf(window))) {
            return nullptr;
        }
        return reinterpret_cast<void*>(GetWindowLongPtrA(windowOf(window), GWLP_USERDATA));
    }

    intptr_t defaultWindowProcedure(WindowHandle window, uint32_t message, uintptr_t wParam,
                                    intptr_t lParam) override {
        return DefWindowProcA(windowOf(window), message, wParam, lParam);
    }

    bool windowScreenRect(WindowHandle window, PixelRect& screen) override {
        RECT r;
        if (!window || !GetWindowRect(windowOf(window), &r)) {
            return false;
        }
        screen = fromRect(r);
        return true;
    }

    bool setWindowSize(WindowHandle window, int32_t width, int32_t height) override {
        // The frame's window has no border: its window size is its client size.
        if (!window || !IsWindow(windowOf(window)) ||
            !SetWindowPos(windowOf(window), nullptr, 0, 0, width, height,
                          SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE)) {
            return false;
        }
        InvalidateRect(windowOf(window), nullptr, TRUE);
        return true;
    }

    bool updateRect(WindowHandle window, PixelRect* rect) override {
        if (!window) {
            return false;
        }
        RECT r;
        if (!GetUpdateRect(windowOf(window), &r, FALSE)) {
            return false;
        }
        if (rect) {
            *rect = fromRect(r);
        }
        return true;
    }

    DeviceContextHandle beginPaint(WindowHandle window, PaintSession& paint) override {
        auto* record = new (paint.platformData) PAINTSTRUCT;
        std::memset(record, 0, sizeof(*record));
        HDC dc = window ? BeginPaint(windowOf(window), record) : nullptr;
        paint.deviceContext = as<DeviceContextHandle>(dc);
        paint.area = fromRect(record->rcPaint);
        return paint.deviceContext;
    }

    void endPaint(WindowHandle window, PaintSession& paint) override {
        if (window && paint.deviceContext) {
            EndPaint(windowOf(window), reinterpret_cast<PAINTSTRUCT*>(paint.platformData));
        }
    }

    DeviceContextHandle windowDC(WindowHandle window) override {
        return as<DeviceContextHandle>(GetDC(windowOf(window)));
    }

    void releaseWindowDC(WindowHandle window, DeviceContextHandle dc) override {
        if (dc) {
            ReleaseDC(windowOf(window), dcOf(dc));
        }
    }

    bool dispatchOnePaintMessage() override {
        MSG message;
        if (!PeekMessageA(&message, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) {
            return false;
        }
        DispatchMessageA(&message);
        return true;
    }

    // The host runs the message loop of its windows and of ours.
    void pumpWindowEvents() override {}

    // --- Drag and drop ---
    bool registerDropTarget(WindowHandle window, DropSink* sink) override {
        if (!sink) {
            return false;
        }
        IDropTarget* target = createDropTarget(sink); // owns the sink from here on
        if (!target) {
            return false;
        }
        HWND handle = windowOf(window);
        if (!window || !IsWindow(handle) || targets.count(handle) ||
            FAILED(RegisterDragDrop(handle, target))) {
            target->Release(); // deletes the target and its sink
            return false;
        }
        // The backend keeps one reference besides the platform's, so that the
        // sink is deleted at revocation even when the platform's reference
        // could not be given back (a window already destroyed).
        targets[handle] = target;
        return true;
    }

    bool revokeDropTarget(WindowHandle window) override {
        HWND handle = windowOf(window);
        auto it = targets.find(handle);
        if (it == targets.end()) {
            return false;
        }
        IDropTarget* target = it->second;
        targets.erase(it);
        bool revoked = SUCCEEDED(RevokeDragDrop(handle));
        detachSink(target);
        target->Release();
        return revoked;
    }

    bool resolveShortcut(char* path, size_t bufferSize) override {
        return resolveShortcutFile(path, bufferSize);
    }

private:
    std::map<HWND, IDropTarget*> targets;
};

} // namespace

ObjectHandle createGdiFont(const FontDescription& font) {
    LOGFONTA description;
    std::memset(&description, 0, sizeof(description));
    description.lfHeight = font.height;
    description.lfWidth = font.width;
    description.lfEscapement = font.escapement;
    description.lfOrientation = font.orientation;
    description.lfWeight = font.weight;
    description.lfItalic = font.italic;
    description.lfUnderline = font.underline;
    description.lfStrikeOut = font.strikeOut;
    description.lfCharSet = font.charSet;
    description.lfOutPrecision = font.outPrecision;
    description.lfClipPrecision = font.clipPrecision;
    description.lfQuality = font.quality;
    description.lfPitchAndFamily = font.pitchAndFamily;
    // The face name is cut to the platform's 31 characters if need be.
    size_t length = strnlen(font.faceName, LF_FACESIZE - 1);
    std::memcpy(description.lfFaceName, font.faceName, length);
    description.lfFaceName[length] = 0;
    return as<ObjectHandle>(CreateFontIndirectA(&description));
}

bool libraryTransparentCopyUsable(int32_t family) {
    // Only the NT family's TransparentBlt is reliable.
    return family >= VER_PLATFORM_WIN32_NT;
}

Platform& nativePlatform() {
    // Never destroyed: toolkit objects of hosts that unload late may still call it.
    static Win32Platform* backend = new Win32Platform();
    return *backend;
}

} // namespace platform::win32
