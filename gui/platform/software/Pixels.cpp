// The raster rules of the software drawing: pixels, lines, fills and block copies.
#include "gui/platform/software/Pixels.h"

#include <algorithm>
#include <cstdlib>

namespace platform::software {

Surface::Surface(int32_t w, int32_t h, bool mono, uint32_t fill)
    : width(w > 0 ? w : 0), height(h > 0 ? h : 0), monochrome(mono),
      pixels(static_cast<size_t>(width) * height, mono ? toMonochrome(fill) : fill) {}

uint32_t toMonochrome(ColourRef colour) {
    uint32_t r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    return (r * 30 + g * 59 + b * 11) >= 128 * 100 ? 0xFFFFFFu : 0u;
}

PixelRect intersect(const PixelRect& a, const PixelRect& b) {
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

bool isEmpty(const PixelRect& r) {
    return r.right <= r.left || r.bottom <= r.top;
}

PixelRect unite(const PixelRect& a, const PixelRect& b) {
    if (isEmpty(a)) {
        return b;
    }
    if (isEmpty(b)) {
        return a;
    }
    return {std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
            std::max(a.bottom, b.bottom)};
}

namespace {

bool inside(const PixelRect& clip, int32_t x, int32_t y) {
    return x >= clip.left && x < clip.right && y >= clip.top && y < clip.bottom;
}

uint32_t& pixelRef(Surface& s, int32_t x, int32_t y) {
    return s.pixels[static_cast<size_t>(y) * s.width + x];
}

// Converts a source pixel into the destination's format.
uint32_t convert(uint32_t pixel, bool fromMono, bool toMono, const CopyColours& colours) {
    if (fromMono == toMono) {
        return pixel;
    }
    if (toMono) {
        return (pixel & 0xFFFFFF) == (colours.sourceBackground & 0xFFFFFF) ? 0xFFFFFFu : 0u;
    }
    return pixel ? (colours.destinationBackground & 0xFFFFFF)
                 : (colours.destinationText & 0xFFFFFF);
}

uint32_t applyRop(uint32_t destination, uint32_t source, uint32_t rop) {
    switch (rop) {
    case RopInvert:
        return (destination ^ source) & 0xFFFFFF;
    case RopAnd:
        return destination & source & 0xFFFFFF;
    case RopPaint:
        return (destination | source) & 0xFFFFFF;
    case RopCopy:
    default:
        return source & 0xFFFFFF;
    }
}

} // namespace

void putPixel(Surface& surface, const PixelRect& clip, int32_t x, int32_t y, ColourRef colour) {
    if (!surface.contains(x, y) || !inside(clip, x, y)) {
        return;
    }
    pixelRef(surface, x, y) = surface.monochrome ? toMonochrome(colour) : (colour & 0xFFFFFF);
}

void drawLine(Surface& surface, const PixelRect& clip, int32_t x0, int32_t y0, int32_t x1,
              int32_t y1, ColourRef colour, int32_t style, bool opaqueGaps, ColourRef gapColour) {
    if (style == PenNull) {
        return;
    }
    // Integer line walk over the major axis; the end point is not drawn.
    int64_t dx = std::llabs(static_cast<int64_t>(x1) - x0);
    int64_t dy = std::llabs(static_cast<int64_t>(y1) - y0);
    int32_t sx = x0 < x1 ? 1 : -1;
    int32_t sy = y0 < y1 ? 1 : -1;
    int64_t steps = std::max(dx, dy);
    int64_t error = (dx > dy ? dx : -dy) / 2;
    int32_t x = x0, y = y0;
    for (int64_t i = 0; i < steps; ++i) {
        bool on = style != PenDotted || (i % 6) < 3;
        if (on) {
            putPixel(surface, clip, x, y, colour);
        } else if (opaqueGaps) {
            putPixel(surface, clip, x, y, gapColour);
        }
        int64_t e2 = error;
        if (e2 > -dx) {
            error -= dy;
            x += sx;
        }
        if (e2 < dy) {
            error += dx;
            y += sy;
        }
    }
}

void fillRect(Surface& surface, const PixelRect& clip, const PixelRect& rect, ColourRef colour) {
    PixelRect area = intersect(intersect(rect, clip), surface.bounds());
    if (isEmpty(area)) {
        return;
    }
    uint32_t value = surface.monochrome ? toMonochrome(colour) : (colour & 0xFFFFFF);
    for (int32_t y = area.top; y < area.bottom; ++y) {
        std::fill_n(&pixelRef(surface, area.left, y), area.right - area.left, value);
    }
}

void blockCopy(Surface& destination, const PixelRect& clip, int32_t x, int32_t y, int32_t width,
               int32_t height, const Surface& source, int32_t sourceX, int32_t sourceY,
               uint32_t rop, const CopyColours& colours) {
    if (width <= 0 || height <= 0) {
        return;
    }
    // Read the whole source block first: source and destination may be one surface.
    std::vector<uint32_t> block(static_cast<size_t>(width) * height);
    std::vector<bool> present(block.size());
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t i = 0; i < width; ++i) {
            int64_t sx = static_cast<int64_t>(sourceX) + i, sy = static_cast<int64_t>(sourceY) + j;
            if (sx >= 0 && sy >= 0 && sx < source.width && sy < source.height) {
                size_t k = static_cast<size_t>(j) * width + i;
                block[k] = convert(source.at(static_cast<int32_t>(sx), static_cast<int32_t>(sy)),
                                   source.monochrome, destination.monochrome, colours);
                present[k] = true;
            }
        }
    }
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t i = 0; i < width; ++i) {
            int64_t dx = static_cast<int64_t>(x) + i, dy = static_cast<int64_t>(y) + j;
            size_t k = static_cast<size_t>(j) * width + i;
            if (!present[k] || dx < INT32_MIN || dx > INT32_MAX || dy < INT32_MIN ||
                dy > INT32_MAX) {
                continue;
            }
            int32_t px = static_cast<int32_t>(dx), py = static_cast<int32_t>(dy);
            if (!destination.contains(px, py) || !inside(clip, px, py)) {
                continue;
            }
            uint32_t& d = pixelRef(destination, px, py);
            d = applyRop(d, block[k], rop);
        }
    }
}

void transparentCopy(Surface& destination, const PixelRect& clip, int32_t x, int32_t y,
                     int32_t width, int32_t height, const Surface& source, int32_t sourceX,
                     int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                     ColourRef transparent, const CopyColours& colours) {
    if (width <= 0 || height <= 0 || sourceWidth <= 0 || sourceHeight <= 0) {
        return;
    }
    for (int32_t j = 0; j < height; ++j) {
        for (int32_t i = 0; i < width; ++i) {
            int64_t sx = sourceX + static_cast<int64_t>(i) * sourceWidth / width;
            int64_t sy = sourceY + static_cast<int64_t>(j) * sourceHeight / height;
            if (sx < 0 || sy < 0 || sx >= source.width || sy >= source.height) {
                continue;
            }
            uint32_t s = source.at(static_cast<int32_t>(sx), static_cast<int32_t>(sy));
            if (!source.monochrome && (s & 0xFFFFFF) == (transparent & 0xFFFFFF)) {
                continue;
            }
            int64_t dx = static_cast<int64_t>(x) + i, dy = static_cast<int64_t>(y) + j;
            if (dx < 0 || dy < 0 || dx >= destination.width || dy >= destination.height) {
                continue;
            }
            int32_t px = static_cast<int32_t>(dx), py = static_cast<int32_t>(dy);
            if (!inside(clip, px, py)) {
                continue;
            }
            pixelRef(destination, px, py) =
                convert(s, source.monochrome, destination.monochrome, colours);
        }
    }
}

} // namespace platform::software
