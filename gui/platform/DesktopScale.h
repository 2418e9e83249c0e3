// How large the desktop draws things, read from what the desktop says: a
// resolution in dots per inch (96 is 100%) or a scale factor (2 is 200%).
// Pure functions over the texts and numbers the backends find; the backends
// look up the values themselves (X resources and environment variables on
// X11, the window's DPI on Windows).
#pragma once

#include <cstdint>

namespace platform {

// A plain decimal number as desktops write resolutions and factors ("192",
// " 1.5 ", "2."): digits, at most one point, surrounding blanks. Independent
// of the C library's locale (a host may have set a decimal comma). False for
// anything else, for negatives and for values above a million.
bool parseDecimal(const char* text, double& value);

// The scale a resolution stands for, in percent of 96 DPI, rounded down
// (144 DPI is 150%); 0 for a resolution that is not positive.
int32_t scaleFromDpi(double dpi);

// A scale factor given as text (GDK_SCALE, QT_SCALE_FACTOR), in percent,
// rounded down; 0 when the text is null, empty, not a number or not positive.
int32_t scaleFromFactorText(const char* text);

// The desktop's scale on X11, in percent: the X resource Xft.dpi (its value
// as text, or null when the resource is not set) and the GDK_SCALE and
// QT_SCALE_FACTOR environment variables (null when unset). Each states the
// same screen's scale for one family of programs, so they are not
// multiplied: the largest usable one wins. 0 when none is usable.
int32_t x11DesktopScale(const char* xftDpi, const char* gdkScale, const char* qtScaleFactor);

} // namespace platform
