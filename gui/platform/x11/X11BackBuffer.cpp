// Copies areas of a window's back buffer to its X window through cairo.
#include "gui/platform/x11/X11BackBuffer.h"

#include <cairo-xlib.h>
#include <utility>

namespace platform::x11 {

BackBuffer::BackBuffer(BackBuffer&& other) noexcept
    : surface(other.surface), target(std::exchange(other.target, nullptr)),
      staging(std::exchange(other.staging, nullptr)), wasShown(other.wasShown) {}

BackBuffer& BackBuffer::operator=(BackBuffer&& other) noexcept {
    if (this != &other) {
        detach();
        surface = other.surface;
        target = std::exchange(other.target, nullptr);
        staging = std::exchange(other.staging, nullptr);
        wasShown = other.wasShown;
    }
    return *this;
}

void BackBuffer::attach(Display* display, ::Window window, Visual* visual, int32_t width,
                        int32_t height) {
    detach();
    target = cairo_xlib_surface_create(display, window, visual, width, height);
    staging = cairo_image_surface_create(CAIRO_FORMAT_RGB24, width, height);
}

void BackBuffer::detach() {
    if (target) {
        cairo_surface_finish(target);
        cairo_surface_destroy(target);
        target = nullptr;
    }
    if (staging) {
        cairo_surface_destroy(staging);
        staging = nullptr;
    }
}

void BackBuffer::present(Display* display, const software::Surface& pixels,
                         const PixelRect& requested) {
    if (!target || !staging || !display) {
        return;
    }
    PixelRect area = software::intersect(requested, pixels.bounds());
    if (software::isEmpty(area)) {
        return;
    }
    cairo_surface_flush(staging);
    unsigned char* data = cairo_image_surface_get_data(staging);
    int stride = cairo_image_surface_get_stride(staging);
    if (!data) {
        return;
    }
    for (int32_t y = area.top; y < area.bottom; ++y) {
        uint32_t* row = reinterpret_cast<uint32_t*>(data + static_cast<size_t>(y) * stride);
        for (int32_t x = area.left; x < area.right; ++x) {
            // Red + 256 green + 65536 blue becomes cairo's 0x00RRGGBB.
            uint32_t p = pixels.at(x, y);
            row[x] = ((p & 0xFFu) << 16) | (p & 0xFF00u) | ((p >> 16) & 0xFFu);
        }
    }
    int32_t width = area.right - area.left, height = area.bottom - area.top;
    cairo_surface_mark_dirty_rectangle(staging, area.left, area.top, width, height);
    cairo_t* cr = cairo_create(target);
    cairo_set_operator(cr, CAIRO_OPERATOR_SOURCE);
    cairo_set_source_surface(cr, staging, 0, 0);
    cairo_rectangle(cr, area.left, area.top, width, height);
    cairo_fill(cr);
    cairo_destroy(cr);
    cairo_surface_flush(target);
    XFlush(display);
    wasShown = true;
}

} // namespace platform::x11
