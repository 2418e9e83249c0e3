// The pixel store of the software drawing (32-bit and monochrome surfaces) and
// the raster rules that put lines, fills and block copies on it, in surface pixels.
#pragma once

#include "gui/platform/Platform.h"

#include <cstdint>
#include <vector>

namespace platform::software {

// A 32-bit surface (each pixel red + 256 * green + 65536 * blue) or a
// monochrome one (each pixel 0x000000 or 0xFFFFFF).
struct Surface {
    int32_t width = 0;
    int32_t height = 0;
    bool monochrome = false;
    std::vector<uint32_t> pixels;

    Surface() = default;
    Surface(int32_t w, int32_t h, bool mono, uint32_t fill = 0);

    bool contains(int32_t x, int32_t y) const {
        return x >= 0 && y >= 0 && x < width && y < height;
    }
    // The pixel at (x, y); 0 outside the surface.
    uint32_t at(int32_t x, int32_t y) const {
        return contains(x, y) ? pixels[static_cast<size_t>(y) * width + x] : 0;
    }
    PixelRect bounds() const { return {0, 0, width, height}; }
};

// The value a colour takes on a monochrome surface: white when it is light.
uint32_t toMonochrome(ColourRef colour);

PixelRect intersect(const PixelRect& a, const PixelRect& b);
bool isEmpty(const PixelRect& r);
// The smallest rectangle holding both; an empty one counts as nothing.
PixelRect unite(const PixelRect& a, const PixelRect& b);

// Sets one pixel when it lies inside clip (and the surface).
void putPixel(Surface& surface, const PixelRect& clip, int32_t x, int32_t y, ColourRef colour);

// Line from (x0, y0) to (x1, y1) without its end point. style PenSolid or
// PenDotted (3 on, 3 off); gaps of a dotted line get gapColour when opaqueGaps.
void drawLine(Surface& surface, const PixelRect& clip, int32_t x0, int32_t y0, int32_t x1,
              int32_t y1, ColourRef colour, int32_t style, bool opaqueGaps, ColourRef gapColour);

// Fills left..right-1 by top..bottom-1.
void fillRect(Surface& surface, const PixelRect& clip, const PixelRect& rect, ColourRef colour);

// The colours that take part in conversions between colour and monochrome.
struct CopyColours {
    ColourRef sourceBackground;      // colour pixels equal to it become white in a mono destination
    ColourRef destinationText;       // mono 0 becomes this in a colour destination
    ColourRef destinationBackground; // mono 1 becomes this in a colour destination
};

void blockCopy(Surface& destination, const PixelRect& clip, int32_t x, int32_t y, int32_t width,
               int32_t height, const Surface& source, int32_t sourceX, int32_t sourceY,
               uint32_t rop, const CopyColours& colours);

void transparentCopy(Surface& destination, const PixelRect& clip, int32_t x, int32_t y,
                     int32_t width, int32_t height, const Surface& source, int32_t sourceX,
                     int32_t sourceY, int32_t sourceWidth, int32_t sourceHeight,
                     ColourRef transparent, const CopyColours& colours);

} // namespace platform::software
