// Shared helpers of the win32 backend tests: 32-bit memory surfaces whose
// pixels the tests read directly, and bitmap pixels read back through GDI.
#pragma once

#include "gui/platform/Platform.h"

#include <cstdint>
#include <vector>
#include <windows.h>

namespace win32test {

// A memory device context (made by the backend) with a top-down 32-bit DIB
// section selected, filled with `background`.
class Canvas {
public:
    Canvas(platform::Platform& backend, int32_t width, int32_t height,
           platform::ColourRef background = platform::makeColourRef(255, 255, 255));
    ~Canvas();
    Canvas(const Canvas&) = delete;
    Canvas& operator=(const Canvas&) = delete;

    platform::DeviceContextHandle dc() const { return context; }
    HDC hdc() const { return reinterpret_cast<HDC>(context); }
    int32_t width() const { return w; }
    int32_t height() const { return h; }

    // The pixel at (x, y) as red + 256 green + 65536 blue.
    platform::ColourRef pixel(int32_t x, int32_t y) const;
    void setPixel(int32_t x, int32_t y, platform::ColourRef colour);
    void fill(platform::ColourRef colour);
    // Pixels of the given colour inside the canvas.
    int32_t count(platform::ColourRef colour) const;

private:
    platform::Platform& p;
    platform::DeviceContextHandle context = nullptr;
    HBITMAP section = nullptr;
    HGDIOBJ previous = nullptr;
    uint32_t* bits = nullptr;
    int32_t w = 0;
    int32_t h = 0;
};

// The pixels of a device-dependent bitmap, row by row from the top, as
// ColourRef values.
std::vector<platform::ColourRef> bitmapPixels(HBITMAP bitmap, int32_t& width, int32_t& height);

} // namespace win32test
