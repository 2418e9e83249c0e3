// The editor's zoom factors and how panel coordinates fall on device pixels.
//
// The toolkit, the controls and the editor work in the panel's own
// coordinates; at a zoom of z percent, panel pixel p covers the device pixels
// from toDevice(p) up to but excluding toDevice(p + 1), where toDevice(p) is
// p x z / 100 rounded down. Every rectangle, line and copy is scaled this way,
// so the pixel rules of the drawing context (an outline includes right and
// bottom, a fill excludes them) hold at every zoom in device pixels. At 100%
// the mapping is the identity.
#pragma once

#include <cstdint>

class Zoom {
public:
    // The factors the editor offers, in percent, smallest first.
    static constexpr int32_t kFactors[] = {100, 150, 200, 300};
    static constexpr int32_t kFactorCount = 4;

    constexpr Zoom() = default;
    // A percentage that is not one of kFactors gives 100%.
    explicit constexpr Zoom(int32_t percent) : value(isFactor(percent) ? percent : 100) {}

    static constexpr bool isFactor(int32_t percent) {
        for (int32_t f : kFactors) {
            if (f == percent) {
                return true;
            }
        }
        return false;
    }

    // The largest factor at or below a measured scale (in percent); 100% for
    // anything below 150%, including scales that could not be measured (0).
    static constexpr Zoom atOrBelow(int32_t measuredPercent) {
        int32_t chosen = kFactors[0];
        for (int32_t f : kFactors) {
            if (f <= measuredPercent) {
                chosen = f;
            }
        }
        return Zoom(chosen);
    }

    constexpr int32_t percent() const { return value; }
    constexpr bool isIdentity() const { return value == 100; }

    // The first device pixel of panel coordinate v: v x percent / 100 rounded
    // toward minus infinity (exact for the 32-bit range of panel coordinates).
    constexpr int32_t toDevice(int32_t v) const {
        return static_cast<int32_t>(floorDivide(int64_t(v) * value, 100));
    }
    // The panel pixel whose device pixels include device pixel d: the largest
    // p with toDevice(p) <= d. Undoes toDevice exactly.
    constexpr int32_t toPanel(int32_t d) const {
        // toDevice(p) <= d  <=>  p x percent < (d + 1) x 100.
        return static_cast<int32_t>(floorDivide((int64_t(d) + 1) * 100 - 1, value));
    }
    // The device length of a run of panel pixels from v to v + length.
    constexpr int32_t deviceLength(int32_t v, int32_t length) const {
        return toDevice(v + length) - toDevice(v);
    }
    // A font's pixel height at this zoom, rounded to the nearest pixel.
    constexpr int32_t fontHeight(int32_t panelHeight) const {
        const int64_t scaled = int64_t(panelHeight) * value;
        return static_cast<int32_t>(scaled >= 0 ? (scaled + 50) / 100 : -((-scaled + 50) / 100));
    }

    // The bitmap resource holding a picture drawn for this zoom: its 100% id
    // plus the zoom in percent times 100 (20101 for bitmap 101 at 200%); at
    // 100% the id itself. Distinct for every 100% id below 5000.
    constexpr int32_t bitmapId(int32_t id) const { return isIdentity() ? id : id + value * 100; }

    constexpr bool operator==(const Zoom& o) const { return value == o.value; }
    constexpr bool operator!=(const Zoom& o) const { return value != o.value; }

private:
    static constexpr int64_t floorDivide(int64_t a, int64_t b) {
        const int64_t q = a / b;
        return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
    }

    int32_t value = 100;
};
