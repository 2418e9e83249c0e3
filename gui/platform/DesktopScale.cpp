// Parsing the desktop's scale texts, resolutions and factors as percentages, and an X11
// session's scale as the largest of what its three sources say.
#include "gui/platform/DesktopScale.h"

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

constexpr double kLargest = 1e6;

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// Percent of a factor, rounded down; a hair of tolerance keeps 1.1 at 110.
int32_t percentOf(double factor) {
    if (!(factor > 0.0)) {
        return 0;
    }
    return static_cast<int32_t>(std::min(std::floor(factor * 100.0 + 1e-6), kLargest));
}

} // namespace

bool parseDecimal(const char* text, double& value) {
    if (!text) {
        return false;
    }
    const char* c = text;
    while (isBlank(*c)) {
        ++c;
    }
    double whole = 0.0, fraction = 0.0, weight = 1.0;
    bool digits = false, point = false;
    for (; *c && !isBlank(*c); ++c) {
        if (*c >= '0' && *c <= '9') {
            digits = true;
            if (point) {
                weight /= 10.0;
                fraction += (*c - '0') * weight;
            } else {
                whole = whole * 10.0 + (*c - '0');
                if (whole > kLargest) {
                    return false;
                }
            }
        } else if (*c == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    while (isBlank(*c)) {
        ++c;
    }
    if (!digits || *c) {
        return false;
    }
    value = whole + fraction;
    return value <= kLargest;
}

int32_t scaleFromDpi(double dpi) {
    return percentOf(dpi / 96.0);
}

int32_t scaleFromFactorText(const char* text) {
    double factor = 0.0;
    return parseDecimal(text, factor) ? percentOf(factor) : 0;
}

int32_t x11DesktopScale(const char* xftDpi, const char* gdkScale, const char* qtScaleFactor) {
    double dpi = 0.0;
    const int32_t fromResource = parseDecimal(xftDpi, dpi) ? scaleFromDpi(dpi) : 0;
    return std::max(
        {fromResource, scaleFromFactorText(gdkScale), scaleFromFactorText(qtScaleFactor)});
}

} // namespace platform
