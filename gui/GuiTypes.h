// Geometry, colours, the font table and the mouse bits shared by the whole
// toolkit, the controls and the editor.
#pragma once

#include "gui/platform/Platform.h"

#include <cstdint>

struct Point {
    int32_t x = 0;
    int32_t y = 0;

    constexpr Point() = default;
    constexpr Point(int32_t px, int32_t py) : x(px), y(py) {}

    Point& offset(int32_t dx, int32_t dy) {
        x += dx;
        y += dy;
        return *this;
    }
    bool operator==(const Point& o) const { return x == o.x && y == o.y; }
    bool operator!=(const Point& o) const { return !(*this == o); }
};

// Copies and fills cover left up to but excluding right (and top up to but
// excluding bottom); hit and overlap tests count right and bottom as inside.
struct Rect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;

    constexpr Rect() = default;
    constexpr Rect(int32_t l, int32_t t, int32_t r, int32_t b)
        : left(l), top(t), right(r), bottom(b) {}

    int32_t width() const { return right - left; }
    int32_t height() const { return bottom - top; }
    Rect& offset(int32_t dx, int32_t dy) {
        left += dx;
        right += dx;
        top += dy;
        bottom += dy;
        return *this;
    }
    // Moves the rectangle so that its top-left corner is (x, y), keeping its size.
    Rect& moveTo(int32_t x, int32_t y) { return offset(x - left, y - top); }
    // Whether the point lies inside, right and bottom edges included.
    bool contains(const Point& p) const {
        return p.x >= left && p.x <= right && p.y >= top && p.y <= bottom;
    }
    bool operator==(const Rect& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
    bool operator!=(const Rect& o) const { return !(*this == o); }
};

// Passed by value as one 32-bit word with red in the lowest byte; `extra` is
// carried along but never reaches the platform.
struct Colour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t extra = 0;

    constexpr Colour() = default;
    constexpr Colour(uint8_t r, uint8_t g, uint8_t b, uint8_t e = 0)
        : red(r), green(g), blue(b), extra(e) {}

    // The platform's colour value: red + 256 * green + 65536 * blue.
    constexpr platform::ColourRef toPlatform() const {
        return platform::makeColourRef(red, green, blue);
    }
    bool operator==(const Colour& o) const {
        return red == o.red && green == o.green && blue == o.blue && extra == o.extra;
    }
    bool operator!=(const Colour& o) const { return !(*this == o); }
};
static_assert(sizeof(Colour) == 4, "a colour is one 32-bit word");

inline constexpr Colour ColourTransparent{255, 255, 255, 0};
inline constexpr Colour ColourWhite{255, 255, 255, 0};
inline constexpr Colour ColourBlack{0, 0, 0, 0};
inline constexpr Colour ColourGrey{127, 127, 127, 0};
inline constexpr Colour ColourRed{255, 0, 0, 0};
inline constexpr Colour ColourGreen{0, 255, 0, 0};
inline constexpr Colour ColourBlue{0, 0, 255, 0};
inline constexpr Colour ColourYellow{255, 255, 0, 0};
inline constexpr Colour ColourMagenta{255, 0, 255, 0};
inline constexpr Colour ColourCyan{0, 255, 255, 0};

// The font table: font id -> face and default pixel size. Ids outside 0-7 are
// taken as 0; id 0 is always bold, id 7 is of the decorative family.
struct FontTableEntry {
    const char* face;
    int32_t size;
};
inline constexpr int32_t FontCount = 8;
inline constexpr FontTableEntry FontTable[FontCount] = {
    {"Arial", 12}, {"Arial", 18}, {"Arial", 14}, {"Arial", 12},
    {"Arial", 11}, {"Arial", 10}, {"Arial", 9},  {"Symbol", 13},
};

// Font style bits of setFont.
enum : int32_t { FontBold = 1, FontItalic = 2, FontUnderline = 4 };

// Text alignment of drawString.
enum : int32_t { TextAlignLeft = 0, TextAlignCentre = 1, TextAlignRight = 2 };

// Line styles of setLineStyle.
enum : int32_t { LineSolid = 0, LineDotted = 1 };

// Mouse button and modifier bits answered by getMouseButtons. A mouse event
// that arrives without a drawing context carries -1 in their place.
enum : int32_t {
    MouseLeft = 1, // the primary button
    MouseMiddle = 2,
    MouseRight = 4, // the secondary button
    MouseShift = 8,
    MouseControl = 16,
    MouseAlt = 32,
};
