// The win32 test helpers: memory surfaces in 32-bit DIB sections and bitmap pixels read back
// through GDI.
#include "Win32TestSupport.h"

namespace win32test {

namespace {

platform::ColourRef fromDib(uint32_t value) {
    // DIB pixels are 0x00RRGGBB; a ColourRef holds red in the lowest byte.
    return platform::makeColourRef(static_cast<uint8_t>(value >> 16),
                                   static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value));
}

uint32_t toDib(platform::ColourRef colour) {
    return ((colour & 0xFF) << 16) | (colour & 0xFF00) | ((colour >> 16) & 0xFF);
}

BITMAPINFO topDown32(int32_t width, int32_t height) {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    return info;
}

} // namespace

Canvas::Canvas(platform::Platform& backend, int32_t width, int32_t height,
               platform::ColourRef background)
    : p(backend), w(width), h(height) {
    context = p.createCompatibleDC(nullptr);
    BITMAPINFO info = topDown32(width, height);
    void* pixels = nullptr;
    section = CreateDIBSection(hdc(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0);
    bits = static_cast<uint32_t*>(pixels);
    previous = SelectObject(hdc(), section);
    fill(background);
}

Canvas::~Canvas() {
    SelectObject(hdc(), previous);
    DeleteObject(section);
    p.deleteDC(context);
}

platform::ColourRef Canvas::pixel(int32_t x, int32_t y) const {
    GdiFlush();
    if (!bits || x < 0 || y < 0 || x >= w || y >= h) {
        return 0xFFFFFFFFu;
    }
    return fromDib(bits[y * w + x] & 0x00FFFFFFu);
}

void Canvas::setPixel(int32_t x, int32_t y, platform::ColourRef colour) {
    GdiFlush();
    if (bits && x >= 0 && y >= 0 && x < w && y < h) {
        bits[y * w + x] = toDib(colour);
    }
}

void Canvas::fill(platform::ColourRef colour) {
    GdiFlush();
    for (int32_t i = 0; bits && i < w * h; ++i) {
        bits[i] = toDib(colour);
    }
}

int32_t Canvas::count(platform::ColourRef colour) const {
    int32_t n = 0;
    for (int32_t y = 0; y < h; ++y) {
        for (int32_t x = 0; x < w; ++x) {
            n += pixel(x, y) == colour ? 1 : 0;
        }
    }
    return n;
}

std::vector<platform::ColourRef> bitmapPixels(HBITMAP bitmap, int32_t& width, int32_t& height) {
    BITMAP description{};
    width = height = 0;
    if (!bitmap || !GetObjectA(bitmap, sizeof(description), &description)) {
        return {};
    }
    width = description.bmWidth;
    height = description.bmHeight;
    BITMAPINFO info = topDown32(width, height);
    std::vector<uint32_t> raw(static_cast<size_t>(width) * static_cast<size_t>(height));
    HDC screen = GetDC(nullptr);
    int rows =
        GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), raw.data(), &info, DIB_RGB_COLORS);
    ReleaseDC(nullptr, screen);
    if (rows != height) {
        return {};
    }
    std::vector<platform::ColourRef> pixels;
    pixels.reserve(raw.size());
    for (uint32_t value : raw) {
        pixels.push_back(fromDib(value & 0x00FFFFFFu));
    }
    return pixels;
}

} // namespace win32test
