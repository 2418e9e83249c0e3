// Copies areas of a window's back buffer to its X window with XPutImage, converting the
// pixels to the window visual's format.
#include "gui/platform/x11/X11BackBuffer.h"

#include <X11/Xutil.h>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace platform::x11 {

namespace {

// The lowest set bit of a mask and the number of bits from there on.
void describe(unsigned long mask, int& shift, int& bits) {
    shift = 0;
    bits = 0;
    while (mask && !(mask & 1u)) {
        mask >>= 1;
        ++shift;
    }
    while (mask & 1u) {
        mask >>= 1;
        ++bits;
    }
}

bool littleEndian() {
    const uint32_t one = 1;
    unsigned char first = 0;
    std::memcpy(&first, &one, 1);
    return first == 1;
}

} // namespace

unsigned long BackBuffer::Channel::place(uint32_t value) const {
    // An 8-bit channel narrowed (or widened) to the visual's width.
    const unsigned long scaled = bits >= 8 ? static_cast<unsigned long>(value) << (bits - 8)
                                           : static_cast<unsigned long>(value) >> (8 - bits);
    return scaled << shift;
}

BackBuffer::BackBuffer(BackBuffer&& other) noexcept
    : surface(other.surface), display(std::exchange(other.display, nullptr)),
      window(std::exchange(other.window, 0)), gc(std::exchange(other.gc, nullptr)),
      image(std::exchange(other.image, nullptr)), red(other.red), green(other.green),
      blue(other.blue), wasShown(other.wasShown) {}

BackBuffer& BackBuffer::operator=(BackBuffer&& other) noexcept {
    if (this != &other) {
        detach();
        surface = other.surface;
        display = std::exchange(other.display, nullptr);
        window = std::exchange(other.window, 0);
        gc = std::exchange(other.gc, nullptr);
        image = std::exchange(other.image, nullptr);
        red = other.red;
        green = other.green;
        blue = other.blue;
        wasShown = other.wasShown;
    }
    return *this;
}

void BackBuffer::attach(Display* to, ::Window target, Visual* visual, int32_t depth, int32_t width,
                        int32_t height) {
    detach();
    if (!to || !visual || width <= 0 || height <= 0) {
        return;
    }
    image =
        XCreateImage(to, visual, static_cast<unsigned int>(depth), ZPixmap, 0, nullptr,
                     static_cast<unsigned int>(width), static_cast<unsigned int>(height), 32, 0);
    if (!image) {
        return;
    }
    image->data = static_cast<char*>(
        std::calloc(static_cast<size_t>(image->bytes_per_line), static_cast<size_t>(height)));
    if (!image->data) {
        XDestroyImage(image);
        image = nullptr;
        return;
    }
    display = to;
    window = target;
    gc = XCreateGC(display, window, 0, nullptr);
    describe(visual->red_mask, red.shift, red.bits);
    describe(visual->green_mask, green.shift, green.bits);
    describe(visual->blue_mask, blue.shift, blue.bits);
}

void BackBuffer::detach() {
    if (image) {
        XDestroyImage(image); // and the pixels
        image = nullptr;
    }
    if (gc && display) {
        XFreeGC(display, gc);
    }
    gc = nullptr;
    display = nullptr;
    window = 0;
}

void BackBuffer::present(Display* to, const software::Surface& pixels, const PixelRect& requested) {
    if (!image || !gc || to != display) {
        return;
    }
    PixelRect area = software::intersect(software::intersect(requested, pixels.bounds()),
                                         {0, 0, image->width, image->height});
    if (software::isEmpty(area)) {
        return;
    }
    // The usual visual (32 bits a pixel in this machine's byte order, 8 bits
    // a channel) takes the pixels directly; any other through Xlib.
    static const bool native = littleEndian();
    const bool direct = image->bits_per_pixel == 32 && (image->byte_order == LSBFirst) == native &&
                        red.bits == 8 && green.bits == 8 && blue.bits == 8;
    for (int32_t y = area.top; y < area.bottom; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(image->data +
                                                static_cast<size_t>(y) * image->bytes_per_line);
        for (int32_t x = area.left; x < area.right; ++x) {
            // Red + 256 green + 65536 blue.
            const uint32_t p = pixels.at(x, y);
            const unsigned long value = red.place(p & 0xFFu) | green.place((p >> 8) & 0xFFu) |
                                        blue.place((p >> 16) & 0xFFu);
            if (direct) {
                row[x] = static_cast<uint32_t>(value);
            } else {
                XPutPixel(image, x, y, value);
            }
        }
    }
    XPutImage(display, window, gc, image, area.left, area.top, area.left, area.top,
              static_cast<unsigned int>(area.right - area.left),
              static_cast<unsigned int>(area.bottom - area.top));
    XFlush(display);
    wasShown = true;
}

} // namespace platform::x11
