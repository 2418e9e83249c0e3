// A small library built with the win32 backend inside it, as the plug-in is:
// the tests load it and ask the backend there for its module and resources.
#include "gui/platform/win32/Win32Platform.h"

#include <windows.h>

extern "C" __declspec(dllexport) void* probeModuleHandle() {
    return platform::win32::nativePlatform().moduleHandle();
}

// The width of a bitmap resource loaded from the backend's own module, or -1.
extern "C" __declspec(dllexport) int probeBitmapWidth(int id) {
    platform::Platform& p = platform::win32::nativePlatform();
    platform::ObjectHandle bitmap =
        p.loadBitmapResource(p.moduleHandle(), static_cast<uint16_t>(id));
    int32_t width = -1;
    int32_t height = -1;
    if (!bitmap || !p.bitmapSize(bitmap, width, height)) {
        width = -1;
    }
    if (bitmap) {
        p.deleteObject(bitmap);
    }
    return width;
}
